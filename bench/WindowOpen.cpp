// kirabel_open_bench FILE [RUNS]: opens FILE through the main window's open
// command (its file chooser answered at once) and prints how long it took until
// the first question was drawn, in milliseconds: the first open in this process,
// then the median of the further ones.
#include "app/qt/CKirabelApp.h"
#include "app/qt/CKirabelDlg.h"
#include "bench/WhenShown.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

class OpenBenchDlg : public CKirabelDlg {
public:
    explicit OpenBenchDlg(QString path) : m_path(std::move(path)) {}

    // Milliseconds from the open command to the first question drawn, or a
    // negative value when the window reported an error.
    double TimedOpen() {
        // Without a set there is nothing to save first, as at the first open.
        m_session.Reset();
        m_failed = false;
        QElapsedTimer timer;
        timer.start();
        OnFileOpenSet();
        QCoreApplication::processEvents(); // whatever the labels left to draw
        const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        return m_failed || m_questionLabel.text().isEmpty() ? -1.0 : ms;
    }

protected:
    std::string ChooseSetFile() override { return m_path.toStdString(); }
    void ShowWarning(const std::string& text) override {
        std::fprintf(stderr, "the window reported: %s\n", text.c_str());
        m_failed = true;
    }
    bool AskYesNo(const std::string&) override { return true; }

private:
    QString m_path;
    bool m_failed = false;
};

} // namespace

int main(int argc, char* argv[]) {
    CKirabelApp app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE.krb [RUNS]\n", argv[0]);
        return 2;
    }
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;
    OpenBenchDlg dialog(QString::fromLocal8Bit(argv[1]));
    std::vector<double> times;
    bench::WhenShown measure(dialog, [&] {
        for (int i = 0; i < runs; ++i) {
            times.push_back(dialog.TimedOpen());
        }
        dialog.done(0);
    });
    dialog.exec();
    if (times.empty() || *std::min_element(times.begin(), times.end()) < 0) {
        std::fprintf(stderr, "the open did not show a question\n");
        return 1;
    }
    const double first = times.front();
    std::vector<double> again(times.begin() + 1, times.end());
    std::sort(again.begin(), again.end());
    std::printf("open_first_ms=%.1f", first);
    if (!again.empty()) {
        std::printf(" open_again_median_ms=%.1f", again[again.size() / 2]);
    }
    std::printf("\n");
    return 0;
}

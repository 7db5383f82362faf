// kirabel_check_bench RECORDS [RUNS]: the time from the Enter that checks a
// right answer to the result drawn, with the count saved, in the main window
// (offscreen), beside a plain save of the same set after one raise, in turns.
// The set is a generated one whose answers are all the same word, so that the
// right reply is known whatever question comes. Prints medians in
// milliseconds and the number of files put in place per right answer.
#include "app/qt/CKirabelApp.h"
#include "app/qt/CKirabelDlg.h"
#include "bench/QuestionSetGenerator.h"
#include "bench/WhenShown.h"
#include "questions/Question.h"
#include "questions/QuestionSet.h"
#include "questions/QuestionSetFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QKeyEvent>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Every save puts its file in place with one rename: counting them counts writes.
int g_renames = 0;

constexpr char kAnswer[] = "answer";

// The generated set with every answer replaced, same questions and counts.
std::string SameAnswers(const std::string& bytes) {
    std::istringstream in(bytes);
    std::string out, line;
    while (std::getline(in, line)) {
        const std::size_t first = line.find(' ');
        const std::size_t second = line.find(' ', first + 1);
        out += line.substr(0, first + 1) + kAnswer + line.substr(second) + "\n";
    }
    return out;
}

void Write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

class CheckBenchDlg : public CKirabelDlg {
public:
    explicit CheckBenchDlg(std::string path) : m_path(std::move(path)) {}

    bool Open() {
        OnFileOpenSet();
        return !m_failed;
    }
    // Milliseconds from Enter on a right reply to the check done: the result
    // drawn and the count saved. `shown` is when the mark came up, before the save.
    double TimedRightCheck(double& shown) {
        m_answerEdit.SetText(kAnswer);
        m_timer.start();
        PressEnter();
        QCoreApplication::processEvents(); // whatever the labels left to draw
        shown = m_shownMs;
        return static_cast<double>(m_timer.nsecsElapsed()) / 1e6;
    }
    void ShowRightMark(bool show) override {
        CKirabelDlg::ShowRightMark(show);
        if (show) {
            m_shownMs = static_cast<double>(m_timer.nsecsElapsed()) / 1e6;
        }
    }
    void PressEnter() {
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QCoreApplication::sendEvent(focusWidget(), &enter);
    }
    bool Failed() const { return m_failed; }

protected:
    std::string ChooseSetFile() override { return m_path; }
    void ShowWarning(const std::string& text) override {
        std::fprintf(stderr, "the window reported: %s\n", text.c_str());
        m_failed = true;
    }
    bool AskYesNo(const std::string&) override { return true; }

private:
    std::string m_path;
    bool m_failed = false;
    QElapsedTimer m_timer;
    double m_shownMs = 0;
};

} // namespace

extern "C" int rename(const char* from, const char* to) {
    using Rename = int (*)(const char*, const char*);
    static const auto real = reinterpret_cast<Rename>(dlsym(RTLD_NEXT, "rename"));
    ++g_renames;
    return real(from, to);
}

int main(int argc, char* argv[]) {
    CKirabelApp app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s RECORDS [RUNS]\n", argv[0]);
        return 2;
    }
    const std::size_t records = std::strtoul(argv[1], nullptr, 10);
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
    const std::string source = bench::QuestionSetFile(records);
    std::ifstream in(source, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    const std::string drilled = source + ".check.krb", saved = source + ".plain.krb";
    const std::string content = SameAnswers(bytes.str());
    Write(drilled, content);
    Write(saved, content);
    auto plain = QuestionSetFile::Load(saved);

    CheckBenchDlg dialog(drilled);
    std::vector<double> checks, shown, saves;
    int writesPerCheck = 0;
    bench::WhenShown measure(dialog, [&] {
        if (!dialog.Open()) {
            dialog.done(1);
            return;
        }
        for (int i = 0; i < runs; ++i) {
            const int before = g_renames;
            double markShown = 0;
            checks.push_back(dialog.TimedRightCheck(markShown));
            shown.push_back(markShown);
            writesPerCheck = std::max(writesPerCheck, g_renames - before);
            dialog.PressEnter(); // the next question
            plain->Records()
                .At(static_cast<std::size_t>(i) % plain->Records().Size())
                ->AddCorrect();
            QElapsedTimer timer;
            timer.start();
            plain->Save();
            saves.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        }
        dialog.done(0);
    });
    dialog.exec();
    if (dialog.Failed() || checks.empty()) {
        std::fprintf(stderr, "the drill did not run\n");
        return 1;
    }
    std::printf("check_median_ms=%.3f shown_median_ms=%.3f save_median_ms=%.3f ratio=%.2f "
                "writes_per_check=%d\n",
                Median(checks), Median(shown), Median(saves), Median(checks) / Median(saves),
                writesPerCheck);
    return 0;
}

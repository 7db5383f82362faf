// The program ended by a signal, in a child process of its own: the parent
// holds no Qt at all, so the child starts as the program does.
#include "app/qt/CKirabelApp.h"
#include "app/qt/CKirabelDlg.h"
#include "tests/TestSupport.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::string kSet = "犬 dog 0\n";
const std::string kRaised = "犬 dog 1\n";

// The chooser and the boxes answered, and counted, by the child itself.
class ChildDlg : public CKirabelDlg {
public:
    std::string path;
    int told = 0, asked = 0;

    std::string ChooseSetFile() override { return path; }
    void ShowWarning(const std::string&) override { ++told; }
    bool AskYesNo(const std::string&) override {
        ++asked;
        return false;
    }
    void ShowRealWarning(const std::string& text) { CKirabelDlg::ShowWarning(text); }
};

void WriteAll(int fd, const std::string& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (written <= 0) {
            return;
        }
        done += static_cast<std::size_t>(written);
    }
}

std::string ReadAll(int fd) {
    std::string bytes;
    char buffer[256];
    ssize_t got;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0) {
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    return bytes;
}

// Opens the set, answers right while the file cannot be written (the answer's
// own save fails and the raise waits in memory), makes the file writable
// again, says "ready" down the pipe, and waits for the signal; optionally
// with a real message box open. Then reports what it asked and told.
[[noreturn]] void RunChild(const std::string& path, bool boxOpen, int pipe) {
    int code = 2;
    try {
        int argc = 1;
        char name[] = "kirabel";
        char* argv[] = {name, nullptr};
        CKirabelApp app(argc, argv);
        ChildDlg dlg;
        dlg.path = path;
        QTimer::singleShot(0, &dlg, [&] {
            QApplication::setActiveWindow(&dlg);
            dlg.findChild<QMenuBar*>()->actions().at(0)->menu()->actions().at(0)->trigger();
            fs::permissions(path, fs::perms::owner_read);
            QInputMethodEvent typed;
            typed.setCommitString(QStringLiteral("dog"));
            QApplication::sendEvent(QApplication::focusWidget(), &typed);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
            if (boxOpen) {
                QTimer::singleShot(0, &dlg, [pipe] { WriteAll(pipe, "r"); });
                dlg.ShowRealWarning("nobody reads this");
            } else {
                WriteAll(pipe, "r");
            }
        });
        app.Run(dlg);
        WriteAll(pipe, "told " + std::to_string(dlg.told) + ", asked " + std::to_string(dlg.asked));
        code = 0;
    } catch (...) {
    }
    ::_exit(code);
}

struct SignalCase {
    const char* name;
    int signal;
    bool boxOpen;
};

class SignalEnd : public ::testing::TestWithParam<SignalCase> {};

TEST_P(SignalEnd, SavesAndEndsTheProgramNormally) {
    testsupport::TempDir dir;
    const fs::path before = fs::current_path();
    fs::current_path(dir.Path());
    const std::string set = dir.File("set.krb");
    testsupport::WriteBytes(set, kSet);

    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // A child that hangs goes with the test when CTest's timeout ends it.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        ::close(pipe[0]);
        RunChild(set, GetParam().boxOpen, pipe[1]);
    }
    ::close(pipe[1]);
    char ready = 0;
    const bool isReady = ::read(pipe[0], &ready, 1) == 1;
    EXPECT_TRUE(isReady);
    EXPECT_EQ(testsupport::ReadBytes(set), kSet); // only the signal's save may write
    if (isReady) {
        ::kill(child, GetParam().signal);
    }
    const std::string report = ReadAll(pipe[0]);
    ::close(pipe[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    fs::current_path(before);

    EXPECT_TRUE(WIFEXITED(status)) << "ended by " << ::strsignal(WTERMSIG(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(report, "told 1, asked 0");
    EXPECT_EQ(testsupport::ReadBytes(set), kRaised);
}

INSTANTIATE_TEST_SUITE_P(CKirabelApp, SignalEnd,
                         ::testing::Values(SignalCase{"Term", SIGTERM, false},
                                           SignalCase{"Hup", SIGHUP, false},
                                           SignalCase{"Int", SIGINT, false},
                                           SignalCase{"TermOverAMessageBox", SIGTERM, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// With no descriptor left for the signals' socket pair, the program still runs
// its window and ends normally.
TEST(CKirabelApp, RunsWithoutADescriptorForTheSignals) {
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizers test memory through a pipe of their own: without a free
    // descriptor they take every object for unreadable.
    GTEST_SKIP() << "needs descriptors under the sanitizers";
#endif
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        int argc = 1;
        char name[] = "kirabel";
        char* argv[] = {name, nullptr};
        CKirabelApp app(argc, argv);
        ChildDlg dlg;
        QTimer::singleShot(0, &dlg, [&] { dlg.done(QDialog::Accepted); });
        rlimit limit{};
        ::getrlimit(RLIMIT_NOFILE, &limit);
        limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, 1024);
        ::setrlimit(RLIMIT_NOFILE, &limit);
        while (::dup(0) >= 0) {
        }
        int pair[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, pair) == 0) {
            ::_exit(3); // descriptors left: the case is not made
        }
        try {
            ::_exit(app.Run(dlg));
        } catch (...) {
            ::_exit(2); // what would end the program
        }
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status)) << "ended by " << ::strsignal(WTERMSIG(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

} // namespace

// The learner's file under faults: saves killed at any moment, writes that
// fail part way, narrow permissions and files reached through links.
#include "questions/AtomicFile.h"
#include "questions/CpException.h"
#include "questions/FileSystem.h"
#include "questions/Question.h"
#include "questions/QuestionSet.h"
#include "questions/QuestionSetFile.h"
#include "res/Strings.h"
#include "tests/TestSupport.h"
#include "tests/support/KillLoop.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <random>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using testsupport::CommonCount;
using testsupport::Lines;
using testsupport::LoadRaiseAllSave;
using testsupport::NamesIn;
using testsupport::ReadBytes;
using testsupport::WriteBytes;
using Names = std::set<std::string>;

namespace {

const std::string kSaveFailed = strings::kSaveFailed;

void RaiseAll(QuestionSet& set) {
    for (std::size_t i = 0; i < set.Size(); ++i) {
        set.At(i)->AddCorrect();
    }
}

unsigned ModeOf(const fs::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : ~0u;
}

// Hard-linked, the set is rewritten in place; the next read finishes a
// rewrite that a kill cut short.
TEST(CrashDuringSave, EveryKillLeavesTheOldOrTheNewFile) {
    for (const bool linked : {false, true}) {
        SCOPED_TRACE(linked ? "hard-linked" : "one name");
        testsupport::TempDir dir;
        const fs::path path = dir.Path() / "big.krb";
        testsupport::KillLoop loop(path, 40000,
                                   linked ? Names{"big.krb", "twin.krb"} : Names{"big.krb"});
        if (linked) {
            fs::create_hard_link(path, dir.Path() / "twin.krb");
        }
        unsigned mode = 0;
        int torn = 0;
        loop.prepare = [&](int kill) {
            mode = kill % 2 ? 0640 : 0600;
            ::chmod(path.c_str(), mode);
        };
        loop.killSave = [&](int kill, unsigned microseconds) {
            const pid_t child = ::fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                try {
                    testsupport::SaveForEver(path);
                } catch (...) {
                }
                ::_exit(1); // only the kill may end this child
            }
            ::usleep(microseconds);
            ::kill(child, SIGKILL);
            int status = 0;
            ASSERT_EQ(::waitpid(child, &status, 0), child);
            ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "kill " << kill;
        };
        loop.afterKill = [&](int) {
            if (linked) {
                torn += CommonCount(ReadBytes(path), 40000) < 0;
                QuestionSetFile::Load(path.string()); // finishes an interrupted rewrite
            }
            EXPECT_EQ(ModeOf(path), mode);
        };
        loop.leftover = [&](const std::string& name) {
            EXPECT_EQ(ModeOf(dir.Path() / name) & ~mode, 0u) << "more readable than the file";
        };
        ASSERT_NO_FATAL_FAILURE(loop.Run(50, 60000));
        std::printf("%s, 50 kills: the counts reached %d; %zu left a temporary file; %d left "
                    "the file torn until the next read\n",
                    linked ? "hard-linked" : "one name", loop.last, loop.leftovers.size(), torn);
    }
}

void SetSoftLimit(int resource, rlim_t value) {
    rlimit limit{};
    ::getrlimit(resource, &limit);
    limit.rlim_cur = std::min(value, limit.rlim_max);
    ::setrlimit(resource, &limit);
}

struct Fault {
    const char* name;
    std::function<void(const fs::path&)> inject, lift;
    std::string reason; // the failed save's second line
};

// Runs in a child process, where lowered limits die with it; complains on stderr.
int SaveUnderFault(const Fault& fault, const fs::path& file) {
    const std::string original = Lines(20000, 1);
    int failures = 0;
    const auto expect = [&](bool ok, const char* what) {
        if (!ok) {
            std::fprintf(stderr, "%s: %s\n", fault.name, what);
            ++failures;
        }
    };
    WriteBytes(file, original);
    auto set = QuestionSetFile::Load(file.string());
    RaiseAll(set->Records());
    fault.inject(file);
    const bool existed = fs::exists(file);
    try {
        set->Save();
        expect(false, "no error");
    } catch (const CpException& error) {
        expect(error.BuildMessage() == kSaveFailed + "\n  -" + fault.reason + "\n",
               "wrong message");
    }
    fault.lift(file);
    expect(existed ? ReadBytes(file) == original : !fs::exists(file), "file changed");
    expect(NamesIn(file.parent_path()) == (existed ? Names{"set.krb"} : Names{}), "file left");
    try {
        set->Save();
    } catch (const CpException&) {
        expect(false, "retry failed");
    }
    expect(ReadBytes(file) == Lines(20000, 2), "retry wrote something else");
    expect(NamesIn(file.parent_path()) == Names{"set.krb"}, "retry left a file");
    return failures;
}

TEST(WriteFailure, SaveReportsItAndKeepsTheFile) {
    const Fault faults[] = {
        {"disk full",
         [](const fs::path&) {
             std::signal(SIGXFSZ, SIG_IGN);
             SetSoftLimit(RLIMIT_FSIZE, 100000); // the new file has about 330 kB
         },
         [](const fs::path&) { SetSoftLimit(RLIMIT_FSIZE, RLIM_INFINITY); },
         std::strerror(EFBIG)}, // no reason of its own: the system's words
        // A hard-linked file is written in place; room is reserved before the
        // first byte is overwritten.
        {"disk full, hard-linked",
         [](const fs::path& f) {
             fs::create_hard_link(f, f.parent_path().parent_path() / "twin.krb");
             std::signal(SIGXFSZ, SIG_IGN);
             SetSoftLimit(RLIMIT_FSIZE, 100000);
         },
         [](const fs::path&) { SetSoftLimit(RLIMIT_FSIZE, RLIM_INFINITY); }, std::strerror(EFBIG)},
        {"folder removed", [](const fs::path& f) { fs::remove_all(f.parent_path()); },
         [](const fs::path& f) { fs::create_directory(f.parent_path()); }, strings::kReasonGone},
        {"file made read-only", [](const fs::path& f) { fs::permissions(f, fs::perms(0444)); },
         [](const fs::path& f) { fs::permissions(f, fs::perms(0644)); },
         strings::kReasonNotAllowed},
    };
    testsupport::TempDir dir;
    for (const Fault& fault : faults) {
        const fs::path folder = dir.Path() / fault.name;
        fs::create_directory(folder);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            int failures = 100;
            try {
                failures = SaveUnderFault(fault, folder / "set.krb");
            } catch (...) {
            }
            ::_exit(failures); // never back into the test runner
        }
        int status = -1;
        ::waitpid(child, &status, 0);
        EXPECT_EQ(status, 0) << fault.name;
    }
}

// The id of a process that has ended: it names no process now.
std::string EndedProcessId() {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(0);
    }
    if (child < 0 || ::waitpid(child, nullptr, 0) != child) {
        return {};
    }
    return std::to_string(child);
}

// Only what a killed save of this very file left is removed, never a file of
// the learner's own that happens to look like one.
TEST(KilledSave, OnlyItsOwnLeftoversAreRemoved) {
    testsupport::TempDir dir;
    const fs::path file = dir.Path() / "set.krb";
    WriteBytes(file, "q a 1\r\n");
    const std::string dead = EndedProcessId(), self = std::to_string(::getpid());
    ASSERT_FALSE(dead.empty());
    const auto temporary = [](const std::string& pid) {
        return ".set.krb.kirabel-" + pid + "-Ab3xYz.tmp";
    };
    const struct {
        std::string name;
        bool kept;
    } files[] = {
        {temporary(dead), false},
        {temporary(self), true}, // still being written, maybe
        {".set.krb." + dead + ".backup", true},
        {".set.krb." + dead + ".Ab3xYz", true},
        {".set.krb.kirabel-" + dead + "-Ab3xY.tmp", true},
        {".set.krb.kirabel-" + dead + "-Ab3x_z.tmp", true},
        {".set.krb.kirabel-0" + dead + "-Ab3xYz.tmp", true},
        {".set.krb.kirabel-" + dead + "-Ab3xYz.tmp~", true},
        {".other.krb.kirabel-" + dead + "-Ab3xYz.tmp", true},
    };
    Names expected{"set.krb", "folder"};
    fs::create_directory(dir.Path() / "folder");
    fs::create_directory(dir.Path() / temporary("1" + dead)); // not a file
    expected.insert(temporary("1" + dead));
    for (const auto& f : files) {
        WriteBytes(dir.Path() / f.name, "x");
        if (f.kept) {
            expected.insert(f.name);
        }
    }
    LoadRaiseAllSave(file);
    EXPECT_EQ(ReadBytes(file), "q a 2\r\n");
    EXPECT_EQ(NamesIn(dir.Path()), expected);
}

TEST(SaveKeepsTheFile, PermissionBitsStay) {
    testsupport::TempDir dir;
    const fs::path path = dir.Path() / "set.krb";
    for (const unsigned mode : {0640u, 0600u, 0644u, 0604u, 0660u}) {
        WriteBytes(path, "q a 1\r\n");
        ::chmod(path.c_str(), mode);
        LoadRaiseAllSave(path);
        EXPECT_EQ(ModeOf(path), mode);
        EXPECT_EQ(ReadBytes(path), "q a 2\r\n");
        EXPECT_EQ(NamesIn(dir.Path()), Names{"set.krb"});
    }
}

TEST(SaveKeepsTheFile, SymbolicLinksStayLinks) {
    testsupport::TempDir dir;
    fs::create_directory(dir.Path() / "real");
    const fs::path target = dir.Path() / "real" / "set.krb";
    WriteBytes(target, "q a 1\r\n");
    fs::create_symlink("real/set.krb", dir.Path() / "link.krb");
    fs::create_symlink("link.krb", dir.Path() / "chain.krb");
    LoadRaiseAllSave(dir.Path() / "link.krb");
    LoadRaiseAllSave(dir.Path() / "chain.krb");
    EXPECT_EQ(ReadBytes(target), "q a 3\r\n");
    EXPECT_EQ(fs::read_symlink(dir.Path() / "link.krb"), "real/set.krb");
    EXPECT_EQ(fs::read_symlink(dir.Path() / "chain.krb"), "link.krb");
    EXPECT_EQ(NamesIn(dir.Path()), (Names{"chain.krb", "link.krb", "real"}));
    EXPECT_EQ(NamesIn(dir.Path() / "real"), Names{"set.krb"});
}

// Replacing the file by a new one would split the links: the other name would
// keep the old progress. So a hard-linked file is rewritten where it is.
TEST(SaveKeepsTheFile, HardLinkedFileIsWrittenInPlace) {
    testsupport::TempDir dir;
    const fs::path path = dir.Path() / "set.krb", twin = dir.Path() / "twin.krb";
    WriteBytes(path, "q a 0001 long tail\r\nr b 2\r\n");
    fs::create_hard_link(path, twin);
    struct stat before {};
    struct stat after {};
    ::stat(path.c_str(), &before);
    LoadRaiseAllSave(path);
    ::stat(path.c_str(), &after);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_nlink, 2u);
    EXPECT_EQ(ReadBytes(twin), "q a 2 long tail\r\nr b 3\r\n");
    EXPECT_EQ(NamesIn(dir.Path()), (Names{"set.krb", "twin.krb"}));
}

// A hard-linked set is rewritten where it is. Ended at each moment of that
// rewrite, the save leaves a set that reads whole under both names, with the
// old counts or the new: 9 becomes 10, so a torn file would lose lines.
AtomicFile::Moment s_killAt;

TEST(KilledInPlaceSave, EveryMomentLeavesTheOldOrTheNewCounts) {
    constexpr int kRecords = 30000;
    int torn = 0;
    for (const auto& at : testsupport::kInPlaceMoments) {
        testsupport::TempDir dir;
        const fs::path path = dir.Path() / "set.krb", twin = dir.Path() / "twin.krb";
        WriteBytes(path, Lines(kRecords, 9));
        fs::create_hard_link(path, twin);
        s_killAt = at.moment;
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            AtomicFile::SetFaultHook([](AtomicFile::Moment moment) {
                if (moment == s_killAt) {
                    ::raise(SIGKILL);
                }
            });
            try {
                LoadRaiseAllSave(path);
            } catch (...) {
            }
            ::_exit(1); // only the kill may end this child
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << at.name;
        torn += CommonCount(ReadBytes(path), kRecords) < 0;

        // Opened through the other name, which finds the copy all the same.
        std::unique_ptr<QuestionSetFile> set;
        ASSERT_NO_THROW(set = QuestionSetFile::Load(twin.string())) << at.name;
        EXPECT_EQ(set->Records().Size(), std::size_t{kRecords}) << at.name;
        EXPECT_EQ(CommonCount(ReadBytes(path), kRecords), at.count) << at.name;
        EXPECT_EQ(fs::hard_link_count(path), 2u) << at.name;
        EXPECT_EQ(ReadBytes(twin), ReadBytes(path)) << at.name;
        for (const std::string& name : NamesIn(dir.Path())) {
            EXPECT_FALSE(name.ends_with(".copy")) << at.name << ": " << name;
        }
        LoadRaiseAllSave(path); // and the next save clears what is left
        EXPECT_EQ(CommonCount(ReadBytes(twin), kRecords), at.count + 1) << at.name;
        EXPECT_EQ(NamesIn(dir.Path()), (Names{"set.krb", "twin.krb"})) << at.name;
    }
    std::printf("%zu kills of an in-place save: %d left the file torn until the next read\n",
                std::size(testsupport::kInPlaceMoments), torn);
}

// Only a copy of this very file, whole, from a save whose process has ended,
// is ever put into it: never a file of the learner's, a half-written copy, a
// copy of another file, or one a running Kirabel is still writing in place.
TEST(InterruptedInPlaceSave, OnlyACopyOfThisFileFromAnEndedSaveIsPutBack) {
    const std::string dead = EndedProcessId(), self = std::to_string(::getpid());
    ASSERT_FALSE(dead.empty());
    const struct {
        std::string name;
        bool taken;
    } copies[] = {
        {".set.krb.kirabel-" + dead + "-Ab3xYz.copy", true},
        {".twin.krb.kirabel-" + dead + "-Ab3xYz.copy", true}, // the other name of the file
        {".set.krb.kirabel-" + self + "-Ab3xYz.copy", false},
        {".set.krb.kirabel-" + dead + "-Ab3xY.copy", false},
        {".set.krb.kirabel-" + dead + "-Ab3xYz.tmp", false},
        {".set.krb.kirabel-" + dead + "-Ab3xYz.copy~", false},
        {".other.krb.kirabel-" + dead + "-Ab3xYz.copy", false},
        {".set.krb." + dead + ".copy", false},
    };
    for (const auto& copy : copies) {
        testsupport::TempDir dir;
        const fs::path path = dir.Path() / "set.krb";
        WriteBytes(path, "q a 1\r\n");
        fs::create_hard_link(path, dir.Path() / "twin.krb");
        WriteBytes(dir.Path() / "other.krb", "q a 1\r\n");
        WriteBytes(dir.Path() / copy.name, "q a 5\r\n");
        QuestionSetFile::Load(path.string());
        EXPECT_EQ(ReadBytes(path), copy.taken ? "q a 5\r\n" : "q a 1\r\n") << copy.name;
        EXPECT_EQ(fs::exists(dir.Path() / copy.name), !copy.taken) << copy.name;
        EXPECT_EQ(ReadBytes(dir.Path() / "other.krb"), "q a 1\r\n") << copy.name;
    }
}

// The reason on the failed save's second line, for each error a save meets.
TEST(FailedSave, EachErrorSaysWhy) {
    const struct {
        int error;
        std::string reason;
    } errors[] = {
        {ENOSPC, strings::kReasonNoSpace},
        {EDQUOT, strings::kReasonNoSpace},
        {EACCES, strings::kReasonNotAllowed},
        {EPERM, strings::kReasonNotAllowed},
        {EROFS, strings::kReasonNotAllowed},
        {EWOULDBLOCK, strings::kReasonHeld},
        {EBUSY, strings::kReasonHeld},
        {ETXTBSY, strings::kReasonHeld},
        {ENOENT, strings::kReasonGone},
        {ENOTDIR, strings::kReasonGone},
        {EIO, std::strerror(EIO)},
        {EFBIG, std::strerror(EFBIG)},
    };
    for (const auto& row : errors) {
        EXPECT_EQ(FileSystem::ReasonOf(row.error), row.reason) << std::strerror(row.error);
    }
}

// A small disk of its own, filled up (root only: mount).
class SmallDisk {
public:
    explicit SmallDisk(const fs::path& where) : m_path(where) {
        fs::create_directory(m_path);
        m_mounted = ::mount("tmpfs", m_path.c_str(), "tmpfs", 0, "size=64k") == 0;
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    ~SmallDisk() {
        if (m_mounted) {
            ::umount2(m_path.c_str(), MNT_DETACH);
        }
    }
    bool Mounted() const { return m_mounted; }
    void Fill() const {
        const std::string block(4096, 'x');
        std::FILE* filler = std::fopen((m_path / "filler").c_str(), "wb");
        while (filler != nullptr && std::fwrite(block.data(), 1, block.size(), filler) == 4096 &&
               std::fflush(filler) == 0) {
        }
        if (filler != nullptr) {
            std::fclose(filler);
        }
    }
    void Empty() const { fs::remove(m_path / "filler"); }

private:
    fs::path m_path;
    bool m_mounted = false;
};

TEST(FullDisk, TheSaveSaysSoAndKeepsTheFile) {
    testsupport::TempDir dir;
    SmallDisk disk(dir.Path() / "disk");
    if (!disk.Mounted()) {
        GTEST_SKIP() << "no tmpfs mount (needs root)";
    }
    const fs::path path = dir.Path() / "disk" / "set.krb";
    for (const bool linked : {false, true}) {
        WriteBytes(path, Lines(1000, 1));
        if (linked) {
            fs::create_hard_link(path, dir.Path() / "disk" / "twin.krb");
        }
        auto set = QuestionSetFile::Load(path.string());
        RaiseAll(set->Records());
        disk.Fill();
        EXPECT_EQ(testsupport::MessageOf<CpException>([&] { set->Save(); }),
                  kSaveFailed + "\n  -" + strings::kReasonNoSpace + "\n")
            << (linked ? "hard-linked" : "plain");
        EXPECT_EQ(ReadBytes(path), Lines(1000, 1));
        disk.Empty();
        set->Save();
        EXPECT_EQ(ReadBytes(path), Lines(1000, 2));
        fs::remove(dir.Path() / "disk" / "twin.krb");
    }
}

} // namespace

#include "questions/QuestionSetFile.h"
#include "questions/CpException.h"
#include "questions/Question.h"
#include "tests/TestSupport.h"

#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>
#include <random>
#include <sys/resource.h>

using namespace std::string_literals;
using namespace testsupport;
namespace fs = std::filesystem;

namespace {

std::string Lines(int count) {
    std::string out;
    while (count-- > 0) {
        out += "q a 1\r\n";
    }
    return out;
}

void RaiseFirstAndSave(const std::string& path) {
    auto set = LoadQuestionSet(path);
    set->At(0)->AddCorrect();
    set->Save();
}

class QuestionSetFile : public testing::Test {
protected:
    TempDir m_dir;
    const std::string m_path = m_dir.File("set.krb");
};

TEST_F(QuestionSetFile, SaveKeepsEverythingTheReaderLeft) {
    const std::string sample = ReadBytes(KIRABEL_SAMPLE);
    const auto sampleLines =
        static_cast<std::size_t>(std::count(sample.begin(), sample.end(), '\n'));
    // A CR LF across a 64 KiB boundary, and a 0x1A past it.
    const std::string wide = "q " + std::string(65531, 'y') + " 1\r\n";
    struct Case {
        std::string in;
        std::size_t records;
        std::string out = {}; // empty: the same bytes as `in`
    };
    const std::vector<Case> cases = {
        {sample, sampleLines},
        {Cp932("日本の首都 東京 0\r\n富士山のある県 静岡 3\r\nりんご apple 0012\r\n"), 3,
         Cp932("日本の首都 東京 0\r\n富士山のある県 静岡 3\r\nりんご apple 12\r\n")},
        {"q a 1\r\n\r\nnot a record\r\nx\r\n", 1},
        {"q a 1\r\n\x1a junk\r\n\xff\x00"s, 1},
        {"\r\ntext", 0},
        {"", 0},
        {"\x81\0q \xfc\xfc 1\r\n"s, 1},
        {"q a 1\r\n\r", 1},
        {"q a 1 four  five   \r\nr b 2 \t \r\n", 2, "q a 1 four  five\r\nr b 2 \t\r\n"},
        {"q a 1\r\nr b 2", 2, "q a 1\r\nr b 2\r\n"},
        {"q a 1\r", 1, "q a 1\r\n"},
        {"q a 1\r\nr b 2\x1az", 2, "q a 1\r\nr b 2\r\n\x1az"},
        {"q a 1\nr b 2\n\nrest\n", 2, "q a 1\r\nr b 2\r\n\nrest\n"},
        {"  q   a  0012  \r\n", 1, "q a 12\r\n"},
        {"q " + std::string(3 << 20, 'x') + " 1\r\n", 1},
        {wide + wide + "r b 2\r\n\x1atail", 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.in.substr(0, 40)));
        WriteBytes(m_path, c.in);
        auto set = LoadQuestionSet(m_path);
        EXPECT_EQ(set->Size(), c.records);
        set->Save();
        EXPECT_EQ(ReadBytes(m_path), c.out.empty() ? c.in : c.out);
        EXPECT_EQ(NamesIn(m_dir.Path()), std::set<std::string>{"set.krb"});
    }
    WriteBytes(m_path, cases[1].in);
    auto set = LoadQuestionSet(m_path);
    EXPECT_EQ(set->At(1)->GetQuestion() + set->At(1)->GetAnswer(), Cp932("富士山のある県静岡"));
    EXPECT_EQ(set->At(2)->GetCorrectCount(), 12);
}

TEST_F(QuestionSetFile, MalformedLineNamesItsNumber) {
    const std::string noToken = Cp932("トークンが有りません。"),
                      notANumber = Cp932("数字ではありません。");
    const std::vector<std::tuple<std::string, int, std::string>> cases = {
        {Cp932("日本の首都 東京\r\n"), 1, noToken},
        {"q a 1\r\n   \r\n", 2, noToken},
        {"q a 1\r\nr b 2\r\n" + Cp932("s t ３\r\n"), 3, notANumber},
        {"q a 1\r\nr b -1", 2, notANumber},
        {"q a 1\r\n\x81", 2, noToken},
        {"q a 1\r\r\n", 1, notANumber}, // only the CR right before LF ends a line
        {Lines(11) + "a\tb 1\r\n", 12, noToken}};
    for (const auto& [bytes, line, cause] : cases) {
        WriteBytes(m_path, bytes);
        EXPECT_EQ(MessageOf<CpException>([&] { LoadQuestionSet(m_path); }),
                  Cp932("問題集ファイル読み込みに失敗しました：") + std::to_string(line) +
                      Cp932("行目") + "\n  -" + cause + "\n");
        EXPECT_EQ(ReadBytes(m_path), bytes);
    }
}

TEST_F(QuestionSetFile, UnreadablePathIsNeverSavedOver) {
    const fs::path missing = m_dir.Path() / "missing.krb", folder = m_dir.Path() / "folder.krb";
    fs::create_directory(folder);
    for (const fs::path& path : {missing, folder}) {
        auto set = LoadQuestionSet(path.string());
        EXPECT_EQ(set->Size(), 0u);
        set->Save();
    }
    EXPECT_FALSE(fs::exists(missing));
    EXPECT_TRUE(fs::is_directory(folder) && fs::is_empty(folder));
}

TEST_F(QuestionSetFile, SaveKeepsModeLinksAndNoTemporary) {
    WriteBytes(m_path, "q a 0009 tail\r\n");
    fs::permissions(m_path, fs::perms(0640));
    fs::create_hard_link(m_path, m_dir.Path() / "twin.krb");
    RaiseFirstAndSave(m_path); // in place, shorter than before: the old end must go
    EXPECT_EQ(ReadBytes(m_dir.Path() / "twin.krb"), "q a 10 tail\r\n");
    fs::remove(m_dir.Path() / "twin.krb");
    RaiseFirstAndSave(m_path);
    EXPECT_EQ(ReadBytes(m_path), "q a 11 tail\r\n");
    EXPECT_EQ(fs::status(m_path).permissions(), fs::perms(0640));

    fs::create_directory(m_dir.Path() / "sub");
    WriteBytes(m_dir.Path() / "sub" / "real.krb", "q a 1\r\n");
    fs::create_symlink("sub/real.krb", m_dir.Path() / "link.krb");
    RaiseFirstAndSave(m_dir.File("link.krb"));
    EXPECT_TRUE(fs::is_symlink(m_dir.Path() / "link.krb"));
    EXPECT_EQ(ReadBytes(m_dir.Path() / "sub" / "real.krb"), "q a 2\r\n");
    EXPECT_EQ(NamesIn(m_dir.Path()), (std::set<std::string>{"link.krb", "set.krb", "sub"}));
    EXPECT_EQ(NamesIn(m_dir.Path() / "sub"), std::set<std::string>{"real.krb"});
}

TEST_F(QuestionSetFile, FailedSaveThrowsAndTouchesNothing) {
    const std::string original = Lines(300);
    rlimit usual{};
    ::getrlimit(RLIMIT_FSIZE, &usual);
    std::signal(SIGXFSZ, SIG_IGN); // a write past the size limit fails as on a full disk
    for (const bool readOnly : {true, false}) {
        WriteBytes(m_path, original);
        auto set = LoadQuestionSet(m_path);
        set->At(0)->AddCorrect();
        const rlimit full{original.size() / 2, usual.rlim_max};
        if (readOnly) {
            fs::permissions(m_path, fs::perms(0444)); // refused even for root
        } else {
            ::setrlimit(RLIMIT_FSIZE, &full);
        }
        EXPECT_EQ(MessageOf<CpException>([&] { set->Save(); }),
                  Cp932("問題集ファイルの保存に失敗しました。\n"));
        ::setrlimit(RLIMIT_FSIZE, &usual);
        EXPECT_EQ(ReadBytes(m_path), original);
        EXPECT_EQ(fs::status(m_path).permissions(), fs::perms(readOnly ? 0444 : 0644));
        EXPECT_EQ(NamesIn(m_dir.Path()), std::set<std::string>{"set.krb"});
        fs::permissions(m_path, fs::perms(0644));
    }
}

TEST_F(QuestionSetFile, GarbageEitherFailsCleanlyOrSavesStably) {
    std::mt19937 random(7);
    for (int round = 0; round < 60; ++round) {
        std::string bytes(random() % 4000, '\0');
        for (char& c : bytes) {
            c = round % 2 ? static_cast<char>(random()) : "ab 1 2\r\n\x81\x1a"[random() % 10];
        }
        WriteBytes(m_path, bytes);
        try {
            LoadQuestionSet(m_path)->Save();
            const std::string once = ReadBytes(m_path);
            LoadQuestionSet(m_path)->Save();
            EXPECT_EQ(ReadBytes(m_path), once);
        } catch (const CpException&) {
            EXPECT_EQ(ReadBytes(m_path), bytes);
        }
    }
}

} // namespace

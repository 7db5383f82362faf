#include "questions/QuestionSetFile.h"
#include "questions/CpException.h"
#include "questions/Question.h"
#include "tests/TestSupport.h"

#include <algorithm>
#include <gtest/gtest.h>

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
        {"\r\ntext", 0},
        {"\x81\0q \xfc\xfc 1\r\n"s, 1},
        {"q a 1\r\n\r", 1},
        {"q a 1 four  five   \r\nr b 2 \t \r\n", 2, "q a 1 four  five\r\nr b 2 \t\r\n"},
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

} // namespace

#include "questions/QuestionSetFile.h"
#include "questions/CpException.h"
#include "questions/FileSystem.h"
#include "questions/MemoryFileStore.h"
#include "questions/Question.h"
#include "questions/QuestionSet.h"
#include "tests/TestSupport.h"

#include <algorithm>
#include <chrono>
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

class DiskFile : public testing::Test {
protected:
    TempDir m_dir;
    const std::string m_path = m_dir.File("set.krb");
};

// The format and the merge, on disk and in memory alike.
class SetFile : public testing::TestWithParam<bool> {
protected:
    bool InMemory() const { return GetParam(); }
    FileStore& Store() { return InMemory() ? m_memory : FileStore::Disk(); }
    void Put(const std::string& bytes) {
        if (InMemory()) {
            m_memory.Put(m_path, bytes);
        } else {
            WriteBytes(m_path, bytes);
        }
    }
    // As an editor writes it, later than the last save.
    void Edit(const std::string& bytes) {
        Put(bytes);
        if (!InMemory()) {
            fs::last_write_time(PathOf(m_path),
                                fs::last_write_time(PathOf(m_path)) + std::chrono::seconds(2));
        }
    }
    std::string Bytes() { return InMemory() ? m_memory.Bytes(m_path) : ReadBytes(m_path); }
    std::unique_ptr<QuestionSetFile> Load() { return QuestionSetFile::Load(m_path, Store()); }
    // Raises the first record's count, saves, and returns the file.
    std::string SavedWithFirstRaised(QuestionSetFile& file) {
        if (file.Records().Size() > 0) {
            file.Records().At(0)->AddCorrect();
        }
        file.Save();
        return Bytes();
    }

    TempDir m_dir;
    const std::string m_path = m_dir.File("set.krb");
    MemoryFileStore m_memory;
};

INSTANTIATE_TEST_SUITE_P(, SetFile, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? "InMemory" : "OnDisk";
                         });

// The records as the session shows them: "question answer count" lines of UTF-8.
std::string TextOf(const QuestionSetFile& file) {
    const QuestionSet& set = file.Records();
    std::string text;
    for (std::size_t i = 0; i < set.Size(); ++i) {
        const Question& q = *set.At(i);
        text += set.ToText(q.GetQuestion()) + " " + set.ToText(q.GetAnswer()) + " " +
                std::to_string(q.GetCorrectCount()) + "\n";
    }
    return text;
}

TEST_P(SetFile, EncodingsAreToldApartAndKeptByteForByte) {
    constexpr auto kCp932 = TextEncoding::kCp932, kUtf8 = TextEncoding::kUtf8,
                   kMark = TextEncoding::kUtf8WithMark;
    const std::string mark = "\xef\xbb\xbf";
    struct Case {
        const char* name;
        std::string in;
        TextEncoding encoding;
        std::string records; // as TextOf gives them
        std::string saved;   // after the first count was raised
    };
    const std::vector<Case> cases = {
        {"ascii", "dog inu 0\nq a 1\n", kCp932, "dog inu 0\nq a 1\n", "dog inu 1\r\nq a 1\r\n"},
        {"code page 932: kana, kanji, half-width, 5C trail bytes",
         Cp932("日本の首都 東京 0\r\nｱﾌﾟﾘ 予測ソ表 3\n"), kCp932,
         "日本の首都 東京 0\nｱﾌﾟﾘ 予測ソ表 3\n", Cp932("日本の首都 東京 1\r\nｱﾌﾟﾘ 予測ソ表 3\r\n")},
        {"UTF-8 without a mark keeps its LF", "りんご apple 0\n林檎 りんご 0\n", kUtf8,
         "りんご apple 0\n林檎 りんご 0\n", "りんご apple 1\n林檎 りんご 0\n"},
        {"UTF-8 with a mark, last line without a break", mark + "日本 東京 0\r\nx y 2", kMark,
         "日本 東京 0\nx y 2\n", mark + "日本 東京 1\r\nx y 2"},
        {"UTF-8 beyond code page 932, mixed line ends",
         "𠮷野家 よしのや 0\n한국 서울 0\r\n🍎 りんご 5\r", kUtf8,
         "𠮷野家 よしのや 0\n한국 서울 0\n🍎 りんご 5\n",
         "𠮷野家 よしのや 1\n한국 서울 0\r\n🍎 りんご 5\r"},
        {"UTF-8 with a mark and a broken sequence", mark + "a\xff\xe6\x97 b 0\n", kMark,
         "a\ufffd\ufffd b 0\n", mark + "a\xff\xe6\x97 b 1\n"},
        // Pairs of half-width katakana can be valid UTF-8 as well: C2 B1 is
        // ﾂｱ in code page 932 and ± in UTF-8. Such a file is taken as UTF-8.
        {"code page 932 that is valid UTF-8", "\xc2\xb1 \xc2\xb1 0\r\n", kUtf8, "± ± 0\n",
         "\xc2\xb1 \xc2\xb1 1\r\n"},
        {"sample", ReadBytes(KIRABEL_SAMPLE), kCp932, "", ""},
        {"NUL and bytes past the table", "\x81\0q \xfc\xfc 1\r\n"s, kCp932, "",
         "\x81\0q \xfc\xfc 2\r\n"s},
        {"empty line of a lone CR", "q a 1\r\n\r", kCp932, "q a 1\n", "q a 2\r\n\r"},
        {"tokens after the third", "q a 1 four  five   \r\nr b 2 \t \r\n", kCp932, "",
         "q a 2 four  five\r\nr b 2 \t\r\n"},
        {"rest after the empty line", "q a 1\nr b 2\n\nrest\n", kCp932, "",
         "q a 2\r\nr b 2\r\n\nrest\n"},
        {"spaces and zeros", "  q   a  0012  \r\n", kCp932, "q a 12\n", "q a 13\r\n"},
        {"a last line of spaces without a break", "a b 0\r\n   ", kCp932, "a b 0\n",
         "a b 1\r\n   "},
        {"0x1A inside a line", "a b 0\x1a zz\r\n", kCp932, "a b 0\n", "a b 1\x1a zz\r\n"},
        {"CR before the 0x1A", "a b 0\r\x1a", kCp932, "a b 0\n", "a b 1\r\x1a"},
        {"3 MB line", "q " + std::string(3 << 20, 'x') + " 1\r\n", kCp932, "",
         "q " + std::string(3 << 20, 'x') + " 2\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Put(c.in);
        auto set = Load();
        EXPECT_EQ(set->Records().GetEncoding(), c.encoding);
        if (!c.records.empty()) {
            EXPECT_EQ(TextOf(*set), c.records);
        }
        const std::string saved = SavedWithFirstRaised(*set);
        if (!c.saved.empty()) {
            EXPECT_EQ(saved, c.saved);
        } else { // only the first line's count changed
            const std::size_t lineEnd = c.in.find('\r');
            const std::size_t count = c.in.rfind(' ', lineEnd) + 1;
            EXPECT_EQ(saved,
                      c.in.substr(0, count) +
                          std::to_string(std::stoi(c.in.substr(count, lineEnd - count)) + 1) +
                          c.in.substr(lineEnd));
        }
    }
    // A CR LF across the 64 KiB boundary, and a 0x1A past it.
    const std::string wide = "q " + std::string(65531, 'y') + " 1\r\n";
    Put(wide + wide + "r b 2\r\n\x1atail");
    auto set = Load();
    EXPECT_EQ(set->Records().Size(), 3u);
    EXPECT_EQ(SavedWithFirstRaised(*set),
              "q " + std::string(65531, 'y') + " 2\r\n" + wide + "r b 2\r\n\x1atail");
}

TEST_P(SetFile, UnicodeOtherThanUtf8IsRefusedAndNeverWritten) {
    const std::vector<std::pair<std::string, const char*>> cases = {
        {"\xff\xfeq\0 \0a\0 \0"
         "0\0\r\0\n\0"s,
         "UTF-16"},
        {"\xfe\xff\0q\0 \0a\0 \0"
         "0"s,
         "UTF-16"},
        {"\xff\xfe\0\0q\0\0\0"s, "UTF-32"},
        {"\0\0\xfe\xff\0\0\0q"s, "UTF-32"}};
    for (const auto& [bytes, name] : cases) {
        Put(bytes);
        EXPECT_EQ(MessageOf<CpException>([&] { Load(); }),
                  "この問題集ファイルは "s + name +
                      " で保存されているため、読み込めません。UTF-8 か Shift_JIS "
                      "で保存し直してください。\n");
        EXPECT_EQ(Bytes(), bytes);
    }
}

TEST_P(SetFile, MalformedLineNamesItsNumber) {
    const std::string noToken = "トークンが有りません。", notANumber = "数字ではありません。";
    const std::vector<std::tuple<std::string, int, std::string>> cases = {
        {Cp932("日本の首都 東京\r\n"), 1, noToken},
        {"q a 1\r\n   \r\n", 2, noToken},
        {"q a 1\r\nr b 2\r\n" + Cp932("s t ３\r\n"), 3, notANumber},
        {"q a 1\r\nr b -1", 2, notANumber},
        {"q a 1\r\n\x81", 2, noToken},
        {"q a 1\r\r\n", 1, notANumber}, // only the CR right before LF ends a line
        {Lines(11) + "a\tb 1\r\n", 12, noToken}};
    for (const auto& [bytes, line, cause] : cases) {
        Put(bytes);
        EXPECT_EQ(MessageOf<CpException>([&] { Load(); }),
                  "問題集ファイル読み込みに失敗しました：" + std::to_string(line) + "行目\n  -" +
                      cause + "\n");
        EXPECT_EQ(Bytes(), bytes);
    }
}

TEST_F(DiskFile, ASaveWithNothingRaisedLeavesTheFileAlone) {
    WriteBytes(m_path, "q  a 007\r\n");
    const auto past = fs::last_write_time(m_path) - std::chrono::hours(24 * 365);
    fs::last_write_time(m_path, past);
    const FileStamp before = FileSystem::StampOf(m_path);
    auto set = QuestionSetFile::Load(m_path);
    set->Save();
    set->Records().At(0)->AddCorrect(0); // raising by nothing is no change either
    set->Save();
    EXPECT_EQ(fs::last_write_time(m_path), past);
    EXPECT_TRUE(FileSystem::StampOf(m_path) == before);
    EXPECT_EQ(ReadBytes(m_path), "q  a 007\r\n");
}

// A run answers a line right twice (both saved), an editor writes the file,
// the run answers the line right once more and saves.
TEST_P(SetFile, AMergeCarriesTheRunIntoWhatTheEditorWrote) {
    const std::string before = "a A 0\r\nb B 5\r\n", kanji = Cp932("犬 いぬ 0\r\n猫 ねこ 5\r\n");
    struct Case {
        const char* name;
        std::string before;
        std::string edited;   // what the editor wrote over "a A 2" (or 犬 いぬ 2)
        const char* expected; // null: the save fails, the file stays as written
    };
    const Case cases[] = {
        {"nothing but the counts as saved", before, "a A 2\r\nb B 5\r\n", "a A 3\r\nb B 5\r\n"},
        {"the old copy", before, before, "a A 3\r\nb B 5\r\n"},
        {"a count set by hand", before, "a A 10\r\nb B 5\r\n", "a A 11\r\nb B 5\r\n"},
        {"lines moved", before, "b B 5\r\nc C 1\r\na A 2\r\n", "b B 5\r\nc C 1\r\na A 3\r\n"},
        {"the old copy moved", before, "b B 5\r\na A 0\r\n", "b B 5\r\na A 3\r\n"},
        {"another line removed", before, "a A 2\r\n", "a A 3\r\n"},
        {"every raised line removed", before, "b B 5\r\nc C 0\r\n", "b B 5\r\nc C 0\r\n"},
        {"a copy as saved below", before, "a A 2\r\na A 2\r\nb B 5\r\n",
         "a A 3\r\na A 2\r\nb B 5\r\n"},
        {"a copy with the first count above", before, "a A 0\r\na A 2\r\nb B 5\r\n",
         "a A 0\r\na A 3\r\nb B 5\r\n"},
        {"a copy with the first count below", before, "a A 2\r\nb B 5\r\na A 0\r\n",
         "a A 3\r\nb B 5\r\na A 0\r\n"},
        {"a copy in the old copy", before, "a A 0\r\na A 0\r\nb B 5\r\n",
         "a A 3\r\na A 0\r\nb B 5\r\n"},
        {"unreadable", before, "a A 2\r\nb B\r\n", nullptr},
        {"saved again as UTF-8", kanji, "犬 いぬ 2\n猫 ねこ 5\n", "犬 いぬ 3\n猫 ねこ 5\n"},
        {"the old copy saved as UTF-8 with a mark", kanji, "\xef\xbb\xbf犬 いぬ 0\r\n猫 ねこ 5\r\n",
         "\xef\xbb\xbf犬 いぬ 3\r\n猫 ねこ 5\r\n"},
        {"UTF-8 saved again as Shift_JIS", "犬 いぬ 0\n猫 ねこ 5\n",
         Cp932("犬 いぬ 2\r\n猫 ねこ 5\r\n"), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Put(c.before);
        auto set = Load();
        for (int i = 0; i < 2; ++i) {
            set->Records().At(0)->AddCorrect();
            set->Save();
        }
        Edit(c.edited);
        set->Records().At(0)->AddCorrect();
        if (!c.expected) {
            EXPECT_THROW(set->Save(), CpException);
            EXPECT_EQ(Bytes(), c.edited);
            EXPECT_EQ(set->Records().Size(), 2u); // the set as it was, its counts too
            EXPECT_EQ(set->Records().At(0)->GetCorrectCount(), 3);
            continue;
        }
        set->Save();
        const std::string expected = *c.expected ? c.expected : Cp932("犬 いぬ 3\r\n猫 ねこ 5\r\n");
        EXPECT_EQ(Bytes(), expected);
        set->Save(); // nothing more to carry
        EXPECT_EQ(Bytes(), expected);
    }
}

// A merge keeps the set's own records for unchanged lines: whatever the editor
// did, the set then holds exactly what the file holds.
TEST_P(SetFile, AfterAMergeTheSetIsWhatTheFileHolds) {
    const auto line = [](int i, const char* answer, int count) {
        return "q" + std::to_string(i) + " " + answer + " " + std::to_string(count) + "\r\n";
    };
    std::string before, removed = "new n 4\r\n", reversed, changed;
    for (int i = 0; i < 60; ++i) {
        before += line(i, "a", 0);
        if (i < 10 || i >= 40) { // 30 lines removed, more than a merge steps over at once
            removed += line(i, "a", i == 50 ? 1 : i % 3);
        }
        reversed += line(59 - i, "a", i == 9 ? 2 : 0);
        changed += line(i, i == 50 ? "a" : "b", i == 50 ? 3 : 0);
    }
    Put(before);
    auto set = Load();
    int expected = 1; // q50's count
    set->Records().At(50)->AddCorrect();
    set->Save();
    for (const std::string& edited : {removed, reversed, changed, before}) {
        Edit(edited);
        for (std::size_t i = 0; i < set->Records().Size(); ++i) {
            if (set->Records().At(i)->GetQuestion() == "q50") {
                set->Records().At(i)->AddCorrect();
            }
        }
        set->Save();
        ++expected; // the last one, the first file again, is an old copy: it gets all back
        const auto saved = Load();
        EXPECT_EQ(TextOf(*set), TextOf(*saved));
        EXPECT_NE(TextOf(*saved).find("q50 a " + std::to_string(expected) + "\n"),
                  std::string::npos)
            << TextOf(*saved);
    }
}

TEST_F(DiskFile, UnreadablePathIsNeverSavedOver) {
    const fs::path missing = m_dir.Path() / "missing.krb", folder = m_dir.Path() / "folder.krb";
    fs::create_directory(folder);
    for (const fs::path& path : {missing, folder}) {
        auto set = QuestionSetFile::Load(Utf8Of(path));
        EXPECT_EQ(set->Records().Size(), 0u);
        set->Save();
    }
    EXPECT_FALSE(fs::exists(missing));
    EXPECT_TRUE(fs::is_directory(folder) && fs::is_empty(folder));
}

} // namespace

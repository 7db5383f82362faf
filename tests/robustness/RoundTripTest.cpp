// Generated files in every shape the reader accepts. Each generator step knows
// what the saved file must hold, so the expected bytes never come from the
// code under test.
#include "questions/Question.h"
#include "questions/QuestionSet.h"
#include "questions/QuestionSetFile.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>
#include <random>
#include <string>

namespace {

struct GeneratedFile {
    std::string input, expected;
};

class Generator {
public:
    Generator(unsigned seed, bool utf8) : m_random(seed), m_utf8(utf8) {}

    // A long first line ends right at the reader's 64 KiB buffer boundary.
    GeneratedFile Next(bool longFirst) {
        GeneratedFile file;
        if (m_utf8 && Pick(2)) {
            file.input = file.expected = "\xef\xbb\xbf";
        }
        const int records = Pick(6) + longFirst;
        static const std::string kEnds[] = {"\n", "\r\n", "", "\r"};
        // Only the last line may end without a line break, or with a lone CR.
        const std::string lastEnd = kEnds[Pick(records > 0 ? 4 : 2)];
        const bool broken = records > 0 && lastEnd.find('\n') == std::string::npos;
        std::string untaken;
        switch (Pick(broken ? 2 : 5)) {
        case 1:
            untaken = "\x1a" + Rest();
            break;
        case 2:
            untaken = (Pick(2) ? "\n" : "\r\n") + Rest();
            break;
        case 3: // an empty line of a lone CR ends the input only at its very end
            untaken = Pick(2) ? "\r" : "\r\x1a" + Rest();
            break;
        case 4: // a last line of spaces only, without a line break
            untaken = Spaces(1) + (Pick(2) ? "" : "\x1a" + Rest());
            break;
        }
        for (int i = 0; i < records; ++i) {
            AddRecord(file, longFirst && i == 0 ? 65533 + Pick(5) : 0, i == 0);
            const std::string end = i + 1 == records ? lastEnd : kEnds[Pick(2)];
            file.input += end;
            // Code page 932 lines end in CR LF, but for the bytes before a 0x1A.
            const bool cut = i + 1 == records && broken && !untaken.empty();
            file.expected += m_utf8 || cut ? end : "\r\n";
        }
        file.input += untaken;
        file.expected += untaken;
        return file;
    }

private:
    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_random); }
    std::string Spaces(int least) { return std::string(least + Pick(3), ' '); }

    // Never a space, LF or 0x1A; never ending in CR, which would turn LF into CR LF.
    std::string Token() {
        std::string token;
        for (int n = 1 + Pick(4); n > 0; --n) {
            switch (Pick(6)) {
            case 0:
                if (m_utf8) {
                    static const char* const kCharacters[] = {"日", "ｱ", "한", "🍎", "é", "〜"};
                    token += kCharacters[Pick(6)];
                } else {
                    token += static_cast<char>(Pick(2) ? 0x81 + Pick(31) : 0xe0 + Pick(29));
                    token += static_cast<char>(0x40 + Pick(0xbd)); // code page 932 trail byte
                }
                break;
            case 1:
                token += m_utf8 ? "\xe4\xba\x9c" : "\x88\x9f";
                break;
            case 2:
                token += n > 1 ? '\r' : 'r';
                break;
            case 3:
                token += std::string("\t\0#0", 4)[Pick(4)];
                break;
            default:
                token += static_cast<char>('a' + Pick(26));
            }
        }
        return token;
    }

    // A line of at least the given length (padded in its question), its count
    // raised by one in what is expected. The first question has a character
    // that marks the encoding: invalid UTF-8, or beyond ASCII.
    void AddRecord(GeneratedFile& file, int length, bool first) {
        // One draw per declarator, so that every compiler makes the same files.
        const std::string lead = Spaces(0), question = (first ? Marker() : "") + Token(),
                          answer = Token(), zeros(Pick(3), '0');
        const int count = Pick(3) ? Pick(20) : Pick(2000000000);
        const std::string tail = Pick(2) ? Token() : "", gap = Spaces(1),
                          more = tail.empty() || Pick(2) ? "" : gap + Token();
        std::string line = Spaces(1) + answer;
        line += Spaces(1) + zeros + std::to_string(count);
        line += tail.empty() ? "" : Spaces(1) + tail + more;
        line += Spaces(0);
        const std::size_t unpadded = lead.size() + question.size() + line.size();
        const std::string padding(std::max<std::size_t>(length, unpadded) - unpadded, 'x');
        file.input += lead + padding + question + line;
        file.expected += padding + question + ' ' + answer + ' ' + std::to_string(count + 1) +
                         (tail.empty() ? "" : ' ' + tail + more);
    }

    std::string Marker() const { return m_utf8 ? "語" : "\x8c\xea"; }

    // Anything at all in the encoding: the reader never looks at it.
    std::string Rest() {
        static const std::string pieces[] = {
            "q a 1\r\n", "\r\n", "\n", "\r", "\x1a", " ", std::string(1, '\0'), "x y", "\x88\x9f"};
        std::string rest;
        for (int n = Pick(8); n > 0; --n) {
            if (m_utf8) {
                rest += Pick(4) ? pieces[Pick(8)] : "한";
            } else {
                rest += Pick(4) ? pieces[Pick(9)] : std::string(1, static_cast<char>(Pick(256)));
            }
        }
        return rest;
    }

    std::mt19937 m_random;
    bool m_utf8;
};

TEST(RoundTrip, GeneratedFilesChangeOnlyWhatTheFormatAllows) {
    testsupport::TempDir dir;
    const std::string path = dir.File("set.krb");
    for (const bool utf8 : {false, true}) {
        Generator generator(20240601, utf8);
        for (int i = 0; i < 400; ++i) {
            const GeneratedFile file = generator.Next(i % 10 == 0);
            testsupport::WriteBytes(path, file.input);
            auto set = QuestionSetFile::Load(path);
            for (std::size_t r = 0; r < set->Records().Size(); ++r) {
                set->Records().At(r)->AddCorrect();
            }
            set->Save();
            ASSERT_EQ(testsupport::ReadBytes(path), file.expected)
                << (utf8 ? "UTF-8" : "code page 932") << " file " << i << " was "
                << testing::PrintToString(file.input);
        }
    }
}

} // namespace

// Generated files in every shape the reader accepts. Each generator step knows
// what the saved file must hold, so the expected bytes never come from the
// code under test.
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
    explicit Generator(unsigned seed) : m_random(seed) {}

    // A long first line ends right at the reader's 64 KiB buffer boundary.
    GeneratedFile Next(bool longFirst) {
        GeneratedFile file;
        const int records = Pick(6) + longFirst;
        static const std::string kEnds[] = {"\n", "\r\n", "", "\r"};
        for (int i = 0; i < records; ++i) {
            AddRecord(file, longFirst && i == 0 ? 65533 + Pick(5) : 0);
            // Only the last line may end without a line break, or with a lone CR.
            file.input += kEnds[Pick(i + 1 == records ? 4 : 2)];
        }
        const bool broken = records > 0 && file.input.back() != '\n';
        std::string untaken;
        switch (Pick(broken ? 2 : 4)) {
        case 1:
            untaken = "\x1a" + Rest();
            break;
        case 2:
            untaken = (Pick(2) ? "\n" : "\r\n") + Rest();
            break;
        case 3: // an empty line of a lone CR ends the input only at its very end
            untaken = Pick(2) ? "\r" : "\r\x1a" + Rest();
            break;
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
                token += static_cast<char>(Pick(2) ? 0x81 + Pick(31) : 0xe0 + Pick(29));
                token += static_cast<char>(0x40 + Pick(0xbd)); // code page 932 trail byte
                break;
            case 1:
                token += "\x88\x9f";
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

    // A line of at least the given length (padded in its question).
    void AddRecord(GeneratedFile& file, int length) {
        // One draw per declarator, so that every compiler makes the same files.
        const std::string lead = Spaces(0), question = Token(), answer = Token(),
                          count = std::to_string(Pick(3) ? Pick(20) : Pick(2000000000)),
                          zeros(Pick(3), '0'), tail = Pick(2) ? Token() : "", gap = Spaces(1),
                          more = tail.empty() || Pick(2) ? "" : gap + Token();
        std::string line = Spaces(1) + answer;
        line += Spaces(1) + zeros + count;
        line += tail.empty() ? "" : Spaces(1) + tail + more;
        line += Spaces(0);
        const std::size_t unpadded = lead.size() + question.size() + line.size();
        const std::string padding(std::max<std::size_t>(length, unpadded) - unpadded, 'x');
        file.input += lead + padding + question + line;
        file.expected += padding + question + ' ' + answer + ' ' + count +
                         (tail.empty() ? "" : ' ' + tail + more) + "\r\n";
    }

    // Anything at all: the reader never looks at it.
    std::string Rest() {
        static const std::string pieces[] = {
            "q a 1\r\n", "\r\n", "\n", "\r", "\x1a", " ", std::string(1, '\0'), "x y", "\x88\x9f"};
        std::string rest;
        for (int n = Pick(8); n > 0; --n) {
            rest += Pick(4) ? pieces[Pick(9)] : std::string(1, static_cast<char>(Pick(256)));
        }
        return rest;
    }

    std::mt19937 m_random;
};

TEST(RoundTrip, GeneratedFilesChangeOnlyWhatTheFormatAllows) {
    testsupport::TempDir dir;
    const std::string path = dir.File("set.krb");
    Generator generator(20240601);
    for (int i = 0; i < 400; ++i) {
        const GeneratedFile file = generator.Next(i % 10 == 0);
        testsupport::WriteBytes(path, file.input);
        LoadQuestionSet(path)->Save();
        ASSERT_EQ(testsupport::ReadBytes(path), file.expected)
            << "file " << i << " was " << testing::PrintToString(file.input);
    }
}

} // namespace

// Arbitrary bytes as a question-set file. When they load, a save must give
// exactly what the format rules give (worked out here, without the code under
// test), and loading and saving that again must change nothing.
#include "questions/CpException.h"
#include "questions/Question.h"
#include "questions/QuestionSetFile.h"
#include "tests/TestSupport.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct Record {
    std::string question, answer;
    int count;
};

struct Expected {
    std::vector<Record> records;
    std::size_t untaken; // where the bytes kept as they stand begin
    std::string saved;
};

// Digits without leading zeros, saturated at the top of int.
std::string CountText(std::string_view digits) {
    digits.remove_prefix(std::min(digits.find_first_not_of('0'), digits.size()));
    if (digits.size() > 10 || (digits.size() == 10 && digits > "2147483647")) {
        return "2147483647";
    }
    return digits.empty() ? "0" : std::string(digits);
}

std::optional<Expected> Model(std::string_view in) {
    constexpr auto npos = std::string_view::npos;
    const std::string_view body = in.substr(0, in.find('\x1a'));
    Expected out{{}, 0, {}};
    std::size_t& pos = out.untaken;
    while (pos < body.size()) {
        const std::size_t lf = std::min(body.find('\n', pos), body.size());
        std::string_view line = body.substr(pos, lf - pos);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.empty()) {
            break;
        }
        std::string_view field[3];
        std::size_t at = 0;
        for (std::string_view& f : field) {
            at = line.find_first_not_of(' ', at);
            if (at == npos) {
                return std::nullopt;
            }
            f = line.substr(at, std::min(line.find(' ', at), line.size()) - at);
            at += f.size();
        }
        if (field[2].find_first_not_of("0123456789") != npos) {
            return std::nullopt;
        }
        const std::string count = CountText(field[2]);
        out.records.push_back({std::string(field[0]), std::string(field[1]), std::stoi(count)});
        out.saved.append(field[0]).append(" ").append(field[1]).append(" ").append(count);
        if (const std::size_t tail = line.find_first_not_of(' ', at); tail != npos) {
            out.saved.append(" ").append(line.substr(tail, line.find_last_not_of(' ') + 1 - tail));
        }
        out.saved += "\r\n";
        pos = std::min(lf + 1, body.size());
    }
    out.saved.append(in.substr(pos));
    return out;
}

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "question-set fuzz check failed: %s\n", what);
        std::abort();
    }
}

bool SameRecords(const QuestionSet& set, const std::vector<Record>& records) {
    if (set.Size() != records.size()) {
        return false;
    }
    for (std::size_t i = 0; i < records.size(); ++i) {
        const Question& q = *set.At(i);
        if (q.GetQuestion() != records[i].question || q.GetAnswer() != records[i].answer ||
            q.GetCorrectCount() != records[i].count) {
            return false;
        }
    }
    return true;
}

// One scratch file for the whole run; $TMPDIR may point at a RAM disk for speed.
const std::string& ScratchFile() {
    static const testsupport::TempDir dir;
    static const std::string file = dir.File("fuzz.krb");
    return file;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::string& path = ScratchFile();
    testsupport::WriteBytes(path, input);
    const std::optional<Expected> expected = Model(input);
    std::unique_ptr<QuestionSet> set;
    try {
        set = LoadQuestionSet(path);
    } catch (const CpException&) {
        Check(!expected, "refused a file the format allows");
        Check(testsupport::ReadBytes(path) == input, "a refused file changed");
        return 0;
    }
    Check(expected.has_value(), "took a line the format refuses");
    Check(SameRecords(*set, expected->records), "records differ from the file");

    set->Save();
    const std::string saved = testsupport::ReadBytes(path);
    const std::string_view rest = std::string_view(input).substr(expected->untaken);
    Check(saved.ends_with(rest), "untaken bytes changed");
    Check(saved == expected->saved, "saved lines differ from the format");

    set = LoadQuestionSet(path);
    Check(SameRecords(*set, expected->records), "records changed over save and load");
    set->Save();
    Check(testsupport::ReadBytes(path) == saved, "a second save changed the file");
    return 0;
}

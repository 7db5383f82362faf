// Arbitrary bytes as a question-set file. When they load, the records and
// every save must be exactly what the format rules give (worked out here,
// without the code under test): an unraised set leaves the file alone, and a
// raised one changes only its counts and what the encoding's line-end rule
// allows, again and again.
#include "questions/CpException.h"
#include "questions/Question.h"
#include "questions/QuestionSet.h"
#include "questions/QuestionSetFile.h"
#include "tests/TestSupport.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <span>
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
    std::size_t untaken;     // where the bytes kept as they stand begin
    std::string savedRaised; // the file after every count was raised by one
};

// Strict UTF-8, decoded by hand: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsUtf8(std::string_view in) {
    for (std::size_t i = 0; i < in.size();) {
        const auto b = static_cast<unsigned char>(in[i]);
        const int extra = b < 0x80                ? 0
                          : b >= 0xc2 && b < 0xe0 ? 1
                          : b >= 0xe0 && b < 0xf0 ? 2
                          : b >= 0xf0 && b < 0xf5 ? 3
                                                  : -1;
        if (extra < 0 || i + extra >= in.size() + (extra == 0)) {
            return false;
        }
        std::uint32_t c = extra == 0 ? b : b & (0x3f >> extra);
        for (int k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(in[i + k]);
            if ((next & 0xc0) != 0x80) {
                return false;
            }
            c = c << 6 | (next & 0x3f);
        }
        const std::uint32_t least[] = {0, 0x80, 0x800, 0x10000};
        if (c < least[extra] || (c >= 0xd800 && c < 0xe000) || c > 0x10ffff) {
            return false;
        }
        i += 1 + extra;
    }
    return true;
}

// Digits without leading zeros, plus the raise, saturated at the top of int.
std::string CountText(std::string_view digits, int raise) {
    digits.remove_prefix(std::min(digits.find_first_not_of('0'), digits.size()));
    if (digits.size() > 10 || (digits.size() == 10 && digits > "2147483647")) {
        return "2147483647";
    }
    const long long value = (digits.empty() ? 0 : std::stoll(std::string(digits))) + raise;
    return std::to_string(std::min<long long>(value, INT_MAX));
}

// UTF-8's byte order mark, then those of UTF-16 and UTF-32, which are refused.
constexpr std::string_view kMarks[] = {"\xef\xbb\xbf", std::string_view("\xff\xfe", 2),
                                       std::string_view("\xfe\xff", 2),
                                       std::string_view("\0\0\xfe\xff", 4)};

std::optional<Expected> Model(std::string_view in) {
    constexpr auto npos = std::string_view::npos;
    for (const std::string_view mark : std::span(kMarks).subspan(1)) {
        if (in.substr(0, mark.size()) == mark) {
            return std::nullopt; // UTF-16 or UTF-32: refused
        }
    }
    const bool marked = in.substr(0, 3) == kMarks[0];
    const bool utf8 = marked || (IsUtf8(in) && std::any_of(in.begin(), in.end(), [](char c) {
                                     return static_cast<unsigned char>(c) >= 0x80;
                                 }));
    const std::size_t start = marked ? 3 : 0;
    const std::string_view body = in.substr(0, in.find('\x1a'));
    Expected out{{}, start, std::string(in.substr(0, start))};
    std::size_t& pos = out.untaken;
    while (pos < body.size()) {
        const std::size_t lf = body.find('\n', pos);
        std::string_view line = body.substr(pos, std::min(lf, body.size()) - pos);
        std::string_view end = lf == npos ? "" : "\n";
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
            end = lf == npos ? "\r" : "\r\n";
        }
        if (line.empty() || (lf == npos && line.find_first_not_of(' ') == npos)) {
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
        out.records.push_back(
            {std::string(field[0]), std::string(field[1]), std::stoi(CountText(field[2], 0))});
        if (out.records.size() == 1 && !marked) {
            // A first question that would read as a byte order mark keeps a space before it.
            for (const std::string_view mark : kMarks) {
                if (field[0].substr(0, mark.size()) == mark) {
                    out.savedRaised += ' ';
                    break;
                }
            }
        }
        out.savedRaised.append(field[0]).append(" ").append(field[1]).append(" ");
        out.savedRaised.append(CountText(field[2], 1));
        if (const std::size_t tail = line.find_first_not_of(' ', at); tail != npos) {
            out.savedRaised.append(" ").append(
                line.substr(tail, line.find_last_not_of(' ') + 1 - tail));
        }
        // Code page 932 lines end in CR LF, but for the bytes before a 0x1A.
        const bool cut = lf == npos && body.size() < in.size();
        out.savedRaised.append(utf8 || cut ? end : "\r\n");
        pos = lf == npos ? body.size() : lf + 1;
    }
    out.savedRaised.append(in.substr(pos));
    // Counts already at the top do not rise: with nothing raised nothing is written.
    if (std::none_of(out.records.begin(), out.records.end(),
                     [](const Record& r) { return r.count < INT_MAX; })) {
        out.savedRaised = in;
    }
    return out;
}

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "question-set fuzz check failed: %s\n", what);
        std::abort();
    }
}

bool SameRecords(const QuestionSet& set, const std::vector<Record>& records, int raise) {
    if (set.Size() != records.size()) {
        return false;
    }
    for (std::size_t i = 0; i < records.size(); ++i) {
        const Question& q = *set.At(i);
        if (q.GetQuestion() != records[i].question || q.GetAnswer() != records[i].answer ||
            q.GetCorrectCount() != std::min<long long>(0LL + records[i].count + raise, INT_MAX)) {
            return false;
        }
    }
    return true;
}

void RaiseAll(QuestionSet& set) {
    for (std::size_t i = 0; i < set.Size(); ++i) {
        set.At(i)->AddCorrect();
    }
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
    std::unique_ptr<QuestionSetFile> set;
    try {
        set = QuestionSetFile::Load(path);
    } catch (const CpException&) {
        Check(!expected, "refused a file the format allows");
        Check(testsupport::ReadBytes(path) == input, "a refused file changed");
        return 0;
    }
    Check(expected.has_value(), "took a file the format refuses");
    Check(SameRecords(set->Records(), expected->records, 0), "records differ from the file");

    set->Save();
    Check(testsupport::ReadBytes(path) == input, "a save without a raised count wrote");

    RaiseAll(set->Records());
    set->Save();
    const std::string saved = testsupport::ReadBytes(path);
    const std::string_view rest = std::string_view(input).substr(expected->untaken);
    Check(saved.ends_with(rest), "untaken bytes changed");
    Check(saved == expected->savedRaised, "saved lines differ from the format");

    set = QuestionSetFile::Load(path);
    Check(SameRecords(set->Records(), expected->records, 1), "records changed over save and load");
    RaiseAll(set->Records());
    set->Save();
    const std::optional<Expected> again = Model(saved);
    Check(again && testsupport::ReadBytes(path) == again->savedRaised,
          "a second save changed more than the counts");
    return 0;
}

#include "questions/QuestionSetFile.h"

#include "questions/CpException.h"
#include "questions/FileSystem.h"
#include "questions/Question.h"
#include "questions/TextFileReader.h"
#include "questions/TokenReader.h"
#include "res/Strings.h"

#include <string_view>
#include <utility>

namespace {

std::unique_ptr<QuestionSet> UnreadableSet(const std::string& path) {
    auto set = std::make_unique<QuestionSet>(path);
    set->MarkUnreadable();
    return set;
}

bool OnlySpaces(std::string_view line) {
    return line.find_first_not_of(' ') == std::string_view::npos;
}

} // namespace

std::unique_ptr<QuestionSet> LoadQuestionSet(std::string path) {
    TextFileReader reader(path);
    if (!reader.IsOpen()) {
        return UnreadableSet(path);
    }
    auto set = std::make_unique<QuestionSet>(path);
    TokenReader tokens;
    int lineNumber = 0;
    std::string_view line; // into the reader's buffer: no copy per line
    try {
        bool ended = false;
        while (reader.ReadLine(line)) {
            const TextFileReader::LineEnd end = reader.LastLineEnd();
            // The first empty line ends the records, and so does a last line
            // of spaces without a line break; from there on everything is
            // kept as it stands, the line's own end included.
            const bool unterminated = end == TextFileReader::kNone || end == TextFileReader::kCr;
            if (line.empty() || (unterminated && OnlySpaces(line))) {
                set->SetUntakenRest(std::string(line) +
                                    std::string(TextFileReader::LineEndBytes(end)) +
                                    reader.ReadRest());
                ended = true;
                break;
            }
            ++lineNumber;
            tokens.SetLine(line.data(), line.size());
            const std::string_view question = tokens.NextTokenView();
            const std::string_view answer = tokens.NextTokenView();
            const std::string_view countToken = tokens.NextTokenView();
            const int count = ToNumber(countToken.data(), countToken.size());
            if (lineNumber == 1) { // a file that starts with a record: make room for the rest
                set->Reserve(reader.EstimatedLines());
            }
            const Question* record = set->AppendRead(question, answer, count, end);
            std::string tail = tokens.RestOfLine();
            if (!tail.empty()) {
                set->SetLineTail(record, std::move(tail));
            }
            if (unterminated && reader.StoppedAtEndMark()) {
                set->SetLastLineCut();
            }
        }
        if (!ended) {
            set->SetUntakenRest(reader.ReadRest()); // from the 0x1A on, if there is one
        }
    } catch (const CpException& cause) {
        throw CpException(cause,
                          strings::kReadFailedAt + IntToString(lineNumber) + strings::kLineSuffix);
    }
    if (const char* mark = reader.ForeignMark()) {
        throw CpException(std::string(strings::kForeignEncodingBefore) + mark +
                          strings::kForeignEncodingAfter);
    }
    if (reader.HasFailed()) {
        return UnreadableSet(path);
    }
    set->MarkRead(reader.Encoding(), reader.Stamp(), FileSystem::IsWritable(path));
    return set;
}

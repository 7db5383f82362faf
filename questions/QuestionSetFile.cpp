#include "questions/QuestionSetFile.h"

#include "questions/CpException.h"
#include "questions/Messages.h"
#include "questions/Question.h"
#include "questions/TextFileReader.h"
#include "questions/TokenReader.h"

#include <string_view>
#include <utility>

namespace {

std::unique_ptr<QuestionSet> UnreadableSet(const std::string& path) {
    auto set = std::make_unique<QuestionSet>(path);
    set->MarkUnreadable();
    return set;
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
        bool emptyLine = false;
        while (reader.ReadLine(line)) {
            if (line.empty()) {
                emptyLine = true;
                break;
            }
            ++lineNumber;
            tokens.SetLine(line.data(), line.size());
            const std::string_view question = tokens.NextTokenView();
            const std::string_view answer = tokens.NextTokenView();
            const std::string_view countToken = tokens.NextTokenView();
            const int count = ToNumber(countToken.data(), countToken.size());
            auto record = Question::FromBytes(question, answer, count);
            std::string tail = tokens.RestOfLine();
            if (!tail.empty()) {
                set->SetLineTail(record.get(), std::move(tail));
            }
            set->Append(std::move(record));
        }
        // The empty line's own break, or the 0x1A, starts what is kept as it stands.
        set->SetUntakenRest(emptyLine ? reader.LastLineEnd() + reader.ReadRest()
                                      : reader.ReadRest());
    } catch (const CpException& cause) {
        throw CpException(cause, messages::kReadFailedAt + IntToString(lineNumber) +
                                     messages::kLineSuffix);
    }
    if (reader.HasFailed()) {
        return UnreadableSet(path);
    }
    return set;
}

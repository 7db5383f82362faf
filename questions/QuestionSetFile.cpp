#include "questions/QuestionSetFile.h"

#include "questions/CpException.h"
#include "questions/FileLock.h"
#include "questions/FileSystem.h"
#include "questions/Question.h"
#include "questions/RecordIndex.h"
#include "questions/TextFileReader.h"
#include "questions/TextFileWriter.h"
#include "questions/TokenReader.h"
#include "res/Strings.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <string_view>
#include <utility>

namespace {

constexpr std::size_t kPrefetchAhead = 16;

void Prefetch(const void* address) {
#if defined(__GNUC__)
    __builtin_prefetch(address);
#else
    (void)address;
#endif
}

constexpr std::string_view kUtf8Mark = "\xef\xbb\xbf";

int Saturated(int count, int raise) {
    return count > std::numeric_limits<int>::max() - raise ? std::numeric_limits<int>::max()
                                                           : count + raise;
}

bool OnlySpaces(std::string_view line) {
    return line.find_first_not_of(' ') == std::string_view::npos;
}

} // namespace

std::unique_ptr<QuestionSet> LoadQuestionSet(std::string path) {
    return QuestionSetFile::Load(std::move(path));
}

void QuestionSet::Save() {
    QuestionSetFile::Save(*this);
}

std::unique_ptr<QuestionSet> QuestionSetFile::Load(std::string path) {
    TextFileReader reader(path);
    if (!reader.IsOpen()) {
        return UnreadableSet(path);
    }
    auto set = std::make_unique<QuestionSet>(path);
    auto file = std::make_unique<QuestionSetFile>();
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
                file->m_untakenRest = std::string(line) +
                                      std::string(TextFileReader::LineEndBytes(end)) +
                                      reader.ReadRest();
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
                const std::size_t lines = reader.EstimatedLines();
                set->m_questions.reserve(lines);
                file->m_savedCounts.reserve(lines);
                file->m_lineEnds.reserve(lines);
            }
            const Question* record = set->EmplaceRead(question, answer, count);
            file->m_savedCounts.push_back(count);
            file->m_lineEnds.push_back(end);
            std::string tail = tokens.RestOfLine();
            if (!tail.empty()) {
                file->m_lineTails[record] = std::move(tail);
            }
            if (unterminated && reader.StoppedAtEndMark()) {
                file->m_lastLineCut = true;
            }
        }
        if (!ended) {
            file->m_untakenRest = reader.ReadRest(); // from the 0x1A on, if there is one
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
    // The file was read whole: its counts and stamp from now on tell what changed.
    set->m_encoding = reader.Encoding();
    set->m_writable = FileSystem::IsWritable(path);
    file->m_stamp = reader.Stamp();
    set->m_file = std::move(file);
    return set;
}

void QuestionSetFile::Save(QuestionSet& set) {
    if (!set.m_ownsQuestions || set.m_unreadable) {
        return;
    }
    QuestionSetFile& file = Of(set);
    if (!file.HasRaisedCounts(set)) {
        return;
    }
    // No other Kirabel saves the file from the check below to the replace.
    const FileLock lock = FileLock::ForSave(set.m_path);
    if (file.m_stamp.valid) {
        const FileStamp now = FileSystem::StampOf(set.m_path);
        // A file that is gone is written anew with what this set holds.
        if (now.valid && !(now == file.m_stamp)) {
            file.MergeChangedFile(set);
            if (!file.HasRaisedCounts(set)) {
                return; // every raised record was removed
            }
        }
    }
    file.Write(set);
}

std::unique_ptr<QuestionSet> QuestionSetFile::UnreadableSet(const std::string& path) {
    auto set = std::make_unique<QuestionSet>(path);
    set->m_unreadable = true; // never to be saved over the file
    return set;
}

QuestionSetFile& QuestionSetFile::Of(QuestionSet& set) {
    if (!set.m_file) {
        set.m_file = std::make_unique<QuestionSetFile>();
    }
    return static_cast<QuestionSetFile&>(*set.m_file);
}

bool QuestionSetFile::HasRaisedCounts(const QuestionSet& set) const {
    if (m_savedCounts.size() != set.m_questions.size()) {
        return true; // records the file never had
    }
    const std::size_t count = set.m_questions.size();
    for (std::size_t i = 0; i < count; ++i) {
        if (i + kPrefetchAhead < count) {
            Prefetch(set.m_questions[i + kPrefetchAhead]);
        }
        if (set.m_questions[i]->GetCorrectCount() != m_savedCounts[i]) {
            return true;
        }
    }
    return false;
}

void QuestionSetFile::MergeChangedFile(QuestionSet& set) {
    std::unique_ptr<QuestionSet> fresh;
    try {
        fresh = Load(set.m_path);
    } catch (const CpException& cause) {
        throw CpException(cause, strings::kChangedUnreadable);
    }
    if (fresh->IsUnreadable()) {
        throw CpException(strings::kChangedUnreadable);
    }

    // The records to carry over: those raised since the last save, those
    // this run raised before, and the one being followed. Each is found again
    // as the same occurrence of its question and answer: the k-th duplicate
    // as the k-th duplicate.
    struct Carried {
        std::size_t occurrence;
        int raise; // not saved yet
        RunProgress progress;
        bool followed;
    };
    struct Group {
        std::vector<Carried> carried;
        std::size_t seen = 0;
        std::size_t next = 0;
    };
    const std::size_t known = std::min(set.m_questions.size(), m_savedCounts.size());
    std::vector<std::size_t> carriedAt; // records, in file order
    for (std::size_t i = 0; i < known; ++i) {
        const Question* record = set.m_questions[i];
        if (record->GetCorrectCount() != m_savedCounts[i] || record == set.m_followed) {
            carriedAt.push_back(i);
        }
    }
    for (const auto& [i, progress] : m_progress) {
        if (i < known) {
            carriedAt.push_back(i);
        }
    }
    std::sort(carriedAt.begin(), carriedAt.end());
    carriedAt.erase(std::unique(carriedAt.begin(), carriedAt.end()), carriedAt.end());

    std::vector<Group> groups;
    std::unordered_map<RecordKey, std::size_t, RecordKeyHash> groupOf;
    for (const std::size_t i : carriedAt) {
        if (groupOf.try_emplace(KeyOf(set.m_questions[i]), groups.size()).second) {
            groups.emplace_back();
        }
    }
    RecordIndex oldIndex;
    for (const auto& [key, group] : groupOf) {
        oldIndex.Add(key, group);
    }
    // Occurrences count only up to the last carried record.
    const std::size_t oldEnd = carriedAt.empty() ? 0 : carriedAt.back() + 1;
    auto next = carriedAt.begin();
    for (std::size_t i = 0; i < oldEnd; ++i) {
        const std::size_t found = oldIndex.Find(set.m_questions[i]);
        if (found == RecordIndex::npos) {
            continue;
        }
        Group& group = groups[found];
        const std::size_t occurrence = group.seen++;
        if (*next == i) {
            const Question* record = set.m_questions[i];
            const auto progress = m_progress.find(i);
            group.carried.push_back(
                {occurrence, record->GetCorrectCount() - m_savedCounts[i],
                 progress != m_progress.end() ? progress->second : RunProgress{m_savedCounts[i], 0},
                 record == set.m_followed});
            ++next;
        }
    }

    // The same keys in the new content's bytes; a text its encoding cannot
    // hold is in no record of it.
    const bool sameBytes =
        (fresh->m_encoding == TextEncoding::kCp932) == (set.m_encoding == TextEncoding::kCp932);
    std::vector<std::pair<std::string, std::string>> converted;
    converted.reserve(sameBytes ? 0 : groupOf.size());
    RecordIndex freshIndex;
    for (const auto& [key, group] : groupOf) {
        if (sameBytes) {
            freshIndex.Add(key, group);
            continue;
        }
        std::string question, answer;
        if (fresh->ToBytes(set.ToText(key.first), question) &&
            fresh->ToBytes(set.ToText(key.second), answer)) {
            converted.emplace_back(std::move(question), std::move(answer));
            freshIndex.Add(RecordKey(converted.back().first, converted.back().second), group);
        }
    }

    for (Group& group : groups) {
        group.seen = 0;
    }
    Question* followed = nullptr;
    std::unordered_map<std::size_t, RunProgress> progress;
    std::size_t left = carriedAt.size(); // the walk ends once every one is placed
    for (std::size_t j = 0; j < fresh->m_questions.size() && left > 0 && !freshIndex.IsEmpty();
         ++j) {
        Question* record = fresh->m_questions[j];
        const std::size_t found = freshIndex.Find(record);
        if (found == RecordIndex::npos) {
            continue;
        }
        Group& group = groups[found];
        const std::size_t occurrence = group.seen++;
        if (group.next == group.carried.size() ||
            group.carried[group.next].occurrence != occurrence) {
            continue;
        }
        Carried carried = group.carried[group.next++];
        --left;
        if (carried.progress.savedRaises > 0 &&
            record->GetCorrectCount() == carried.progress.countBefore) {
            // An old copy written back: none of this run's raises are in it.
            record->AddCorrect(carried.progress.savedRaises);
            carried.progress.savedRaises = 0;
        }
        record->AddCorrect(carried.raise);
        if (carried.progress.savedRaises > 0 || carried.raise > 0) {
            progress.emplace(j, carried.progress);
        }
        if (carried.followed) {
            followed = record;
        }
    }

    // The set is now the new content, with the raises on it still to be saved.
    QuestionSetFile& freshFile = static_cast<QuestionSetFile&>(*fresh->m_file);
    set.TakeRecordsOf(*fresh);
    m_lastLineCut = freshFile.m_lastLineCut;
    m_lineEnds = std::move(freshFile.m_lineEnds);
    m_lineTails = std::move(freshFile.m_lineTails);
    m_untakenRest = std::move(freshFile.m_untakenRest);
    m_savedCounts = std::move(freshFile.m_savedCounts);
    m_progress = std::move(progress);
    m_stamp = freshFile.m_stamp;
    set.m_followed = followed;
    ++set.m_replaced;
}

void QuestionSetFile::Write(QuestionSet& set) {
    TextFileWriter writer(set.m_path);
    if (set.m_encoding == TextEncoding::kUtf8WithMark) {
        writer.Write(kUtf8Mark);
    }
    // A code page 932 file gets CR LF after every record, as it always has;
    // a UTF-8 file keeps each line's own end. A line cut by a 0x1A keeps its
    // own end in either, so that the bytes around the 0x1A stay as they were.
    const bool ownEnds = set.m_encoding != TextEncoding::kCp932;
    const std::size_t count = set.m_questions.size();
    const auto endOf = [&](std::size_t i) {
        const bool own = ownEnds || (m_lastLineCut && i + 1 == count);
        return own && i < m_lineEnds.size()
                   ? TextFileReader::LineEndBytes(TextFileReader::LineEnd(m_lineEnds[i]))
                   : TextFileWriter::kLineBreak;
    };
    // Whole lines are composed in one buffer and handed over in pieces of
    // 1 MiB, which the writer passes straight to the file: per line that is a
    // few copies instead of a string of its own and five appends.
    std::size_t capacity = std::size_t{1} << 20;
    auto chunk = std::make_unique_for_overwrite<char[]>(capacity);
    std::size_t used = 0;
    // The counts as written, taken on the same walk; they become the saved
    // ones only once the file is in place.
    std::vector<int> written(count);
    std::vector<std::size_t> raised;
    const std::size_t known = std::min(count, m_savedCounts.size());
    for (std::size_t i = 0; i < count; ++i) {
        const Question* question = set.m_questions[i];
        written[i] = question->GetCorrectCount();
        if (i < known && written[i] > m_savedCounts[i]) {
            raised.push_back(i);
        }
        if (i + kPrefetchAhead < count) {
            // The walk over a million records waits on memory more than it
            // computes: ask for the records ahead while this line is composed.
            Prefetch(set.m_questions[i + kPrefetchAhead]);
        }
        const std::string* tail = nullptr;
        if (!m_lineTails.empty()) {
            if (const auto found = m_lineTails.find(question); found != m_lineTails.end()) {
                tail = &found->second;
            }
        }
        const std::string_view end = endOf(i);
        const std::size_t room =
            1 + question->LineSizeLimit() + (tail ? 1 + tail->size() : 0) + end.size();
        if (capacity - used < room) {
            writer.Write(std::string_view(chunk.get(), used));
            used = 0;
            if (capacity < room) { // a line longer than the whole buffer
                capacity = room;
                chunk = std::make_unique_for_overwrite<char[]>(capacity);
            }
        }
        char* out = chunk.get() + used;
        if (i == 0 && set.m_encoding != TextEncoding::kUtf8WithMark &&
            TextFileReader::StartsWithMark(question->QuestionBytes())) {
            // Spaces before the first question go, as everywhere; but a
            // question that would then open the file as a byte order mark
            // keeps one, so that the file reads the same next time.
            *out++ = ' ';
        }
        out = question->CopyLine(out);
        if (tail) {
            *out++ = ' ';
            out = std::copy(tail->begin(), tail->end(), out);
        }
        out = std::copy(end.begin(), end.end(), out);
        used = static_cast<std::size_t>(out - chunk.get());
    }
    writer.Write(std::string_view(chunk.get(), used));
    writer.Write(m_untakenRest);
    if (!writer.Close()) {
        throw CpException(CpException(writer.FailureReason()), strings::kSaveFailed);
    }
    m_stamp = writer.Stamp();
    for (const std::size_t i : raised) {
        RunProgress& progress =
            m_progress.try_emplace(i, RunProgress{m_savedCounts[i], 0}).first->second;
        progress.savedRaises = Saturated(progress.savedRaises, written[i] - m_savedCounts[i]);
    }
    m_savedCounts = std::move(written);
}

#include "questions/QuestionSetFile.h"

#include "questions/CpException.h"
#include "questions/FileLock.h"
#include "questions/FileSystem.h"
#include "questions/Question.h"
#include "questions/RecordArena.h"
#include "questions/RecordIndex.h"
#include "questions/TextFileReader.h"
#include "questions/TextFileWriter.h"
#include "questions/TokenReader.h"
#include "res/Strings.h"

#include <algorithm>
#include <deque>
#include <limits>
#include <memory>
#include <new>
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

constexpr std::size_t npos = static_cast<std::size_t>(-1);

bool SameBytes(TextEncoding a, TextEncoding b) {
    return (a == TextEncoding::kCp932) == (b == TextEncoding::kCp932);
}

// Hands the set's own records out again, in file order, to the lines of a
// changed file that still have their question and answer, so that a merge
// builds new records only for lines added or changed. Up to kLookAhead
// removed lines in a row are stepped over; after more, the rest is new.
class OwnRecords {
public:
    OwnRecords(const std::vector<Question*>& list, std::size_t end) : m_list(list), m_end(end) {}

    Question* Take(std::string_view question, std::string_view answer) {
        if (m_next + kPrefetchAhead < m_end) {
            Prefetch(m_list[m_next + kPrefetchAhead]);
        }
        for (std::size_t at = m_next; at < m_end && at <= m_next + kLookAhead; ++at) {
            Question* record = m_list[at];
            if (record->QuestionBytes() == question && record->AnswerBytes() == answer) {
                m_dropped.insert(m_dropped.end(),
                                 m_list.begin() + static_cast<std::ptrdiff_t>(m_next),
                                 m_list.begin() + static_cast<std::ptrdiff_t>(at));
                m_next = at + 1;
                m_kept = true;
                return record;
            }
        }
        return nullptr;
    }
    bool KeptAny() const { return m_kept; }
    // The own records that no line took.
    std::vector<Question*> Dropped() {
        m_dropped.insert(m_dropped.end(), m_list.begin() + static_cast<std::ptrdiff_t>(m_next),
                         m_list.begin() + static_cast<std::ptrdiff_t>(m_end));
        m_next = m_end;
        return std::move(m_dropped);
    }

private:
    static constexpr std::size_t kLookAhead = 16;

    const std::vector<Question*>& m_list;
    const std::size_t m_end;
    std::size_t m_next = 0;
    bool m_kept = false;
    std::vector<Question*> m_dropped;
};

} // namespace

std::unique_ptr<QuestionSet> LoadQuestionSet(std::string path) {
    return QuestionSetFile::Load(std::move(path));
}

void QuestionSet::Save() {
    QuestionSetFile::Save(*this);
}

// What a merge carries from the set into the changed file: the records
// raised since the last save, those this run raised before, and the one
// being followed, grouped by question and answer.
struct QuestionSetFile::Carry {
    struct Record {
        std::size_t group;
        int saved; // the count as last read or saved
        int raise; // not saved yet
        RunProgress progress;
        bool followed;
        std::size_t occurrence = 0; // among the set's records of its key, where that matters
        std::size_t line = npos;    // the changed file's record that gets it
        bool oldCopy = false;
    };
    struct Group {
        RecordKey key;                       // the set's bytes
        std::size_t probe[2] = {npos, npos}; // in bytes of the set's encoding, of the other one
        std::vector<std::size_t> records;    // carried, in file order
        std::vector<std::size_t> lines;      // the changed file's records with the key
    };
    std::vector<std::size_t> at; // where each carried record is in the set
    std::vector<Record> records;
    std::vector<Group> groups;
    // The keys in the bytes the changed file may have, each with the records
    // of the changed file found with it.
    RecordIndex probes;
    std::vector<std::vector<std::size_t>> found;
    std::deque<std::pair<std::string, std::string>> converted;
};

// The changed file as read. Until it is adopted, the set is as it was: the
// records made for it go, and the set's own records that it took get their
// counts back.
struct QuestionSetFile::ChangedContent {
    ChangedContent() = default;
    ChangedContent(const ChangedContent&) = delete;
    ChangedContent& operator=(const ChangedContent&) = delete;
    ~ChangedContent() {
        for (const auto& [record, count] : ownCounts) {
            record->SetCorrectCount(count);
        }
        for (Question* record : made) {
            record->~Question();
        }
    }
    void Adopted() {
        ownCounts.clear();
        made.clear();
    }

    QuestionSetFile file; // its lines, the counts as read and its stamp
    std::vector<Question*> records;
    TextEncoding encoding = TextEncoding::kCp932;
    std::unique_ptr<RecordArena> arena = std::make_unique<RecordArena>();
    std::vector<Question*> made;
    std::vector<std::pair<Question*, int>> ownCounts; // own records taken, with their counts
    std::vector<Question*> dropped;                   // own records no line took
    bool keptOwn = false;
};

std::unique_ptr<QuestionSet> QuestionSetFile::Load(std::string path) {
    TextFileReader reader(path);
    if (!reader.IsOpen()) {
        return UnreadableSet(path);
    }
    auto set = std::make_unique<QuestionSet>(path);
    auto file = std::make_unique<QuestionSetFile>();
    QuestionSet& records = *set;
    file->ReadLines(reader, set->m_questions,
                    [&records](std::string_view question, std::string_view answer, int count) {
                        return records.EmplaceRead(question, answer, count);
                    });
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

template <typename Make>
void QuestionSetFile::ReadLines(TextFileReader& reader, std::vector<Question*>& records,
                                Make&& make) {
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
                m_untakenRest = std::string(line) + std::string(TextFileReader::LineEndBytes(end)) +
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
                records.reserve(lines);
                m_savedCounts.reserve(lines);
                m_lineEnds.reserve(lines);
            }
            Question* record = make(question, answer, count);
            records.push_back(record);
            m_savedCounts.push_back(count);
            m_lineEnds.push_back(end);
            std::string tail = tokens.RestOfLine();
            if (!tail.empty()) {
                m_lineTails[record] = std::move(tail);
            }
            if (unterminated && reader.StoppedAtEndMark()) {
                m_lastLineCut = true;
            }
        }
        if (!ended) {
            m_untakenRest = reader.ReadRest(); // from the 0x1A on, if there is one
        }
    } catch (const CpException& cause) {
        throw CpException(cause,
                          strings::kReadFailedAt + IntToString(lineNumber) + strings::kLineSuffix);
    }
}

void QuestionSetFile::Save(QuestionSet& set) {
    if (!set.m_ownsQuestions || set.m_unreadable) {
        return;
    }
    QuestionSetFile& file = Of(set);
    const bool raised = file.HasRaisedCounts(set);
    // Even with nothing to write, answers this run saved may have been
    // undone since by an old copy written back.
    if (!raised && file.m_progress.empty()) {
        return;
    }
    // With nothing raised, only a changed file can need a write: a close with
    // nothing new never waits for another Kirabel.
    if (!raised && !file.ChangedOnDisk(set)) {
        return;
    }
    // No other Kirabel saves the file from the check below to the replace.
    const FileLock lock = FileLock::ForSave(set.m_path);
    if (file.ChangedOnDisk(set)) {
        try {
            file.MergeChangedFile(set);
        } catch (const CpException& why) {
            // Told as any failed save is: the first line, then the reason.
            throw CpException(why, strings::kSaveFailed);
        }
        if (!file.HasRaisedCounts(set)) {
            return; // no old copy, or every raised record removed
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

// A file that is gone is not changed: it is written anew with what the set holds.
bool QuestionSetFile::ChangedOnDisk(const QuestionSet& set) const {
    if (!m_stamp.valid) {
        return false;
    }
    const FileStamp now = FileSystem::StampOf(set.m_path);
    return now.valid && !(now == m_stamp);
}

void QuestionSetFile::MergeChangedFile(QuestionSet& set) {
    Carry carry = CollectCarried(set);
    ChangedContent fresh;
    Reread(set, carry, fresh); // the set stays as it is if this throws
    NumberOldOccurrences(set, carry);
    PlaceCarried(carry, fresh.file.m_savedCounts);
    AdoptContent(set, carry, fresh);
}

QuestionSetFile::Carry QuestionSetFile::CollectCarried(const QuestionSet& set) const {
    Carry carry;
    const std::size_t known = std::min(set.m_questions.size(), m_savedCounts.size());
    for (std::size_t i = 0; i < known; ++i) {
        const Question* record = set.m_questions[i];
        if (record->GetCorrectCount() != m_savedCounts[i] || record == set.m_followed) {
            carry.at.push_back(i);
        }
    }
    for (const auto& [i, progress] : m_progress) {
        if (i < known) {
            carry.at.push_back(i);
        }
    }
    std::sort(carry.at.begin(), carry.at.end());
    carry.at.erase(std::unique(carry.at.begin(), carry.at.end()), carry.at.end());

    RecordIndex groupOf;
    for (const std::size_t i : carry.at) {
        const Question* record = set.m_questions[i];
        std::size_t group = groupOf.Find(record);
        if (group == RecordIndex::npos) {
            group = carry.groups.size();
            groupOf.Add(KeyOf(record), group);
            carry.groups.emplace_back().key = KeyOf(record);
        }
        const auto progress = m_progress.find(i);
        carry.groups[group].records.push_back(carry.records.size());
        carry.records.push_back(
            {group, m_savedCounts[i], record->GetCorrectCount() - m_savedCounts[i],
             progress != m_progress.end() ? progress->second : RunProgress{m_savedCounts[i], 0},
             record == set.m_followed});
    }
    ProbeKeys(set, carry);
    return carry;
}

// Which encoding the changed file has is known only once it is read: each key
// is looked for in the set's bytes and in those of the other encoding, when
// it has any.
void QuestionSetFile::ProbeKeys(const QuestionSet& set, Carry& carry) {
    const auto probeOf = [&carry](const RecordKey& key) {
        std::size_t probe = carry.probes.Find(key);
        if (probe == RecordIndex::npos) {
            probe = carry.found.size();
            carry.probes.Add(key, probe);
            carry.found.emplace_back();
        }
        return probe;
    };
    const TextEncoding other =
        set.m_encoding == TextEncoding::kCp932 ? TextEncoding::kUtf8 : TextEncoding::kCp932;
    for (Carry::Group& group : carry.groups) {
        group.probe[0] = probeOf(group.key);
        std::string question, answer;
        if (FromUtf8(other, set.ToText(group.key.first), question) &&
            FromUtf8(other, set.ToText(group.key.second), answer)) {
            carry.converted.emplace_back(std::move(question), std::move(answer));
            group.probe[1] =
                probeOf(RecordKey(carry.converted.back().first, carry.converted.back().second));
        }
    }
}

void QuestionSetFile::Reread(QuestionSet& set, Carry& carry, ChangedContent& fresh) {
    TextFileReader reader(set.m_path);
    if (!reader.IsOpen()) {
        throw CpException(strings::kChangedUnreadable);
    }
    // The set's own records are taken again for unchanged lines, unless
    // earlier merges left too many places of dropped ones in its arena.
    const bool mayKeep = set.m_arena && set.m_arenaHoles <= set.m_arenaRecords;
    OwnRecords own(set.m_questions, mayKeep ? set.m_arenaRecords : 0);
    const auto make = [&](std::string_view question, std::string_view answer, int count) {
        const RecordKey key(question, answer);
        if (const std::size_t probe = carry.probes.Find(key); probe != RecordIndex::npos) {
            carry.found[probe].push_back(fresh.records.size());
        }
        Question* record = own.Take(question, answer);
        if (record) {
            if (record->GetCorrectCount() != count) {
                fresh.ownCounts.emplace_back(record, record->GetCorrectCount());
                record->SetCorrectCount(count);
            }
            return record;
        }
        void* place = fresh.arena->Allocate(sizeof(Question), alignof(Question));
        record = new (place) Question(Question::FromLine{}, question, answer, count);
        fresh.made.push_back(record);
        return record;
    };
    try {
        fresh.file.ReadLines(reader, fresh.records, make);
        if (const char* mark = reader.ForeignMark()) {
            throw CpException(std::string(strings::kForeignEncodingBefore) + mark +
                              strings::kForeignEncodingAfter);
        }
    } catch (const CpException& cause) {
        throw CpException(cause, strings::kChangedUnreadable);
    }
    if (reader.HasFailed()) {
        throw CpException(strings::kChangedUnreadable);
    }
    fresh.encoding = reader.Encoding();
    fresh.file.m_stamp = reader.Stamp();
    fresh.keptOwn = own.KeptAny();
    fresh.dropped = own.Dropped();
    const int form = SameBytes(fresh.encoding, set.m_encoding) ? 0 : 1;
    for (Carry::Group& group : carry.groups) {
        if (group.probe[form] != npos) {
            group.lines = carry.found[group.probe[form]];
        }
    }
}

// Where a key has copies, on either side, a record is first looked for as the
// same occurrence of its key: the k-th copy as the k-th copy.
void QuestionSetFile::NumberOldOccurrences(const QuestionSet& set, Carry& carry) {
    RecordIndex copied;
    std::size_t last = 0;
    for (std::size_t g = 0; g < carry.groups.size(); ++g) {
        const Carry::Group& group = carry.groups[g];
        if (group.records.size() > 1 || group.lines.size() > 1) {
            copied.Add(group.key, g);
            last = std::max(last, carry.at[group.records.back()] + 1);
        }
    }
    if (copied.IsEmpty()) {
        return;
    }
    std::vector<std::size_t> seen(carry.groups.size());
    std::size_t next = 0; // the carried records are in file order
    for (std::size_t i = 0; i < last; ++i) {
        const std::size_t group = copied.Find(set.m_questions[i]);
        if (group == RecordIndex::npos) {
            continue;
        }
        const std::size_t occurrence = seen[group]++;
        while (next < carry.at.size() && carry.at[next] < i) {
            ++next;
        }
        if (next < carry.at.size() && carry.at[next] == i) {
            carry.records[next].occurrence = occurrence;
        }
    }
}

// Each carried record goes to one line of its key: the line that holds what
// Kirabel last saved; failing that, when this run saved raises, one that holds
// the count this run first read (an old copy written back); failing that, the
// same occurrence, whose count the learner set by hand. A removed line takes
// nothing along.
void QuestionSetFile::PlaceCarried(Carry& carry, const std::vector<int>& counts) {
    for (Carry::Group& group : carry.groups) {
        std::vector<bool> taken(group.lines.size());
        const std::size_t lines = group.lines.size();
        const auto place = [&](auto holds, bool anyOccurrence, bool oldCopy) {
            for (const std::size_t r : group.records) {
                Carry::Record& record = carry.records[r];
                const std::size_t same = lines == 1 ? 0 : record.occurrence;
                const std::size_t from = anyOccurrence ? 0 : same;
                const std::size_t to = anyOccurrence ? lines : std::min(same + 1, lines);
                for (std::size_t k = from; k < to && record.line == npos; ++k) {
                    if (!taken[k] && holds(record, counts[group.lines[k]])) {
                        taken[k] = true;
                        record.line = group.lines[k];
                        record.oldCopy = oldCopy;
                    }
                }
            }
        };
        const auto holdsSaved = [](const Carry::Record& record, int count) {
            return count == record.saved;
        };
        const auto holdsFirst = [](const Carry::Record& record, int count) {
            return record.progress.savedRaises > 0 && count == record.progress.countBefore;
        };
        const auto any = [](const Carry::Record&, int) { return true; };
        place(holdsSaved, false, false);
        place(holdsSaved, true, false);
        place(holdsFirst, false, true);
        place(holdsFirst, true, true);
        place(any, false, false);
    }
}

void QuestionSetFile::AdoptContent(QuestionSet& set, const Carry& carry, ChangedContent& fresh) {
    Question* followed = nullptr;
    std::unordered_map<std::size_t, RunProgress> progress;
    std::vector<std::pair<Question*, int>> raises;
    for (const Carry::Record& carried : carry.records) {
        if (carried.line == npos) {
            continue;
        }
        Question* record = fresh.records[carried.line];
        RunProgress run = carried.progress;
        int raise = carried.raise;
        if (carried.oldCopy) { // none of this run's raises are in it
            raise = Saturated(raise, run.savedRaises);
            run.savedRaises = 0;
        }
        if (run.savedRaises > 0 || raise > 0) {
            progress.emplace(carried.line, run);
            raises.emplace_back(record, raise);
        }
        if (carried.followed) {
            followed = record;
        }
    }
    // The set is now the new content, with the raises on it still to be saved.
    set.AdoptRecords(std::move(fresh.records), std::move(fresh.arena), fresh.dropped,
                     fresh.keptOwn);
    fresh.Adopted();
    for (const auto& [record, raise] : raises) {
        record->AddCorrect(raise);
    }
    set.m_encoding = fresh.encoding;
    m_lastLineCut = fresh.file.m_lastLineCut;
    m_lineEnds = std::move(fresh.file.m_lineEnds);
    m_lineTails = std::move(fresh.file.m_lineTails);
    m_untakenRest = std::move(fresh.file.m_untakenRest);
    m_savedCounts = std::move(fresh.file.m_savedCounts);
    m_progress = std::move(progress);
    m_stamp = fresh.file.m_stamp;
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

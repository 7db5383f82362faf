#include "questions/QuestionSetFile.h"

#include "questions/CpException.h"
#include "questions/Question.h"
#include "questions/QuestionSet.h"
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

bool WithoutLineBreak(TextFileReader::LineEnd end) {
    return end == TextFileReader::kNone || end == TextFileReader::kCr;
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

// Whole lines are composed in one buffer and handed over in pieces of 1 MiB,
// which the writer passes straight to the file: per line that is a few copies
// instead of a string of its own and five appends.
class LineBuffer {
public:
    explicit LineBuffer(TextFileWriter& writer)
        : m_writer(writer), m_chunk(std::make_unique_for_overwrite<char[]>(m_capacity)) {}

    // Where a line of up to `room` bytes goes.
    char* Room(std::size_t room) {
        if (m_capacity - m_used < room) {
            Flush();
            if (m_capacity < room) { // a line longer than the whole buffer
                m_capacity = room;
                m_chunk = std::make_unique_for_overwrite<char[]>(m_capacity);
            }
        }
        return m_chunk.get() + m_used;
    }
    void Filled(const char* end) { m_used = static_cast<std::size_t>(end - m_chunk.get()); }
    void Flush() {
        m_writer.Write(std::string_view(m_chunk.get(), m_used));
        m_used = 0;
    }

private:
    TextFileWriter& m_writer;
    std::size_t m_capacity = std::size_t{1} << 20;
    std::unique_ptr<char[]> m_chunk;
    std::size_t m_used = 0;
};

} // namespace

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

    Layout layout; // its lines, the counts as read and its stamp
    std::vector<Question*> records;
    TextEncoding encoding = TextEncoding::kCp932;
    std::unique_ptr<RecordArena> arena = std::make_unique<RecordArena>();
    std::vector<Question*> made;
    std::vector<std::pair<Question*, int>> ownCounts; // own records taken, with their counts
    std::vector<Question*> dropped;                   // own records no line took
    bool keptOwn = false;
};

// Makes and lists the records of a changed file as it is read: the set's own
// again for unchanged lines, new ones for the others; and notes where the
// carried keys are.
class QuestionSetFile::FreshRecords {
public:
    FreshRecords(Carry& carry, ChangedContent& fresh, const QuestionSet& set)
        : m_carry(carry), m_fresh(fresh), m_own(set.List(), set.ReusableRecords()) {}

    void Reserve(std::size_t records) { m_fresh.records.reserve(records); }
    Question* Emplace(std::string_view question, std::string_view answer, int count) {
        if (const std::size_t probe = m_carry.probes.Find(RecordKey(question, answer));
            probe != RecordIndex::npos) {
            m_carry.found[probe].push_back(m_fresh.records.size());
        }
        Question* record = m_own.Take(question, answer);
        if (record) {
            if (record->GetCorrectCount() != count) {
                m_fresh.ownCounts.emplace_back(record, record->GetCorrectCount());
                record->SetCorrectCount(count);
            }
        } else {
            void* place = m_fresh.arena->Allocate(sizeof(Question), alignof(Question));
            record = new (place) Question(Question::FromLine{}, question, answer, count);
            m_fresh.made.push_back(record);
        }
        m_fresh.records.push_back(record);
        return record;
    }
    void Finish() {
        m_fresh.keptOwn = m_own.KeptAny();
        m_fresh.dropped = m_own.Dropped();
    }

private:
    Carry& m_carry;
    ChangedContent& m_fresh;
    OwnRecords m_own;
};

QuestionSetFile::QuestionSetFile(std::string path, FileStore& store)
    : m_path(std::move(path)), m_store(store), m_set(std::make_unique<QuestionSet>()) {}

QuestionSetFile::~QuestionSetFile() = default;

std::unique_ptr<QuestionSetFile> QuestionSetFile::Load(std::string path, FileStore& store) {
    auto file = std::make_unique<QuestionSetFile>(std::move(path), store);
    TextFileReader reader(store.OpenForReading(file->m_path));
    if (reader.IsOpen()) {
        ReadLines(reader, file->m_layout, *file->m_set);
        ThrowOnForeignMark(reader);
    }
    if (reader.HasFailed()) {
        auto unreadable = std::make_unique<QuestionSetFile>(file->m_path, store);
        unreadable->m_unreadable = true; // never to be saved over the file
        return unreadable;
    }
    // The file was read whole: its counts and stamp from now on tell what changed.
    file->m_set->SetEncoding(reader.Encoding());
    file->m_writable = store.IsWritable(file->m_path);
    file->m_layout.stamp = reader.Stamp();
    return file;
}

void QuestionSetFile::ThrowOnForeignMark(const TextFileReader& reader) {
    if (const char* mark = reader.ForeignMark()) {
        throw CpException(std::string(strings::kForeignEncodingBefore) + mark +
                          strings::kForeignEncodingAfter);
    }
}

template <typename Sink>
void QuestionSetFile::ReadLines(TextFileReader& reader, Layout& layout, Sink& sink) {
    int lineNumber = 0;
    TokenReader tokens;
    try {
        std::string_view line; // into the reader's buffer: no copy per line
        while (reader.ReadLine(line)) {
            const TextFileReader::LineEnd end = reader.LastLineEnd();
            // The first empty line ends the records, and so does a last line
            // of spaces without a line break; from there on everything is
            // kept as it stands, the line's own end included.
            if (line.empty() || (WithoutLineBreak(end) && OnlySpaces(line))) {
                layout.untakenRest = std::string(line) +
                                     std::string(TextFileReader::LineEndBytes(end)) +
                                     reader.ReadRest();
                return;
            }
            if (++lineNumber == 1) { // a file that starts with a record: make room for the rest
                const std::size_t lines = reader.EstimatedLines();
                sink.Reserve(lines);
                layout.savedCounts.reserve(lines);
                layout.lineEnds.reserve(lines);
            }
            ReadRecord(tokens, line, end, layout, sink);
            if (WithoutLineBreak(end) && reader.StoppedAtEndMark()) {
                layout.lastLineCut = true;
            }
        }
        layout.untakenRest = reader.ReadRest(); // from the 0x1A on, if there is one
    } catch (const CpException& cause) {
        throw CpException(cause,
                          strings::kReadFailedAt + IntToString(lineNumber) + strings::kLineSuffix);
    }
}

template <typename Sink>
void QuestionSetFile::ReadRecord(TokenReader& tokens, std::string_view line, unsigned char end,
                                 Layout& layout, Sink& sink) {
    tokens.SetLine(line.data(), line.size());
    const std::string_view question = tokens.NextTokenView();
    const std::string_view answer = tokens.NextTokenView();
    const std::string_view countToken = tokens.NextTokenView();
    const int count = ToNumber(countToken.data(), countToken.size());
    Question* record = sink.Emplace(question, answer, count);
    layout.savedCounts.push_back(count);
    layout.lineEnds.push_back(end);
    std::string tail = tokens.RestOfLine();
    if (!tail.empty()) {
        layout.lineTails[record] = std::move(tail);
    }
}

void QuestionSetFile::Save() {
    if (m_unreadable || !NeedsSave()) {
        return;
    }
    // No other Kirabel saves the file from the check below to the replace.
    const auto hold = m_store.HoldForSave(m_path);
    if (ChangedOnDisk()) {
        try {
            MergeChangedFile();
        } catch (const CpException& why) {
            // Told as any failed save is: the first line, then the reason.
            throw CpException(why, strings::kSaveFailed);
        }
        if (!HasRaisedCounts()) {
            return; // no old copy, or every raised record removed
        }
    }
    Write();
}

bool QuestionSetFile::NeedsSave() const {
    const bool raised = HasRaisedCounts();
    // Even with nothing to write, answers this run saved may have been
    // undone since by an old copy written back.
    if (!raised && m_progress.empty()) {
        return false;
    }
    // With nothing raised, only a changed file can need a write: a close with
    // nothing new never waits for another Kirabel.
    return raised || ChangedOnDisk();
}

bool QuestionSetFile::HasRaisedCounts() const {
    const std::vector<Question*>& list = m_set->List();
    if (m_layout.savedCounts.size() != list.size()) {
        return true; // records the file never had
    }
    const std::size_t count = list.size();
    for (std::size_t i = 0; i < count; ++i) {
        if (i + kPrefetchAhead < count) {
            Prefetch(list[i + kPrefetchAhead]);
        }
        if (list[i]->GetCorrectCount() != m_layout.savedCounts[i]) {
            return true;
        }
    }
    return false;
}

// A file that is gone is not changed: it is written anew with what the set holds.
bool QuestionSetFile::ChangedOnDisk() const {
    if (!m_layout.stamp.valid) {
        return false;
    }
    const FileStamp now = m_store.StampOf(m_path);
    return now.valid && !(now == m_layout.stamp);
}

void QuestionSetFile::MergeChangedFile() {
    Carry carry = CollectCarried();
    ChangedContent fresh;
    Reread(carry, fresh); // the set stays as it is if this throws
    NumberOldOccurrences(carry);
    PlaceCarried(carry, fresh.layout.savedCounts);
    AdoptContent(carry, fresh);
}

QuestionSetFile::Carry QuestionSetFile::CollectCarried() const {
    Carry carry;
    const std::vector<Question*>& list = m_set->List();
    const std::vector<int>& saved = m_layout.savedCounts;
    const std::size_t known = std::min(list.size(), saved.size());
    for (std::size_t i = 0; i < known; ++i) {
        if (list[i]->GetCorrectCount() != saved[i] || list[i] == m_followed) {
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
    GroupCarried(carry);
    ProbeKeys(carry);
    return carry;
}

void QuestionSetFile::GroupCarried(Carry& carry) const {
    const std::vector<int>& saved = m_layout.savedCounts;
    RecordIndex groupOf;
    for (const std::size_t i : carry.at) {
        const Question* record = m_set->At(i);
        std::size_t group = groupOf.Find(record);
        if (group == RecordIndex::npos) {
            group = carry.groups.size();
            groupOf.Add(KeyOf(record), group);
            carry.groups.emplace_back().key = KeyOf(record);
        }
        const auto progress = m_progress.find(i);
        carry.groups[group].records.push_back(carry.records.size());
        carry.records.push_back(
            {group, saved[i], record->GetCorrectCount() - saved[i],
             progress != m_progress.end() ? progress->second : RunProgress{saved[i], 0},
             record == m_followed});
    }
}

// Which encoding the changed file has is known only once it is read: each key
// is looked for in the set's bytes and in those of the other encoding, when
// it has any.
void QuestionSetFile::ProbeKeys(Carry& carry) const {
    const auto probeOf = [&carry](const RecordKey& key) {
        std::size_t probe = carry.probes.Find(key);
        if (probe == RecordIndex::npos) {
            probe = carry.found.size();
            carry.probes.Add(key, probe);
            carry.found.emplace_back();
        }
        return probe;
    };
    const QuestionSet& set = *m_set;
    const TextEncoding other =
        set.GetEncoding() == TextEncoding::kCp932 ? TextEncoding::kUtf8 : TextEncoding::kCp932;
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

void QuestionSetFile::Reread(Carry& carry, ChangedContent& fresh) const {
    TextFileReader reader(m_store.OpenForReading(m_path));
    if (!reader.IsOpen()) {
        throw CpException(strings::kChangedUnreadable);
    }
    // The set's own records are taken again for unchanged lines, unless
    // earlier merges left too many places of dropped ones in its memory.
    FreshRecords records(carry, fresh, *m_set);
    try {
        ReadLines(reader, fresh.layout, records);
        ThrowOnForeignMark(reader);
    } catch (const CpException& cause) {
        throw CpException(cause, strings::kChangedUnreadable);
    }
    if (reader.HasFailed()) {
        throw CpException(strings::kChangedUnreadable);
    }
    fresh.encoding = reader.Encoding();
    fresh.layout.stamp = reader.Stamp();
    records.Finish();
    const int form = SameBytes(fresh.encoding, m_set->GetEncoding()) ? 0 : 1;
    for (Carry::Group& group : carry.groups) {
        if (group.probe[form] != npos) {
            group.lines = carry.found[group.probe[form]];
        }
    }
}

// Where a key has copies, on either side, a record is first looked for as the
// same occurrence of its key: the k-th copy as the k-th copy.
void QuestionSetFile::NumberOldOccurrences(Carry& carry) const {
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
    const std::vector<Question*>& list = m_set->List();
    std::vector<std::size_t> seen(carry.groups.size());
    std::size_t next = 0; // the carried records are in file order
    for (std::size_t i = 0; i < last; ++i) {
        const std::size_t group = copied.Find(list[i]);
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

// What the carried records bring to the changed file's records.
struct QuestionSetFile::Transfer {
    Question* followed = nullptr;
    std::unordered_map<std::size_t, RunProgress> progress;
    std::vector<std::pair<Question*, int>> raises;
};

QuestionSetFile::Transfer QuestionSetFile::TransferOf(const Carry& carry,
                                                      const std::vector<Question*>& records) {
    Transfer transfer;
    for (const Carry::Record& carried : carry.records) {
        if (carried.line == npos) {
            continue;
        }
        Question* record = records[carried.line];
        RunProgress run = carried.progress;
        int raise = carried.raise;
        if (carried.oldCopy) { // none of this run's raises are in it
            raise = Saturated(raise, run.savedRaises);
            run.savedRaises = 0;
        }
        if (run.savedRaises > 0 || raise > 0) {
            transfer.progress.emplace(carried.line, run);
            transfer.raises.emplace_back(record, raise);
        }
        if (carried.followed) {
            transfer.followed = record;
        }
    }
    return transfer;
}

void QuestionSetFile::AdoptContent(const Carry& carry, ChangedContent& fresh) {
    Transfer transfer = TransferOf(carry, fresh.records);
    // The set is now the new content, with the raises on it still to be saved.
    m_set->Replace(std::move(fresh.records), std::move(fresh.arena), fresh.dropped, fresh.keptOwn);
    fresh.Adopted();
    for (const auto& [record, raise] : transfer.raises) {
        record->AddCorrect(raise);
    }
    m_set->SetEncoding(fresh.encoding);
    m_layout = std::move(fresh.layout);
    m_progress = std::move(transfer.progress);
    m_followed = transfer.followed;
    ++m_replaced;
}

void QuestionSetFile::Write() {
    TextFileWriter writer(m_store.OpenForWriting(m_path));
    if (m_set->GetEncoding() == TextEncoding::kUtf8WithMark) {
        writer.Write(kUtf8Mark);
    }
    // The counts as written become the saved ones only once the file is in place.
    std::vector<int> written;
    WriteRecords(writer, written);
    writer.Write(m_layout.untakenRest);
    if (!writer.Close()) {
        throw CpException(CpException(writer.FailureReason()), strings::kSaveFailed);
    }
    m_layout.stamp = writer.Stamp();
    NoteSaved(std::move(written));
}

void QuestionSetFile::WriteRecords(TextFileWriter& writer, std::vector<int>& written) const {
    const std::vector<Question*>& list = m_set->List();
    const std::size_t count = list.size();
    written.resize(count);
    LineBuffer buffer(writer);
    for (std::size_t i = 0; i < count; ++i) {
        const Question* question = list[i];
        written[i] = question->GetCorrectCount();
        if (i + kPrefetchAhead < count) {
            // The walk over a million records waits on memory more than it
            // computes: ask for the records ahead while this line is composed.
            Prefetch(list[i + kPrefetchAhead]);
        }
        const std::string* tail = nullptr;
        if (!m_layout.lineTails.empty()) {
            if (const auto found = m_layout.lineTails.find(question);
                found != m_layout.lineTails.end()) {
                tail = &found->second;
            }
        }
        const std::string_view end = LineEndOf(i);
        char* out =
            buffer.Room(1 + question->LineSizeLimit() + (tail ? 1 + tail->size() : 0) + end.size());
        buffer.Filled(ComposeLine(out, i, tail, end));
    }
    buffer.Flush();
}

// A code page 932 file gets CR LF after every record, as it always has; a
// UTF-8 file keeps each line's own end. A line cut by a 0x1A keeps its own end
// in either, so that the bytes around the 0x1A stay as they were.
std::string_view QuestionSetFile::LineEndOf(std::size_t i) const {
    const bool own = m_set->GetEncoding() != TextEncoding::kCp932 ||
                     (m_layout.lastLineCut && i + 1 == m_set->Size());
    return own && i < m_layout.lineEnds.size()
               ? TextFileReader::LineEndBytes(TextFileReader::LineEnd(m_layout.lineEnds[i]))
               : TextFileWriter::kLineBreak;
}

char* QuestionSetFile::ComposeLine(char* out, std::size_t i, const std::string* tail,
                                   std::string_view end) const {
    const Question* question = m_set->List()[i];
    if (i == 0 && m_set->GetEncoding() != TextEncoding::kUtf8WithMark &&
        TextFileReader::StartsWithMark(question->QuestionBytes())) {
        // Spaces before the first question go, as everywhere; but a question
        // that would then open the file as a byte order mark keeps one, so
        // that the file reads the same next time.
        *out++ = ' ';
    }
    out = question->CopyLine(out);
    if (tail) {
        *out++ = ' ';
        out = std::copy(tail->begin(), tail->end(), out);
    }
    return std::copy(end.begin(), end.end(), out);
}

void QuestionSetFile::NoteSaved(std::vector<int> written) {
    std::vector<int>& saved = m_layout.savedCounts;
    const std::size_t known = std::min(written.size(), saved.size());
    for (std::size_t i = 0; i < known; ++i) {
        if (written[i] > saved[i]) {
            RunProgress& progress =
                m_progress.try_emplace(i, RunProgress{saved[i], 0}).first->second;
            progress.savedRaises = Saturated(progress.savedRaises, written[i] - saved[i]);
        }
    }
    saved = std::move(written);
}

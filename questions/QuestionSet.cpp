#include "questions/QuestionSet.h"

#include "questions/CpException.h"
#include "questions/FileSystem.h"
#include "questions/Question.h"
#include "questions/QuestionSetFile.h"
#include "questions/RecordArena.h"
#include "questions/TextFileReader.h"
#include "questions/TextFileWriter.h"
#include "res/Strings.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <new>
#include <random>
#include <stdexcept>
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

std::mt19937& Engine() {
    static std::mt19937 engine{std::random_device{}()};
    return engine;
}

constexpr std::string_view kUtf8Mark = "\xef\xbb\xbf";

int Saturated(int count, int raise) {
    return count > std::numeric_limits<int>::max() - raise ? std::numeric_limits<int>::max()
                                                           : count + raise;
}

// A record's question and answer, for finding the same record in another version of the file.
using RecordKey = std::pair<std::string_view, std::string_view>;

struct RecordKeyHash {
    std::size_t operator()(const RecordKey& key) const {
        return std::hash<std::string_view>{}(key.first) * 31 + key.second.size();
    }
};

RecordKey KeyOf(const Question* question) {
    return {question->QuestionBytes(), question->AnswerBytes()};
}

// Which group each of a few keys belongs to, asked once for every record of a
// set. Most records have none of the keys, so a bit per 64-bit print of the
// key's lengths and first bytes turns them away before anything is hashed.
class RecordIndex {
public:
    void Add(const RecordKey& key, std::size_t group) {
        m_groups.emplace(key, group);
        const std::uint64_t print = Print(key);
        m_bits[print / 64] |= std::uint64_t{1} << (print % 64);
    }
    bool IsEmpty() const { return m_groups.empty(); }
    // The group of the record's key, or npos.
    std::size_t Find(const Question* record) const {
        const RecordKey key = KeyOf(record);
        const std::uint64_t print = Print(key);
        if ((m_bits[print / 64] & (std::uint64_t{1} << (print % 64))) == 0) {
            return npos;
        }
        const auto found = m_groups.find(key);
        return found == m_groups.end() ? npos : found->second;
    }

    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

private:
    static std::uint64_t Print(const RecordKey& key) {
        std::uint64_t head = 0;
        std::memcpy(&head, key.first.data(), std::min<std::size_t>(key.first.size(), 8));
        const std::uint64_t mixed =
            (head ^ key.first.size() << 56 ^ key.second.size() << 48) * 0x9e3779b97f4a7c15ULL;
        return mixed >> (64 - kBitsLog2);
    }

    static constexpr unsigned kBitsLog2 = 13;
    std::uint64_t m_bits[(1u << kBitsLog2) / 64] = {};
    std::unordered_map<RecordKey, std::size_t, RecordKeyHash> m_groups;
};

} // namespace

QuestionSet::QuestionSet(std::string path) : m_path(std::move(path)) {}

QuestionSet::QuestionSet(QuestionSet* other)
    : m_questions(other->m_questions), m_path(other->m_path), m_ownsQuestions(false),
      m_unreadable(other->m_unreadable), m_encoding(other->m_encoding) {}

// The records live in the arena or in m_appended; a sharing set has neither.
QuestionSet::~QuestionSet() {
    DestroyReadRecords();
}

void QuestionSet::DestroyReadRecords() {
    if (!m_arena) {
        return;
    }
    // The records in the arena end here; the blocks go with it, while texts
    // too long to fit in their records are freed by the records themselves.
    for (std::size_t i = 0; i < m_arenaRecords; ++i) {
        m_questions[i]->~Question();
    }
    m_arena.reset();
    m_arenaRecords = 0;
}

void QuestionSet::Append(std::unique_ptr<Question> question) {
    if (!m_ownsQuestions) {
        ThrowSharingAppend();
    }
    if (question) {
        m_questions.push_back(question.get());
        m_appended.push_back(std::move(question));
    }
}

Question* QuestionSet::AppendRead(std::string_view question, std::string_view answer, int count,
                                  unsigned char end) {
    if (!m_arena) {
        m_arena = std::make_unique<RecordArena>();
    }
    void* place = m_arena->Allocate(sizeof(Question), alignof(Question));
    auto* record = new (place) Question(Question::FromLine{}, question, answer, count);
    m_questions.push_back(record);
    ++m_arenaRecords;
    m_savedCounts.push_back(count);
    m_lineEnds.push_back(end);
    return record;
}

void QuestionSet::ThrowSharingAppend() {
    throw std::logic_error("a sharing set cannot take over a record");
}

void QuestionSet::SetLineTail(const Question* question, std::string tail) {
    m_lineTails[question] = std::move(tail);
}

void QuestionSet::Reserve(std::size_t records) {
    m_questions.reserve(records);
    m_savedCounts.reserve(records);
    m_lineEnds.reserve(records);
}

void QuestionSet::MarkRead(TextEncoding encoding, const FileStamp& stamp, bool writable) {
    m_encoding = encoding;
    m_stamp = stamp;
    m_writable = writable;
}

bool QuestionSet::HasRaisedCounts() const {
    if (m_savedCounts.size() != m_questions.size()) {
        return true; // records the file never had
    }
    const std::size_t count = m_questions.size();
    for (std::size_t i = 0; i < count; ++i) {
        if (i + kPrefetchAhead < count) {
            Prefetch(m_questions[i + kPrefetchAhead]);
        }
        if (m_questions[i]->GetCorrectCount() != m_savedCounts[i]) {
            return true;
        }
    }
    return false;
}

void QuestionSet::Save() {
    if (!m_ownsQuestions || m_unreadable || !HasRaisedCounts()) {
        return;
    }
    if (m_stamp.valid) {
        const FileStamp now = FileSystem::StampOf(m_path);
        // A file that is gone is written anew with what this set holds.
        if (now.valid && !(now == m_stamp)) {
            TakeOverChangedFile();
            if (!HasRaisedCounts()) {
                return; // every raised record was removed
            }
        }
    }
    Write();
}

void QuestionSet::TakeOverChangedFile() {
    std::unique_ptr<QuestionSet> fresh;
    try {
        fresh = LoadQuestionSet(m_path);
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
    const std::size_t known = std::min(m_questions.size(), m_savedCounts.size());
    std::vector<std::size_t> carriedAt; // records, in file order
    for (std::size_t i = 0; i < known; ++i) {
        const Question* record = m_questions[i];
        if (record->GetCorrectCount() != m_savedCounts[i] || record == m_followed) {
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
        if (groupOf.try_emplace(KeyOf(m_questions[i]), groups.size()).second) {
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
        const std::size_t found = oldIndex.Find(m_questions[i]);
        if (found == RecordIndex::npos) {
            continue;
        }
        Group& group = groups[found];
        const std::size_t occurrence = group.seen++;
        if (*next == i) {
            const Question* record = m_questions[i];
            const auto progress = m_progress.find(i);
            group.carried.push_back(
                {occurrence, record->GetCorrectCount() - m_savedCounts[i],
                 progress != m_progress.end() ? progress->second : RunProgress{m_savedCounts[i], 0},
                 record == m_followed});
            ++next;
        }
    }

    // The same keys in the new content's bytes; a text its encoding cannot
    // hold is in no record of it.
    const bool sameBytes =
        (fresh->m_encoding == TextEncoding::kCp932) == (m_encoding == TextEncoding::kCp932);
    std::vector<std::pair<std::string, std::string>> converted;
    converted.reserve(sameBytes ? 0 : groupOf.size());
    RecordIndex freshIndex;
    for (const auto& [key, group] : groupOf) {
        if (sameBytes) {
            freshIndex.Add(key, group);
            continue;
        }
        std::string question, answer;
        if (fresh->ToBytes(ToText(key.first), question) &&
            fresh->ToBytes(ToText(key.second), answer)) {
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
    DestroyReadRecords();
    m_questions = std::move(fresh->m_questions);
    fresh->m_questions.clear();
    m_arena = std::move(fresh->m_arena);
    m_arenaRecords = std::exchange(fresh->m_arenaRecords, 0);
    m_appended = std::move(fresh->m_appended);
    m_unreadable = fresh->m_unreadable;
    m_writable = fresh->m_writable;
    m_lastLineCut = fresh->m_lastLineCut;
    m_encoding = fresh->m_encoding;
    m_lineEnds = std::move(fresh->m_lineEnds);
    m_lineTails = std::move(fresh->m_lineTails);
    m_untakenRest = std::move(fresh->m_untakenRest);
    m_savedCounts = std::move(fresh->m_savedCounts);
    m_progress = std::move(progress);
    m_stamp = fresh->m_stamp;
    m_followed = followed;
    ++m_replaced;
}

void QuestionSet::Write() {
    TextFileWriter writer(m_path);
    if (m_encoding == TextEncoding::kUtf8WithMark) {
        writer.Write(kUtf8Mark);
    }
    // A code page 932 file gets CR LF after every record, as it always has;
    // a UTF-8 file keeps each line's own end. A line cut by a 0x1A keeps its
    // own end in either, so that the bytes around the 0x1A stay as they were.
    const bool ownEnds = m_encoding != TextEncoding::kCp932;
    const std::size_t count = m_questions.size();
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
        const Question* question = m_questions[i];
        written[i] = question->GetCorrectCount();
        if (i < known && written[i] > m_savedCounts[i]) {
            raised.push_back(i);
        }
        if (i + kPrefetchAhead < count) {
            // The walk over a million records waits on memory more than it
            // computes: ask for the records ahead while this line is composed.
            Prefetch(m_questions[i + kPrefetchAhead]);
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
        if (i == 0 && m_encoding != TextEncoding::kUtf8WithMark &&
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
        throw CpException(strings::kSaveFailed);
    }
    m_stamp = writer.Stamp();
    for (const std::size_t i : raised) {
        RunProgress& progress =
            m_progress.try_emplace(i, RunProgress{m_savedCounts[i], 0}).first->second;
        progress.savedRaises = Saturated(progress.savedRaises, written[i] - m_savedCounts[i]);
    }
    m_savedCounts = std::move(written);
}

Question* QuestionSet::PickNext() {
    const std::size_t n = m_questions.size();
    Question** const list = m_questions.data();
    // Fisher-Yates: positions 1 to n-1 in turn, each exchanged with a uniform
    // draw from 0 to itself. std::shuffle does exactly that, and may take two
    // draws from one number of the engine (libstdc++ does below 65536 entries).
    std::shuffle(list, list + n, Engine());
    if (n == 0) {
        throw std::out_of_range("the question set is empty");
    }
    Question* best = list[0];
    for (std::size_t p = 1; p < n; ++p) {
        if (list[p]->GetCorrectCount() < best->GetCorrectCount()) {
            best = list[p];
        }
    }
    return best;
}

void QuestionSet::SeedRandom(std::uint32_t seed) {
    Engine().seed(seed);
}

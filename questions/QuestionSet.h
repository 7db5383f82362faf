#pragma once

#include "questions/FileStamp.h"
#include "questions/TextEncoding.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

class Question;
class RecordArena;

// The records of one question-set file, in file order, with the file's path.
// A set made with the sharing constructor lists another set's records without
// owning them; it is the selection pool, which PickNext reorders freely, and
// it is never saved.
//
// The set also keeps what it needs to write the file back as it was read: the
// encoding, each line's own end, the bytes the reader did not take, and the
// counts and the file's stamp as of the last read or save.
class QuestionSet {
public:
    explicit QuestionSet(std::string path);
    explicit QuestionSet(QuestionSet* other);
    QuestionSet(const QuestionSet&) = delete;
    QuestionSet& operator=(const QuestionSet&) = delete;
    virtual ~QuestionSet();

    std::string GetPath() const { return m_path; }
    std::size_t Size() const { return m_questions.size(); }
    // Throws std::out_of_range for an index outside the list.
    Question* At(std::size_t index) const { return m_questions.at(index); }

    // Appends a record that this set then owns; a sharing set throws std::logic_error.
    void Append(std::unique_ptr<Question> question);

    // What the reader tells the set besides its records.
    // A record read from the file, made in the set's own memory, with what
    // ended its line (a TextFileReader::LineEnd). The reader's records come
    // before any appended one.
    Question* AppendRead(std::string_view question, std::string_view answer, int count,
                         unsigned char end);
    // Bytes after the third token of the record's line, written back after its count.
    void SetLineTail(const Question* question, std::string tail);
    // Everything after the last record the reader took, written back verbatim.
    void SetUntakenRest(std::string rest) { m_untakenRest = std::move(rest); }
    // The last line was cut by a 0x1A: its own end is written back, not CR LF.
    void SetLastLineCut() { m_lastLineCut = true; }
    // Room for about this many records, so that the lists need not grow by copying.
    void Reserve(std::size_t records);
    // The file was read whole: its counts and stamp from now on tell what changed.
    void MarkRead(TextEncoding encoding, const FileStamp& stamp, bool writable);
    // The file could not be read: the set must never overwrite it.
    void MarkUnreadable() { m_unreadable = true; }

    bool IsUnreadable() const { return m_unreadable; }
    // Whether the file looked writable when it was read.
    bool IsWritable() const { return m_writable && !m_unreadable; }
    TextEncoding GetEncoding() const { return m_encoding; }

    // The file's bytes (a question, an answer) as UTF-8 text, and back; false
    // when the text has a character the file's encoding cannot hold.
    std::string ToText(std::string_view bytes) const { return ToUtf8(m_encoding, bytes); }
    bool ToBytes(std::string_view text, std::string& bytes) const {
        return FromUtf8(m_encoding, text, bytes);
    }

    // Writes the records, in list order, back to the path, replacing the file
    // only once the new content is safely on disk, and only when a count was
    // raised since the last read or save. A file that another program changed
    // in the meantime is read again first and the raises not saved yet are
    // added to its records; a record that holds again the count it had before
    // this run raised it was written back from an old copy and gets all of
    // this run's raises back. The set then holds that content (see Replaced).
    // Throws CpException when the file cannot be written, or when it was
    // changed and cannot be read. Does nothing for a set whose file could not
    // be read, or for a sharing set.
    void Save();
    // How many times a save took over a changed file's records. A record that
    // Follow named is then the same line of the new content, or null.
    std::uint64_t Replaced() const { return m_replaced; }
    void Follow(Question* record) { m_followed = record; }
    Question* Followed() const { return m_followed; }

    // Shuffles the list in place, then returns the first record with the
    // strictly lowest count. Throws std::out_of_range on an empty list.
    Question* PickNext();

    // Makes the draws of PickNext repeatable.
    static void SeedRandom(std::uint32_t seed);

private:
    [[noreturn]] static void ThrowSharingAppend();
    bool HasRaisedCounts() const;
    void DestroyReadRecords();
    void TakeOverChangedFile();
    void Write();

    std::vector<Question*> m_questions;
    std::string m_path;
    // Where the records that this set owns live: those read from the file,
    // and those appended one by one.
    std::unique_ptr<RecordArena> m_arena;
    std::size_t m_arenaRecords = 0; // the first ones of the list
    std::vector<std::unique_ptr<Question>> m_appended;
    bool m_ownsQuestions = true;
    bool m_unreadable = false;
    bool m_writable = true;
    bool m_lastLineCut = false;
    TextEncoding m_encoding = TextEncoding::kCp932;
    std::vector<unsigned char> m_lineEnds; // by record; missing ones are CR LF
    std::unordered_map<const Question*, std::string> m_lineTails;
    std::string m_untakenRest;
    std::vector<int> m_savedCounts; // by record, as last read or saved
    // This run's right answers already in the file, for the records that
    // have any, by index, with the count each had before this run raised it:
    // a changed file whose record holds that count again is an old copy
    // written back, and the answers are put back on it.
    struct RunProgress {
        int countBefore;
        int savedRaises;
    };
    std::unordered_map<std::size_t, RunProgress> m_progress;
    FileStamp m_stamp; // the file as last read or saved
    std::uint64_t m_replaced = 0;
    Question* m_followed = nullptr;
};

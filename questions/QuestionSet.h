#pragma once

#include "questions/TextEncoding.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class Question;
class QuestionSetFile;
class RecordArena;

// The records of one question-set file, in file order, with the file's path.
// A set made with the sharing constructor lists another set's records without
// owning them; it is the selection pool, which PickNext reorders freely, and
// it is never saved.
//
// Reading, writing and merging the file are the file layer's (QuestionSetFile):
// it fills the set it reads and keeps with it, out of sight here, what it needs
// to write the file back as it was read.
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

    bool IsUnreadable() const { return m_unreadable; }
    // Whether the file looked writable when the set was opened; a save that
    // takes over a changed file leaves it as it was.
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
    // in the meantime is read again first, even with nothing raised once this
    // run saved raises, and the raises not saved yet are added to its records;
    // a record that holds again the count it had before this run raised it,
    // and no copy of it the count last saved, was written back from an old
    // copy and gets all of this run's raises back. The set then holds that
    // content (see Replaced).
    // Throws CpException when the file cannot be written, or when it was
    // changed and cannot be read. Does nothing for a set whose file could not
    // be read, or for a sharing set.
    // Defined by the file layer (QuestionSetFile.cpp), which does the work.
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

    // What the file layer keeps with a set it read; only it knows what is inside.
    class FileState {
    public:
        virtual ~FileState();
    };

private:
    friend class QuestionSetFile;

    [[noreturn]] static void ThrowSharingAppend();
    // A record of the file, made in the set's own memory; the caller lists it
    // at once, before any appended one.
    Question* EmplaceRead(std::string_view question, std::string_view answer, int count);
    void DestroyReadRecords();
    // The records of a changed file become this set's, in its order: some are
    // this set's own, kept (`keptOwn`), the others were made in `made`.
    // `dropped` are the own ones the file no longer has; without `keptOwn`
    // every own one goes.
    void AdoptRecords(std::vector<Question*> records, std::unique_ptr<RecordArena> made,
                      const std::vector<Question*>& dropped, bool keptOwn);

    std::vector<Question*> m_questions;
    std::string m_path;
    // Where the records that this set owns live: those read from the file,
    // and those appended one by one.
    std::unique_ptr<RecordArena> m_arena;
    std::size_t m_arenaRecords = 0; // the first ones of the list
    std::size_t m_arenaHoles = 0;   // places of records dropped while the arena stayed
    std::vector<std::unique_ptr<Question>> m_appended;
    bool m_ownsQuestions = true;
    bool m_unreadable = false;
    bool m_writable = true;
    TextEncoding m_encoding = TextEncoding::kCp932;
    std::unique_ptr<FileState> m_file; // null for a set no file was read into
    std::uint64_t m_replaced = 0;
    Question* m_followed = nullptr;
};

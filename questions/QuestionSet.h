#pragma once

#include "questions/TextEncoding.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class Question;
class RecordArena;

// The records of one question set, in file order, and the encoding of their
// bytes. Where they come from and go to is the file layer's (QuestionSetFile);
// which one is asked next is the session's (QuestionPool).
class QuestionSet {
public:
    explicit QuestionSet(TextEncoding encoding = TextEncoding::kCp932);
    QuestionSet(const QuestionSet&) = delete;
    QuestionSet& operator=(const QuestionSet&) = delete;
    virtual ~QuestionSet();

    std::size_t Size() const { return m_questions.size(); }
    // Throws std::out_of_range for an index outside the list.
    Question* At(std::size_t index) const { return m_questions.at(index); }
    const std::vector<Question*>& List() const { return m_questions; }

    // Appends a record that this set then owns.
    void Append(std::unique_ptr<Question> question);

    TextEncoding GetEncoding() const { return m_encoding; }
    void SetEncoding(TextEncoding encoding) { m_encoding = encoding; }

    // The file's bytes (a question, an answer) as UTF-8 text, and back; false
    // when the text has a character the set's encoding cannot hold.
    std::string ToText(std::string_view bytes) const { return ToUtf8(m_encoding, bytes); }
    bool ToBytes(std::string_view text, std::string& bytes) const {
        return FromUtf8(m_encoding, text, bytes);
    }

    // For a reader, which lists every record of a file before any appended
    // one: room for `records`, and a record made in the set's own memory and
    // listed at the end. After an Append it throws std::logic_error.
    void Reserve(std::size_t records);
    Question* Emplace(std::string_view question, std::string_view answer, int count);

    // How many of the first records a Replace may keep: those made by Emplace,
    // or none once earlier replaces left too many places of dropped ones.
    std::size_t ReusableRecords() const;
    // The list becomes `records`: the first ReusableRecords() kept where
    // `keptOwn` (less `dropped`, which end here), the others made in `made`.
    // Without `keptOwn` every own record ends.
    void Replace(std::vector<Question*> records, std::unique_ptr<RecordArena> made,
                 const std::vector<Question*>& dropped, bool keptOwn);

private:
    void DestroyMadeRecords();

    std::vector<Question*> m_questions;
    // Where the records that this set owns live: those made by Emplace, and
    // those appended one by one.
    std::unique_ptr<RecordArena> m_arena;
    std::size_t m_arenaRecords = 0; // the first ones of the list
    std::size_t m_arenaHoles = 0;   // places of records dropped while the arena stayed
    std::vector<std::unique_ptr<Question>> m_appended;
    TextEncoding m_encoding;
};

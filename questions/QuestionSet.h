#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class Question;

// The records of one question-set file, in file order, with the file's path.
// A set made with the sharing constructor lists another set's records without
// owning them; it is the selection pool, which PickNext reorders freely.
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
    // Inline: the reader appends once for every line of a file.
    void Append(std::unique_ptr<Question> question) {
        if (!m_ownsQuestions) {
            ThrowSharingAppend();
        }
        if (question) {
            m_questions.push_back(question.release());
        }
    }
    // Bytes after the third token of the record's line, written back after its count.
    void SetLineTail(const Question* question, std::string tail);
    // Everything after the last record the reader took, written back verbatim.
    void SetUntakenRest(std::string rest) { m_untakenRest = std::move(rest); }
    // The file could not be read: the set must never overwrite it.
    void MarkUnreadable() { m_unreadable = true; }
    bool IsUnreadable() const { return m_unreadable; }

    // Writes every record, in list order, back to the path, replacing the file
    // only once the new content is safely on disk. Throws
    // CpException("問題集ファイルの保存に失敗しました。") when it cannot.
    // Does nothing for a set whose file could not be read.
    void Save();

    // Shuffles the list in place, then returns the first record with the
    // strictly lowest count. Throws std::out_of_range on an empty list.
    Question* PickNext();

    // Makes the draws of PickNext repeatable.
    static void SeedRandom(std::uint32_t seed);

private:
    [[noreturn]] static void ThrowSharingAppend();

    std::vector<Question*> m_questions;
    std::string m_path;
    bool m_ownsQuestions = true;
    bool m_unreadable = false;
    std::unordered_map<const Question*, std::string> m_lineTails;
    std::string m_untakenRest;
};

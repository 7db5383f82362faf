#pragma once

#include <cstddef>
#include <memory_resource>
#include <string>
#include <string_view>

// One line of a question-set file: question, expected answer and how often it
// was answered correctly. Texts are the file's own bytes, never converted.
class Question {
public:
    Question(std::string question, std::string answer, int correctCount);
    // The same record with its texts in the given memory, as the file reader
    // makes one for every line of a file.
    Question(std::string_view question, std::string_view answer, int correctCount,
             std::pmr::memory_resource* memory)
        : m_question(question, memory), m_answer(answer, memory), m_correctCount(correctCount) {}

    std::string GetQuestion() const { return std::string(m_question); }
    std::string GetAnswer() const { return std::string(m_answer); }
    // The same bytes, without a copy.
    std::string_view QuestionBytes() const { return m_question; }
    std::string_view AnswerBytes() const { return m_answer; }

    // Exactly the same bytes as the answer: nothing trimmed, folded or normalised.
    bool IsCorrect(std::string reply) const { return std::string_view(reply) == m_answer; }

    // Stops at the top of the range instead of wrapping to a negative count.
    void AddCorrect();
    // The same, `times` times over.
    void AddCorrect(int times);
    int GetCorrectCount() const { return m_correctCount; }

    // "question answer count", without the line break.
    std::string ToLine() const;
    // The most bytes ToLine() can have.
    std::size_t LineSizeLimit() const { return m_question.size() + m_answer.size() + 13; }
    // Writes the bytes of ToLine() at out, which has room for LineSizeLimit(),
    // and returns their end: a save composes a million lines in one buffer.
    char* CopyLine(char* out) const;

private:
    std::pmr::string m_question;
    std::pmr::string m_answer;
    int m_correctCount;
};

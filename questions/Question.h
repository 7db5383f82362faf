#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// One line of a question-set file: question, expected answer and how often it
// was answered correctly. Texts are the file's own bytes, never converted.
class Question {
public:
    Question(std::string question, std::string answer, int correctCount);
    // The same record from the bytes of a line, as the file reader makes one
    // for every line of a file.
    struct FromLine {};
    Question(FromLine, std::string_view question, std::string_view answer, int correctCount)
        : m_question(question), m_answer(answer), m_correctCount(correctCount) {}

    std::string GetQuestion() const { return m_question; }
    std::string GetAnswer() const { return m_answer; }
    // The same bytes, without a copy.
    std::string_view QuestionBytes() const { return m_question; }
    std::string_view AnswerBytes() const { return m_answer; }

    // Exactly the same bytes as the answer: nothing trimmed, folded or normalised.
    bool IsCorrect(std::string reply) const { return reply == m_answer; }

    // Stops at the top of the range instead of wrapping to a negative count.
    void AddCorrect();
    // The same, `times` times over.
    void AddCorrect(int times);
    int GetCorrectCount() const { return m_correctCount; }
    // The count that a changed file now holds on this record's line: the file
    // layer keeps a record whose line kept its question and answer.
    void SetCorrectCount(int count) { m_correctCount = count; }

    // "question answer count", without the line break.
    std::string ToLine() const;
    // The most bytes ToLine() can have.
    std::size_t LineSizeLimit() const { return m_question.size() + m_answer.size() + 13; }
    // Writes the bytes of ToLine() at out, which has room for LineSizeLimit(),
    // and returns their end: a save composes a million lines in one buffer.
    char* CopyLine(char* out) const;

private:
    std::string m_question;
    std::string m_answer;
    int m_correctCount;
};

#pragma once

#include <string>

// One line of a question-set file: question, expected answer and how often it
// was answered correctly. Texts are code page 932 bytes, never converted.
class Question {
public:
    Question(std::string question, std::string answer, int correctCount);

    std::string GetQuestion() const { return m_question; }
    std::string GetAnswer() const { return m_answer; }

    // Exactly the same bytes as the answer: nothing trimmed, folded or normalised.
    bool IsCorrect(std::string reply) const { return reply == m_answer; }

    // Stops at the top of the range instead of wrapping to a negative count.
    void AddCorrect();
    int GetCorrectCount() const { return m_correctCount; }

    // "question answer count", without the line break.
    std::string ToLine() const;

private:
    std::string m_question;
    std::string m_answer;
    int m_correctCount;
};

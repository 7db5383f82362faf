#include "questions/Question.h"

#include "questions/TokenReader.h"

#include <limits>
#include <utility>

Question::Question(std::string question, std::string answer, int correctCount)
    : m_question(std::move(question)), m_answer(std::move(answer)), m_correctCount(correctCount) {}

void Question::AddCorrect() {
    if (m_correctCount < std::numeric_limits<int>::max()) {
        ++m_correctCount;
    }
}

std::string Question::ToLine() const {
    std::string line;
    line.reserve(m_question.size() + m_answer.size() + 13);
    line += m_question;
    line += ' ';
    line += m_answer;
    line += ' ';
    line += IntToString(m_correctCount);
    return line;
}

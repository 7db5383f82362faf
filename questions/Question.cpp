#include "questions/Question.h"

#include <charconv>
#include <cstring>
#include <limits>
#include <utility>

Question::Question(std::string question, std::string answer, int correctCount)
    : m_question(std::move(question)), m_answer(std::move(answer)), m_correctCount(correctCount) {}

void Question::AddCorrect() {
    AddCorrect(1);
}

void Question::AddCorrect(int times) {
    constexpr int kMax = std::numeric_limits<int>::max();
    if (times > 0) {
        m_correctCount = m_correctCount > kMax - times ? kMax : m_correctCount + times;
    }
}

std::string Question::ToLine() const {
    std::string line(LineSizeLimit(), '\0');
    line.resize(static_cast<std::size_t>(CopyLine(line.data()) - line.data()));
    return line;
}

char* Question::CopyLine(char* out) const {
    std::memcpy(out, m_question.data(), m_question.size());
    out += m_question.size();
    *out++ = ' ';
    std::memcpy(out, m_answer.data(), m_answer.size());
    out += m_answer.size();
    *out++ = ' ';
    return std::to_chars(out, out + 11, m_correctCount).ptr; // 11: "-2147483648"
}

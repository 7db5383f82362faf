#include "questions/QuestionSet.h"

#include "questions/CpException.h"
#include "questions/Messages.h"
#include "questions/Question.h"
#include "questions/TextFileWriter.h"

#include <random>
#include <stdexcept>
#include <utility>

namespace {

std::mt19937& Engine() {
    static std::mt19937 engine{std::random_device{}()};
    return engine;
}

} // namespace

QuestionSet::QuestionSet(std::string path) : m_path(std::move(path)) {}

QuestionSet::QuestionSet(QuestionSet* other)
    : m_questions(other->m_questions), m_path(other->m_path), m_ownsQuestions(false),
      m_unreadable(other->m_unreadable), m_lineTails(other->m_lineTails),
      m_untakenRest(other->m_untakenRest) {}

QuestionSet::~QuestionSet() {
    if (m_ownsQuestions) {
        for (Question* question : m_questions) {
            delete question;
        }
    }
}

void QuestionSet::Append(std::unique_ptr<Question> question) {
    if (!m_ownsQuestions) {
        throw std::logic_error("a sharing set cannot take over a record");
    }
    if (question) {
        m_questions.push_back(question.release());
    }
}

void QuestionSet::SetLineTail(const Question* question, std::string tail) {
    m_lineTails[question] = std::move(tail);
}

void QuestionSet::Save() {
    if (m_unreadable) {
        return;
    }
    TextFileWriter writer(m_path);
    for (const Question* question : m_questions) {
        writer.Write(question->ToLine());
        if (!m_lineTails.empty()) {
            if (const auto tail = m_lineTails.find(question); tail != m_lineTails.end()) {
                writer.Write(" ");
                writer.Write(tail->second);
            }
        }
        writer.NewLine();
    }
    writer.Write(m_untakenRest);
    if (!writer.Close()) {
        throw CpException(messages::kSaveFailed);
    }
}

Question* QuestionSet::PickNext() {
    const std::size_t n = m_questions.size();
    std::mt19937& engine = Engine();
    for (std::size_t p = 1; p < n; ++p) {
        std::uniform_int_distribution<std::size_t> draw(0, p);
        std::swap(m_questions[p], m_questions[draw(engine)]);
    }
    if (n == 0) {
        throw std::out_of_range("the question set is empty");
    }
    Question* best = m_questions[0];
    for (std::size_t p = 1; p < n; ++p) {
        if (m_questions[p]->GetCorrectCount() < best->GetCorrectCount()) {
            best = m_questions[p];
        }
    }
    return best;
}

void QuestionSet::SeedRandom(std::uint32_t seed) { Engine().seed(seed); }

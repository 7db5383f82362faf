#include "session/QuestionPool.h"

#include "questions/Question.h"
#include "questions/QuestionSet.h"

#include <algorithm>
#include <random>
#include <stdexcept>

namespace {

std::mt19937& Engine() {
    static std::mt19937 engine{std::random_device{}()};
    return engine;
}

} // namespace

QuestionPool::QuestionPool(const QuestionSet& set) : m_questions(set.List()) {}

Question* QuestionPool::PickNext() {
    const std::size_t n = m_questions.size();
    Question** const list = m_questions.data();
    // Fisher-Yates: positions 1 to n-1 in turn, each exchanged with a uniform
    // draw from 0 to itself. std::shuffle does exactly that, and may take two
    // draws from one number of the engine (libstdc++ does below 65536 entries).
    std::shuffle(list, list + n, Engine());
    if (n == 0) {
        throw std::out_of_range("the question set is empty");
    }
    Question* best = list[0];
    for (std::size_t p = 1; p < n; ++p) {
        if (list[p]->GetCorrectCount() < best->GetCorrectCount()) {
            best = list[p];
        }
    }
    return best;
}

void QuestionPool::SeedRandom(std::uint32_t seed) {
    Engine().seed(seed);
}

#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class Question;
class QuestionSet;

// The records of a set to pick the next question from. It lists them without
// owning them, in an order of its own that every pick changes; it must not
// outlive the set, nor a change of the set's list.
class QuestionPool {
public:
    explicit QuestionPool(const QuestionSet& set);

    std::size_t Size() const { return m_questions.size(); }
    // In the pool's present order; throws std::out_of_range outside the list.
    Question* At(std::size_t index) const { return m_questions.at(index); }

    // Shuffles the list, then returns the first record with the strictly
    // lowest count. Throws std::out_of_range on an empty list.
    Question* PickNext();

    // Makes the draws of PickNext repeatable.
    static void SeedRandom(std::uint32_t seed);

private:
    std::vector<Question*> m_questions;
};

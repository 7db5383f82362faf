#include "questions/QuestionSet.h"

#include "questions/Question.h"
#include "questions/RecordArena.h"

#include <algorithm>
#include <memory>
#include <new>
#include <random>
#include <stdexcept>
#include <utility>

namespace {

std::mt19937& Engine() {
    static std::mt19937 engine{std::random_device{}()};
    return engine;
}

} // namespace

QuestionSet::FileState::~FileState() = default;

QuestionSet::QuestionSet(std::string path) : m_path(std::move(path)) {}

QuestionSet::QuestionSet(QuestionSet* other)
    : m_questions(other->m_questions), m_path(other->m_path), m_ownsQuestions(false),
      m_unreadable(other->m_unreadable), m_encoding(other->m_encoding) {}

// The records live in the arena or in m_appended; a sharing set has neither.
QuestionSet::~QuestionSet() {
    DestroyReadRecords();
}

void QuestionSet::DestroyReadRecords() {
    if (!m_arena) {
        return;
    }
    // The records in the arena end here; the blocks go with it, while texts
    // too long to fit in their records are freed by the records themselves.
    for (std::size_t i = 0; i < m_arenaRecords; ++i) {
        m_questions[i]->~Question();
    }
    m_arena.reset();
    m_arenaRecords = 0;
}

void QuestionSet::Append(std::unique_ptr<Question> question) {
    if (!m_ownsQuestions) {
        ThrowSharingAppend();
    }
    if (question) {
        m_questions.push_back(question.get());
        m_appended.push_back(std::move(question));
    }
}

Question* QuestionSet::EmplaceRead(std::string_view question, std::string_view answer, int count) {
    if (!m_arena) {
        m_arena = std::make_unique<RecordArena>();
    }
    void* place = m_arena->Allocate(sizeof(Question), alignof(Question));
    auto* record = new (place) Question(Question::FromLine{}, question, answer, count);
    ++m_arenaRecords;
    return record;
}

void QuestionSet::ThrowSharingAppend() {
    throw std::logic_error("a sharing set cannot take over a record");
}

void QuestionSet::AdoptRecords(std::vector<Question*> records, std::unique_ptr<RecordArena> made,
                               const std::vector<Question*>& dropped, bool keptOwn) {
    if (keptOwn) {
        m_arena->TakeBlocksOf(*made);
        for (Question* record : dropped) {
            record->~Question();
        }
        m_arenaHoles += dropped.size();
    } else {
        DestroyReadRecords();
        m_arena = std::move(made);
        m_arenaHoles = 0;
    }
    m_appended.clear();
    m_questions = std::move(records);
    m_arenaRecords = m_questions.size();
}

Question* QuestionSet::PickNext() {
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

void QuestionSet::SeedRandom(std::uint32_t seed) {
    Engine().seed(seed);
}

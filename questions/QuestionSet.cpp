#include "questions/QuestionSet.h"

#include "questions/Question.h"
#include "questions/RecordArena.h"

#include <memory>
#include <new>
#include <stdexcept>
#include <utility>

QuestionSet::QuestionSet(TextEncoding encoding) : m_encoding(encoding) {}

// The records live in the arena or in m_appended.
QuestionSet::~QuestionSet() {
    DestroyMadeRecords();
}

void QuestionSet::DestroyMadeRecords() {
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
    if (question) {
        m_questions.push_back(question.get());
        m_appended.push_back(std::move(question));
    }
}

void QuestionSet::Reserve(std::size_t records) {
    m_questions.reserve(records);
}

Question* QuestionSet::Emplace(std::string_view question, std::string_view answer, int count) {
    if (!m_appended.empty()) {
        throw std::logic_error("a record read after an appended one");
    }
    if (!m_arena) {
        m_arena = std::make_unique<RecordArena>();
    }
    void* place = m_arena->Allocate(sizeof(Question), alignof(Question));
    auto* record = new (place) Question(Question::FromLine{}, question, answer, count);
    m_questions.push_back(record);
    ++m_arenaRecords;
    return record;
}

std::size_t QuestionSet::ReusableRecords() const {
    return m_arena && m_arenaHoles <= m_arenaRecords ? m_arenaRecords : 0;
}

void QuestionSet::Replace(std::vector<Question*> records, std::unique_ptr<RecordArena> made,
                          const std::vector<Question*>& dropped, bool keptOwn) {
    if (keptOwn) {
        m_arena->TakeBlocksOf(*made);
        for (Question* record : dropped) {
            record->~Question();
        }
        m_arenaHoles += dropped.size();
    } else {
        DestroyMadeRecords();
        m_arena = std::move(made);
        m_arenaHoles = 0;
    }
    m_appended.clear();
    m_questions = std::move(records);
    m_arenaRecords = m_questions.size();
}

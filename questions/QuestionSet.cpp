#include "questions/QuestionSet.h"

#include "questions/CpException.h"
#include "questions/Messages.h"
#include "questions/Question.h"
#include "questions/TextFileWriter.h"

#include <algorithm>
#include <memory>
#include <random>
#include <stdexcept>
#include <utility>

namespace {

constexpr std::size_t kPrefetchAhead = 16;

void Prefetch(const void* address) {
#if defined(__GNUC__)
    __builtin_prefetch(address);
#else
    (void)address;
#endif
}

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

void QuestionSet::ThrowSharingAppend() {
    throw std::logic_error("a sharing set cannot take over a record");
}

void QuestionSet::SetLineTail(const Question* question, std::string tail) {
    m_lineTails[question] = std::move(tail);
}

void QuestionSet::Save() {
    if (m_unreadable) {
        return;
    }
    TextFileWriter writer(m_path);
    // Whole lines are composed in one buffer and handed over in pieces of
    // 1 MiB, which the writer passes straight to the file: per line that is a
    // few copies instead of a string of its own and five appends.
    std::size_t capacity = std::size_t{1} << 20;
    auto chunk = std::make_unique_for_overwrite<char[]>(capacity);
    std::size_t used = 0;
    const std::size_t count = m_questions.size();
    for (std::size_t i = 0; i < count; ++i) {
        const Question* question = m_questions[i];
        if (i + kPrefetchAhead < count) {
            // The walk over a million records waits on memory more than it
            // computes: ask for the records ahead while this line is composed.
            Prefetch(m_questions[i + kPrefetchAhead]);
        }
        const std::string* tail = nullptr;
        if (!m_lineTails.empty()) {
            if (const auto found = m_lineTails.find(question); found != m_lineTails.end()) {
                tail = &found->second;
            }
        }
        const std::size_t room = question->LineSizeLimit() + (tail ? 1 + tail->size() : 0) +
                                 TextFileWriter::kLineBreak.size();
        if (capacity - used < room) {
            writer.Write(std::string_view(chunk.get(), used));
            used = 0;
            if (capacity < room) { // a line longer than the whole buffer
                capacity = room;
                chunk = std::make_unique_for_overwrite<char[]>(capacity);
            }
        }
        char* out = question->CopyLine(chunk.get() + used);
        if (tail) {
            *out++ = ' ';
            out = std::copy(tail->begin(), tail->end(), out);
        }
        out = std::copy(TextFileWriter::kLineBreak.begin(), TextFileWriter::kLineBreak.end(), out);
        used = static_cast<std::size_t>(out - chunk.get());
    }
    writer.Write(std::string_view(chunk.get(), used));
    writer.Write(m_untakenRest);
    if (!writer.Close()) {
        throw CpException(messages::kSaveFailed);
    }
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

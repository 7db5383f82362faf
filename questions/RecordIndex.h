#pragma once

#include "questions/Question.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string_view>
#include <unordered_map>
#include <utility>

// The file layer's, for the merge of a changed file (QuestionSetFile).

// A record's question and answer, for finding the same record in another version of the file.
using RecordKey = std::pair<std::string_view, std::string_view>;

struct RecordKeyHash {
    std::size_t operator()(const RecordKey& key) const {
        return std::hash<std::string_view>{}(key.first) * 31 + key.second.size();
    }
};

inline RecordKey KeyOf(const Question* question) {
    return {question->QuestionBytes(), question->AnswerBytes()};
}

// Which group each of a few keys belongs to, asked once for every record of a
// set. Most records have none of the keys, so a bit per 64-bit print of the
// key's lengths and first bytes turns them away before anything is hashed.
class RecordIndex {
public:
    void Add(const RecordKey& key, std::size_t group) {
        m_groups.emplace(key, group);
        const std::uint64_t print = Print(key);
        m_bits[print / 64] |= std::uint64_t{1} << (print % 64);
    }
    bool IsEmpty() const { return m_groups.empty(); }
    // The group of the record's key, or npos.
    std::size_t Find(const Question* record) const { return Find(KeyOf(record)); }
    std::size_t Find(const RecordKey& key) const {
        const std::uint64_t print = Print(key);
        if ((m_bits[print / 64] & (std::uint64_t{1} << (print % 64))) == 0) {
            return npos;
        }
        const auto found = m_groups.find(key);
        return found == m_groups.end() ? npos : found->second;
    }

    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

private:
    static std::uint64_t Print(const RecordKey& key) {
        std::uint64_t head = 0;
        std::memcpy(&head, key.first.data(), std::min<std::size_t>(key.first.size(), 8));
        const std::uint64_t mixed =
            (head ^ key.first.size() << 56 ^ key.second.size() << 48) * 0x9e3779b97f4a7c15ULL;
        return mixed >> (64 - kBitsLog2);
    }

    static constexpr unsigned kBitsLog2 = 13;
    std::uint64_t m_bits[(1u << kBitsLog2) / 64] = {};
    std::unordered_map<RecordKey, std::size_t, RecordKeyHash> m_groups;
};

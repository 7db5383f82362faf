#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// Memory for the records of one question-set file, taken in large blocks and
// given back all at once with the set: a million records then cost a few
// hundred allocations instead of a million, both when they are read and when
// they are let go.
class RecordArena {
public:
    RecordArena() = default;
    RecordArena(const RecordArena&) = delete;
    RecordArena& operator=(const RecordArena&) = delete;

    void* Allocate(std::size_t bytes, std::size_t alignment) {
        std::size_t pad = Padding(alignment);
        if (m_next == nullptr || pad + bytes > m_left) {
            const std::size_t size = std::max(kBlock, bytes + alignment);
            m_blocks.push_back(std::make_unique_for_overwrite<std::byte[]>(size));
            m_next = m_blocks.back().get();
            m_left = size;
            pad = Padding(alignment);
        }
        std::byte* const place = m_next + pad;
        m_next = place + bytes;
        m_left -= pad + bytes;
        return place;
    }

private:
    static constexpr std::size_t kBlock = 256 * 1024;

    std::size_t Padding(std::size_t alignment) const {
        return (alignment - reinterpret_cast<std::uintptr_t>(m_next) % alignment) % alignment;
    }

    std::vector<std::unique_ptr<std::byte[]>> m_blocks;
    std::byte* m_next = nullptr;
    std::size_t m_left = 0;
};

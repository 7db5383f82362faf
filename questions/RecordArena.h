#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// Memory for the records of one question-set file, taken in large blocks and
// given back all at once with the set: a million records then cost a few
// hundred allocations instead of a million, both when they are read and when
// they are let go.
//
// Blocks let go are kept for the next arena, up to a limit: a save that finds
// the file changed reads it into a second set while the first still lives,
// and memory the system has to hand out afresh costs more than the reading.
class RecordArena {
public:
    RecordArena() = default;
    RecordArena(const RecordArena&) = delete;
    RecordArena& operator=(const RecordArena&) = delete;
    ~RecordArena();

    void* Allocate(std::size_t bytes, std::size_t alignment) {
        std::size_t pad = Padding(alignment);
        if (m_next == nullptr || pad + bytes > m_left) {
            NewBlock(bytes + alignment);
            pad = Padding(alignment);
        }
        std::byte* const place = m_next + pad;
        m_next = place + bytes;
        m_left -= pad + bytes;
        return place;
    }

    // The blocks of `other`, and the records in them, go with this arena from
    // now on; `other` is left empty.
    void TakeBlocksOf(RecordArena& other);

private:
    static constexpr std::size_t kBlock = 256 * 1024;

    struct Block {
        std::unique_ptr<std::byte[]> bytes;
        std::size_t size;
    };

    std::size_t Padding(std::size_t alignment) const {
        return (alignment - reinterpret_cast<std::uintptr_t>(m_next) % alignment) % alignment;
    }
    void NewBlock(std::size_t atLeast);

    std::vector<Block> m_blocks;
    std::byte* m_next = nullptr;
    std::size_t m_left = 0;
};

#include "questions/RecordArena.h"

#include <algorithm>
#include <mutex>
#include <utility>

namespace {

// Kept: at most the blocks of the largest arena so far, which is what a
// second copy of the largest set read needs. More would only hold memory.
struct SpareBlocks {
    std::mutex mutex;
    std::vector<std::unique_ptr<std::byte[]>> blocks;
    std::size_t limit = 0;
};

SpareBlocks& Spares() {
    static SpareBlocks spares;
    return spares;
}

} // namespace

RecordArena::~RecordArena() {
    SpareBlocks& spares = Spares();
    const std::lock_guard lock(spares.mutex);
    spares.limit = std::max(spares.limit, m_blocks.size());
    for (Block& block : m_blocks) {
        if (block.size == kBlock && spares.blocks.size() < spares.limit) {
            spares.blocks.push_back(std::move(block.bytes));
        }
    }
}

void RecordArena::NewBlock(std::size_t atLeast) {
    Block block{nullptr, std::max(kBlock, atLeast)};
    if (block.size == kBlock) {
        SpareBlocks& spares = Spares();
        const std::lock_guard lock(spares.mutex);
        if (!spares.blocks.empty()) {
            block.bytes = std::move(spares.blocks.back());
            spares.blocks.pop_back();
        }
    }
    if (!block.bytes) {
        block.bytes = std::make_unique_for_overwrite<std::byte[]>(block.size);
    }
    m_next = block.bytes.get();
    m_left = block.size;
    m_blocks.push_back(std::move(block));
}

void RecordArena::TakeBlocksOf(RecordArena& other) {
    m_blocks.reserve(m_blocks.size() + other.m_blocks.size());
    for (Block& block : other.m_blocks) {
        m_blocks.push_back(std::move(block));
    }
    other.m_blocks.clear();
    other.m_next = nullptr;
    other.m_left = 0;
}

// The bounded cache of grid blocks between the lookups and a grid reader.
// Internal to grids/; geoid_grid.h tells the design and the bounds.
//
// The nodes are cut into blocks of kRows × kCols; a block is stored with one
// more row and column (the next block's first, or for the last block the
// first column again on a grid that goes round the earth, else its own last
// row or column repeated), so the four nodes of any cell lie in one block.
//
// Slots hold the blocks; a table maps every block of the grid to its slot.
// Readers take no lock: they read the table, then the slot's sequence
// number, the block it holds and the four values, then the sequence number
// again (a seqlock). A writer, holding the lock, makes the number odd
// before it changes a slot and even after, so a reader that overlapped a
// change sees the numbers differ and goes through the lock instead. The
// values are atomics read and written with relaxed order (plain moves on
// the usual processors), so an overlapped read is no data race. Each slot
// has a recently-used flag for the clock that picks the slot to reuse; a
// reader writes it only when it is clear.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "grids/geoid_grid.h"
#include "grids/grid_source.h"

namespace zelk::grids::detail {

class BlockCache {
public:
    // A block is kRows x kCols nodes, wide rather than tall: reading one
    // costs a read (or a parse) per row.
    static constexpr int kRowShift = 4;
    static constexpr int kColShift = 8;
    static constexpr int kRows = 1 << kRowShift;
    static constexpr int kCols = 1 << kColShift;
    static constexpr int kStride = kCols + 1;  // with the next column
    static constexpr int kStoredRows = kRows + 1;  // with the next row
    static constexpr std::size_t kBlockBytes = sizeof(float) * kStride * kStoredRows;

    BlockCache(GridSource& source, const GridGeometry& geometry, std::size_t cacheBytes);
    BlockCache(const BlockCache&) = delete;
    BlockCache& operator=(const BlockCache&) = delete;

    // The nodes of the cell whose south-west node is (row iy, column ix):
    // v[0] (ix, iy), v[1] (ix + 1, iy), v[2] (ix, iy + 1), v[3] (ix + 1,
    // iy + 1), the next column wrapping or the last row and column repeating
    // as the grid has it. False only when the block had to be read and could
    // not be.
    bool Corners(int ix, int iy, float v[4]) const {
        const std::int64_t block =
            static_cast<std::int64_t>(iy >> kRowShift) * m_blockCols + (ix >> kColShift);
        const int at = (iy & (kRows - 1)) * kStride + (ix & (kCols - 1));
        const std::uint32_t index = m_table[block].load(std::memory_order_acquire);
        if (index != kNone) {
            const Slot& slot = m_slots[index];
            const std::uint64_t before = slot.sequence.load(std::memory_order_acquire);
            if ((before & 1) == 0 && slot.block.load(std::memory_order_relaxed) == block) {
                const std::atomic<float>* p = slot.values.get() + at;
                v[0] = p[0].load(std::memory_order_relaxed);
                v[1] = p[1].load(std::memory_order_relaxed);
                v[2] = p[kStride].load(std::memory_order_relaxed);
                v[3] = p[kStride + 1].load(std::memory_order_relaxed);
                std::atomic_thread_fence(std::memory_order_acquire);
                if (slot.sequence.load(std::memory_order_relaxed) == before) {
                    if (!slot.used.load(std::memory_order_relaxed)) {
                        slot.used.store(true, std::memory_order_relaxed);
                    }
                    return true;
                }
            }
        }
        return CornersLocked(block, iy >> kRowShift, ix >> kColShift, at, v);
    }

    std::string ReadError() const;
    // Bytes at most: the slots' values and headers and the table.
    std::size_t MemoryBound() const;
    std::size_t Capacity() const { return m_capacity; }  // blocks

private:
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;

    struct Slot {
        std::atomic<std::uint64_t> sequence{0};
        std::atomic<std::int64_t> block{-1};
        mutable std::atomic<bool> used{false};
        std::unique_ptr<std::atomic<float>[]> values;  // set once, before first use
    };

    bool CornersLocked(std::int64_t block, int blockRow, int blockCol, int at, float v[4]) const;
    bool Fill(int blockRow, int blockCol, float* out) const;
    std::uint32_t TakeSlot() const;

    GridSource& m_source;
    GridGeometry m_geometry;
    std::int64_t m_blockCols = 0;
    std::int64_t m_blockCount = 0;
    std::size_t m_capacity = 0;
    std::unique_ptr<std::atomic<std::uint32_t>[]> m_table;
    std::unique_ptr<Slot[]> m_slots;

    // Under m_mutex:
    mutable std::mutex m_mutex;
    mutable std::size_t m_slotsInUse = 0;
    mutable std::size_t m_hand = 0;
    mutable std::vector<float> m_scratch;
    mutable std::string m_error;
};

}  // namespace zelk::grids::detail

#include "grids/block_cache.h"

#include <algorithm>
#include <cstring>

namespace zelk::grids::detail {

BlockCache::BlockCache(GridSource& source, const GridGeometry& geometry, std::size_t cacheBytes)
    : m_source(source), m_geometry(geometry) {
    const std::int64_t blockRows = ((geometry.rows - 1) >> kRowShift) + 1;
    m_blockCols = ((geometry.cols - 1) >> kColShift) + 1;
    m_blockCount = blockRows * m_blockCols;
    m_capacity = std::max<std::size_t>(1, cacheBytes / kBlockBytes);
    m_capacity = std::min<std::size_t>(m_capacity, static_cast<std::size_t>(m_blockCount));
    m_capacity = std::min<std::size_t>(m_capacity, kNone - 1);
    m_table = std::make_unique<std::atomic<std::uint32_t>[]>(static_cast<std::size_t>(m_blockCount));
    for (std::int64_t i = 0; i < m_blockCount; ++i) m_table[i].store(kNone, std::memory_order_relaxed);
    m_slots = std::make_unique<Slot[]>(m_capacity);
    m_scratch.resize(static_cast<std::size_t>(kStride) * kStoredRows);
}

std::string BlockCache::ReadError() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_error;
}

std::size_t BlockCache::MemoryBound() const {
    return m_capacity * (kBlockBytes + sizeof(Slot)) +
           static_cast<std::size_t>(m_blockCount) * sizeof(std::atomic<std::uint32_t>) +
           m_scratch.size() * sizeof(float);
}

// Reads one block with its next row and column into out (kStoredRows ×
// kStride).
bool BlockCache::Fill(int blockRow, int blockCol, float* out) const {
    const int row0 = blockRow << kRowShift;
    const int col0 = blockCol << kColShift;
    const int rows = std::min(kStoredRows, m_geometry.rows - row0);
    const int cols = std::min(kStride, m_geometry.cols - col0);
    std::string error;
    if (!m_source.Read(row0, rows, col0, cols, out, kStride, error)) {
        m_error = error;
        return false;
    }
    int filledCols = cols;
    if (cols < kStride && m_geometry.wraps) {
        // The column after the last is the first.
        if (!m_source.Read(row0, rows, 0, 1, out + cols, kStride, error)) {
            m_error = error;
            return false;
        }
        ++filledCols;
    }
    // Beyond the grid's last row and column: the last again, which only
    // ever carries weight zero (a point on the grid's north or east edge).
    for (int r = 0; r < rows; ++r) {
        float* row = out + static_cast<std::size_t>(r) * kStride;
        std::fill(row + filledCols, row + kStride, row[filledCols - 1]);
    }
    for (int r = rows; r < kStoredRows; ++r) {
        std::memcpy(out + static_cast<std::size_t>(r) * kStride,
                    out + static_cast<std::size_t>(rows - 1) * kStride, sizeof(float) * kStride);
    }
    return true;
}

// A slot for a new block: a fresh one while there are, else the first the
// clock finds unused since its last pass.
std::uint32_t BlockCache::TakeSlot() const {
    if (m_slotsInUse < m_capacity) {
        Slot& slot = m_slots[m_slotsInUse];
        slot.values = std::make_unique<std::atomic<float>[]>(static_cast<std::size_t>(kStride) * kStoredRows);
        return static_cast<std::uint32_t>(m_slotsInUse++);
    }
    for (;;) {
        const std::size_t index = m_hand;
        m_hand = (m_hand + 1) % m_capacity;
        if (!m_slots[index].used.exchange(false, std::memory_order_relaxed)) {
            return static_cast<std::uint32_t>(index);
        }
    }
}

bool BlockCache::CornersLocked(std::int64_t block, int blockRow, int blockCol, int at,
                               float v[4]) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    // Another thread may have read the block meanwhile; no slot changes
    // while the lock is held.
    const std::uint32_t present = m_table[block].load(std::memory_order_relaxed);
    if (present != kNone) {
        const Slot& slot = m_slots[present];
        const std::atomic<float>* p = slot.values.get() + at;
        v[0] = p[0].load(std::memory_order_relaxed);
        v[1] = p[1].load(std::memory_order_relaxed);
        v[2] = p[kStride].load(std::memory_order_relaxed);
        v[3] = p[kStride + 1].load(std::memory_order_relaxed);
        slot.used.store(true, std::memory_order_relaxed);
        return true;
    }
    if (!m_error.empty()) return false;
    float* data = m_scratch.data();
    if (!Fill(blockRow, blockCol, data)) return false;

    const std::uint32_t index = TakeSlot();
    Slot& slot = m_slots[index];
    const std::int64_t previous = slot.block.load(std::memory_order_relaxed);
    if (previous >= 0) m_table[previous].store(kNone, std::memory_order_relaxed);
    const std::uint64_t sequence = slot.sequence.load(std::memory_order_relaxed);
    slot.sequence.store(sequence + 1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    slot.block.store(block, std::memory_order_relaxed);
    const std::size_t count = static_cast<std::size_t>(kStride) * kStoredRows;
    for (std::size_t i = 0; i < count; ++i) slot.values[i].store(data[i], std::memory_order_relaxed);
    slot.sequence.store(sequence + 2, std::memory_order_release);
    slot.used.store(true, std::memory_order_relaxed);
    m_table[block].store(index, std::memory_order_release);

    v[0] = data[at];
    v[1] = data[at + 1];
    v[2] = data[at + kStride];
    v[3] = data[at + kStride + 1];
    return true;
}

}  // namespace zelk::grids::detail

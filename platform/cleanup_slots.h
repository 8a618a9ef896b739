// The table of paths an interruption removes, behind interrupt_cleanup.h on
// both systems. Internal to platform/.
//
// Lock-free and without allocation: the handler that reads it runs as a
// signal handler (POSIX) or on a thread of its own while others may be
// registering (Windows). A slot is taken by one compare-and-swap, filled,
// then published; the handler only looks at published slots.
#pragma once

#include <atomic>
#include <cstddef>
#include <filesystem>

namespace zelk::interruptcleanup::detail {

using PathChar = std::filesystem::path::value_type;

// PathChars: the longest path a slot holds, its terminating zero included.
template <std::size_t PathChars>
class SlotTable {
public:
    static_assert(std::atomic<int>::is_always_lock_free, "the handler reads the table lock-free");

    // The slot of a path, or -1 when it is too long or the table is full.
    int Register(const PathChar* path) {
        std::size_t length = 0;
        while (path[length] != PathChar{}) ++length;
        if (length >= PathChars) return -1;
        for (int i = 0; i < kSlots; ++i) {
            int expected = kFree;
            if (m_slots[i].state.compare_exchange_strong(expected, kFilling,
                                                         std::memory_order_acq_rel)) {
                for (std::size_t k = 0; k <= length; ++k) m_slots[i].path[k] = path[k];
                m_slots[i].state.store(kActive, std::memory_order_release);
                return i;
            }
        }
        return -1;
    }

    void Forget(int slot) {
        if (slot < 0 || slot >= kSlots) return;
        m_slots[slot].state.store(kFilling, std::memory_order_release);
        m_slots[slot].path[0] = PathChar{};
        m_slots[slot].state.store(kFree, std::memory_order_release);
    }

    // remove(path) for every published path; as safe in a signal handler as
    // remove is.
    template <class Remove>
    void RemoveAll(Remove remove) {
        for (Slot& slot : m_slots) {
            if (slot.state.load(std::memory_order_acquire) == kActive) remove(slot.path);
        }
    }

private:
    static constexpr int kSlots = 16;
    enum : int { kFree = 0, kFilling = 1, kActive = 2 };
    struct Slot {
        std::atomic<int> state{kFree};
        PathChar path[PathChars];
    };
    Slot m_slots[kSlots];
};

}  // namespace zelk::interruptcleanup::detail

#include "failing_allocations.h"

#include <atomic>
#include <cstdlib>
#include <new>
#include <thread>


namespace {

std::atomic<bool> g_failing{false};
std::size_t g_minBytes = 0;
bool g_otherThreadsOnly = false;
std::thread::id g_owner;

bool Fails(std::size_t size) {
    if (!g_failing.load(std::memory_order_acquire) || size < g_minBytes) return false;
    return !g_otherThreadsOnly || std::this_thread::get_id() != g_owner;
}

void* Allocate(std::size_t size) {
    if (Fails(size)) throw std::bad_alloc();
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}

void* AllocateOrNull(std::size_t size) noexcept {
    try {
        return Allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

}  // namespace

FailingAllocations::FailingAllocations(std::size_t minBytes, bool otherThreadsOnly) {
    g_minBytes = minBytes;
    g_otherThreadsOnly = otherThreadsOnly;
    g_owner = std::this_thread::get_id();
    g_failing.store(true, std::memory_order_release);
}

FailingAllocations::~FailingAllocations() { g_failing.store(false, std::memory_order_release); }

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return AllocateOrNull(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return AllocateOrNull(size);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

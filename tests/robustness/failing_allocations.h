// Allocations that fail on demand, to see how a run meets a lack of memory.
// The program's operator new is replaced (failing_allocations.cpp); outside a
// FailingAllocations scope it is plain malloc.
#pragma once

#include <cstddef>

class FailingAllocations {
public:
    // From now on, operator new throws std::bad_alloc for minBytes or more,
    // on every thread, or only on threads other than this one.
    FailingAllocations(std::size_t minBytes, bool otherThreadsOnly);
    ~FailingAllocations();  // allocations succeed again
    FailingAllocations(const FailingAllocations&) = delete;
    FailingAllocations& operator=(const FailingAllocations&) = delete;
};

#include "tests/allocation_limit.h"

#ifndef _WIN32
#include <dlfcn.h>
#endif

#include <atomic>
#include <cstdlib>
#include <new>

namespace zarnex::test {
namespace {
std::atomic<size_t> limit{static_cast<size_t>(-1)};
}

AllocationLimit::AllocationLimit(size_t largest) : previous_(limit.exchange(largest)) {}
AllocationLimit::~AllocationLimit() {
    limit.store(previous_);
}

}  // namespace zarnex::test

#ifdef _WIN32
// No sanitizer to hand on to: the plain operator new and its delete, over malloc and free.
void* operator new(std::size_t size) {
    if (size >= zarnex::test::limit.load(std::memory_order_relaxed)) {
        throw std::bad_alloc();
    }
    if (void* block = std::malloc(size != 0 ? size : 1)) {
        return block;
    }
    throw std::bad_alloc();
}

void operator delete(void* block) noexcept {
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}
#else
// Replaces the plain operator new of this program and hands everything below the limit to the
// one it replaces (the sanitizer's, where there is one), so that every delete still matches.
void* operator new(std::size_t size) {
    using New = void* (*)(std::size_t);
    static const New next = reinterpret_cast<New>(dlsym(RTLD_NEXT, "_Znwm"));
    if (next == nullptr) {
        std::abort();
    }
    if (size >= zarnex::test::limit.load(std::memory_order_relaxed)) {
        throw std::bad_alloc();
    }
    return next(size);
}
#endif

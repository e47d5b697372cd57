#include "bench/common/allocation_count.h"

#include <cstdlib>
#include <new>

namespace {

thread_local std::uint64_t tAllocations = 0;

}  // namespace

std::uint64_t ThreadAllocations() {
    return tAllocations;
}

// Out of line, so the compiler does not pair an inlined malloc with the matching delete's free.
[[gnu::noinline]] void* operator new(std::size_t size) {
    ++tAllocations;
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* p) noexcept {
    std::free(p);
}
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

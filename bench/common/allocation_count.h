// Heap allocations made by the calling thread, counted by a replaced global operator new: a bench
// that claims a path allocates nothing reads this before and after it. Linking the object library
// `vesk_bench_allocation_count` replaces operator new for the whole executable.
#pragma once

#include <cstdint>

std::uint64_t ThreadAllocations();

// Counts every allocation of the test program: the global operator new and
// delete replaced by malloc and free with a counter. Include this header in
// exactly one source file of a test executable (its no-allocation test); a
// test reads the counter before and after the steps it checks, and first
// proves with the probe that the counter sees the program's allocations.
#pragma once

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

namespace wakro_test {

inline std::atomic<long> allocations{0};
// Written through a volatile pointer so that the optimiser keeps the probe's
// allocation.
inline std::vector<int>* volatile allocation_probe = nullptr;

}  // namespace wakro_test

// The replacements pair operator new with malloc and operator delete with free;
// inlined into a caller, the compiler sees free() of what operator new returned
// and would take it for a mismatched pair.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t n) {
  ++wakro_test::allocations;
  if (void* p = std::malloc(n == 0 ? 1 : n)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

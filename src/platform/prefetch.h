#pragma once

namespace mixgen {

// Asks the memory early for the cache line at address, so that a miss overlaps other work.
// GCC counts __builtin_prefetch as having no effect: a small helper that only prefetches is
// taken for a const function, and its calls, which return nothing, are dropped as dead code.
// The empty asm that names the address is an effect GCC keeps, and with it the prefetch.
inline void prefetchLine(const void* address) {
    __builtin_prefetch(address);
    asm volatile("" : : "r"(address));
}

} // namespace mixgen

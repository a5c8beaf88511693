#pragma once
// Vector types for the stages that work on several cells at a time. With the compiler's vector
// extensions every operation is the scalar IEEE operation lane by lane, so a stage gives the same
// numbers on its plain path (baseline x86-64: SSE2, 16-byte vectors) and on its wide path
// (functions compiled for AVX2, 32-byte vectors), and the same as cell by cell.

#include <cstdint>
#include <cstring>

#include "imaging/cpu.hpp"

namespace texturemeter::lanes {

// N doubles, with floats and 32-bit whole numbers of the same count: N = 2 plain, 4 wide.
template <int N>
struct Doubles;
template <>
struct Doubles<2> {
    using D = double __attribute__((vector_size(16)));
    using F = float __attribute__((vector_size(8)));
    using I = std::int32_t __attribute__((vector_size(8)));
};
template <>
struct Doubles<4> {
    using D = double __attribute__((vector_size(32)));
    using F = float __attribute__((vector_size(16)));
    using I = std::int32_t __attribute__((vector_size(16)));
};

// N 32-bit lanes, whole numbers or floats: N = 4 plain, 8 wide.
template <int N>
struct Words;
template <>
struct Words<4> {
    using I = std::int32_t __attribute__((vector_size(16)));
    using F = float __attribute__((vector_size(16)));
};
template <>
struct Words<8> {
    using I = std::int32_t __attribute__((vector_size(32)));
    using F = float __attribute__((vector_size(32)));
};

// Vectors go in and out by reference: these are inlined into the AVX2 functions, and a 32-byte
// vector passed by value to a function compiled without AVX would change the calling convention.
template <typename V, typename T>
[[gnu::always_inline]] inline void load(V& v, const T* p) {
    std::memcpy(&v, p, sizeof v);
}
template <typename V, typename T>
[[gnu::always_inline]] inline void store(T* p, const V& v) {
    std::memcpy(p, &v, sizeof v);
}

// Whether the wide (AVX2) path may run.
inline bool wideAvailable() {
#if defined(__x86_64__)
    return imaging::wideVectorsAvailable();
#else
    return false;
#endif
}

}  // namespace texturemeter::lanes

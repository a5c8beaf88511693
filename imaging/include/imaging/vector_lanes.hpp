#pragma once
// The one way stages work on several cells at a time. A kernel is written once, as a template
// over its lane count, in the compiler's portable vector types: every operation on them is the
// scalar IEEE operation lane by lane, so a kernel gives the same numbers at every width and the
// same as cell by cell. dispatch() runs it on the path imaging::vectorPath() names:
//   scalar  1 lane per vector;
//   sse2    16-byte vectors: 2 doubles or 4 32-bit lanes (baseline x86-64);
//   avx2    32-byte vectors: 4 doubles or 8 32-bit lanes (compiled for AVX2, run only where the
//           processor has it).
// The few operations the vector types lack or the compiler splits (square root, lane masks as
// bits, float-to-double conversion) are here, and this header is the only place in the project
// that names processor instructions.
//
// Vectors go in and out of functions by reference: the kernels are inlined into the path's entry
// (compiled for AVX2 on the avx2 path), and a 32-byte vector passed by value to or from a function
// compiled without AVX would change the calling convention.

#include <cmath>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "imaging/cpu.hpp"

namespace imaging::lanes {

// The paths as types: how many doubles, and how many 32-bit lanes, a vector holds.
struct Scalar {
    static constexpr VectorPath kPath = VectorPath::scalar;
    static constexpr int kDoubles = 1, kWords = 1;
};
struct Sse2 {
    static constexpr VectorPath kPath = VectorPath::sse2;
    static constexpr int kDoubles = 2, kWords = 4;
};
struct Avx2 {
    static constexpr VectorPath kPath = VectorPath::avx2;
    static constexpr int kDoubles = 4, kWords = 8;
};

// N doubles, with floats and 32-bit whole numbers of the same count.
template <int N>
struct Doubles;
template <>
struct Doubles<1> {
    using D = double __attribute__((vector_size(8)));
    using F = float __attribute__((vector_size(4)));
    using I = std::int32_t __attribute__((vector_size(4)));
};
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
template <>
struct Doubles<8> {
    using D = double __attribute__((vector_size(64)));
    using F = float __attribute__((vector_size(32)));
    using I = std::int32_t __attribute__((vector_size(32)));
};

// N 32-bit lanes: signed and unsigned whole numbers, floats, and the floats' doubles.
template <int N>
struct Words;
template <>
struct Words<1> {
    using I = std::int32_t __attribute__((vector_size(4)));
    using U = std::uint32_t __attribute__((vector_size(4)));
    using F = float __attribute__((vector_size(4)));
    using D = Doubles<1>::D;
};
template <>
struct Words<4> {
    using I = std::int32_t __attribute__((vector_size(16)));
    using U = std::uint32_t __attribute__((vector_size(16)));
    using F = float __attribute__((vector_size(16)));
    using D = Doubles<4>::D;
};
template <>
struct Words<8> {
    using I = std::int32_t __attribute__((vector_size(32)));
    using U = std::uint32_t __attribute__((vector_size(32)));
    using F = float __attribute__((vector_size(32)));
    using D = Doubles<8>::D;
};

// The number of lanes of a vector type.
template <typename V>
constexpr int kLanesOf = int(sizeof(V) / sizeof(V{}[0]));

template <typename V, typename T>
[[gnu::always_inline]] inline void load(V& v, const T* p) {
    std::memcpy(&v, p, sizeof v);
}
template <typename V, typename T>
[[gnu::always_inline]] inline void store(T* p, const V& v) {
    std::memcpy(p, &v, sizeof v);
}

// Each float lane converted to double (exactly).
template <typename F, typename D>
inline void widen(const F& f, D& d) {
    d = __builtin_convertvector(f, D);
}

// The correctly rounded square root of each lane, as std::sqrt gives it.
template <typename D>
inline void squareRoot(const D& v, D& root) {
    for (int k = 0; k < kLanesOf<D>; ++k) root[k] = std::sqrt(v[k]);
}

// Bit k set where the sign bit of 32-bit lane k is (comparisons give -1 or 0 per lane).
template <typename I>
inline int laneBits(const I& v) {
    int bits = 0;
    for (int k = 0; k < kLanesOf<I>; ++k) bits |= int(std::uint32_t(v[k]) >> 31) << k;
    return bits;
}

#if defined(__x86_64__)
// The compiler converts these half by half; the instructions take them whole.
inline void widen(const Doubles<2>::F& f, Doubles<2>::D& d) {
    __m128 v = _mm_setzero_ps();
    std::memcpy(&v, &f, sizeof f);
    d = _mm_cvtps_pd(v);
}
[[gnu::target("avx2")]] inline void widen(const Doubles<4>::F& f, Doubles<4>::D& d) { d = _mm256_cvtps_pd(f); }
inline void squareRoot(const Doubles<2>::D& v, Doubles<2>::D& root) { root = _mm_sqrt_pd(v); }
[[gnu::target("avx2")]] inline void squareRoot(const Doubles<4>::D& v, Doubles<4>::D& root) {
    root = _mm256_sqrt_pd(v);
}
inline int laneBits(const Words<4>::I& v) { return _mm_movemask_ps(reinterpret_cast<__m128>(v)); }
[[gnu::target("avx2")]] inline int laneBits(const Words<8>::I& v) {
    return _mm256_movemask_ps(reinterpret_cast<__m256>(v));
}
#endif

// The path entries: each inlines the whole kernel, so that on the avx2 path all of it is
// compiled for AVX2 and nothing of it runs on a processor without. Each is a function of its own
// (as the avx2 one must be), so that the kernels of the other paths do not crowd the caller.
template <typename Kernel>
[[gnu::flatten, gnu::noinline]] void runScalar(Kernel& kernel) {
    kernel(Scalar{});
}
#if defined(__x86_64__)
template <typename Kernel>
[[gnu::flatten, gnu::noinline]] void runSse2(Kernel& kernel) {
    kernel(Sse2{});
}
template <typename Kernel>
[[gnu::flatten, gnu::target("avx2")]] void runAvx2(Kernel& kernel) {
    kernel(Avx2{});
}
#endif

// Runs kernel(path) with the path type of imaging::vectorPath(): Scalar, Sse2 or Avx2. The kernel
// is a generic callable (a lambda taking `auto path`) that picks its lane counts from
// decltype(path)::kDoubles or ::kWords.
template <typename Kernel>
inline void dispatch(Kernel&& kernel) {
#if defined(__x86_64__)
    switch (vectorPath()) {
    case VectorPath::avx2: return runAvx2(kernel);
    case VectorPath::sse2: return runSse2(kernel);
    case VectorPath::scalar: break;
    }
#endif
    runScalar(kernel);
}

}  // namespace imaging::lanes

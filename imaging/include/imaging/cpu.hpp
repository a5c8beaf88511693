#pragma once
// The processor's vector paths. Stages that compare or compute many cells at a time run one
// kernel, written once over the lane width (imaging/vector_lanes.hpp), on one of three paths:
//   scalar  one lane at a time (any processor);
//   sse2    16-byte vectors (every x86-64 processor);
//   avx2    32-byte vectors (x86-64 processors that have AVX2).
// Every path gives the same results bit for bit: the same IEEE operations, lane by lane, and no
// fused multiply-add (the build keeps -ffp-contract=off). Stages take the widest path the
// processor has, unless a narrower one was chosen (tests compare every path, benchmarks time them).

#include <string_view>
#include <vector>

namespace imaging {

// Narrowest first.
enum class VectorPath { scalar, sse2, avx2 };

// "scalar", "sse2" or "avx2".
std::string_view vectorPathName(VectorPath path) noexcept;

// The paths this processor can run, narrowest first (scalar always).
std::vector<VectorPath> vectorPathsHere();

// The widest path this processor can run.
VectorPath widestVectorPath() noexcept;

// The path the stages take now.
VectorPath vectorPath() noexcept;

// Makes the stages take `path` from now on; a path the processor cannot run is an error
// (imaging::RunError). For tests and benchmarks; not meant to be changed while a stage runs on
// another thread.
void chooseVectorPath(VectorPath path);

}  // namespace imaging

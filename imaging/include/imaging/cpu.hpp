#pragma once
// The processor's wider vector instructions. Stages that compare or compute many cells at a time
// have a plain path (baseline x86-64, SSE2) and, where it pays, a path compiled for AVX2 that
// gives the same results bit for bit: the same IEEE operations, lane by lane, and no fused
// multiply-add (the build keeps -ffp-contract=off). The wider path runs only when the processor
// has AVX2 and it has not been switched off; tests switch it off to compare both paths.

namespace imaging {

// Whether the AVX2 paths may run now.
bool wideVectorsAvailable() noexcept;

// Switches the AVX2 paths off (false) or back on where the processor has them (true). For tests
// and benchmarks; not meant to be changed while a stage runs on another thread.
void allowWideVectors(bool allow) noexcept;

}  // namespace imaging

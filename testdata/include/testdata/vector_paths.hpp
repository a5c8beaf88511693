#pragma once
// Runs a test's check on every vector path the processor has (scalar, sse2, avx2), so that a
// test compares each path with its reference.

#include <gtest/gtest.h>

#include <string>
#include <type_traits>

#include "imaging/cpu.hpp"

namespace morph::testdata {

// check() or check(path) once per path, narrowest first, under a trace naming the path ("on the
// sse2 path"); the widest path is taken again afterwards, whatever happened in the check.
template <typename Check>
void onEveryVectorPath(Check check) {
    struct Restore {
        ~Restore() { imaging::chooseVectorPath(imaging::widestVectorPath()); }
    } restore;
    for (const imaging::VectorPath path : imaging::vectorPathsHere()) {
        SCOPED_TRACE("on the " + std::string(imaging::vectorPathName(path)) + " path");
        imaging::chooseVectorPath(path);
        if constexpr (std::is_invocable_v<Check, imaging::VectorPath>)
            check(path);
        else
            check();
    }
}

}  // namespace morph::testdata

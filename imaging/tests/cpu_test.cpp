#include "imaging/cpu.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "imaging/errors.hpp"

namespace {

using imaging::VectorPath;

VectorPath processorsWidest() {
#if defined(__x86_64__)
    return __builtin_cpu_supports("avx2") ? VectorPath::avx2 : VectorPath::sse2;
#else
    return VectorPath::scalar;
#endif
}

TEST(VectorPaths, NamedScalarSse2Avx2) {
    EXPECT_EQ(imaging::vectorPathName(VectorPath::scalar), "scalar");
    EXPECT_EQ(imaging::vectorPathName(VectorPath::sse2), "sse2");
    EXPECT_EQ(imaging::vectorPathName(VectorPath::avx2), "avx2");
}

TEST(VectorPaths, EveryPathUpToTheProcessorsWidest) {
    const VectorPath widest = processorsWidest();
    EXPECT_EQ(imaging::widestVectorPath(), widest);
    std::vector<VectorPath> expected{VectorPath::scalar};
    if (widest >= VectorPath::sse2) expected.push_back(VectorPath::sse2);
    if (widest >= VectorPath::avx2) expected.push_back(VectorPath::avx2);
    EXPECT_EQ(imaging::vectorPathsHere(), expected);
}

TEST(VectorPaths, ChosenAndBackToTheWidestFollowsTheProcessor) {
    EXPECT_EQ(imaging::vectorPath(), processorsWidest());
    imaging::chooseVectorPath(VectorPath::scalar);
    EXPECT_EQ(imaging::vectorPath(), VectorPath::scalar);
    imaging::chooseVectorPath(imaging::widestVectorPath());
    EXPECT_EQ(imaging::vectorPath(), processorsWidest());
}

TEST(VectorPaths, APathTheProcessorLacksIsRefused) {
    if (processorsWidest() == VectorPath::avx2) GTEST_SKIP() << "this processor has every path";
    try {
        imaging::chooseVectorPath(VectorPath::avx2);
        FAIL() << "avx2 was chosen";
    } catch (const imaging::RunError& e) {
        EXPECT_STREQ(e.what(), "Invalid procedure call or argument: this processor has no avx2 vector path");
    }
    EXPECT_EQ(imaging::vectorPath(), processorsWidest());
}

TEST(VectorPaths, APathOutsideTheThreeIsRefused) {
    EXPECT_THROW(imaging::chooseVectorPath(static_cast<VectorPath>(3)), imaging::RunError);
    EXPECT_THROW(imaging::chooseVectorPath(static_cast<VectorPath>(-1)), imaging::RunError);
    EXPECT_EQ(imaging::vectorPath(), processorsWidest());
}

}  // namespace

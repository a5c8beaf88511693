#include "imaging/cpu.hpp"

#include <gtest/gtest.h>

namespace {

TEST(WideVectors, SwitchedOffAndBackOnFollowsTheProcessor) {
    bool processorHasAvx2 = false;
#if defined(__x86_64__) || defined(__i386__)
    processorHasAvx2 = __builtin_cpu_supports("avx2");
#endif
    EXPECT_EQ(imaging::wideVectorsAvailable(), processorHasAvx2);
    imaging::allowWideVectors(false);
    EXPECT_FALSE(imaging::wideVectorsAvailable());
    imaging::allowWideVectors(true);
    EXPECT_EQ(imaging::wideVectorsAvailable(), processorHasAvx2);
}

}  // namespace

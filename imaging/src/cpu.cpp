#include "imaging/cpu.hpp"

#include <atomic>

namespace imaging {

namespace {

bool processorHasAvx2() noexcept {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}

std::atomic<bool>& allowed() {
    static std::atomic<bool> flag{true};
    return flag;
}

}  // namespace

bool wideVectorsAvailable() noexcept {
    static const bool has = processorHasAvx2();
    return has && allowed().load(std::memory_order_relaxed);
}

void allowWideVectors(bool allow) noexcept { allowed().store(allow, std::memory_order_relaxed); }

}  // namespace imaging

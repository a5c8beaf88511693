#include "imaging/cpu.hpp"

#include <atomic>
#include <string>

#include "imaging/errors.hpp"

namespace imaging {

namespace {

VectorPath processorsWidestPath() noexcept {
#if defined(__x86_64__)
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") ? VectorPath::avx2 : VectorPath::sse2;
#else
    return VectorPath::scalar;
#endif
}

VectorPath widest() noexcept {
    static const VectorPath path = processorsWidestPath();
    return path;
}

std::atomic<VectorPath>& chosen() {
    static std::atomic<VectorPath> path{widest()};
    return path;
}

}  // namespace

std::string_view vectorPathName(VectorPath path) noexcept {
    switch (path) {
    case VectorPath::scalar: return "scalar";
    case VectorPath::sse2: return "sse2";
    case VectorPath::avx2: return "avx2";
    }
    return "unknown";
}

std::vector<VectorPath> vectorPathsHere() {
    std::vector<VectorPath> paths;
    for (VectorPath p : {VectorPath::scalar, VectorPath::sse2, VectorPath::avx2})
        if (p <= widest()) paths.push_back(p);
    return paths;
}

VectorPath widestVectorPath() noexcept { return widest(); }

VectorPath vectorPath() noexcept { return chosen().load(std::memory_order_relaxed); }

void chooseVectorPath(VectorPath path) {
    if (path < VectorPath::scalar || path > widest())
        throw RunError::invalidArgument("this processor has no " + std::string(vectorPathName(path)) + " vector path");
    chosen().store(path, std::memory_order_relaxed);
}

}  // namespace imaging

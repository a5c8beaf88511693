#pragma once
// Work grids: single-precision (or other) cells indexed (x, y), each index 0..max.
// Access through operator() is bounds-checked and reports "Subscript out of range".

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

#include "imaging/errors.hpp"

namespace imaging {

// Storage for the cells of plain number grids: memory that comes zeroed from the system
// (calloc), and cells that are left as they come unless a value is given. A fresh zero grid is
// then never written in a whole pass, and the pages of cells a run never touches (most of a
// 501 x 501 grid for a small square) are never even mapped.
template <typename T>
struct ZeroedCells {
    using value_type = T;
    ZeroedCells() = default;
    template <typename U>
    ZeroedCells(const ZeroedCells<U>&) noexcept {}
    T* allocate(std::size_t n) {
        if (void* p = std::calloc(n, sizeof(T))) return static_cast<T*>(p);
        throw std::bad_alloc();
    }
    void deallocate(T* p, std::size_t) noexcept { std::free(p); }
    // Default construction leaves the zeroed memory as it is.
    template <typename U>
    void construct(U*) noexcept {}
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
    template <typename U>
    bool operator==(const ZeroedCells<U>&) const noexcept { return true; }
};

template <typename T>
class Grid {
    static_assert(std::is_arithmetic_v<T>, "grid cells are plain numbers");

public:
    // A grid with indices 0..maxX and 0..maxY, every cell `fill`.
    Grid(int maxX, int maxY, T fill = T{}) : maxX_(maxX), maxY_(maxY) {
        const std::size_t n = std::size_t(maxX + 1) * std::size_t(maxY + 1);
        if (isAllZeroBits(fill)) cells_.resize(n);  // zeroed by the allocation itself
        else cells_.assign(n, fill);
    }

    T& operator()(int x, int y) { return cells_[index(x, y)]; }
    const T& operator()(int x, int y) const { return cells_[index(x, y)]; }

    // Unchecked access for inner loops whose bounds were checked beforehand.
    T& cell(int x, int y) noexcept { return cells_[std::size_t(y) * std::size_t(maxX_ + 1) + std::size_t(x)]; }
    const T& cell(int x, int y) const noexcept {
        return cells_[std::size_t(y) * std::size_t(maxX_ + 1) + std::size_t(x)];
    }

    bool contains(int x, int y) const noexcept { return x >= 0 && y >= 0 && x <= maxX_ && y <= maxY_; }
    int maxX() const noexcept { return maxX_; }
    int maxY() const noexcept { return maxY_; }
    void fill(T v) { std::fill(cells_.begin(), cells_.end(), v); }

private:
    static bool isAllZeroBits(T v) noexcept {
        unsigned char bytes[sizeof(T)];
        std::memcpy(bytes, &v, sizeof(T));
        for (unsigned char b : bytes)
            if (b != 0) return false;
        return true;
    }

    std::size_t index(int x, int y) const {
        if (!contains(x, y)) throw RunError::subscriptOutOfRange();
        return std::size_t(y) * std::size_t(maxX_ + 1) + std::size_t(x);
    }

    int maxX_;
    int maxY_;
    std::vector<T, ZeroedCells<T>> cells_;
};

// The programs' standard work grid: single precision, indices 0..500 in both dimensions.
constexpr int kGridMax = 500;
using FloatGrid = Grid<float>;
inline FloatGrid makeWorkGrid(float fill = 0.0f) { return FloatGrid(kGridMax, kGridMax, fill); }

}  // namespace imaging

#pragma once
// Work grids: single-precision (or other) cells indexed (x, y), each index 0..max.
// Access through operator() is bounds-checked and reports "Subscript out of range".

#include <algorithm>
#include <cstddef>
#include <vector>

#include "imaging/errors.hpp"

namespace imaging {

template <typename T>
class Grid {
public:
    // A grid with indices 0..maxX and 0..maxY, every cell `fill`.
    Grid(int maxX, int maxY, T fill = T{})
        : maxX_(maxX), maxY_(maxY), cells_(std::size_t(maxX + 1) * std::size_t(maxY + 1), fill) {}

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
    std::size_t index(int x, int y) const {
        if (!contains(x, y)) throw RunError::subscriptOutOfRange();
        return std::size_t(y) * std::size_t(maxX_ + 1) + std::size_t(x);
    }

    int maxX_;
    int maxY_;
    std::vector<T> cells_;
};

// The programs' standard work grid: single precision, indices 0..500 in both dimensions.
constexpr int kGridMax = 500;
using FloatGrid = Grid<float>;
inline FloatGrid makeWorkGrid(float fill = 0.0f) { return FloatGrid(kGridMax, kGridMax, fill); }

}  // namespace imaging

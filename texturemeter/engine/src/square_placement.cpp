#include "texturemeter/square_placement.hpp"

#include <vector>

#include "imaging/errors.hpp"

namespace texturemeter {

std::optional<std::string> squareOverhang(int x, int y, int side, int width, int height, const ParameterWords& words) {
    const long long right = static_cast<long long>(x) + side, bottom = static_cast<long long>(y) + side;
    const auto named = [&](const std::string& name, int value) { return name + words.assign + std::to_string(value); };
    const std::string square = "the square " + named(words.cornerX, x) + " " + named(words.cornerY, y) + " " +
                               named(words.regionSide, side) + " (pixels " + std::to_string(x) + ".." + std::to_string(right) +
                               ", " + std::to_string(y) + ".." + std::to_string(bottom) + ")";
    const std::string photo = "the photograph (" + std::to_string(width) + " x " + std::to_string(height) + ")";
    if (x > width - 1 || y > height - 1 || right < 0 || bottom < 0)
        throw imaging::RunError::refused(square + " lies entirely outside " + photo);
    std::vector<std::string> parts;
    const auto past = [&](long long n, const char* edge) {
        if (n > 0) parts.push_back(std::to_string(n) + " pixel" + (n == 1 ? "" : "s") + " past the " + edge);
    };
    past(-static_cast<long long>(x), "left edge");
    past(-static_cast<long long>(y), "top edge");
    past(right - (width - 1), "right edge");
    past(bottom - (height - 1), "bottom edge");
    if (parts.empty()) return std::nullopt;
    std::string text = square + " reaches ";
    for (std::size_t i = 0; i < parts.size(); ++i) text += (i == 0 ? "" : i + 1 == parts.size() ? " and " : ", ") + parts[i];
    return text + " of " + photo + "; it is analysed as the window does, with white beyond the edge";
}

}  // namespace texturemeter

// "Fractal calc": box-counting dimensions of the outline picture (FRD1) and of the four profile
// strips, and their mean FRD2.

#include "imaging/box_counting.hpp"
#include "lesionmeter/stages.hpp"

namespace lesionmeter {

FractalResults measureFractalDimensions(const imaging::PictureSurface& outline,
                                        const imaging::PictureSurface& upperRow,
                                        const imaging::PictureSurface& leftColumn,
                                        const imaging::PictureSurface& lowerRow,
                                        const imaging::PictureSurface& rightColumn, FractalFits* fits) {
    // One box count: its dimension, and its fit when asked for.
    const auto measure = [fits](const imaging::PictureSurface& picture, const imaging::BoxCountingParameters& p,
                                imaging::Fit FractalFits::*fit) {
        const imaging::BoxCountingResult result = imaging::boxCounting(picture, p);
        if (fits) fits->*fit = imaging::boxCountingFit(result, p);
        return result.dimension;
    };
    FractalResults r;
    r.outlineDimension = measure(outline, imaging::kViewBoxSides, &FractalFits::outline);
    r.profiles.upperRow = measure(upperRow, imaging::kStripBoxSides, &FractalFits::row140);
    r.profiles.leftColumn = measure(leftColumn, imaging::kStripBoxSides, &FractalFits::column140);
    r.profiles.lowerRow = measure(lowerRow, imaging::kStripBoxSides, &FractalFits::row170);
    r.profiles.rightColumn = measure(rightColumn, imaging::kStripBoxSides, &FractalFits::column170);
    r.profileDimension = (r.profiles.upperRow + r.profiles.leftColumn + r.profiles.lowerRow +
                          r.profiles.rightColumn) / 4.0;
    return r;
}

}  // namespace lesionmeter

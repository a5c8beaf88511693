// "Fractal calc": box-counting dimensions of the outline picture (FRD1) and of the four profile
// strips, and their mean FRD2.

#include "imaging/box_counting.hpp"
#include "lesionmeter/stages.hpp"

namespace lesionmeter {

FractalResults measureFractalDimensions(const imaging::PictureSurface& picture12,
                                        const imaging::PictureSurface& picture16,
                                        const imaging::PictureSurface& picture15,
                                        const imaging::PictureSurface& picture17,
                                        const imaging::PictureSurface& picture18, FractalFits* fits) {
    // One box count: its dimension, and its fit when asked for.
    const auto measure = [fits](const imaging::PictureSurface& picture, const imaging::BoxCountingParameters& p,
                                imaging::Fit FractalFits::*fit) {
        const imaging::BoxCountingResult result = imaging::boxCounting(picture, p);
        if (fits) fits->*fit = imaging::boxCountingFit(result, p);
        return result.dimension;
    };
    FractalResults r;
    r.frd1 = measure(picture12, imaging::kViewBoxSides, &FractalFits::outline);
    r.picture16 = measure(picture16, imaging::kStripBoxSides, &FractalFits::row140);
    r.picture15 = measure(picture15, imaging::kStripBoxSides, &FractalFits::column140);
    r.picture17 = measure(picture17, imaging::kStripBoxSides, &FractalFits::row170);
    r.picture18 = measure(picture18, imaging::kStripBoxSides, &FractalFits::column170);
    r.frd2 = (r.picture16 + r.picture15 + r.picture17 + r.picture18) / 4.0;
    return r;
}

}  // namespace lesionmeter

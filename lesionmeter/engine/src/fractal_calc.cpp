// "Fractal calc": box-counting dimensions of the outline picture (FRD1) and of the four profile
// strips, and their mean FRD2.

#include "imaging/box_counting.hpp"
#include "lesionmeter/stages.hpp"

namespace lesionmeter {

FractalResults measureFractalDimensions(const imaging::PictureSurface& picture12,
                                        const imaging::PictureSurface& picture16,
                                        const imaging::PictureSurface& picture15,
                                        const imaging::PictureSurface& picture17,
                                        const imaging::PictureSurface& picture18) {
    FractalResults r;
    r.frd1 = imaging::boxCountingDimension(picture12, imaging::kViewBoxSides);
    r.picture16 = imaging::boxCountingDimension(picture16, imaging::kStripBoxSides);
    r.picture15 = imaging::boxCountingDimension(picture15, imaging::kStripBoxSides);
    r.picture17 = imaging::boxCountingDimension(picture17, imaging::kStripBoxSides);
    r.picture18 = imaging::boxCountingDimension(picture18, imaging::kStripBoxSides);
    r.frd2 = (r.picture16 + r.picture15 + r.picture17 + r.picture18) / 4.0;
    return r;
}

}  // namespace lesionmeter

// Box counting of an ideal edge with the box tables the programs use: prints, for each picture
// (the edge dark on white), the dimension with the table of "line fr dim" and with that of FRD1,
// and the R² of both fits. The validation compares them with what the outline stages give.

#include <cstdio>
#include <exception>
#include <string>

#include "imaging/box_counting.hpp"
#include "imaging/image_file.hpp"
#include "imaging/surface.hpp"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: validation_edge_count PICTURE...\n");
        return 2;
    }
    try {
        for (int i = 1; i < argc; ++i) {
            imaging::PictureSurface picture(0, 0, imaging::SizePolicy::GrowToPicture);
            picture.setPicture(imaging::loadImageFile(argv[i]));
            std::printf("%s", argv[i]);
            for (const imaging::BoxCountingParameters& table : {imaging::kLineDimensionBoxes, imaging::kViewBoxSides}) {
                const imaging::BoxCountingResult result = imaging::boxCounting(picture, table);
                const imaging::Fit fit = imaging::boxCountingFit(result, table);
                std::printf(",%.17g,%.17g", result.dimension, fit.rSquared);
            }
            std::printf("\n");
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "validation_edge_count: %s\n", e.what());
        return 1;
    }
    return 0;
}

// Where the analysed square lies on the photograph: inside, past an edge (a warning), or entirely
// outside (refused).

#include "texturemeter/square_placement.hpp"

#include <gtest/gtest.h>

#include "imaging/errors.hpp"

namespace {

using texturemeter::ParameterWords;

// Each shell's words for the square: texturemeter-cli's options.
const ParameterWords kOptions{"--side", "--window", " ", "--x", "--y"};

std::optional<std::string> squareOverhang(int x, int y, int side, int width, int height) {
    return texturemeter::squareOverhang(x, y, side, width, height, kOptions);
}

TEST(SquarePlacement, InsideTheLastPixelColumnAndRowIsNoWarning) {
    // Pixels x..x+side: a 640 x 480 photograph holds 0..639.
    EXPECT_EQ(squareOverhang(0, 0, 200, 640, 480), std::nullopt);
    EXPECT_EQ(squareOverhang(439, 279, 200, 640, 480), std::nullopt);
}

TEST(SquarePlacement, PastAnEdgeIsAWarningNamingEachEdge) {
    EXPECT_EQ(squareOverhang(440, 279, 200, 640, 480),
              "the square --x 440 --y 279 --side 200 (pixels 440..640, 279..479) reaches 1 pixel past the right "
              "edge of the photograph (640 x 480); it is analysed as the window does, with white beyond the edge");
    EXPECT_EQ(squareOverhang(-3, 300, 200, 640, 480),
              "the square --x -3 --y 300 --side 200 (pixels -3..197, 300..500) reaches 3 pixels past the left edge "
              "and 21 pixels past the bottom edge of the photograph (640 x 480); it is analysed as the window does, "
              "with white beyond the edge");
}

TEST(SquarePlacement, TheSquareIsNamedInTheShellsWords) {
    const ParameterWords arguments{"side", "window", "=", "x", "y"};
    EXPECT_EQ(texturemeter::squareOverhang(440, 279, 200, 640, 480, arguments),
              "the square x=440 y=279 side=200 (pixels 440..640, 279..479) reaches 1 pixel past the right "
              "edge of the photograph (640 x 480); it is analysed as the window does, with white beyond the edge");
    try {
        texturemeter::squareOverhang(5000, 0, 200, 640, 480, arguments);
        ADD_FAILURE() << "accepted";
    } catch (const imaging::RunError& e) {
        EXPECT_EQ(std::string(e.what()), "the square x=5000 y=0 side=200 (pixels 5000..5200, 0..200) lies entirely "
                                         "outside the photograph (640 x 480)");
    }
}

TEST(SquarePlacement, EntirelyOutsideIsRefused) {
    for (const auto& [x, y] : {std::pair{640, 0}, std::pair{0, 480}, std::pair{-201, 0}, std::pair{0, -201},
                               std::pair{5000, 5000}}) {
        try {
            squareOverhang(x, y, 200, 640, 480);
            ADD_FAILURE() << x << "," << y << " was accepted";
        } catch (const imaging::RunError& e) {
            EXPECT_EQ(e.kind(), imaging::ErrorKind::Refused);
            EXPECT_NE(std::string(e.what()).find("lies entirely outside the photograph (640 x 480)"), std::string::npos)
                << e.what();
        }
    }
    // The corner pixel itself still counts as inside.
    EXPECT_NO_THROW(squareOverhang(639, 479, 200, 640, 480));
    EXPECT_NO_THROW(squareOverhang(-200, -200, 200, 640, 480));
}

}  // namespace

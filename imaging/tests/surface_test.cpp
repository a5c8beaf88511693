// The off-screen picture surface: point read-back, drawing, lines and boxes, Cls, Print and the
// freeze idiom (save to BMP and load back as the background picture).

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "imaging/colour.hpp"
#include "imaging/errors.hpp"
#include "imaging/image_file.hpp"
#include "imaging/surface.hpp"
#include "test_support.hpp"

using imaging::Colour;
using imaging::LineKind;
using imaging::PictureSurface;
using Pixel = std::pair<int, int>;

namespace {

constexpr Colour kInk = 0x00123456;

// The pixels of the all-octant integer Bresenham line from (x0, y0) to (x1, y1), both ends included:
// err = dx + dy (dy negative), e2 = 2 err; step x when e2 >= dy, step y when e2 <= dx.
std::vector<Pixel> bresenham(int x0, int y0, int x1, int y1) {
    std::vector<Pixel> out;
    const int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    const int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    for (;;) {
        out.emplace_back(x0, y0);
        if (x0 == x1 && y0 == y1) break;
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
    return out;
}

// Every pixel of the surface that is not white.
std::set<Pixel> inkedPixels(const PictureSurface& s) {
    std::set<Pixel> out;
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x)
            if (s.pointAt(x, y) != imaging::kWhite) out.emplace(x, y);
    return out;
}

std::set<Pixel> insideOnly(const std::vector<Pixel>& pixels, int w, int h) {
    std::set<Pixel> out;
    for (const Pixel& p : pixels)
        if (p.first >= 0 && p.second >= 0 && p.first < w && p.second < h) out.insert(p);
    return out;
}

}  // namespace

TEST(Surface, SizeAndBackgroundColour) {
    PictureSurface s(300, 200);
    EXPECT_EQ(s.scaleWidth(), 300.0f);
    EXPECT_EQ(s.scaleHeight(), 200.0f);
    EXPECT_EQ(s.point(0, 0), imaging::kWhite);
    PictureSurface black(4, 3, imaging::SizePolicy::Fixed, imaging::kBlack);
    EXPECT_EQ(black.point(3, 2), imaging::kBlack);
}

TEST(Surface, PointOutsideIsMinusOne) {
    PictureSurface s(300, 200);
    EXPECT_EQ(s.point(299, 199), imaging::kWhite);
    EXPECT_EQ(s.point(300, 0), -1);
    EXPECT_EQ(s.point(0, 200), -1);
    EXPECT_EQ(s.point(-1, 0), -1);
    EXPECT_EQ(s.point(0, -1), -1);
    EXPECT_EQ(s.point(1e9, 1e9), -1);
    EXPECT_EQ(s.pointAt(300, 199), -1);
    s.pset(299, 199, kInk);
    EXPECT_EQ(s.point(299, 199), kInk);
}

TEST(Surface, RowPixelsAreWhatPointReads) {
    PictureSurface s(7, 3);
    s.psetAt(6, 2, kInk);
    s.psetAt(0, 1, kInk);
    for (int y = 0; y < 3; ++y) {
        const imaging::Colour* row = s.rowPixels(y);
        ASSERT_NE(row, nullptr);
        for (int x = 0; x < 7; ++x) EXPECT_EQ(row[x], s.pointAt(x, y)) << x << "," << y;
    }
    EXPECT_EQ(s.rowPixels(-1), nullptr);
    EXPECT_EQ(s.rowPixels(3), nullptr);
    EXPECT_EQ(PictureSurface(0, 5).rowPixels(0), nullptr);
}

TEST(Surface, PsetOutsideDrawsNothing) {
    PictureSurface s(10, 10);
    for (auto [x, y] : std::vector<Pixel>{{-1, 0}, {10, 0}, {0, 10}, {-5, -5}, {1000000, 3}}) s.pset(x, y, kInk);
    EXPECT_TRUE(inkedPixels(s).empty());
    EXPECT_EQ(s.point(10, 0), -1);
}

TEST(Surface, FractionalPositionsRoundHalfToEven) {
    PictureSurface s(10, 10);
    s.pset(2.5, 3.5, kInk);  // -> (2, 4)
    EXPECT_EQ(inkedPixels(s), (std::set<Pixel>{{2, 4}}));
    EXPECT_EQ(s.point(2.5, 3.5), kInk);
    EXPECT_EQ(s.point(2.4, 4.4), kInk);
    EXPECT_EQ(s.point(1.6, 3.6), kInk);
    EXPECT_EQ(s.point(3.5, 3.5), imaging::kWhite);  // -> (4, 4)
    EXPECT_EQ(s.point(-0.5, 0), imaging::kWhite);   // -> (0, 0), inside
    EXPECT_EQ(s.point(9.5, 0), -1);                 // -> (10, 0), outside
    EXPECT_EQ(s.point(-0.6, 0), -1);                // -> (-1, 0), outside
}

TEST(Surface, ResetDropsPictureDrawingAndText) {
    PictureSurface s(4, 4);
    s.setPicture(imaging::Image(4, 4, imaging::kBlack));
    EXPECT_TRUE(s.hasPicture());
    s.pset(1, 1, kInk);
    s.print("x");
    s.reset(6, 3);
    EXPECT_FALSE(s.hasPicture());
    EXPECT_EQ(s.width(), 6);
    EXPECT_EQ(s.height(), 3);
    EXPECT_EQ(s.point(1, 1), imaging::kWhite);
    EXPECT_EQ(s.point(5, 2), imaging::kWhite);
    EXPECT_EQ(s.point(5, 3), -1);
    EXPECT_TRUE(s.printedLines().empty());
}

TEST(Surface, SetPictureIsTheBackgroundThatClsRestores) {
    PictureSurface s(3, 2);
    imaging::Image pic(3, 2, imaging::greyColour(7));
    pic.at(2, 1) = kInk;
    s.setPicture(pic);
    EXPECT_EQ(s.point(2, 1), kInk);
    s.pset(0, 0, imaging::kBlack);
    s.cls();
    EXPECT_EQ(s.point(0, 0), imaging::greyColour(7));
    EXPECT_EQ(s.point(2, 1), kInk);
}

TEST(Surface, KeepImageAsPictureIsSetPictureOfTheImage) {
    PictureSurface kept(5, 4), copied(5, 4);
    for (PictureSurface* s : {&kept, &copied}) {
        s->setPicture(imaging::Image(5, 4, imaging::greyColour(30)));
        s->line(0, 0, 4, 3, kInk);
        s->print("kept");
    }
    kept.keepImageAsPicture();
    copied.setPicture(copied.image());
    EXPECT_TRUE(kept.picture().pixels == copied.picture().pixels);
    EXPECT_EQ(kept.picture().width, 5);
    EXPECT_EQ(kept.printedLines(), copied.printedLines());
    // The kept image is now the background: Cls restores it, not the earlier picture.
    kept.pset(4, 0, imaging::kBlack);
    kept.cls();
    EXPECT_EQ(kept.point(4, 0), imaging::greyColour(30));
    EXPECT_EQ(kept.point(0, 0), kInk);
    EXPECT_TRUE(kept.image().pixels == copied.image().pixels);
}

TEST(Surface, ResetAfterAKeptPictureShowsNoneOfIt) {
    PictureSurface s(4, 4);
    s.line(0, 0, 3, 3, kInk);
    s.keepImageAsPicture();
    s.reset(3, 3);
    s.cls();
    EXPECT_FALSE(s.hasPicture());
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(s.pointAt(x, y), imaging::kWhite) << x << "," << y;
}

TEST(Line, ShallowLineTakesTheDecidedPixels) {
    PictureSurface s(10, 10);
    s.line(0, 0, 2, 1, kInk);
    EXPECT_EQ(inkedPixels(s), (std::set<Pixel>{{0, 0}, {1, 1}, {2, 1}}));
    EXPECT_EQ(s.point(1, 1), kInk);
}

TEST(Line, DrawnFromTheFirstPointToTheSecond) {
    // The reverse direction rounds the other way: (2,1)-(0,0) draws (2,1), (1,0), (0,0).
    PictureSurface s(10, 10);
    s.line(2, 1, 0, 0, kInk);
    EXPECT_EQ(inkedPixels(s), (std::set<Pixel>{{2, 1}, {1, 0}, {0, 0}}));
}

TEST(Line, SinglePointAndAxisLines) {
    PictureSurface s(10, 10);
    s.line(4, 4, 4, 4, kInk);
    EXPECT_EQ(inkedPixels(s), (std::set<Pixel>{{4, 4}}));
    s.cls();
    s.line(1, 7, 5, 7, kInk);
    EXPECT_EQ(inkedPixels(s), (std::set<Pixel>{{1, 7}, {2, 7}, {3, 7}, {4, 7}, {5, 7}}));
    s.cls();
    s.line(8, 5, 8, 2, kInk);
    EXPECT_EQ(inkedPixels(s), (std::set<Pixel>{{8, 2}, {8, 3}, {8, 4}, {8, 5}}));
}

TEST(Line, AllOctantsBothEndsIncluded) {
    const int cx = 20, cy = 20;
    const std::vector<Pixel> ends = {{33, 25}, {25, 33}, {15, 33}, {7, 25}, {7, 15}, {15, 7}, {25, 7}, {33, 15},
                                     {33, 20}, {20, 33}, {7, 20}, {20, 7}, {33, 33}, {7, 7}, {33, 7}, {7, 33},
                                     {21, 39}, {39, 21}, {0, 1}, {1, 0}};
    for (const Pixel& e : ends) {
        SCOPED_TRACE(testing::Message() << "(20,20)-(" << e.first << "," << e.second << ")");
        PictureSurface s(40, 40);
        s.line(cx, cy, e.first, e.second, kInk);
        const std::vector<Pixel> expected = bresenham(cx, cy, e.first, e.second);
        EXPECT_EQ(inkedPixels(s), std::set<Pixel>(expected.begin(), expected.end()));
        EXPECT_EQ(s.pointAt(cx, cy), kInk);
        EXPECT_EQ(s.pointAt(e.first, e.second), kInk);
        // One pixel per step of the longer axis.
        const std::size_t steps = std::size_t(std::max(std::abs(e.first - cx), std::abs(e.second - cy))) + 1;
        EXPECT_EQ(inkedPixels(s).size(), steps);
    }
}

TEST(Line, PartlyOutsideDrawsOnlyTheInsidePixelsOfTheSameLine) {
    const std::vector<std::pair<Pixel, Pixel>> lines = {
        {{-5, -3}, {20, 9}}, {{15, 2}, {-7, 8}}, {{3, -10}, {6, 30}}, {{-4, 5}, {14, 5}}, {{12, 12}, {-3, -3}}};
    for (const auto& [a, b] : lines) {
        SCOPED_TRACE(testing::Message() << a.first << "," << a.second << " - " << b.first << "," << b.second);
        PictureSurface s(10, 10);
        s.line(a.first, a.second, b.first, b.second, kInk);
        EXPECT_EQ(inkedPixels(s), insideOnly(bresenham(a.first, a.second, b.first, b.second), 10, 10));
    }
}

TEST(Line, EntirelyOutsideDrawsNothing) {
    PictureSurface s(10, 10);
    s.line(-20, -5, -1, 30, kInk);
    s.line(10, 0, 50, 9, kInk);
    s.line(-3, -3, 30, -1, kInk, LineKind::Box);
    s.line(11, 11, 40, 40, kInk, LineKind::FilledBox);
    EXPECT_TRUE(inkedPixels(s).empty());
}

TEST(Line, BoxOutline) {
    PictureSurface s(10, 10);
    s.line(1, 2, 5, 4, kInk, LineKind::Box);
    std::set<Pixel> expected;
    for (int x = 1; x <= 5; ++x) expected.insert({x, 2}), expected.insert({x, 4});
    for (int y = 2; y <= 4; ++y) expected.insert({1, y}), expected.insert({5, y});
    EXPECT_EQ(inkedPixels(s), expected);
    EXPECT_EQ(s.point(3, 3), imaging::kWhite);
    // The corners may be given in any order.
    PictureSurface r(10, 10);
    r.line(5, 4, 1, 2, kInk, LineKind::Box);
    EXPECT_EQ(inkedPixels(r), expected);
}

TEST(Line, FilledBox) {
    PictureSurface s(10, 10);
    s.line(6, 5, 2, 3, kInk, LineKind::FilledBox);
    std::set<Pixel> expected;
    for (int y = 3; y <= 5; ++y)
        for (int x = 2; x <= 6; ++x) expected.insert({x, y});
    EXPECT_EQ(inkedPixels(s), expected);
}

TEST(Line, BoxesAreClippedToTheSurface) {
    PictureSurface s(10, 10);
    s.line(-5, -5, 4, 4, kInk, LineKind::FilledBox);
    std::set<Pixel> expected;
    for (int y = 0; y <= 4; ++y)
        for (int x = 0; x <= 4; ++x) expected.insert({x, y});
    EXPECT_EQ(inkedPixels(s), expected);

    PictureSurface o(10, 10);
    o.line(-5, 2, 20, 7, kInk, LineKind::Box);
    std::set<Pixel> outline;
    for (int x = 0; x <= 9; ++x) outline.insert({x, 2}), outline.insert({x, 7});
    EXPECT_EQ(inkedPixels(o), outline);  // the sides at x = -5 and x = 20 are outside
}

TEST(Cls, RemovesDrawingAndRestoresBackgroundColour) {
    PictureSurface s(20, 20, imaging::SizePolicy::Fixed, imaging::greyColour(200));
    s.pset(3, 3, kInk);
    s.line(0, 0, 19, 19, kInk);
    s.print("x");
    s.cls();
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) ASSERT_EQ(s.pointAt(x, y), imaging::greyColour(200));
    EXPECT_TRUE(s.printedLines().empty());
}

TEST(Print, ClsThenPrintStartsAtTheTop) {
    PictureSurface s(100, 40);
    s.print("old");
    s.cls();
    s.print("Start");
    ASSERT_EQ(s.printedLines(), (std::vector<std::string>{"Start"}));
    s.print("Next");
    EXPECT_EQ(s.printedLines(), (std::vector<std::string>{"Start", "Next"}));
    s.cls();
    s.print("END");
    EXPECT_EQ(s.printedLines(), (std::vector<std::string>{"END"}));
}

TEST(Print, NumbersInPrintForm) {
    PictureSurface s(100, 40);
    s.print(-2.5);
    s.print(2.5);
    s.print(98.333336f);
    s.print(7);
    EXPECT_EQ(s.printedLines(), (std::vector<std::string>{"-2.5 ", " 2.5 ", " 98.33334 ", " 7 "}));
}

TEST(Print, TextDoesNotChangePixels) {
    PictureSurface s(30, 10);
    s.print("Start");
    EXPECT_TRUE(inkedPixels(s).empty());
}

TEST(Surface, AutoRedrawOffDrawingIsStillReadAndSaved) {
    PictureSurface s(8, 8);
    s.setAutoRedraw(false);
    EXPECT_FALSE(s.autoRedraw());
    s.pset(1, 1, kInk);
    EXPECT_EQ(s.point(1, 1), kInk);
    EXPECT_EQ(s.image().at(1, 1), kInk);
    s.setAutoRedraw(true);
    EXPECT_TRUE(s.autoRedraw());
    s.pset(2, 2, kInk);
    EXPECT_EQ(s.image().at(2, 2), kInk);
}

TEST(Surface, ImageIsTheWholeRaster) {
    PictureSurface s(5, 4);
    s.pset(4, 3, kInk);
    const imaging::Image img = s.image();
    EXPECT_EQ(img.width, 5);
    EXPECT_EQ(img.height, 4);
    ASSERT_EQ(img.pixels.size(), 20u);
    EXPECT_EQ(img.at(4, 3), kInk);
    EXPECT_EQ(img.at(0, 0), imaging::kWhite);
}

TEST(Surface, VisibleIsOnlyState) {
    PictureSurface s(4, 4);
    s.setVisible(false);
    s.pset(1, 1, kInk);
    EXPECT_FALSE(s.visible());
    EXPECT_EQ(s.point(1, 1), kInk);
}

TEST(Surface, RevisionCountsChanges) {
    PictureSurface s(4, 4);
    const unsigned long long r0 = s.revision();
    s.pset(1, 1, kInk);
    const unsigned long long r1 = s.revision();
    EXPECT_GT(r1, r0);
    s.cls();
    EXPECT_GT(s.revision(), r1);
}

TEST(Freeze, SavedPixelSurvivesLoadAndCls) {
    imaging_test::TempDir dir;
    const std::string file = dir.file("freezeh.bmp");
    PictureSurface s(300, 200);
    s.setAutoRedraw(true);
    s.cls();
    s.pset(5, 5, kInk);
    imaging::savePicture(s.image(), file);
    s.setAutoRedraw(false);
    s.loadPicture(file);
    EXPECT_EQ(s.point(5, 5), kInk);
    EXPECT_EQ(s.point(6, 5), imaging::kWhite);
    s.cls();
    EXPECT_EQ(s.point(5, 5), kInk);  // now part of the background picture
    s.pset(5, 5, imaging::kBlack);
    EXPECT_EQ(s.point(5, 5), imaging::kBlack);
    s.cls();
    EXPECT_EQ(s.point(5, 5), kInk);
}

TEST(Freeze, FreezeIntoKeepsEveryColourExactly) {
    imaging_test::TempDir dir;
    const std::string file = dir.file("frozen.bmp");
    // An odd width exercises the padding of BMP rows.
    PictureSurface s(13, 7);
    s.setAutoRedraw(true);
    s.cls();
    std::vector<Colour> drawn;
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 13; ++x) {
            const Colour c = imaging::rgbColour((x * 37 + y * 11) & 255, (x * 91 + 3) & 255, (y * 53 + x) & 255);
            s.pset(x, y, c);
            drawn.push_back(c);
        }
    imaging::freezeInto(s, file);
    EXPECT_FALSE(s.autoRedraw());
    EXPECT_TRUE(s.hasPicture());
    s.cls();
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 13; ++x) ASSERT_EQ(s.pointAt(x, y), drawn[std::size_t(y) * 13 + x]) << x << "," << y;
}

TEST(LoadPicture, ClearsTheDrawingLayer) {
    imaging_test::TempDir dir;
    const std::string file = dir.file("bg.bmp");
    imaging::Image img(6, 4, imaging::greyColour(50));
    imaging::saveBmp(img, file);
    PictureSurface s(6, 4);
    s.pset(2, 2, kInk);
    s.print("x");
    s.loadPicture(file);
    EXPECT_EQ(s.point(2, 2), imaging::greyColour(50));
}

TEST(LoadPicture, GrowingSurfaceTakesThePictureSize) {
    imaging_test::TempDir dir;
    const std::string file = dir.file("big.bmp");
    imaging::Image img(40, 30, imaging::greyColour(10));
    img.at(39, 29) = kInk;
    imaging::saveBmp(img, file);
    PictureSurface s(5, 5, imaging::SizePolicy::GrowToPicture);
    s.loadPicture(file);
    EXPECT_EQ(s.scaleWidth(), 40.0f);
    EXPECT_EQ(s.scaleHeight(), 30.0f);
    EXPECT_EQ(s.point(39, 29), kInk);
    EXPECT_EQ(s.point(40, 29), -1);
}

TEST(LoadPicture, FixedSurfaceShowsTheTopLeftPartAndBackgroundElsewhere) {
    imaging_test::TempDir dir;
    const std::string file = dir.file("pic.bmp");
    imaging::Image img(20, 10, imaging::greyColour(10));
    img.at(19, 9) = kInk;
    img.at(3, 2) = imaging::kBlack;
    imaging::saveBmp(img, file);

    PictureSurface small(8, 6);
    small.loadPicture(file);
    EXPECT_EQ(small.scaleWidth(), 8.0f);
    EXPECT_EQ(small.scaleHeight(), 6.0f);
    EXPECT_EQ(small.point(3, 2), imaging::kBlack);
    EXPECT_EQ(small.point(7, 5), imaging::greyColour(10));
    EXPECT_EQ(small.point(19, 9), -1);

    PictureSurface large(30, 15);
    large.loadPicture(file);
    EXPECT_EQ(large.point(19, 9), kInk);
    EXPECT_EQ(large.point(20, 9), imaging::kWhite);  // beyond the picture: background colour
    EXPECT_EQ(large.point(29, 14), imaging::kWhite);
    EXPECT_EQ(large.point(30, 0), -1);
    large.pset(25, 12, kInk);
    large.cls();
    EXPECT_EQ(large.point(25, 12), imaging::kWhite);
    EXPECT_EQ(large.point(3, 2), imaging::kBlack);
}

TEST(LoadPicture, FailureKeepsTheSurfaceAsItWas) {
    imaging_test::TempDir dir;
    PictureSurface s(6, 6);
    s.pset(1, 1, kInk);
    const std::string missing = dir.file("nothing.jpg");
    const std::string message = imaging_test::runErrorMessage([&] { s.loadPicture(missing); });
    EXPECT_NE(message.find(missing), std::string::npos) << message;
    EXPECT_EQ(s.point(1, 1), kInk);
    EXPECT_EQ(s.scaleWidth(), 6.0f);
}

TEST(SavePicture, UnwritableFileIsARunErrorNamingIt) {
    imaging_test::TempDir dir;
    const std::string file = dir.file("no/such/dir/x.bmp");
    const std::string message = imaging_test::runErrorMessage([&] { imaging::savePicture(imaging::Image(2, 2), file); });
    EXPECT_NE(message.find(file), std::string::npos) << message;
}

// Every pixel after a picture is set and after Cls: the picture where it covers the surface, the
// background colour elsewhere, for pictures wider, narrower, taller and shorter than the surface.
TEST(Surface, PictureAndBackgroundCoverEveryPixelOnce) {
    for (auto [sw, sh] : {std::pair{9, 7}, std::pair{4, 12}, std::pair{1, 1}, std::pair{0, 5}})
        for (auto [pw, ph] : {std::pair{5, 3}, std::pair{12, 2}, std::pair{3, 15}, std::pair{20, 20}, std::pair{0, 0}}) {
            PictureSurface s(sw, sh, imaging::SizePolicy::Fixed, imaging::greyColour(90));
            imaging::Image pic(pw, ph);
            for (int y = 0; y < ph; ++y)
                for (int x = 0; x < pw; ++x) pic.at(x, y) = imaging::rgbColour(x, y, 7);
            s.setPicture(pic);
            for (int round = 0; round < 2; ++round) {
                for (int y = 0; y < sh; ++y)
                    for (int x = 0; x < sw; ++x)
                        ASSERT_EQ(s.pointAt(x, y), x < pw && y < ph ? imaging::rgbColour(x, y, 7) : imaging::greyColour(90))
                            << sw << "x" << sh << " picture " << pw << "x" << ph << " at " << x << "," << y;
                s.pset(0, 0, kInk);
                s.cls();
            }
        }
}

// Cls right after the background was shown (kept image, restored picture) has nothing to redraw
// but still counts as one change; anything drawn, or a new background colour, is cleared as before.
TEST(Surface, ClsAfterKeepingTheImageRestoresExactlyTheKeptPixels) {
    PictureSurface s(6, 4, imaging::SizePolicy::Fixed, imaging::greyColour(40));
    s.setPicture(imaging::Image(3, 2, imaging::greyColour(9)));
    s.pset(5, 3, kInk);
    s.keepImageAsPicture();
    const std::vector<imaging::Colour> kept = s.image().pixels;
    unsigned long long before = s.revision();
    s.cls();
    EXPECT_EQ(s.revision(), before + 1);
    EXPECT_EQ(s.image().pixels, kept);
    s.cls();
    EXPECT_EQ(s.revision(), before + 2);
    s.pset(0, 0, imaging::kBlack);
    s.cls();
    EXPECT_EQ(s.image().pixels, kept);
    // Pixels drawn outside count as changes too; the raster is still the kept image.
    s.pset(-3, 0, imaging::kBlack);
    s.cls();
    EXPECT_EQ(s.image().pixels, kept);
    // A picture smaller than the surface over a new background colour.
    PictureSurface small(5, 3, imaging::SizePolicy::Fixed, imaging::greyColour(40));
    small.setPicture(imaging::Image(2, 2, imaging::greyColour(9)));
    small.cls();
    small.setBackgroundColour(imaging::greyColour(200));
    before = small.revision();
    small.cls();
    EXPECT_EQ(small.revision(), before + 1);
    EXPECT_EQ(small.pointAt(4, 2), imaging::greyColour(200));
    EXPECT_EQ(small.pointAt(1, 1), imaging::greyColour(9));
}

// Reading a run's parameters once: which parameter fails, with which of the run's errors, in the
// run's order; the limit behind it in each shell's words; one photograph analysed from its file.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "imaging/errors.hpp"
#include "imaging/image_file.hpp"
#include "imaging/random.hpp"
#include "testdata/reference_data.hpp"
#include "texturemeter/analyse_photo.hpp"
#include "texturemeter/results_file.hpp"
#include "texturemeter/texture_parameters.hpp"

namespace {

using namespace texturemeter;

const ParameterWords kOptions{"--side", "--window", " ", "--x", "--y"};
const ParameterWords kArguments{"side", "window", "=", "x", "y"};

// The ParameterError reading these texts raises (fails the test when none).
ParameterError failureOf(const RunTexts& texts, int16_t x = 0, int16_t y = 0, Variant variant = Variant::A) {
    try {
        readParameters(texts, x, y, variant);
    } catch (const ParameterError& e) {
        return e;
    }
    ADD_FAILURE() << "read without an error";
    return ParameterError(imaging::RunError::overflow(), TextureParameter::CornerX);
}

RunTexts with(std::string RunTexts::*text, const std::string& value) {
    RunTexts texts;
    texts.*text = value;
    return texts;
}

TEST(ReadParameters, ReadsEveryTextOnce) {
    RunTexts texts;
    texts.resultsName = "out.txt";
    texts.regionSide = "150.5";  // halves to even
    texts.tileSide = "30.25";
    texts.neighbourDistance = "6";
    const TextureParameters p = readParameters(texts, 12, -3, Variant::C);
    EXPECT_EQ(p.variant, Variant::C);
    EXPECT_EQ(p.region.regionX, 12);
    EXPECT_EQ(p.region.regionY, -3);
    EXPECT_EQ(p.region.regionSide, 150);
    EXPECT_EQ(p.tileSide, 30.25);
    EXPECT_EQ(p.neighbourDistance, 6.0);
    EXPECT_EQ(p.resultsName, "out.txt");
    EXPECT_NO_THROW(checkParameters(p));
}

TEST(ReadParameters, EachFailureNamesItsParameterWithTheRunsOwnError) {
    struct Case {
        std::string RunTexts::*text;
        std::string value;
        TextureParameter parameter;
        imaging::ErrorKind kind;
        std::string message;
        ParameterRule rule;
    };
    const Case cases[] = {
        {&RunTexts::tileSide, "abc", TextureParameter::TileSide, imaging::ErrorKind::TypeMismatch,
         "Type mismatch: \"abc\" is not a number", ParameterRule::None},
        {&RunTexts::neighbourDistance, "x", TextureParameter::NeighbourDistance, imaging::ErrorKind::TypeMismatch,
         "Type mismatch: \"x\" is not a number", ParameterRule::None},
        {&RunTexts::regionSide, "abc", TextureParameter::RegionSide, imaging::ErrorKind::TypeMismatch,
         "Type mismatch: \"abc\" is not a number", ParameterRule::None},
        {&RunTexts::regionSide, "40000", TextureParameter::RegionSide, imaging::ErrorKind::Overflow, "Overflow",
         ParameterRule::None},
        {&RunTexts::tileSide, "19", TextureParameter::TileSide, imaging::ErrorKind::InvalidArgument,
         "Invalid procedure call or argument: logarithm of 0", ParameterRule::PairTileSideBelow20},
        {&RunTexts::regionSide, "500", TextureParameter::RegionSide, imaging::ErrorKind::SubscriptOutOfRange,
         "Subscript out of range", ParameterRule::PairSideAbove499},
        {&RunTexts::regionSide, "481", TextureParameter::RegionSide, imaging::ErrorKind::SubscriptOutOfRange,
         "Subscript out of range", ParameterRule::PairTilesBeyondGrids},
        {&RunTexts::regionSide, "0", TextureParameter::RegionSide, imaging::ErrorKind::DivisionByZero,
         "Division by zero", ParameterRule::SideNotZero},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        const ParameterError e = failureOf(with(c.text, c.value));
        EXPECT_EQ(e.parameter(), c.parameter);
        EXPECT_EQ(e.kind(), c.kind);
        EXPECT_EQ(std::string(e.what()), c.message);
        EXPECT_EQ(e.limit().rule, c.rule);
    }
}

TEST(ReadParameters, FailsWhereTheRunMeetsTheFirstBadParameter) {
    // The side is read before the tile side, the square checked before the tile side is read.
    RunTexts texts;
    texts.regionSide = "40000";
    texts.tileSide = "abc";
    EXPECT_EQ(std::string(failureOf(texts).what()), "Overflow");
    texts.regionSide = "200";
    const ParameterError square = failureOf(texts, 32700, 0);
    EXPECT_EQ(std::string(square.what()), "Overflow");
    EXPECT_EQ(square.parameter(), TextureParameter::RegionSide);
    // The tile side is read before the tiles are laid out, the neighbour distance last.
    texts.regionSide = "500";
    EXPECT_EQ(failureOf(texts).parameter(), TextureParameter::TileSide);
    texts = {};
    texts.regionSide = "500";
    texts.neighbourDistance = "abc";
    EXPECT_EQ(failureOf(texts).kind(), imaging::ErrorKind::SubscriptOutOfRange);
}

TEST(ReadParameters, TypedParametersFailTheSameChecks) {
    TextureParameters p;
    p.region.regionSide = 481;
    try {
        checkParameters(p);
        FAIL() << "passed";
    } catch (const ParameterError& e) {
        EXPECT_EQ(e.parameter(), TextureParameter::RegionSide);
        EXPECT_EQ(e.limit().rule, ParameterRule::PairTilesBeyondGrids);
        EXPECT_EQ(e.limit().fittingSide, 480);
        EXPECT_EQ(e.limit().side, 481);
        EXPECT_EQ(e.limit().tileSide, 40.0);
    }
    p.region.regionSide = 200;
    p.tileSide = 10;
    try {
        checkParameters(p);
        FAIL() << "passed";
    } catch (const ParameterError& e) {
        EXPECT_EQ(e.parameter(), TextureParameter::TileSide);
    }
}

TEST(ReadParameters, NumbersGivenAsNumbersRoundAsTheirTextsRead) {
    EXPECT_EQ(wholeFrom(150.5, TextureParameter::RegionSide), 150);
    EXPECT_EQ(wholeFrom(151.5, TextureParameter::RegionSide), 152);
    EXPECT_EQ(wholeFrom(-32768.5, TextureParameter::CornerX), -32768);
    EXPECT_EQ(wholeFrom(32767.4, TextureParameter::CornerY), 32767);
    const auto message = [](double v) {
        try {
            wholeFrom(v, TextureParameter::CornerY);
        } catch (const ParameterError& e) {
            EXPECT_EQ(e.parameter(), TextureParameter::CornerY);
            return std::string(e.what());
        }
        return std::string("no error");
    };
    EXPECT_EQ(message(32767.5), "Overflow");
    EXPECT_EQ(message(-1e20), "Overflow");
    EXPECT_EQ(message(std::nan("")), "Type mismatch: \"nan\" is not a number");
    EXPECT_EQ(message(std::numeric_limits<double>::infinity()), "Type mismatch: \"inf\" is not a number");
    EXPECT_EQ(message(-std::numeric_limits<double>::infinity()), "Type mismatch: \"-inf\" is not a number");
    try {
        readWhole("12a", TextureParameter::CornerX);
        FAIL();
    } catch (const ParameterError& e) {
        EXPECT_EQ(e.parameter(), TextureParameter::CornerX);
    }
}

TEST(DescribeLimit, EachShellWordsTheSameLimit) {
    const ParameterLimit pair{ParameterRule::PairSideAbove499, 500, 40, 0};
    EXPECT_EQ(describeLimit(pair, kOptions), " (--side 500 with --window 40: --side must be at most 499)");
    EXPECT_EQ(describeLimit(pair, kArguments), " (side=500 with window=40: side must be at most 499)");
    const ParameterLimit tiles{ParameterRule::PairTilesBeyondGrids, 481, 40, 480};
    EXPECT_EQ(describeLimit(tiles, kArguments),
              " (side=481 with window=40: the tiles start every 40 pixels below the side and each reaches 40 further, "
              "past the 0..500 work grids (or they are more than 500); with window=40 use side=480 or less)");
    EXPECT_EQ(describeLimit({ParameterRule::PairTileSideBelow20, 200, 19.5, 0}, kOptions),
              " (--side 200 with --window 19.5: --window must be at least 20, the largest box side)");
    EXPECT_EQ(describeLimit({ParameterRule::SideAtLeast121, 120, 40, 0}, kArguments),
              " (the sampling line's rings reach 60.5 pixels from the middle of the square, so side must be at "
              "least 121)");
    EXPECT_EQ(describeLimit({ParameterRule::SideNotZero}, kOptions), " (--side must not be 0)");
    EXPECT_EQ(describeLimit({ParameterRule::UniformSquare}, kArguments),
              " (Start (C) normalization needs a square of more than one grey level)");
    EXPECT_EQ(describeLimit({}, kOptions), "");
}

TEST(DescribeLimit, ErrorsOfTheRunItselfFindTheirLimit) {
    using imaging::ErrorKind;
    EXPECT_EQ(limitBehind(ErrorKind::SubscriptOutOfRange, 120, 40.0, Variant::A).rule, ParameterRule::SideAtLeast121);
    EXPECT_EQ(limitBehind(ErrorKind::SubscriptOutOfRange, 200, 40.0, Variant::A).rule,
              ParameterRule::SquareWithinGrids);
    EXPECT_EQ(limitBehind(ErrorKind::DivisionByZero, 200, 40.0, Variant::C).rule, ParameterRule::UniformSquare);
    EXPECT_EQ(limitBehind(ErrorKind::DivisionByZero, 200, 40.0, Variant::B).rule, ParameterRule::None);
    EXPECT_EQ(limitBehind(ErrorKind::FileNotFound, 500, 40.0, Variant::A).rule, ParameterRule::None);
    // A side that could not be read: nothing is said about it.
    EXPECT_EQ(limitBehind(ErrorKind::SubscriptOutOfRange, std::nullopt, 10.0, Variant::A).rule,
              ParameterRule::TileSideAtLeast20);
}

const std::string kSkin = morph::testdata::path("reference/skin_texture.jpg");

TEST(AnalysePhotoFile, IsTheRunOfTheSquareWithThePhotographsGenerator) {
    TextureParameters p;
    p.region = {20, 30, 200};
    PhotoWorkspace workspace;
    const PhotoAnalysis a = analysePhotoFile(kSkin, p, 77, workspace);
    ASSERT_FALSE(a.failure) << a.failure->message;
    EXPECT_TRUE(a.opened);
    EXPECT_FALSE(a.squareWarning);
    ASSERT_TRUE(a.measurements);

    const imaging::Image photo = imaging::loadImageFile(kSkin);
    imaging::FastRandom random(imaging::generatorSeed(77));
    TextureFits fits;
    const TextureMeasurements expected = analyseSquare(PhotoView(photo), p, random, &fits);
    ASSERT_EQ(a.lines.size(), 2u);
    EXPECT_EQ(a.lines[0], resultRowText("skin_texture.jpg", expected));
    EXPECT_EQ(a.lines[1], samplingLineText(expected.sampling));
    EXPECT_EQ(resultRowText("", *a.measurements), resultRowText("", expected));
    EXPECT_EQ(a.fits.outline.slope, fits.outline.slope);

    // The decoded pixels give the same numbers, with no file name in the row.
    const PhotoAnalysis b = analysePhoto(photo, p, 77, workspace);
    ASSERT_EQ(b.lines.size(), 2u);
    EXPECT_EQ(b.lines[0], resultRowText("", expected));
    EXPECT_EQ(b.lines[1], a.lines[1]);
}

TEST(AnalysePhotoFile, ReportsEveryFailureInsteadOfThrowing) {
    PhotoWorkspace workspace;
    TextureParameters p;
    const PhotoAnalysis missing = analysePhotoFile("/nonexistent/P1.jpg", p, 1, workspace);
    ASSERT_TRUE(missing.failure);
    EXPECT_FALSE(missing.opened);
    EXPECT_EQ(missing.failure->message, "File not found: /nonexistent/P1.jpg");
    EXPECT_EQ(missing.failure->kind, imaging::ErrorKind::FileNotFound);
    EXPECT_FALSE(missing.failure->parameter);

    // The parameters are checked before the file is read.
    p.region.regionSide = 500;
    const PhotoAnalysis side = analysePhotoFile("/nonexistent/P1.jpg", p, 1, workspace);
    ASSERT_TRUE(side.failure);
    EXPECT_EQ(side.failure->message, "Subscript out of range");
    EXPECT_EQ(side.failure->parameter, TextureParameter::RegionSide);
    EXPECT_EQ(side.failure->limit.rule, ParameterRule::PairSideAbove499);

    // A square entirely outside the photograph: read, but refused.
    p.region = {5000, 0, 200};
    const PhotoAnalysis outside = analysePhotoFile(kSkin, p, 1, workspace);
    ASSERT_TRUE(outside.failure);
    EXPECT_TRUE(outside.opened);
    EXPECT_EQ(outside.failure->kind, imaging::ErrorKind::Refused);
    EXPECT_TRUE(outside.lines.empty());

    // One reaching past an edge is analysed with the warning.
    const imaging::Image photo = imaging::loadImageFile(kSkin);
    p.region = {int16_t(photo.width - 100), 0, 200};
    const PhotoAnalysis past = analysePhotoFile(kSkin, p, 1, workspace);
    EXPECT_FALSE(past.failure);
    ASSERT_TRUE(past.squareWarning);
    ASSERT_EQ(past.warnings().size(), 1u);
    EXPECT_EQ(past.warnings()[0], *past.squareWarning);
}

}  // namespace

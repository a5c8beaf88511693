// "loadcal"'s redraw rules, and save1/loadcal through the session.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "imaging/colour.hpp"
#include "imaging/errors.hpp"
#include "imaging/image_file.hpp"
#include "imaging/random.hpp"
#include "lesionmeter/lesion_session.hpp"
#include "lesionmeter/stages.hpp"
#include "test_support.hpp"

namespace lesionmeter {
namespace {

const imaging::Colour kGrey128 = imaging::greyColour(128);
const imaging::Colour kGrey200 = imaging::greyColour(200);

// The outline picture holding `picture` as its reloaded background, extents 30 x 30.
struct ReloadFixture {
    AnalysisState s;
    imaging::PictureSurface p12{313, 305};
    explicit ReloadFixture(const imaging::Image& picture) {
        s.scanWidth = 30;
        s.scanHeight = 30;
        p12.setPicture(picture);
    }
};

TEST(LoadcalRedraw, Grey128TouchingBlackBecomesBlackOtherGreysKeepThePicture) {
    imaging::Image picture(313, 305, imaging::kWhite);
    picture.at(10, 10) = imaging::kBlack;
    picture.at(11, 10) = kGrey128;   // c = 128, one near-black neighbour: black
    picture.at(9, 10) = kGrey200;    // c = 200 touching black: left as reloaded
    picture.at(10, 11) = imaging::kBlack;  // black next to black: |c - v| = 0, but touches nothing else dark?
    ReloadFixture f(picture);
    redrawReloadedOutline(f.s, f.p12);
    EXPECT_EQ(f.p12.pointAt(11, 10), imaging::kBlack);
    EXPECT_EQ(f.p12.pointAt(9, 10), kGrey200);
    // White touching black (c = 255, count >= 1, c != 128): the reloaded picture shows.
    EXPECT_EQ(f.p12.pointAt(11, 11), imaging::kWhite);
    // Black next to black only: count 0, set white.
    EXPECT_EQ(f.p12.pointAt(10, 10), imaging::kWhite);
    EXPECT_EQ(f.s.outlineGrid(11, 10), 128.0f);
    EXPECT_FLOAT_EQ(f.s.outlineGrid(9, 10), 200.0f);
}

TEST(LoadcalRedraw, ChannelSum384CountsAs128AndSum385DoesNot) {
    for (auto [colour, black] : {std::pair{imaging::rgbColour(127, 128, 129), true},
                                 std::pair{imaging::rgbColour(128, 128, 129), false}}) {
        imaging::Image picture(313, 305, imaging::kWhite);
        picture.at(10, 10) = imaging::kBlack;
        picture.at(11, 10) = colour;
        ReloadFixture f(picture);
        redrawReloadedOutline(f.s, f.p12);
        EXPECT_EQ(f.p12.pointAt(11, 10), black ? imaging::kBlack : colour);
    }
}

TEST(LoadcalRedraw, EdgesOutsideTheRangeKeepTheReloadedPicture) {
    imaging::Image picture(313, 305, kGrey200);
    ReloadFixture f(picture);
    redrawReloadedOutline(f.s, f.p12);
    EXPECT_EQ(f.p12.pointAt(2, 2), imaging::kWhite);
    EXPECT_EQ(f.p12.pointAt(28, 28), imaging::kWhite);
    EXPECT_EQ(f.p12.pointAt(1, 10), kGrey200);
    EXPECT_EQ(f.p12.pointAt(29, 10), kGrey200);
}

TEST(SaveAndLoadcal, RoundTripThenTheSecondLoadcalFailsNamingTheFile) {
    testing::ScratchFolder scratch;
    imaging::FastRandom random(1);
    LesionSession session(random);
    const std::string name = scratch.file("outlineU.bmp");
    session.texts().outlineFileName = (name);
    session.pictures().outline.line(20, 20, 60, 20, imaging::kBlack);
    session.saveOutline();
    ASSERT_TRUE(std::filesystem::exists(name));
    session.reloadOutline();
    EXPECT_FALSE(std::filesystem::exists(name));
    EXPECT_EQ(session.state().scanWidth, 300.0f);
    EXPECT_EQ(session.state().scanHeight, 300.0f);
    EXPECT_TRUE(session.outlineShown());
    EXPECT_TRUE(session.save2Enabled());
    // A thin black line on white: the line's pixels touch only black or white, never grey 128.
    EXPECT_EQ(session.pictures().outline.pointAt(40, 21), imaging::kWhite);

    session.state().scanWidth = 123.0f;
    session.pictures().outline.psetAt(5, 5, imaging::kBlack);
    try {
        session.reloadOutline();
        FAIL() << "the second loadcal must fail";
    } catch (const imaging::RunError& e) {
        EXPECT_EQ(e.kind(), imaging::ErrorKind::FileNotFound);
        EXPECT_NE(std::string(e.what()).find(name), std::string::npos) << e.what();
    }
    EXPECT_EQ(session.state().scanWidth, 123.0f);
    EXPECT_EQ(session.pictures().outline.pointAt(5, 5), imaging::kBlack);
}

// "save1" never replaces the photograph: the outline file name naming it (in any spelling) is refused and
// the photograph stays byte for byte.
TEST(SaveAndLoadcal, AnOutlineFileThatIsThePhotographIsRefused) {
    testing::ScratchFolder scratch;
    imaging::FastRandom random(1);
    LesionSession session(random);
    imaging::saveBmp(imaging::Image(40, 30, imaging::rgbColour(200, 150, 120)), scratch.file("me.bmp"));
    std::ifstream before(scratch.file("me.bmp"), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(before)), std::istreambuf_iterator<char>());
    session.openChooser();
    session.loadImage(scratch.path().string(), "me.bmp");
    session.texts().outlineFileName = ((scratch.path() / "." / "me.bmp").string());
    try {
        session.saveOutline();
        FAIL() << "the outline replaced the photograph";
    } catch (const imaging::RunError& e) {
        EXPECT_EQ(e.kind(), imaging::ErrorKind::Refused);
        EXPECT_NE(std::string(e.what()).find("is the input photograph"), std::string::npos) << e.what();
    }
    std::ifstream after(scratch.file("me.bmp"), std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(after)), std::istreambuf_iterator<char>()), bytes);
}

std::string fileBytes(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// "x.bmp" open and the user's own picture "xU.bmp" beside it: "save1" refuses it (it is not the
// session's), "loadcal" reads it but leaves it where it is.
TEST(SaveAndLoadcal, AnotherPictureIsNeitherReplacedNorDeleted) {
    testing::ScratchFolder scratch;
    imaging::FastRandom random(1);
    LesionSession session(random);
    imaging::saveBmp(imaging::Image(40, 30, imaging::rgbColour(200, 150, 120)), scratch.file("x.bmp"));
    imaging::Image other(313, 305, imaging::kWhite);
    for (int x = 20; x < 60; ++x) other.at(x, 40) = imaging::kBlack;
    imaging::saveBmp(other, scratch.file("xU.bmp"));
    const std::string bytes = fileBytes(scratch.file("xU.bmp"));
    session.openChooser();
    session.loadImage(scratch.path().string(), "x.bmp");
    session.texts().outlineFileName = scratch.file("xU.bmp");
    try {
        session.saveOutline(true);  // not even with the user's consent: it is a picture
        FAIL() << "replaced another picture";
    } catch (const imaging::RunError& e) {
        EXPECT_EQ(e.kind(), imaging::ErrorKind::Refused);
        EXPECT_NE(std::string(e.what()).find("is an existing BMP picture; it is not replaced"), std::string::npos)
            << e.what();
    }
    EXPECT_EQ(fileBytes(scratch.file("xU.bmp")), bytes);
    session.reloadOutline();
    EXPECT_EQ(fileBytes(scratch.file("xU.bmp")), bytes);
    EXPECT_TRUE(session.outlineShown());
    EXPECT_TRUE(session.save2Enabled());
}

// Any other existing file: replaced only with consent; the file save1 wrote is replaced again
// without it and consumed by loadcal.
TEST(SaveAndLoadcal, AnExistingFileIsReplacedOnlyWithConsent) {
    testing::ScratchFolder scratch;
    imaging::FastRandom random(1);
    LesionSession session(random);
    const std::string name = scratch.file("outlineU.bmp");
    std::ofstream(name, std::ios::binary) << "notes";
    session.texts().outlineFileName = name;
    session.pictures().outline.line(20, 20, 60, 20, imaging::kBlack);
    EXPECT_TRUE(session.outlineWouldReplaceAnotherFile());
    try {
        session.saveOutline();
        FAIL() << "replaced a file without consent";
    } catch (const imaging::RunError& e) {
        EXPECT_EQ(e.kind(), imaging::ErrorKind::Refused);
        EXPECT_NE(std::string(e.what()).find("already exists"), std::string::npos) << e.what();
    }
    EXPECT_EQ(fileBytes(name), "notes");
    session.saveOutline(true);
    EXPECT_EQ(imaging::pictureFormatOf(name), "BMP");
    EXPECT_FALSE(session.outlineWouldReplaceAnotherFile());
    session.saveOutline();  // its own file
    session.reloadOutline();
    EXPECT_FALSE(std::filesystem::exists(name));
    // Replaced by someone else between save1 and loadcal (a new file under the name): kept.
    session.saveOutline();
    imaging::saveBmp(imaging::Image(313, 305, imaging::kWhite), name);
    session.reloadOutline();
    EXPECT_TRUE(std::filesystem::exists(name));
}

}  // namespace
}  // namespace lesionmeter

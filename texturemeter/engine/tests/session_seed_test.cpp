// The seed of a window run and the square it leaves: a run with a seed gives the numbers of a run
// on the photograph alone with that seed (as texturemeter-cli seeds each photograph), a loaded
// square's seed serves one run, and the last run's square records what that run read.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "imaging/errors.hpp"
#include "imaging/image_file.hpp"
#include "imaging/random.hpp"
#include "testdata/reference_data.hpp"
#include "testdata/scratch_folder.hpp"
#include "texturemeter/texture_session.hpp"

namespace texturemeter {
namespace {

namespace fs = std::filesystem;

std::string readFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

struct SessionSeeds : ::testing::Test {
    morph::testdata::ScratchFolder scratch{"session-seeds"};
    RunTexts texts;
    void SetUp() override {
        fs::copy_file(morph::testdata::path("reference/skin_texture.jpg"), scratch.file("P1234.jpg"));
        texts.resultsName = scratch.file("results.txt");
        texts.regionSide = "150";
        texts.tileSide = "30.5";
        texts.neighbourDistance = "3";
    }
    // The results file of one run of `session` at the corner (12, 20).
    std::string run(TextureSession& session, Variant variant = Variant::B) {
        session.pressPhoto(12, 20, texts.regionSide);
        session.run(variant, texts);
        return readFile(texts.resultsName);
    }
    // What a run of the photograph alone with photo seed `seed` writes (texturemeter-cli's way).
    std::string alone(uint64_t seed, Variant variant = Variant::B) {
        imaging::FastRandom random(imaging::generatorSeed(seed));
        TextureSession session(random);
        session.selectImage(scratch.path().string(), "P1234.jpg");
        return run(session, variant);
    }
};

TEST_F(SessionSeeds, EveryRunWithTheSessionsSeedIsTheRunOfThePhotographAloneWithIt) {
    TextureSession session;
    session.setSeed(77);
    session.selectImage(scratch.path().string(), "P1234.jpg");
    const std::string expected = alone(77);
    EXPECT_EQ(run(session), expected);
    EXPECT_EQ(run(session), expected);
    EXPECT_NE(alone(78), expected);
}

TEST_F(SessionSeeds, ALoadedSquaresSeedServesTheNextRunOnlyAndTakesPrecedence) {
    TextureSession session;
    session.setSeed(77);
    session.selectImage(scratch.path().string(), "P1234.jpg");
    session.setNextRunSeed(5);
    EXPECT_EQ(run(session), alone(5));
    EXPECT_EQ(session.lastRunSquare()->seed, std::optional<uint64_t>(5));
    EXPECT_EQ(run(session), alone(77));
    EXPECT_EQ(session.lastRunSquare()->seed, std::optional<uint64_t>(77));
    // A new selection forgets a seed not yet used.
    session.setNextRunSeed(5);
    session.selectImage(scratch.path().string(), "P1234.jpg");
    EXPECT_EQ(session.nextRunSeed(), std::nullopt);
}

TEST_F(SessionSeeds, WithoutASeedEachRunTakesOneFromTheClockAndTheSquareRecordsIt) {
    TextureSession session;
    session.selectImage(scratch.path().string(), "P1234.jpg");
    EXPECT_EQ(session.lastRunSquare(), std::nullopt);
    const std::string first = run(session, Variant::C);
    const std::optional<Square> square = session.lastRunSquare();
    ASSERT_TRUE(square.has_value());
    ASSERT_TRUE(square->seed.has_value());
    EXPECT_LT(*square->seed, uint64_t(1) << 53);  // exact in every JSON reader
    EXPECT_EQ(square->photo, "P1234.jpg");
    EXPECT_EQ(square->x, 12);
    EXPECT_EQ(square->y, 20);
    EXPECT_EQ(square->side, std::optional<int16_t>(150));
    EXPECT_EQ(square->window, std::optional<double>(30.5));
    EXPECT_EQ(square->neighbour, std::optional<double>(3.0));
    EXPECT_EQ(square->variant, Variant::C);
    EXPECT_EQ(first, alone(*square->seed, Variant::C));
    run(session, Variant::C);
    EXPECT_NE(session.lastRunSquare()->seed, square->seed);
    // A failed run leaves no square; a new selection neither.
    texts.tileSide = "wide";
    EXPECT_THROW(run(session), imaging::RunError);
    EXPECT_EQ(session.lastRunSquare(), std::nullopt);
}

TEST_F(SessionSeeds, ASessionOverTheCallersGeneratorDrawsFromItAndHasNoSeed) {
    imaging::FastRandom random(imaging::generatorSeed(9));
    TextureSession session(random);
    session.selectImage(scratch.path().string(), "P1234.jpg");
    EXPECT_EQ(run(session), alone(9));
    EXPECT_EQ(session.lastRunSquare()->seed, std::nullopt);
}

TEST_F(SessionSeeds, ASquareIsCheckedBeforeItIsLoaded) {
    TextureSession session;
    Square square;
    square.photo = "P1234.jpg";
    square.x = 10;
    square.y = 10;
    const auto message = [&](const Square& s) {
        try {
            return session.checkSquare(s, "s.json", "200", "Load square: ");
        } catch (const imaging::RunError& e) {
            EXPECT_EQ(e.kind(), imaging::ErrorKind::Refused);
            return std::string("refused: ") + e.what();
        }
    };
    EXPECT_EQ(message(square), "refused: Load square: load the photograph first, then its square");
    session.selectImage(scratch.path().string(), "P1234.jpg");  // 400 x 300
    EXPECT_EQ(message(square), "");
    Square other = square;
    other.photo = "P9.jpg";
    EXPECT_EQ(message(other), "refused: Load square: s.json holds the square of P9.jpg, not of P1234.jpg");
    Square past = square;
    past.x = 300;  // with the box's side 200: past the right edge
    EXPECT_NE(message(past).find("past the right edge"), std::string::npos) << message(past);
    past.side = 90;  // the square's own side: inside
    EXPECT_EQ(message(past), "");
    past.x = 400;
    EXPECT_NE(message(past).find("lies entirely outside the photograph (400 x 300)"), std::string::npos);
}

}  // namespace
}  // namespace texturemeter

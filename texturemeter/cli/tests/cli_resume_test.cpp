// texturemeter-cli --resume: a batch killed with SIGKILL at some point continues where its journal
// says, skipping the images done, and ends with the results file and JSON report of a batch that
// was never stopped; a half-written last entry is cut; another batch's journal is refused.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "testdata/scratch_folder.hpp"
#include "testdata/tool_run.hpp"

namespace {

namespace fs = std::filesystem;
using morph::testdata::killWhen;
using morph::testdata::lineEnds;
using morph::testdata::readFile;
using morph::testdata::runTool;
using morph::testdata::ScratchFolder;
using morph::testdata::startTool;
using morph::testdata::ToolRun;

const std::string kSample = std::string(MORPH_SAMPLES_DIR) + "/skin_sample.jpg";

// `count` small photographs p000.jpg ... in `folder`: eight different ones (the sample tiled to
// 252 .. 259 pixels square) over and over, so that the rows differ from photograph to photograph.
std::vector<std::string> makePhotos(const ScratchFolder& folder, std::size_t count) {
    std::vector<std::string> kinds;
    for (int k = 0; k < 8; ++k) {
        const std::string kind = folder.file("kind" + std::to_string(k) + ".jpg");
        const std::string side = std::to_string(252 + k);
        const std::string command = std::string("'") + TEXTUREMETER_MAKE_PHOTO_PATH + "' '" + kSample + "' " + side +
                                    " " + side + " '" + kind + "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        kinds.push_back(kind);
    }
    std::vector<std::string> photos;
    for (std::size_t i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "p%03zu.jpg", i);
        photos.push_back(folder.file(name));
        fs::copy_file(kinds[i % kinds.size()], photos.back());
    }
    return photos;
}

std::vector<std::string> withPhotos(std::vector<std::string> args, const std::vector<std::string>& photos) {
    args.insert(args.end(), photos.begin(), photos.end());
    return args;
}

std::vector<std::string> plus(std::vector<std::string> args, const std::string& more) {
    args.push_back(more);
    return args;
}

ToolRun run(const fs::path& folder, const std::vector<std::string>& args) {
    return runTool(TEXTUREMETER_CLI_PATH, folder, args);
}

// Kills the batch started in `folder` once its journal records `done` photographs (see
// morph::testdata::killAfter).
std::size_t killAfter(const fs::path& folder, const std::vector<std::string>& args, std::size_t done) {
    const auto batch = morph::testdata::killAfter(TEXTUREMETER_CLI_PATH, folder, folder / "r.txt.resume", args, done);
    EXPECT_TRUE(batch.killed) << "the batch ended before it was killed: " << readFile(folder / "stderr.txt");
    return batch.recorded;
}

// The image numbers of the progress lines ("12/200 p011.jpg") on stderr.
std::vector<std::size_t> progressNumbers(const std::string& err, std::size_t total) {
    std::vector<std::size_t> numbers;
    const std::regex line("(^|\n)([0-9]+)/" + std::to_string(total) + " ");
    for (auto it = std::sregex_iterator(err.begin(), err.end(), line); it != std::sregex_iterator(); ++it)
        numbers.push_back(std::stoul((*it)[2].str()));
    return numbers;
}

TEST(TexturemeterCliResume, ABatchOf200KilledMidwayResumesToTheFilesOfAnUninterruptedRun) {
    ScratchFolder photosFolder("resume-photos"), whole("resume-whole"), killed("resume-killed");
    const std::vector<std::string> photos = makePhotos(photosFolder, 200);
    const std::vector<std::string> args = withPhotos(
        {"--side", "250", "--window", "50", "--seed", "11", "--jobs", "2", "--output", "r.txt", "--json", "r.json"},
        photos);

    const ToolRun uninterrupted = run(whole.path(), args);
    ASSERT_EQ(uninterrupted.status, 0) << uninterrupted.err;
    EXPECT_FALSE(fs::exists(whole.path() / "r.txt.resume")) << "a finished batch removes its journal";

    const std::size_t done = killAfter(killed.path(), args, 30);
    ASSERT_GE(done, 30u);
    ASSERT_LT(done, 200u);
    EXPECT_FALSE(fs::exists(killed.path() / "r.json")) << "the report is written only at the end";

    const ToolRun resumed = run(killed.path(), plus(args, "--resume"));
    ASSERT_EQ(resumed.status, 0) << resumed.err;
    EXPECT_NE(resumed.err.find("texturemeter-cli: resuming the batch of r.txt.resume: the first " +
                               std::to_string(done) + " of 200 images were done before and are skipped (seed 11)\n"),
              std::string::npos)
        << resumed.err;
    // Only the images after the journaled ones were analysed, each once, in order.
    std::vector<std::size_t> expected;
    for (std::size_t n = done + 1; n <= 200; ++n) expected.push_back(n);
    EXPECT_EQ(progressNumbers(resumed.err, 200), expected);

    EXPECT_EQ(readFile(killed.path() / "r.txt"), readFile(whole.path() / "r.txt"));
    EXPECT_EQ(readFile(killed.path() / "r.json"), readFile(whole.path() / "r.json"));
    EXPECT_EQ(lineEnds(killed.path() / "r.txt"), 1u + 2u * 200u);
    EXPECT_FALSE(fs::exists(killed.path() / "r.txt.resume"));
}

TEST(TexturemeterCliResume, AHalfWrittenLastEntryIsCutAndAClockSeedIsTakenFromTheJournal) {
    ScratchFolder photosFolder("resume-photos"), whole("resume-whole"), killed("resume-killed");
    const std::vector<std::string> photos = makePhotos(photosFolder, 60);
    const std::vector<std::string> common = {"--side", "250", "--window", "50", "--jobs", "1", "--output", "r.txt"};
    for (const bool rowWithoutLineEnd : {false, true}) {
        SCOPED_TRACE(rowWithoutLineEnd ? "a row without its line end" : "a row without its sampling line");
        fs::remove(killed.path() / "r.txt");
        // Killed without --seed: the resumed run takes the clock seed from the journal.
        const std::size_t done = killAfter(killed.path(), withPhotos(common, photos), 5);
        const std::string killedErr = readFile(killed.path() / "stderr.txt");
        std::smatch seed;
        ASSERT_TRUE(std::regex_search(killedErr, seed, std::regex("seed ([0-9]+) \\(from the clock"))) << killedErr;
        const std::string clockSeed = seed[1].str();

        std::vector<std::string> seeded = common;
        seeded.insert(seeded.end(), {"--seed", clockSeed});
        ASSERT_EQ(run(whole.path(), withPhotos(seeded, photos)).status, 0);
        const std::string expected = readFile(whole.path() / "r.txt");

        // What the file holds up to the journaled entries, then the next image's row as a killed write
        // would leave it, and a journal line cut short.
        std::size_t at = 0;
        for (std::size_t line = 0; line < 1 + 2 * done; ++line) at = expected.find('\n', at) + 1;
        const std::size_t rowEnd = expected.find('\n', at) + 1;
        const std::string half = rowWithoutLineEnd ? expected.substr(at, (rowEnd - at) / 2) : expected.substr(at, rowEnd - at);
        {
            std::string results = expected.substr(0, at) + half;
            std::ofstream(killed.path() / "r.txt", std::ios::binary | std::ios::trunc) << results;
            std::ofstream(killed.path() / "r.txt.resume", std::ios::binary | std::ios::app) << "{\"index\":" << done << ",\"na";
        }
        const std::string journal = readFile(killed.path() / "r.txt.resume");
        ASSERT_EQ(std::count(journal.begin(), journal.end(), '\n'), static_cast<long>(done + 1));

        const ToolRun resumed = run(killed.path(), plus(withPhotos(common, photos), "--resume"));
        ASSERT_EQ(resumed.status, 0) << resumed.err;
        EXPECT_EQ(resumed.err.find("from the clock"), std::string::npos) << resumed.err;
        EXPECT_NE(resumed.err.find("are skipped (seed " + clockSeed + ")"), std::string::npos) << resumed.err;
        EXPECT_EQ(readFile(killed.path() / "r.txt"), expected);
        EXPECT_FALSE(fs::exists(killed.path() / "r.txt.resume"));
    }
}

TEST(TexturemeterCliResume, AnotherBatchOrAChangedResultsFileOrNoJournalIsRefusedAndNothingChanges) {
    ScratchFolder photosFolder("resume-photos"), killed("resume-killed"), fresh("resume-fresh");
    const std::vector<std::string> photos = makePhotos(photosFolder, 60);
    const std::vector<std::string> common = {"--window", "50", "--jobs", "1", "--output", "r.txt"};
    const std::vector<std::string> args = withPhotos(plus(plus(plus(plus(common, "--side"), "250"), "--seed"), "3"), photos);
    killAfter(killed.path(), args, 3);
    const std::string results = readFile(killed.path() / "r.txt");
    const std::string journal = readFile(killed.path() / "r.txt.resume");
    const auto refused = [&](const std::vector<std::string>& with) {
        const ToolRun r = run(killed.path(), plus(with, "--resume"));
        EXPECT_EQ(r.status, 2) << r.err;
        EXPECT_EQ(readFile(killed.path() / "r.txt"), results);
        EXPECT_EQ(readFile(killed.path() / "r.txt.resume"), journal);
        return r.err;
    };
    const std::string another = "texturemeter-cli: Cannot resume the batch of the journal r.txt.resume: it is another batch (";
    EXPECT_EQ(refused(withPhotos(plus(plus(plus(plus(common, "--side"), "240"), "--seed"), "3"), photos)),
              another + "--side is 240 here, the interrupted run used --side 250)\n");
    EXPECT_EQ(refused(withPhotos(plus(plus(plus(plus(common, "--side"), "250"), "--seed"), "4"), photos)),
              another + "--seed is 4 here, the interrupted run's seed was 3)\n");
    std::vector<std::string> swapped = photos;
    std::swap(swapped[4], swapped[5]);
    EXPECT_EQ(refused(withPhotos(plus(plus(plus(plus(common, "--side"), "250"), "--seed"), "3"), swapped)),
              another + "input 5 is " + photos[5] + " here, the interrupted run's was " + photos[4] + ")\n");

    // A results file whose first entry names another image.
    std::string changed = results;
    changed.replace(changed.find("\np000.jpg,") + 1, 4, "q000");
    std::ofstream(killed.path() / "r.txt", std::ios::binary | std::ios::trunc) << changed;
    const ToolRun r = run(killed.path(), plus(args, "--resume"));
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("does not hold the entry of input 1 (" + photos[0] + ") where the batch journal puts it"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(readFile(killed.path() / "r.txt"), changed);

    // No journal: nothing to resume, nothing written.
    const ToolRun none = run(fresh.path(), plus(args, "--resume"));
    EXPECT_EQ(none.status, 2);
    EXPECT_EQ(none.err, "texturemeter-cli: Cannot resume: there is no batch journal r.txt.resume (a batch that "
                        "finished removes it: nothing to resume)\n");
    EXPECT_FALSE(fs::exists(fresh.path() / "r.txt"));
}

}  // namespace

// lesionmeter-cli --resume: a batch of photographs with their marks files, killed with SIGKILL at
// some point, continues where its journal says, skipping the photographs done, and ends with the
// rows (but for their date and time) and the JSON report of a batch that was never stopped; a
// half-written last row is cut; another batch's journal is refused.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "cli_support.hpp"
#include "imaging/random.hpp"
#include "imaging/report.hpp"
#include "testdata/reference_data.hpp"
#include "testdata/scratch_folder.hpp"
#include "testdata/tool_run.hpp"

namespace lesionmeter::cli {
namespace {

namespace fs = std::filesystem;
using morph::testdata::killWhen;
using morph::testdata::lineEnds;
using morph::testdata::readFile;
using morph::testdata::runTool;
using morph::testdata::ScratchFolder;
using morph::testdata::startTool;
using morph::testdata::ToolRun;

// `count` copies of the lesion sample, L000.jpg ..., each with its marks file (no seed) beside it.
std::vector<std::string> placePhotos(const ScratchFolder& folder, std::size_t count) {
    std::vector<std::string> photos;
    for (std::size_t i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "L%03zu", i);
        cli_tests::placePhoto(folder, morph::testdata::lesionSample(), name);
        photos.push_back(folder.file(std::string(name) + ".jpg"));
    }
    return photos;
}

std::vector<std::string> withPhotos(std::vector<std::string> args, const std::vector<std::string>& photos) {
    args.insert(args.end(), photos.begin(), photos.end());
    return args;
}

ToolRun run(const fs::path& folder, const std::vector<std::string>& args) {
    return runTool(LESIONMETER_CLI_PATH, folder, args);
}

// Kills the batch started in `folder` once its journal records `done` photographs (see
// morph::testdata::killAfter).
std::size_t killAfter(const fs::path& folder, const std::vector<std::string>& args, std::size_t done) {
    const auto batch = morph::testdata::killAfter(LESIONMETER_CLI_PATH, folder, folder / "r.csv.resume", args, done);
    EXPECT_TRUE(batch.killed) << "the batch ended before it was killed: " << readFile(folder / "stderr.txt");
    return batch.recorded;
}

// The rows of a results file without their date and time.
std::vector<std::string> undatedRows(const fs::path& file) {
    std::vector<std::string> rows = morph::testdata::lines(readFile(file));
    for (std::string& row : rows) row = cli_tests::undated(row);
    return rows;
}

// The photograph numbers of the progress lines ("12/200 NAME") on stderr.
std::vector<std::size_t> progressNumbers(const std::string& err, std::size_t total) {
    std::vector<std::size_t> numbers;
    const std::regex line("(^|\n)([0-9]+)/" + std::to_string(total) + " ");
    for (auto it = std::sregex_iterator(err.begin(), err.end(), line); it != std::sregex_iterator(); ++it)
        numbers.push_back(std::stoul((*it)[2].str()));
    return numbers;
}

TEST(LesionmeterCliResume, ABatchOf200KilledMidwayResumesToTheRowsAndReportOfAnUninterruptedRun) {
    ScratchFolder photosFolder("lesion-resume-photos"), whole("lesion-resume-whole"), killed("lesion-resume-killed");
    const std::vector<std::string> photos = placePhotos(photosFolder, 200);
    const std::vector<std::string> args =
        withPhotos({"--seed", "9", "--jobs", "2", "--csv", "r.csv", "--json", "r.json"}, photos);

    const ToolRun uninterrupted = run(whole.path(), args);
    ASSERT_EQ(uninterrupted.status, 0) << uninterrupted.err;
    EXPECT_FALSE(fs::exists(whole.path() / "r.csv.resume")) << "a finished batch removes its journal";

    const std::size_t done = killAfter(killed.path(), args, 30);
    ASSERT_GE(done, 30u);
    ASSERT_LT(done, 200u);

    std::vector<std::string> resumeArgs = args;
    resumeArgs.push_back("--resume");
    const ToolRun resumed = run(killed.path(), resumeArgs);
    ASSERT_EQ(resumed.status, 0) << resumed.err;
    EXPECT_NE(resumed.err.find("lesionmeter-cli: resuming the batch of r.csv.resume: the first " + std::to_string(done) +
                               " of 200 photographs were done before and are skipped\n"),
              std::string::npos)
        << resumed.err;
    std::vector<std::size_t> expected;
    for (std::size_t n = done + 1; n <= 200; ++n) expected.push_back(n);
    EXPECT_EQ(progressNumbers(resumed.err, 200), expected) << "only the rest is analysed, each once";

    // The rows are dated when they are made; all else is byte for byte.
    EXPECT_EQ(undatedRows(killed.path() / "r.csv"), undatedRows(whole.path() / "r.csv"));
    EXPECT_EQ(lineEnds(killed.path() / "r.csv"), 201u);
    EXPECT_EQ(readFile(killed.path() / "r.json"), readFile(whole.path() / "r.json"));
    EXPECT_FALSE(fs::exists(killed.path() / "r.csv.resume"));
}

TEST(LesionmeterCliResume, AHalfWrittenRowIsCutAndAClockSeededBatchKeepsItsSeeds) {
    ScratchFolder photosFolder("lesion-resume-photos"), killed("lesion-resume-killed");
    const std::vector<std::string> photos = placePhotos(photosFolder, 60);
    // An earlier run's row stays: the batch appends.
    const std::string earlier = "photo,dateTime,x\n";
    const std::vector<std::string> args = withPhotos({"--jobs", "1", "--csv", "r.csv"}, photos);
    ASSERT_EQ(run(killed.path(), withPhotos({"--seed", "4", "--csv", "r.csv"}, {photos[0]})).status, 0);
    const std::string before = readFile(killed.path() / "r.csv");

    const std::size_t done = killAfter(killed.path(), args, 4);
    const std::string journal = readFile(killed.path() / "r.csv.resume");
    const imaging::Json identity = imaging::Json::parse(journal.substr(0, journal.find('\n')));
    EXPECT_EQ(identity["seedSource"], "clock");
    EXPECT_EQ(identity["resultsSizeBefore"], before.size());
    // The journaled rows, then half a row as a killed write leaves it, and a journal line cut short.
    std::string results = readFile(killed.path() / "r.csv");
    std::size_t at = 0;
    for (std::size_t line = 0; line < 2 + done; ++line) at = results.find('\n', at) + 1;
    results = results.substr(0, at) + "L" + std::to_string(done) + ".jpg,2026-";
    std::ofstream(killed.path() / "r.csv", std::ios::binary | std::ios::trunc) << results;
    std::ofstream(killed.path() / "r.csv.resume", std::ios::binary | std::ios::app) << "{\"index\":";

    std::vector<std::string> resumeArgs = args;
    resumeArgs.push_back("--resume");
    const ToolRun resumed = run(killed.path(), resumeArgs);
    ASSERT_EQ(resumed.status, 0) << resumed.err;
    const std::vector<std::string> rows = morph::testdata::lines(readFile(killed.path() / "r.csv"));
    ASSERT_EQ(rows.size(), 2u + 60u);
    EXPECT_EQ(readFile(killed.path() / "r.csv").substr(0, before.size()), before);
    // Each photograph has the seed of its place in the stopped batch, whose base seed the journal kept.
    const uint64_t base = identity["seed"].get<uint64_t>();
    for (std::size_t i = 0; i < 60; ++i) {
        const std::vector<std::string> cells = morph::testdata::csvCells(rows[2 + i]);
        ASSERT_GT(cells.size(), 4u);
        EXPECT_EQ(cells[0], "L" + std::string(i < 10 ? "00" : "0") + std::to_string(i) + ".jpg");
        EXPECT_EQ(cells[3], std::to_string(imaging::markedSeed(std::nullopt, std::nullopt, base, i).seed)) << i;
    }
    EXPECT_FALSE(fs::exists(killed.path() / "r.csv.resume"));
}

TEST(LesionmeterCliResume, AnotherBatchOrChangedMarksOrNoJournalIsRefusedAndNothingChanges) {
    ScratchFolder photosFolder("lesion-resume-photos"), killed("lesion-resume-killed"), fresh("lesion-resume-fresh");
    const std::vector<std::string> photos = placePhotos(photosFolder, 60);
    const std::vector<std::string> args = withPhotos({"--seed", "3", "--jobs", "1", "--csv", "r.csv"}, photos);
    killAfter(killed.path(), args, 3);
    const std::string results = readFile(killed.path() / "r.csv");
    const std::string journal = readFile(killed.path() / "r.csv.resume");
    const auto refused = [&](std::vector<std::string> with) {
        with.push_back("--resume");
        const ToolRun r = run(killed.path(), with);
        EXPECT_EQ(r.status, 2) << r.err;
        EXPECT_EQ(readFile(killed.path() / "r.csv"), results);
        EXPECT_EQ(readFile(killed.path() / "r.csv.resume"), journal);
        return r.err;
    };
    const std::string another = "lesionmeter-cli: Cannot resume the batch of the journal r.csv.resume: it is another batch (";
    EXPECT_EQ(refused(withPhotos({"--seed", "3", "--fit", "--csv", "r.csv"}, photos)),
              another + "--fit is true here, the interrupted run used --fit false)\n");
    EXPECT_EQ(refused(withPhotos({"--seed", "4", "--csv", "r.csv"}, photos)),
              another + "--seed is 4 here, the interrupted run's seed was 3)\n");
    std::vector<std::string> fewer(photos.begin(), photos.end() - 1);
    EXPECT_EQ(refused(withPhotos({"--seed", "3", "--csv", "r.csv"}, fewer)),
              another + "59 inputs here, the interrupted run had 60; input 60 (" + photos.back() + ") is missing here)\n");
    // A marks file changed since: the photograph is not the one the stopped batch measured.
    const std::string marks = photosFolder.file("L040.marks.json");
    const std::string kept = readFile(marks);
    std::ofstream(marks, std::ios::binary | std::ios::app) << "\n";
    EXPECT_NE(refused(args).find(another + "input 41 (" + photos[40] + ") is taken with {\"marksSha256\":"),
              std::string::npos);
    std::ofstream(marks, std::ios::binary | std::ios::trunc) << kept;

    const ToolRun none = run(fresh.path(), [&] {
        std::vector<std::string> a = args;
        a.push_back("--resume");
        return a;
    }());
    EXPECT_EQ(none.status, 2);
    EXPECT_EQ(none.err, "lesionmeter-cli: Cannot resume: there is no batch journal r.csv.resume (a batch that "
                        "finished removes it: nothing to resume)\n");
    EXPECT_FALSE(fs::exists(fresh.path() / "r.csv"));
    EXPECT_FALSE(fs::exists(fresh.path() / "r.csv.resume"));
}

}  // namespace
}  // namespace lesionmeter::cli

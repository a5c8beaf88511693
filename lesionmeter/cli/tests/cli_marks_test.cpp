// lesionmeter-cli with marks files: a saved analysis replayed, batches of photographs, seeds that
// make each photograph's numbers independent of the batch, and photographs reduced to fit.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "imaging/colour.hpp"
#include "imaging/image_file.hpp"
#include "lesionmeter/marks.hpp"
#include "lesionmeter/results_row.hpp"
#include "cli_support.hpp"
#include "testdata/reference_data.hpp"
#include "testdata/tool_run.hpp"

namespace lesionmeter {
namespace {

namespace fs = std::filesystem;

using morph::testdata::readFile;
using morph::testdata::lines;
using morph::testdata::ToolRun;

// The threads of a running process other than its first one.
std::vector<pid_t> otherThreads(pid_t pid) {
    std::vector<pid_t> threads;
    for (const auto& entry : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task")) {
        const pid_t tid = std::stoi(entry.path().filename().string());
        if (tid != pid) threads.push_back(tid);
    }
    return threads;
}

using cli_tests::Folder;
using cli_tests::marksOf;
using cli_tests::placePhoto;
using cli_tests::undated;

TEST(CliMarks, ASavedAnalysisReplayedWithItsSeedGivesIdenticalOutput) {
    Folder folder("replay");
    const auto& s = morph::testdata::lesionSample();
    std::vector<std::string> args = {s.image, "--seed", "31", "--csv", "first.csv", "--save-marks", "saved.json"};
    for (auto c : s.in) args.insert(args.end(), {"--in", std::to_string(c.x) + "," + std::to_string(c.y)});
    for (auto c : s.out) args.insert(args.end(), {"--out", std::to_string(c.x) + "," + std::to_string(c.y)});
    args.insert(args.end(), {"--centre", "160,120"});
    const ToolRun first = folder.run(args);
    ASSERT_EQ(first.status, 0) << first.err;
    const Marks saved = readMarks(folder.file("saved.json"));
    EXPECT_EQ(saved.seed, uint64_t(31));
    EXPECT_EQ(saved.photo, "lesion_sample.jpg");
    EXPECT_EQ(saved.in.size(), s.in.size());
    EXPECT_EQ(saved.centre, (MarkPosition{160, 120}));

    // The marks carry the seed: no --seed needed to repeat the run.
    const ToolRun again = folder.run({s.image, "--marks", "saved.json", "--csv", "again.csv", "--save-marks", "again.json"});
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(again.out, first.out);
    EXPECT_EQ(readFile(folder.path() / "again.json"), readFile(folder.path() / "saved.json"));
    const auto a = lines(readFile(folder.path() / "first.csv")), b = lines(readFile(folder.path() / "again.csv"));
    ASSERT_EQ(a.size(), 2u);
    ASSERT_EQ(b.size(), 2u);
    EXPECT_EQ(undated(a[1]), undated(b[1]));
    // Another seed gives another search.
    const ToolRun other = folder.run({s.image, "--marks", "saved.json", "--seed", "32"});
    EXPECT_NE(other.out, first.out);
    // Marks and positions together are refused.
    EXPECT_NE(folder.run({s.image, "--marks", "saved.json", "--in", "1,1"}).status, 0);
}

TEST(CliMarks, AClockSeededRunReportsItsSeedAndRepeatsWithIt) {
    Folder folder("clock");
    const auto& s = morph::testdata::lesionSample();
    writeMarks(folder.file("m.json"), marksOf(s));
    const ToolRun first = folder.run({s.image, "--marks", "m.json", "--save-marks", "out.json"});
    ASSERT_EQ(first.status, 0) << first.err;
    const std::string prefix = "lesionmeter-cli: seed ";
    ASSERT_EQ(first.err.rfind(prefix, 0), 0u) << first.err;
    const std::string seed = first.err.substr(prefix.size(), first.err.find_first_not_of("0123456789", prefix.size()) - prefix.size());
    EXPECT_NE(first.err.find("(from the clock; --seed " + seed + " repeats this run)"), std::string::npos) << first.err;
    EXPECT_EQ(std::to_string(readMarks(folder.file("out.json")).seed.value()), seed);
    const ToolRun again = folder.run({s.image, "--marks", "m.json", "--seed", seed});
    EXPECT_EQ(again.out, first.out);
}

TEST(CliMarks, ABatchGivesRowsInInputOrderEachEqualToThePhotographAlone) {
    Folder folder("batch");
    placePhoto(folder, morph::testdata::lesionReference(), "p1");
    placePhoto(folder, morph::testdata::lesionSample(), "p2");
    const ToolRun batch = folder.run({"--seed", "5", "--jobs", "2", "--csv", "batch.csv", "p2.jpg", "p1.jpg"});
    ASSERT_EQ(batch.status, 0) << batch.err;
    const auto rows = lines(readFile(folder.path() / "batch.csv"));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], resultsHeader());
    EXPECT_EQ(rows[1].rfind("p2.jpg,", 0), 0u);
    EXPECT_EQ(rows[2].rfind("p1.jpg,", 0), 0u);
    EXPECT_NE(undated(rows[1]).substr(6), undated(rows[2]).substr(6));
    for (const std::string name : {"p1", "p2"}) {
        const ToolRun alone = folder.run({"--seed", "5", "--csv", name + ".csv", name + ".jpg"});
        ASSERT_EQ(alone.status, 0) << alone.err;
        const auto own = lines(readFile(folder.path() / (name + ".csv")));
        ASSERT_EQ(own.size(), 2u);
        EXPECT_EQ(undated(own[1]), undated(rows[name == "p2" ? 1 : 2])) << name;
    }
    // Any order, any number of jobs: the same row per photograph.
    ASSERT_EQ(folder.run({"--seed", "5", "--jobs", "1", "--csv", "reversed.csv", "p1.jpg", "p2.jpg"}).status, 0);
    const auto reversed = lines(readFile(folder.path() / "reversed.csv"));
    ASSERT_EQ(reversed.size(), 3u);
    EXPECT_EQ(undated(reversed[1]), undated(rows[2]));
    EXPECT_EQ(undated(reversed[2]), undated(rows[1]));
    // Not a terminal: one whole progress line per photograph.
    EXPECT_NE(batch.err.find("1/2 p2.jpg\n"), std::string::npos) << batch.err;
    EXPECT_NE(batch.err.find("2/2 p1.jpg\n"), std::string::npos) << batch.err;
}

TEST(CliMarks, AFailingPhotographIsNamedAndTheOthersKeepTheirRows) {
    Folder folder("failure");
    placePhoto(folder, morph::testdata::lesionSample(), "good");
    fs::copy_file(morph::testdata::lesionSample().image, folder.path() / "unmarked.jpg");
    const ToolRun run = folder.run({"--seed", "2", "--csv", "out.csv", "unmarked.jpg", "good.jpg", "missing.jpg"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("lesionmeter-cli: unmarked.jpg: File not found: unmarked.marks.json"), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("lesionmeter-cli: missing.jpg: "), std::string::npos) << run.err;
    const auto rows = lines(readFile(folder.path() / "out.csv"));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].rfind("good.jpg,", 0), 0u);
    // Several photographs need a results file.
    EXPECT_EQ(folder.run({"good.jpg", "unmarked.jpg"}).status, 2);
}

TEST(CliMarks, MarksOfAnotherPhotographAreRefusedAlone) {
    Folder folder("other-photo");
    placePhoto(folder, morph::testdata::lesionSample(), "p1");
    fs::copy_file(morph::testdata::lesionSample().image, folder.path() / "p2.jpg");
    const ToolRun run = folder.run({"p2.jpg", "--marks", "p1.marks.json", "--seed", "1", "--csv", "out.csv"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "lesionmeter-cli: --marks p1.marks.json holds the marks of p1.jpg, not of p2.jpg\n");
    EXPECT_EQ(run.out, "");
    EXPECT_FALSE(fs::exists(folder.path() / "out.csv"));
    // The photograph they were made for takes them.
    EXPECT_EQ(folder.run({"p1.jpg", "--marks", "p1.marks.json", "--seed", "1"}).status, 0);
}

TEST(CliMarks, MarksOfAnotherPhotographAreThatPhotographsErrorInABatch) {
    Folder folder("other-photo-batch");
    placePhoto(folder, morph::testdata::lesionSample(), "good");
    placePhoto(folder, morph::testdata::lesionSample(), "renamed");
    fs::copy_file(folder.path() / "good.marks.json", folder.path() / "renamed.marks.json", fs::copy_options::overwrite_existing);
    const ToolRun run = folder.run({"--seed", "2", "--csv", "out.csv", "renamed.jpg", "good.jpg"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("lesionmeter-cli: renamed.jpg: renamed.marks.json holds the marks of good.jpg, not of "
                           "renamed.jpg\n"),
              std::string::npos)
        << run.err;
    const auto rows = lines(readFile(folder.path() / "out.csv"));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].rfind("good.jpg,", 0), 0u);
}

TEST(CliMarks, A640x480PhotographIsAnalysedWithFitAndRefusedWithout) {
    Folder folder("fit");
    // Skin tone with a dark blob in the middle.
    imaging::Image photo(640, 480, imaging::rgbColour(220, 170, 150));
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            if ((x - 320) * (x - 320) + (y - 240) * (y - 240) < 60 * 60) photo.at(x, y) = imaging::rgbColour(110, 60, 45);
    imaging::saveBmp(photo, folder.file("big.bmp"));
    Marks m;
    m.photo = "big.bmp";
    m.in = {{250, 187}, {240, 180}, {260, 195}};  // inside the reduced blob
    m.out = {{40, 40}, {460, 40}, {40, 330}, {460, 330}};
    m.centre = MarkPosition{250, 187};
    m.scale = 0.78125;
    writeMarks(folder.file("big.marks.json"), m);

    const ToolRun refused = folder.run({"--seed", "1", "--csv", "r.csv", "big.bmp"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("reduced by 0.78125"), std::string::npos) << refused.err;
    const ToolRun scripted = folder.run({"big.bmp", "--seed", "1", "--in", "320,240", "--out", "20,20"});
    EXPECT_EQ(scripted.status, 1);
    EXPECT_NE(scripted.err.find("640 x 480"), std::string::npos) << scripted.err;

    const ToolRun fitted = folder.run({"--fit", "--seed", "1", "--csv", "r.csv", "big.bmp"});
    ASSERT_EQ(fitted.status, 0) << fitted.err;
    const auto rows = lines(readFile(folder.path() / "r.csv"));
    ASSERT_EQ(rows.size(), 2u);
    std::vector<std::string> cells;
    std::istringstream row(rows[1]);
    for (std::string c; std::getline(row, c, ',');) cells.push_back(c);
    ASSERT_EQ(cells.size(), 30u);
    EXPECT_EQ(cells[2], "0.78125");
    // The blob (radius 60, 47 after reduction) is found: its outline's centroid lies at its centre.
    EXPECT_NEAR(std::stod(cells[28]), 250.0, 2.0);
    EXPECT_NEAR(std::stod(cells[29]), 187.5, 2.0);
}

// Ctrl-C during a batch: the photograph under way finishes and gets its row, no new one starts,
// and the batch says how many were not analysed and ends with status 130. The first photograph's
// marks file is a pipe, so that its analysis waits until the test has sent the interruption to
// the thread that reads it: the thread handles the signal before it can read the marks.
TEST(CliMarks, CtrlCStartsNoNewPhotographAndKeepsTheRowsWritten) {
    Folder folder("interrupt");
    for (const std::string name : {"p1", "p2", "p3", "p4"}) placePhoto(folder, morph::testdata::lesionSample(), name);
    const std::string marks = readFile(folder.path() / "p1.marks.json");
    fs::remove(folder.path() / "p1.marks.json");
    ASSERT_EQ(::mkfifo(folder.file("p1.marks.json").c_str(), 0600), 0);

    const pid_t tool = folder.start(
        {"--seed", "5", "--jobs", "1", "--csv", "r.csv", "--json", "r.json", "p1.jpg", "p2.jpg", "p3.jpg", "p4.jpg"});
    // A check failing before the tool ends must not leave it waiting on the pipe.
    bool finished = false;
    const auto cleanUp = [&](void*) {
        if (!finished) {
            ::kill(tool, SIGKILL);
            ::waitpid(tool, nullptr, 0);
        }
    };
    const std::unique_ptr<void, decltype(cleanUp)> guard(&finished, cleanUp);
    // Opening the pipe succeeds once the tool opens it to read p1's marks.
    int pipe = -1;
    while ((pipe = ::open(folder.file("p1.marks.json").c_str(), O_WRONLY | O_NONBLOCK)) < 0) {
        ASSERT_EQ(errno, ENXIO);
        int raw = 0;
        ASSERT_EQ(::waitpid(tool, &raw, WNOHANG), 0) << "the tool ended before reading the marks";
        std::this_thread::yield();
    }
    // One job: the thread reading the marks is the only one beside the main thread.
    const std::vector<pid_t> workers = otherThreads(tool);
    ASSERT_EQ(workers.size(), 1u);
    ASSERT_EQ(::tgkill(tool, workers.front(), SIGINT), 0);
    const int flags = ::fcntl(pipe, F_GETFL);
    ASSERT_EQ(::fcntl(pipe, F_SETFL, flags & ~O_NONBLOCK), 0);
    ASSERT_EQ(::write(pipe, marks.data(), marks.size()), static_cast<ssize_t>(marks.size()));
    ::close(pipe);
    const ToolRun run = folder.finish(tool);
    finished = true;

    EXPECT_EQ(run.status, 130) << run.err;
    EXPECT_EQ(run.err, "1/4 p1.jpg\n"
                       "lesionmeter-cli: interrupted: 3 of 4 photographs were not analysed; the rows of the 1 "
                       "analysed are in r.csv\n"
                       "lesionmeter-cli: the same command with --resume continues this batch (journal r.csv.resume)\n");
    const auto rows = lines(readFile(folder.path() / "r.csv"));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], resultsHeader());
    EXPECT_EQ(rows[1].rfind("p1.jpg,", 0), 0u);
    // The report holds the photograph analysed, with its numbers.
    const auto report = morph::testdata::readJson(folder.path() / "r.json");
    ASSERT_EQ(report.at("images").size(), 1u);
    EXPECT_EQ(report["images"][0].at("path"), "p1.jpg");
    EXPECT_TRUE(report["images"][0].at("measurements").is_object());
    // The row equals the one of the photograph alone: the interruption changed no number.
    fs::remove(folder.path() / "p1.marks.json");
    std::ofstream(folder.path() / "p1.marks.json", std::ios::binary) << marks;
    ASSERT_EQ(folder.run({"--seed", "5", "--csv", "alone.csv", "p1.jpg"}).status, 0);
    const auto alone = lines(readFile(folder.path() / "alone.csv"));
    ASSERT_EQ(alone.size(), 2u);
    EXPECT_EQ(undated(alone[1]), undated(rows[1]));
}

// --jobs above the photographs or the cores is reduced, with a note; within them it is used as given.
TEST(CliMarks, MoreJobsThanPhotographsAreReducedWithANote) {
    Folder folder("jobs");
    placePhoto(folder, morph::testdata::lesionSample(), "p1");
    placePhoto(folder, morph::testdata::lesionSample(), "p2");
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const unsigned used = std::min(2u, cores);
    const ToolRun many = folder.run({"--seed", "5", "--jobs", "1024", "--csv", "many.csv", "p1.jpg", "p2.jpg"});
    ASSERT_EQ(many.status, 0) << many.err;
    EXPECT_EQ(many.err.rfind("lesionmeter-cli: --jobs 1024 reduced to " + std::to_string(used) + " (2 images, " +
                                 std::to_string(cores) + (cores == 1 ? " core)\n" : " cores)\n"),
                             0),
              0u)
        << many.err;
    const ToolRun one = folder.run({"--seed", "5", "--jobs", "1", "--csv", "one.csv", "p1.jpg", "p2.jpg"});
    ASSERT_EQ(one.status, 0) << one.err;
    EXPECT_EQ(one.err, "1/2 p1.jpg\n2/2 p2.jpg\n");
    // The number of jobs changes no row.
    const auto manyRows = lines(readFile(folder.path() / "many.csv")), oneRows = lines(readFile(folder.path() / "one.csv"));
    ASSERT_EQ(manyRows.size(), 3u);
    ASSERT_EQ(oneRows.size(), 3u);
    for (std::size_t i = 1; i < 3; ++i) EXPECT_EQ(undated(manyRows[i]), undated(oneRows[i]));
}

// The marks files a run reads hold the samples: no --csv or --json replaces one, in a batch (the
// marks beside each photograph) or with --marks, and they are left as they were. --save-marks may
// rewrite the --marks file the samples came from.
TEST(CliMarks, NoOutputReplacesAMarksFileTheRunReads) {
    Folder folder("marks-as-output");
    placePhoto(folder, morph::testdata::lesionReference(), "p1");
    placePhoto(folder, morph::testdata::lesionReference(), "p2");
    const std::string marks = readFile(folder.file("p2.marks.json"));
    for (const std::string option : {"--csv", "--json"}) {
        std::vector<std::string> args = {"p1.jpg", "p2.jpg", option, "./p2.marks.json"};
        if (option == std::string("--json")) args.insert(args.end(), {"--csv", "r.csv"});
        const ToolRun batch = folder.run(args);
        EXPECT_EQ(batch.status, 2) << batch.err;
        EXPECT_NE(batch.err.find(option + " ./p2.marks.json is the input marks file p2.marks.json itself"),
                  std::string::npos)
            << batch.err;
        const ToolRun one = folder.run({"p1.jpg", "--marks", "p2.marks.json", "--seed", "3", option, "p2.marks.json"});
        EXPECT_EQ(one.status, 2) << one.err;
        EXPECT_NE(one.err.find(option + " p2.marks.json is the input marks file p2.marks.json itself"),
                  std::string::npos)
            << one.err;
        EXPECT_TRUE(one.out.empty()) << one.out;  // refused before the analysis
    }
    EXPECT_EQ(readFile(folder.file("p2.marks.json")), marks);
    EXPECT_FALSE(fs::exists(folder.path() / "p2.marks.json.resume"));
    const ToolRun resaved = folder.run({"p1.jpg", "--marks", "p1.marks.json", "--seed", "3", "--save-marks", "p1.marks.json"});
    EXPECT_EQ(resaved.status, 0) << resaved.err;
    EXPECT_EQ(readMarks(folder.file("p1.marks.json")).seed, uint64_t{3});
}

}  // namespace
}  // namespace lesionmeter

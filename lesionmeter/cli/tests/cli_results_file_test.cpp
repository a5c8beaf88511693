// lesionmeter-cli --csv as an append to a results file other runs and the window also write: a
// row is whole or absent (a full disk takes nothing of it), a cut last line is ended first, a
// file with another header is refused, and one run at a time appends (another waits, or with
// --no-wait is refused).

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "lesionmeter/results_row.hpp"
#include "testdata/reference_data.hpp"
#include "testdata/tool_run.hpp"

namespace lesionmeter::cli {
namespace {

namespace fs = std::filesystem;
using morph::testdata::readFile;
using morph::testdata::ToolRun;

fs::path scratchFolder(const std::string& name) {
    auto p = fs::temp_directory_path() / ("lesionmeter-cli-csv-" + std::to_string(::getpid()) + "-" + name);
    fs::remove_all(p);
    fs::create_directories(p);
    fs::copy_file(morph::testdata::lesionSample().image, p / "me.jpg");
    return p;
}

void writeFile(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

// The sample's samples and centre on "me.jpg" with a seed, appended to results.csv, then `extra`.
std::vector<std::string> csvArguments(const std::vector<std::string>& extra = {}) {
    const auto& s = morph::testdata::lesionSample();
    std::vector<std::string> args = {"me.jpg", "--seed", std::to_string(s.seed), "--csv", "results.csv"};
    const auto position = [](morph::testdata::Click c) { return std::to_string(c.x) + "," + std::to_string(c.y); };
    for (auto c : s.in) args.insert(args.end(), {"--in", position(c)});
    for (auto c : s.out) args.insert(args.end(), {"--out", position(c)});
    args.insert(args.end(), {"--centre", position(s.centre)});
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

std::size_t fieldsOf(const std::string& line) {
    std::size_t n = 1;
    for (char c : line) n += c == ',';
    return n;
}

// The tool started in `folder` (stdout to /dev/null, stderr to stderr.txt there), with files
// limited to `fileSizeLimit` bytes when that is not 0.
pid_t startTool(const fs::path& folder, const std::vector<std::string>& args, rlim_t fileSizeLimit = 0) {
    return morph::testdata::startTool(LESIONMETER_CLI_PATH, folder, args, fileSizeLimit);
}

using morph::testdata::finishTool;

TEST(LesionmeterCliResultsFile, ARowThatDoesNotFitIsTakenBackLeavingTheEarlierRows) {
    const auto folder = scratchFolder("full");
    const ToolRun first = morph::testdata::runTool(LESIONMETER_CLI_PATH, folder, csvArguments());
    ASSERT_EQ(first.status, 0) << first.err;
    const std::string before = readFile(folder / "results.csv");
    ASSERT_EQ(linesOf(before).size(), 2u);
    // Room for 40 more bytes: the row (some 300 bytes) starts and cannot be finished.
    const ToolRun cut = finishTool(startTool(folder, csvArguments(), before.size() + 40), folder);
    EXPECT_EQ(cut.status, 1) << cut.err;
    EXPECT_NE(cut.err.find("Cannot write the results file (File too large): results.csv"), std::string::npos)
        << cut.err;
    EXPECT_EQ(readFile(folder / "results.csv"), before);
    fs::remove_all(folder);
}

TEST(LesionmeterCliResultsFile, ARowAfterACutLastLineStartsOnItsOwnLine) {
    const auto folder = scratchFolder("glued");
    const ToolRun first = morph::testdata::runTool(LESIONMETER_CLI_PATH, folder, csvArguments());
    ASSERT_EQ(first.status, 0) << first.err;
    std::string cutFile = readFile(folder / "results.csv");
    cutFile.pop_back();  // the last row lost its line end
    writeFile(folder / "results.csv", cutFile);
    const ToolRun second = morph::testdata::runTool(LESIONMETER_CLI_PATH, folder, csvArguments());
    ASSERT_EQ(second.status, 0) << second.err;
    const std::string text = readFile(folder / "results.csv");
    EXPECT_EQ(text.rfind(cutFile + "\n", 0), 0u);
    const auto rows = linesOf(text);
    ASSERT_EQ(rows.size(), 3u) << text;
    for (const std::string& row : rows) EXPECT_EQ(fieldsOf(row), 30u) << row;
    EXPECT_EQ(text.back(), '\n');
    fs::remove_all(folder);
}

TEST(LesionmeterCliResultsFile, AFileWithAnotherHeaderIsRefusedBeforeTheWorkNamingBoth) {
    const auto folder = scratchFolder("header");
    const std::string texture = "NAME,Monochrome--FR-AVE,FR-Standard deviation\r\nPskin.jpg,2.1,0.1\r\n";
    writeFile(folder / "results.csv", texture);
    const ToolRun run = morph::testdata::runTool(LESIONMETER_CLI_PATH, folder, csvArguments());
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_NE(run.err.find("lesionmeter-cli: Cannot append to the results file results.csv: its first line is not "
                           "this file's header, so no row is added (first line: \"NAME,Monochrome--FR-AVE,FR-Standard "
                           "deviation\"; header: \"" +
                           resultsHeader() + "\")"),
              std::string::npos)
        << run.err;
    EXPECT_TRUE(run.out.empty()) << run.out;  // refused before the analysis
    EXPECT_EQ(readFile(folder / "results.csv"), texture);
    // A batch is refused the same way.
    writeFile(folder / "me.marks.json", "");
    const ToolRun batch = morph::testdata::runTool(LESIONMETER_CLI_PATH, folder, {"--csv", "results.csv", "me.jpg"});
    EXPECT_EQ(batch.status, 2) << batch.err;
    EXPECT_NE(batch.err.find("its first line is not this file's header"), std::string::npos) << batch.err;
    EXPECT_EQ(readFile(folder / "results.csv"), texture);
    fs::remove_all(folder);
}

TEST(LesionmeterCliResultsFile, ARunWaitsForAnotherWriterOrWithNoWaitIsRefused) {
    const auto folder = scratchFolder("lock");
    const ToolRun first = morph::testdata::runTool(LESIONMETER_CLI_PATH, folder, csvArguments());
    ASSERT_EQ(first.status, 0) << first.err;
    const std::string before = readFile(folder / "results.csv");
    // Another writer holds the file.
    const int held = ::open((folder / "results.csv").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);

    const ToolRun refused = morph::testdata::runTool(LESIONMETER_CLI_PATH, folder, csvArguments({"--no-wait"}));
    EXPECT_EQ(refused.status, 2) << refused.err;
    EXPECT_NE(refused.err.find("lesionmeter-cli: the results file results.csv is being written by another run"),
              std::string::npos)
        << refused.err;
    EXPECT_TRUE(refused.out.empty()) << refused.out;
    EXPECT_EQ(readFile(folder / "results.csv"), before);

    const pid_t waiting = startTool(folder, csvArguments());
    std::string note;
    for (int i = 0; i < 1200 && note.find("waiting") == std::string::npos; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        note = readFile(folder / "stderr.txt");
    }
    EXPECT_NE(note.find("lesionmeter-cli: waiting for another run to finish writing the results file results.csv"),
              std::string::npos)
        << note;
    EXPECT_EQ(readFile(folder / "results.csv"), before);  // nothing written while the other holds it
    ::close(held);
    const ToolRun after = finishTool(waiting, folder);
    EXPECT_EQ(after.status, 0) << after.err;
    const std::string text = readFile(folder / "results.csv");
    EXPECT_EQ(text.rfind(before, 0), 0u);
    EXPECT_EQ(linesOf(text).size(), 3u) << text;
    fs::remove_all(folder);
}

TEST(LesionmeterCliResultsFile, AnExistingPhotographNamedAsAnyOutputIsRefusedAndUnchanged) {
    const auto folder = scratchFolder("victim");
    fs::copy_file(folder / "me.jpg", folder / "victim.jpg");
    const std::string victim = readFile(folder / "victim.jpg");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"--save-map", "--save-map victim.jpg is an existing JPEG picture; it is not replaced"},
        {"--save-outline", "--save-outline victim.jpg is an existing JPEG picture; it is not replaced"},
        {"--save-marks", "--save-marks victim.jpg is a JPEG picture, not a marks file; it is not replaced"},
        {"--csv", "--csv victim.jpg is a JPEG picture, not a CSV file; it is not replaced"},
        {"--json", "--json victim.jpg is a JPEG picture, not a JSON file; it is not replaced"}};
    for (const auto& [option, message] : cases) {
        std::vector<std::string> args = csvArguments();
        args[4] = "other.csv";
        args.insert(args.end(), {option, "victim.jpg"});
        if (option == "--csv") args.erase(args.begin() + 3, args.begin() + 5);
        const ToolRun run = morph::testdata::runTool(LESIONMETER_CLI_PATH, folder, args);
        EXPECT_EQ(run.status, 2) << option << ": " << run.err;
        EXPECT_NE(run.err.find("lesionmeter-cli: " + message), std::string::npos) << run.err;
        EXPECT_TRUE(run.out.empty()) << option << ": " << run.out;  // refused before the analysis
        EXPECT_EQ(readFile(folder / "victim.jpg"), victim) << option;
    }
    EXPECT_FALSE(fs::exists(folder / "other.csv"));
    fs::remove_all(folder);
}

}  // namespace
}  // namespace lesionmeter::cli

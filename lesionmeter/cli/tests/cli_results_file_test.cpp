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
#include "cli_support.hpp"
#include "testdata/reference_data.hpp"
#include "testdata/tool_run.hpp"

namespace lesionmeter::cli {
namespace {

namespace fs = std::filesystem;
using morph::testdata::readFile;
using morph::testdata::ToolRun;

// A private folder with a copy of the sample photograph, "me.jpg".
struct Folder : cli_tests::Folder {
    explicit Folder(const std::string& name) : cli_tests::Folder("csv-" + name) {
        fs::copy_file(morph::testdata::lesionSample().image, path() / "me.jpg");
    }
};

void writeFile(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

// The sample's samples and centre on "me.jpg" with a seed, appended to results.csv, then `extra`.
std::vector<std::string> csvArguments(const std::vector<std::string>& extra = {}) {
    const auto& s = morph::testdata::lesionSample();
    std::vector<std::string> args = {"me.jpg", "--seed", std::to_string(s.seed), "--csv", "results.csv"};
    const std::vector<std::string> samples = cli_tests::sampleOptions(s);
    args.insert(args.end(), samples.begin(), samples.end());
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

TEST(LesionmeterCliResultsFile, ARowThatDoesNotFitIsTakenBackLeavingTheEarlierRows) {
    const Folder folder("full");
    const ToolRun first = folder.run(csvArguments());
    ASSERT_EQ(first.status, 0) << first.err;
    const std::string before = readFile(folder.path() / "results.csv");
    ASSERT_EQ(linesOf(before).size(), 2u);
    // Room for 40 more bytes: the row (some 300 bytes) starts and cannot be finished.
    const ToolRun cut = folder.finish(folder.start(csvArguments(), before.size() + 40));
    EXPECT_EQ(cut.status, 1) << cut.err;
    EXPECT_NE(cut.err.find("Cannot write the results file (File too large): results.csv"), std::string::npos)
        << cut.err;
    EXPECT_EQ(readFile(folder.path() / "results.csv"), before);
}

TEST(LesionmeterCliResultsFile, ARowAfterACutLastLineStartsOnItsOwnLine) {
    const Folder folder("glued");
    const ToolRun first = folder.run(csvArguments());
    ASSERT_EQ(first.status, 0) << first.err;
    std::string cutFile = readFile(folder.path() / "results.csv");
    cutFile.pop_back();  // the last row lost its line end
    writeFile(folder.path() / "results.csv", cutFile);
    const ToolRun second = folder.run(csvArguments());
    ASSERT_EQ(second.status, 0) << second.err;
    const std::string text = readFile(folder.path() / "results.csv");
    EXPECT_EQ(text.rfind(cutFile + "\n", 0), 0u);
    const auto rows = linesOf(text);
    ASSERT_EQ(rows.size(), 3u) << text;
    for (const std::string& row : rows) EXPECT_EQ(fieldsOf(row), 30u) << row;
    EXPECT_EQ(text.back(), '\n');
}

TEST(LesionmeterCliResultsFile, AFileWithAnotherHeaderIsRefusedBeforeTheWorkNamingBoth) {
    const Folder folder("header");
    const std::string texture = "NAME,Monochrome--FR-AVE,FR-Standard deviation\r\nPskin.jpg,2.1,0.1\r\n";
    writeFile(folder.path() / "results.csv", texture);
    const ToolRun run = folder.run(csvArguments());
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_NE(run.err.find("lesionmeter-cli: Cannot append to the results file results.csv: its first line is not "
                           "this file's header, so no row is added (first line: \"NAME,Monochrome--FR-AVE,FR-Standard "
                           "deviation\"; header: \"" +
                           resultsHeader() + "\")"),
              std::string::npos)
        << run.err;
    EXPECT_TRUE(run.out.empty()) << run.out;  // refused before the analysis
    EXPECT_EQ(readFile(folder.path() / "results.csv"), texture);
    // A batch is refused the same way.
    writeFile(folder.path() / "me.marks.json", "");
    const ToolRun batch = folder.run({"--csv", "results.csv", "me.jpg"});
    EXPECT_EQ(batch.status, 2) << batch.err;
    EXPECT_NE(batch.err.find("its first line is not this file's header"), std::string::npos) << batch.err;
    EXPECT_EQ(readFile(folder.path() / "results.csv"), texture);
}

TEST(LesionmeterCliResultsFile, ARunWaitsForAnotherWriterOrWithNoWaitIsRefused) {
    const Folder folder("lock");
    const ToolRun first = folder.run(csvArguments());
    ASSERT_EQ(first.status, 0) << first.err;
    const std::string before = readFile(folder.path() / "results.csv");
    // Another writer holds the file.
    const int held = ::open((folder.path() / "results.csv").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);

    const ToolRun refused = folder.run(csvArguments({"--no-wait"}));
    EXPECT_EQ(refused.status, 2) << refused.err;
    EXPECT_NE(refused.err.find("lesionmeter-cli: the results file results.csv is being written by another run"),
              std::string::npos)
        << refused.err;
    EXPECT_TRUE(refused.out.empty()) << refused.out;
    EXPECT_EQ(readFile(folder.path() / "results.csv"), before);

    const pid_t waiting = folder.start(csvArguments());
    std::string note;
    for (int i = 0; i < 1200 && note.find("waiting") == std::string::npos; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        note = readFile(folder.path() / "stderr.txt");
    }
    EXPECT_NE(note.find("lesionmeter-cli: waiting for another run to finish writing the results file results.csv"),
              std::string::npos)
        << note;
    EXPECT_EQ(readFile(folder.path() / "results.csv"), before);  // nothing written while the other holds it
    ::close(held);
    const ToolRun after = folder.finish(waiting);
    EXPECT_EQ(after.status, 0) << after.err;
    const std::string text = readFile(folder.path() / "results.csv");
    EXPECT_EQ(text.rfind(before, 0), 0u);
    EXPECT_EQ(linesOf(text).size(), 3u) << text;
}

TEST(LesionmeterCliResultsFile, AnExistingPhotographNamedAsAnyOutputIsRefusedAndUnchanged) {
    const Folder folder("victim");
    fs::copy_file(folder.path() / "me.jpg", folder.path() / "victim.jpg");
    const std::string victim = readFile(folder.path() / "victim.jpg");
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
        const ToolRun run = folder.run(args);
        EXPECT_EQ(run.status, 2) << option << ": " << run.err;
        EXPECT_NE(run.err.find("lesionmeter-cli: " + message), std::string::npos) << run.err;
        EXPECT_TRUE(run.out.empty()) << option << ": " << run.out;  // refused before the analysis
        EXPECT_EQ(readFile(folder.path() / "victim.jpg"), victim) << option;
    }
    EXPECT_FALSE(fs::exists(folder.path() / "other.csv"));
}

}  // namespace
}  // namespace lesionmeter::cli

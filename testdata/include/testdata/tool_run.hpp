#pragma once
// Running a command-line tool from a test: its exit status and what it printed, and reading the
// files it wrote (whole, as lines, as comma-separated cells, as JSON).

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace morph::testdata {

struct ToolRun {
    int status = -1;  // the exit status, -1 when the tool did not exit normally
    std::string out;
    std::string err;
};

// The whole content of a file, or "" when it cannot be read.
inline std::string readFile(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

// The lines of a text, split at '\n'; a '\r' before it stays (as in a CRLF file read as it is).
inline std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

// The lines of a text with the '\r' of CRLF line ends dropped.
inline std::vector<std::string> linesWithoutCr(const std::string& text) {
    std::vector<std::string> out = lines(text);
    for (std::string& line : out)
        if (!line.empty() && line.back() == '\r') line.pop_back();
    return out;
}

// The cells of a comma-separated line; a line ending in ',' has an empty last cell.
inline std::vector<std::string> csvCells(const std::string& line) {
    std::vector<std::string> cells;
    std::istringstream in(line);
    for (std::string cell; std::getline(in, cell, ',');) cells.push_back(cell);
    if (!line.empty() && line.back() == ',') cells.emplace_back();
    return cells;
}

// The JSON document of a file, its keys in the file's order; a file that is not JSON throws the
// parser's error, which fails the test.
inline nlohmann::ordered_json readJson(const std::filesystem::path& p) {
    return nlohmann::ordered_json::parse(readFile(p));
}

// Runs `program` with the arguments in `folder`; stdout and stderr are captured through the files
// stdout.txt and stderr.txt there.
inline ToolRun runTool(const std::string& program, const std::filesystem::path& folder,
                       const std::vector<std::string>& args) {
    std::string command = "cd '" + folder.string() + "' && '" + program + "'";
    for (const auto& a : args) command += " '" + a + "'";
    command += " >stdout.txt 2>stderr.txt";
    ToolRun r;
    const int raw = std::system(command.c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = readFile(folder / "stdout.txt");
    r.err = readFile(folder / "stderr.txt");
    return r;
}

}  // namespace morph::testdata

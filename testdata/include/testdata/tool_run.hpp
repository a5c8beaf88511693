#pragma once
// Running a command-line tool from a test: its exit status and what it printed, and reading the
// files it wrote (whole, as lines, as comma-separated cells, as JSON). A tool can also be started
// and left running, for a test that acts on it meanwhile (holds its results file, interrupts it).

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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

// Starts `program` with the arguments in `folder` and leaves it running: stdout goes to /dev/null,
// stderr to stderr.txt there. With `fileSizeLimit` (not 0) the files it writes are limited to
// that many bytes, SIGXFSZ ignored, so that a write past it fails with "File too large".
// Returns its process id, for finishTool.
inline pid_t startTool(const std::string& program, const std::filesystem::path& folder,
                       const std::vector<std::string>& args, rlim_t fileSizeLimit = 0) {
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    if (::chdir(folder.c_str()) != 0) ::_exit(127);
    const int out = ::open("/dev/null", O_WRONLY);
    const int err = ::open("stderr.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0) ::_exit(127);
    ::dup2(out, STDOUT_FILENO);
    ::dup2(err, STDERR_FILENO);
    if (fileSizeLimit > 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = fileSizeLimit;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    std::vector<char*> argv;
    std::string name = program;
    argv.push_back(name.data());
    std::vector<std::string> copies = args;
    for (std::string& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(name.c_str(), argv.data());
    ::_exit(127);
}

// Waits for a tool started in `folder` by startTool: its exit status and what it wrote on stderr.
inline ToolRun finishTool(pid_t pid, const std::filesystem::path& folder) {
    int raw = 0;
    ::waitpid(pid, &raw, 0);
    ToolRun r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.err = readFile(folder / "stderr.txt");
    return r;
}

}  // namespace morph::testdata

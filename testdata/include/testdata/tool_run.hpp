#pragma once
// Running a command-line tool from a test: its exit status and what it printed, and reading the
// files it wrote (whole, as lines, as comma-separated cells, as JSON). A tool can also be started
// and left running, for a test that acts on it meanwhile (holds its results file, interrupts it).

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "testdata/scratch_folder.hpp"

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

// How a program started by startProcess is set up: its working folder ("" keeps this one), where
// its stdout and stderr go (paths relative to that folder), and, when not 0, a limit on the size of
// the files it writes (SIGXFSZ ignored, so that a write past it fails with "File too large").
struct ProcessSetup {
    std::filesystem::path folder;
    std::string out = "/dev/null";
    std::string err = "/dev/null";
    rlim_t fileSizeLimit = 0;
};

// Starts program `args[0]` (looked up in PATH when it names no folder) with the other arguments,
// and leaves it running. Returns its process id, for waitProcess.
inline pid_t startProcess(const std::vector<std::string>& args, const ProcessSetup& setup = {}) {
    // Everything the child needs is made before the fork; the child only calls the system.
    std::vector<std::string> copies = args;
    std::vector<char*> argv;
    for (std::string& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string folder = setup.folder.string();
    // The child must not write out again what this process has buffered.
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    if (!folder.empty() && ::chdir(folder.c_str()) != 0) ::_exit(127);
    const int out = ::open(setup.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(setup.err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0) ::_exit(127);
    ::dup2(out, STDOUT_FILENO);
    ::dup2(err, STDERR_FILENO);
    if (setup.fileSizeLimit > 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = setup.fileSizeLimit;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ::execvp(argv[0], argv.data());
    ::_exit(127);
}

// How a started program ended: its exit status (-1 when it did not exit normally) and the
// resources it used.
struct ProcessEnd {
    int status = -1;
    rusage usage{};
};

inline ProcessEnd waitProcess(pid_t pid) {
    ProcessEnd end;
    int raw = 0;
    ::wait4(pid, &raw, 0, &end.usage);
    end.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return end;
}

// Runs `program` with the arguments in `folder`; stdout and stderr are captured through the files
// stdout.txt and stderr.txt there.
inline ToolRun runTool(const std::string& program, const std::filesystem::path& folder,
                       const std::vector<std::string>& args) {
    std::vector<std::string> command = {program};
    command.insert(command.end(), args.begin(), args.end());
    ToolRun r;
    r.status = waitProcess(startProcess(command, {folder, "stdout.txt", "stderr.txt"})).status;
    r.out = readFile(folder / "stdout.txt");
    r.err = readFile(folder / "stderr.txt");
    return r;
}

// Starts `program` with the arguments in `folder` and leaves it running: stdout goes to /dev/null,
// stderr to stderr.txt there; files limited to `fileSizeLimit` bytes when that is not 0 (see
// ProcessSetup). Returns its process id, for finishTool.
inline pid_t startTool(const std::string& program, const std::filesystem::path& folder,
                       const std::vector<std::string>& args, rlim_t fileSizeLimit = 0) {
    std::vector<std::string> command = {program};
    command.insert(command.end(), args.begin(), args.end());
    return startProcess(command, {folder, "/dev/null", "stderr.txt", fileSizeLimit});
}

// Waits for a tool started in `folder` by startTool: its exit status and what it wrote on stderr.
inline ToolRun finishTool(pid_t pid, const std::filesystem::path& folder) {
    ToolRun r;
    r.status = waitProcess(pid).status;
    r.err = readFile(folder / "stderr.txt");
    return r;
}

// A scratch folder in which one tool runs.
class ToolFolder : public ScratchFolder {
public:
    ToolFolder(std::string program, const std::string& label) : ScratchFolder(label), program_(std::move(program)) {}
    // Runs the tool here with the arguments (see runTool).
    ToolRun run(const std::vector<std::string>& args) const { return runTool(program_, path(), args); }
    // Starts the tool here and leaves it running (see startTool); finish() waits for it.
    pid_t start(const std::vector<std::string>& args, rlim_t fileSizeLimit = 0) const {
        return startTool(program_, path(), args, fileSizeLimit);
    }
    ToolRun finish(pid_t pid) const { return finishTool(pid, path()); }

private:
    std::string program_;
};

// The first row of a comma-separated file with a header line, as column name -> cell (the '\r' of
// CRLF line ends dropped). A row with another number of cells than the header throws, which fails
// the test.
inline std::map<std::string, std::string> csvRow(const std::filesystem::path& file) {
    const std::vector<std::string> rows = linesWithoutCr(readFile(file));
    const std::vector<std::string> names = rows.empty() ? std::vector<std::string>() : csvCells(rows[0]);
    const std::vector<std::string> cells = rows.size() < 2 ? std::vector<std::string>() : csvCells(rows[1]);
    if (names.size() != cells.size())
        throw std::runtime_error(file.string() + ": " + std::to_string(cells.size()) + " cells under " +
                                 std::to_string(names.size()) + " names in its first row");
    std::map<std::string, std::string> out;
    for (std::size_t i = 0; i < names.size(); ++i) out[names[i]] = cells[i];
    return out;
}

// Polls every millisecond until `ready()` holds, then kills the process with SIGKILL and reaps it.
// False when the process ended by itself first (it is reaped too).
inline bool killWhen(pid_t pid, const std::function<bool()>& ready) {
    for (;;) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) return false;
        if (ready()) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// The number of whole lines (line ends) of a file; 0 when it cannot be read.
inline std::size_t lineEnds(const std::filesystem::path& p) {
    const std::string text = readFile(p);
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

// Starts `program`'s batch in `folder` and kills it with SIGKILL once its batch journal records
// `done` photographs (the journal's first line is the batch's identity). Says whether it was
// killed (false: the batch ended by itself first) and how many photographs the journal records.
struct KilledBatch {
    bool killed = false;
    std::size_t recorded = 0;
};
inline KilledBatch killAfter(const std::string& program, const std::filesystem::path& folder,
                             const std::filesystem::path& journal, const std::vector<std::string>& args,
                             std::size_t done) {
    const pid_t pid = startTool(program, folder, args);
    const bool killed = killWhen(pid, [&] { return lineEnds(journal) >= done + 1; });
    const std::size_t lines = lineEnds(journal);
    return {killed, lines == 0 ? 0 : lines - 1};
}

// The SHA-256 of a file by coreutils' sha256sum (64 hex digits; empty when it cannot be read),
// independent of the tools' own digest.
inline std::string sha256sum(const std::filesystem::path& file) {
    std::string digest;
    if (std::FILE* p = ::popen(("sha256sum '" + file.string() + "'").c_str(), "r")) {
        char buffer[128] = {};
        if (std::fgets(buffer, sizeof buffer, p)) digest = std::string(buffer).substr(0, 64);
        if (::pclose(p) != 0) digest.clear();
    }
    return digest;
}

}  // namespace morph::testdata

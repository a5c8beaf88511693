#pragma once
// Running a command-line tool from a test: its exit status and what it printed, and reading the
// files it wrote.

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

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

#pragma once
// What both command-line tools do with their command line: a usage error (an unknown option, a
// missing photograph, a value out of range or of the wrong kind) ends the tool with exit status 2
// and a message that starts with the program's name; --help ends it with status 0. Header only,
// for the tools that parse with CLI11.

#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>

namespace imaging {

// The exit status of every usage error of the tools.
inline constexpr int kUsageErrorStatus = 2;

// Parses the command line into `app`. Returns the status the tool ends with when it ends here: 0
// after --help (printed on stdout), kUsageErrorStatus after a usage error, written on stderr as
// "PROGRAM: message (see PROGRAM --help)". Returns nothing when the run goes on.
inline std::optional<int> parseCommandLine(CLI::App& app, const std::string& program, int argc, char** argv) {
    try {
        app.parse(argc, argv);
        return std::nullopt;
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) return app.exit(e);
        std::cerr << program << ": " << e.what() << " (see " << program << " --help)\n";
        return kUsageErrorStatus;
    }
}

// A check that an option's text is a plain whole number within [low, high] (no sign, no
// fraction, no exponent), with a plain message: "must be a whole number from 1..4096, not "0"".
inline CLI::Validator wholeNumberIn(uint64_t low, uint64_t high) {
    const std::string range = std::to_string(low) + ".." + std::to_string(high);
    return CLI::Validator(
        [=](std::string& text) -> std::string {
            const std::string refusal = "must be a whole number from " + range + ", not \"" + text + "\"";
            if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return refusal;
            errno = 0;
            const unsigned long long v = std::strtoull(text.c_str(), nullptr, 10);
            if (errno == ERANGE || v < low || v > high) return refusal;
            return "";
        },
        range);
}

}  // namespace imaging

#pragma once
// The machine-readable report of a command-line run (--json): the pieces both programs share.
// A report is one JSON document:
//   { "program", "version", "parameters": {...}, "seed", "seedSource": "option" | "clock",
//     "images": [ { "name", "path", "sizeBytes", "sha256", "measurements": {...} | "error" } ] }
// Numbers are written so that they read back exactly: a double as its shortest round-trip text,
// a single-precision value as the exact value it holds (converted to double without rounding).

#include <cstdint>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace imaging {

// A JSON value whose objects keep their names in the order they were added.
using Json = nlohmann::ordered_json;

// The size and SHA-256 digest (lower-case hex) of a file's content: which file was measured.
struct FileIdentity {
    std::uintmax_t sizeBytes = 0;
    std::string sha256;
};

// Reads the whole file; "File not found: NAME" or a file error when it cannot be read.
FileIdentity identifyFile(const std::string& path);

// SHA-256 of bytes as 64 lower-case hex digits.
std::string sha256Hex(std::string_view bytes);

// A single-precision measurement as its exact value.
inline Json exactNumber(float v) { return static_cast<double>(v); }
inline Json exactNumber(double v) { return v; }

// The image entry of a report without its measurements: name (as the results name it), path as
// given, size and digest. A file that cannot be read gets no size and digest; the caller reports
// the error under "error".
Json imageEntry(const std::string& name, const std::string& path);

// The version of the programs, as the build names it.
std::string_view programVersion();

// Writes the document (two-space indent, final line end) to `path` as one whole (a temporary
// file beside it, renamed into place: a failed write leaves the previous file). Failures are
// file errors naming the file and the system's reason.
void writeJsonFile(const std::string& path, const Json& document);

}  // namespace imaging

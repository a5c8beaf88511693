#pragma once
// The --json report of a lesionmeter-cli run: one document with the program, its version, every
// parameter, the seed in use and, per photograph, what it is (name, path, size, SHA-256), the
// seed it used and its named measurements (with the fits behind the dimensions), or its error:
//   {"program": "lesionmeter-cli", "version", "parameters": {...}, "seed", "seedSource",
//    "images": [{"name", "path", "sizeBytes", "sha256", "seed", "seedSource", "scale",
//                "exifOrientation", "measurements": {...}, "error"}]}
// "seedSource" is "option" (--seed), "marks" (the marks file's seed) or "clock" (drawn for this
// run and printed on stderr); a batch without --seed has "seed": null at the top and
// "seedSource": "each image", each photograph then telling its own.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "lesionmeter/measurements_json.hpp"
#include "scripted_analysis.hpp"

namespace lesionmeter::cli {

// The parameters of a run as given on the command line.
struct RunParameters {
    std::vector<Position> in, out;
    std::optional<Position> centre;
    std::string marks;
    bool fit = false;
    std::optional<uint64_t> seed;
    unsigned jobs = 0;
    std::string csv, saveMap, saveOutline, saveMarks;
};

// What one photograph gave: its measurements (when the analysis ran), the fits behind them, the
// seed and where it came from, the reduction scale, and the error that ended it (if any).
struct ImageOutcome {
    std::string path;
    std::optional<LesionMeasurements> measurements;
    std::optional<FractalFits> fits;
    std::optional<uint64_t> seed;
    std::string seedSource;
    std::optional<double> scale;
    int exifOrientation = 0;  // as the photograph's Exif block records it (0: none, or not a JPEG)
    std::string error;
};

Json reportHead(const RunParameters& parameters, std::optional<uint64_t> seed, const std::string& seedSource);
Json reportImage(const ImageOutcome& outcome);

}  // namespace lesionmeter::cli

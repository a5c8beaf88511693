#pragma once
// Several photographs in one run: each DIR/NAME.EXT analysed with the marks of
// DIR/NAME.marks.json, in parallel, its row appended to the results file in input order.

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "imaging/file_output.hpp"
#include "lesionmeter/results_row.hpp"
#include "report.hpp"

namespace lesionmeter::cli {

struct Batch {
    std::vector<std::string> photos;
    std::string csv;
    // The results file, when it was opened (and locked) before the batch; otherwise it is opened
    // at the first row. Another run writing it is waited for, or refused, as `whenLocked` says.
    ResultsRowFile* csvFile = nullptr;
    imaging::LockWait whenLocked;
    // With a seed every photograph's run uses it (its numbers then depend only on the seed and
    // its marks); without one, the marks' seed, or a seed of its own drawn from the clock.
    std::optional<uint64_t> seed;
    bool fit = false;
    unsigned jobs = 0;   // 0: one per core
    // When set, receives each photograph's outcome in input order (the --json report).
    std::vector<ImageOutcome>* outcomes = nullptr;
};

// Runs the batch. Rows are appended as soon as every earlier photograph is done; a photograph
// that fails is named on `errors` and gets no row. `progress` receives an updating bar when
// `terminal` is set, whole lines otherwise (nothing when null). Returns the number of failures.
int runBatch(const Batch& batch, std::ostream& errors, std::ostream* progress, bool terminal);

}  // namespace lesionmeter::cli

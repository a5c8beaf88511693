#pragma once
// Several photographs in one run: each DIR/NAME.EXT analysed with the marks of
// DIR/NAME.marks.json, in parallel, its row appended to the results file in input order.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "imaging/batch.hpp"
#include "imaging/batch_journal.hpp"
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
    // its marks); without one, the marks' seed, or the photo seed of its place in a batch whose
    // base seed is read from the clock once.
    std::optional<uint64_t> seed;
    // The batch's base seed from the clock (a resumed batch: the stopped run's); none: read now.
    std::optional<uint64_t> clockBase;
    bool fit = false;
    // Which photographs, on how many threads, and when to stop starting new ones (Ctrl-C).
    imaging::BatchPlan plan;
    // When set, receives each photograph's outcome in input order (the --json report).
    std::vector<ImageOutcome>* outcomes = nullptr;
    // When set, the batch journal: each photograph is recorded once its row is in the results
    // file and on the disk (with its --json entry when `journalReports`); after a failed write it
    // is closed, keeping the last whole entry. `resultsSizeBefore`: the results file's size before
    // the batch, the size recorded until the file is opened.
    imaging::BatchJournal* journal = nullptr;
    bool journalReports = false;
    long long resultsSizeBefore = 0;
};

// How a batch ended.
struct BatchEnd {
    int failures = 0;              // photographs that failed, and a failed write of the results file
    std::size_t notAnalysed = 0;   // photographs never started because the batch was interrupted
    bool writeFailed = false;      // a row could not be written (the journal keeps the last whole one)
};

// Runs the batch. Rows are appended as soon as every earlier photograph is done; a photograph
// that fails is named through `progress` and gets no row; `progress` advances after each one.
BatchEnd runBatch(const Batch& batch, imaging::BatchProgress& progress);

}  // namespace lesionmeter::cli

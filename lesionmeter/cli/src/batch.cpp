#include "batch.hpp"

#include <exception>

#include "imaging/exif_orientation.hpp"
#include "imaging/random.hpp"
#include "lesionmeter/marks.hpp"
#include "lesionmeter/results_row.hpp"
#include "scripted_analysis.hpp"

namespace lesionmeter::cli {

namespace {

// What one photograph gave: its row (none when it could not be analysed), its error and its
// entry of the report.
struct Outcome {
    std::string error;
    ResultsRecord record;
    ImageOutcome report;
};

// Every photograph starts from nothing: an analysis keeps no state between photographs.
struct NoWorkspace {};

Outcome analysePhotograph(const Batch& batch, std::size_t i, uint64_t clockBase) {
    Outcome outcome;
    outcome.report.path = batch.photos[i];
    // A given seed is every photograph's: reported even when the marks cannot be read.
    if (batch.seed) {
        outcome.report.seed = batch.seed;
        outcome.report.seedSource = "option";
    }
    try {
        const std::string& photo = batch.photos[i];
        ScriptedAnalysis script;
        script.image = photo;
        script.marksName.name = marksFileFor(photo);
        script.marks = readMarks(script.marksName.name);
        const imaging::ChosenSeed chosen = imaging::markedSeed(batch.seed, script.marks->seed, clockBase, i);
        script.seed = chosen.seed;
        outcome.report.seed = chosen.seed;
        outcome.report.seedSource = chosen.source;
        script.fit = batch.fit;
        AnalysisResults r = runScriptedAnalysis(script);
        if (!r.axisError.empty()) outcome.error = r.axisError;
        outcome.report.measurements = r.measurements;
        outcome.report.fits = r.fits;
        outcome.report.scale = r.record.marks.scale;
        outcome.report.exifOrientation = r.exifOrientation;
        outcome.record = std::move(r.record);
    } catch (const std::exception& e) {
        outcome.error = e.what();
        outcome.record = {};
    }
    outcome.report.error = outcome.error;
    return outcome;
}

}  // namespace

BatchEnd runBatch(const Batch& batch, imaging::BatchProgress& progress) {
    // One base seed from the clock per batch: a photograph without any seed is reported with the
    // photo seed of its place, which given back as --seed with the photograph alone repeats its row.
    const uint64_t clockBase = batch.clockBase ? *batch.clockBase : imaging::clockSeed();
    const auto say = [&](const std::string& line) { progress.message("lesionmeter-cli: " + line); };

    // Rows in input order, each written as soon as the photographs before it are done, into the
    // results file held (and locked) until the batch ends.
    ResultsRowFile ownFile;
    ResultsRowFile& csvFile = batch.csvFile ? *batch.csvFile : ownFile;
    BatchEnd end;
    std::string writeError;
    const auto analyse = [&](std::size_t i, NoWorkspace&) { return analysePhotograph(batch, i, clockBase); };
    const auto deliver = [&](std::size_t i, Outcome outcome) {
        const std::string& photo = batch.photos[i];
        const bool analysed = !outcome.record.photo.empty();
        if (const std::string turned = imaging::exifOrientationWarning(outcome.report.exifOrientation); !turned.empty())
            say(photo + ": warning: " + turned);
        if (analysed && outcome.report.seedSource == "clock")
            say(photo + ": seed " + std::to_string(*outcome.report.seed) + " (from the clock; --seed " +
                std::to_string(*outcome.report.seed) + " with this photograph alone repeats it)");
        if (!outcome.error.empty()) {
            ++end.failures;
            say(photo + ": " + outcome.error);
        }
        // A photograph whose "axis" found no outline keeps its other results.
        std::optional<long long> entryAt;
        if (analysed && writeError.empty()) {
            try {
                if (!csvFile.isOpen()) csvFile.open(batch.csv, batch.whenLocked);
                const std::size_t written = csvFile.append(outcome.record);
                entryAt = csvFile.output().size() - static_cast<long long>(written);
            } catch (const std::exception& e) {
                writeError = e.what();
            }
        }
        imaging::BatchJournal* journal = batch.journal;
        if (journal && journal->isOpen()) {
            try {
                if (!writeError.empty()) {
                    journal->close();
                } else {
                    imaging::JournaledItem item;
                    item.index = i;
                    item.name = photo;
                    item.failed = !outcome.error.empty();
                    if (batch.journalReports) item.report = reportImage(outcome.report);
                    item.entryAt = entryAt;
                    if (csvFile.isOpen()) {
                        csvFile.output().sync();
                        item.resultsSize = csvFile.output().size();
                    } else {
                        item.resultsSize = batch.resultsSizeBefore;
                    }
                    journal->record(item);
                }
            } catch (const std::exception& e) {
                say(std::string("warning: ") + e.what() + "; this batch cannot be resumed past photograph " +
                    std::to_string(i));
                journal->close();
            }
        }
        if (batch.outcomes) batch.outcomes->push_back(std::move(outcome.report));
        progress.advance(i + 1, photo);
    };
    imaging::BatchPlan plan = batch.plan;
    plan.count = batch.photos.size();
    end.notAnalysed = imaging::runBatch<NoWorkspace>(plan, analyse, deliver).notAnalysed;
    progress.finish();
    try {
        csvFile.close();
    } catch (const std::exception& e) {
        if (writeError.empty()) writeError = e.what();
    }
    if (!writeError.empty()) {
        end.writeFailed = true;
        say(writeError);
        ++end.failures;
    }
    return end;
}

}  // namespace lesionmeter::cli

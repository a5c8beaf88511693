// lesionmeter-cli: lesion analyses without a window. One photograph with its samples given on the
// command line or in a marks file, its results printed; or several photographs, each with its
// marks file beside it, analysed in parallel into one results file.

#include <CLI/CLI.hpp>

#include <exception>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "batch.hpp"
#include "imaging/batch_journal.hpp"
#include "imaging/command_line.hpp"
#include "imaging/errors.hpp"
#include "imaging/exif_orientation.hpp"
#include "imaging/file_output.hpp"
#include "imaging/output_guard.hpp"
#include "imaging/paths.hpp"
#include "lesionmeter/results_row.hpp"
#include "lesionmeter/marks.hpp"
#include "imaging/random.hpp"
#include "imaging/report.hpp"
#include "report.hpp"
#include "scripted_analysis.hpp"

namespace {

using namespace lesionmeter::cli;
using lesionmeter::Json;

constexpr const char* kDescription =
    "Lesion analysis: IN and OUT colour samples, \"Calc + Draw\", \"LINE\", \"Fractal calc\" and \"axis\".\n"
    "  lesionmeter-cli IMAGE --in X,Y ... --out X,Y ... [--centre X,Y]   samples given here\n"
    "  lesionmeter-cli IMAGE --marks FILE                                 samples of a marks file\n"
    "  lesionmeter-cli [--jobs N] --csv OUT.csv PHOTO...                  each PHOTO with its\n"
    "                                                                     DIR/NAME.marks.json";

constexpr const char* kFooter =
    "Which samples take part: \"Calc + Draw\" uses the first min(IN, OUT) samples of each class, at most 6 "
    "(with 3 --in and 5 --out, the first 3 of each); further samples are recorded (and kept in marks and "
    "rows) but do not take part. Positions are pixels of the photograph as analysed (0..width-1, "
    "0..height-1, rounded half to even like a click); one outside it is refused. No output may be one of "
    "the photographs, and no two outputs may name the same file; every output is checked writable before "
    "the analysis.\n"
    "Exit status: 0 when every photograph was analysed and written; 1 when an analysis failed (a photograph "
    "that cannot be read, a discriminant without a lesion pixel) or a write failed; 2 for a usage error (an "
    "unknown option, no photograph, a value out of range or of the wrong kind, a position off the "
    "photograph) or a refused output; 130 when interrupted (Ctrl-C): no new photograph is started, and the "
    "rows of those analysed are written.";

// Everything the command line gives, as given.
struct Options {
    std::vector<std::string> images, in, out;
    std::string centre, marksFile, saveMarks, saveMap, saveOutline, csv, json;
    std::optional<uint64_t> seed;
    bool fit = false;
    unsigned jobs = 0;
    bool noWait = false;
    bool resume = false;
    // Whether --centre and --marks were given (even empty).
    bool centreGiven = false, marksGiven = false;
};

// The usage: every option with its help text and its checks.
void declareOptions(CLI::App& app, Options& o) {
    app.footer(kFooter);
    app.set_version_flag("--version", "lesionmeter-cli " + std::string(imaging::programVersion()));
    app.add_option("IMAGE", o.images, "photograph(s) (JPEG or BMP)")->required();
    auto* in = app.add_option("--in", o.in, "an IN sample position X,Y (repeat for more samples, at most 50)")
                   ->take_all();
    auto* out = app.add_option("--out", o.out, "an OUT sample position X,Y (repeat for more samples, at most 50)")
                    ->take_all();
    auto* centre = app.add_option("--centre", o.centre, "reference centre X,Y (right click)");
    app.add_option("--marks", o.marksFile, "analyse with the samples and centre of a marks file")
        ->excludes(in)
        ->excludes(out)
        ->excludes(centre);
    app.add_option("--save-marks", o.saveMarks, "write the samples, centre and seed of the run as a marks file");
    app.add_option("--seed", o.seed,
                   "seed of \"Calc + Draw\", 0..18446744073709551615 (default: the marks' seed, else the clock's)")
        ->check(imaging::wholeNumberIn(0, UINT64_MAX));
    app.add_flag("--fit", o.fit, "reduce a photograph larger than 500 x 503 pixels to fit (area averaging)");
    app.add_option("--jobs", o.jobs, "photographs analysed at once (default: one per core)")
        ->check(CLI::Range(1u, 1024u));
    app.add_option("--save-map", o.saveMap, "write the lesion map (the \"B+W\" view, 313 x 305) as BMP");
    app.add_option("--save-outline", o.saveOutline, "write the outline (the \"LINE\" view, 313 x 305) as BMP");
    app.add_option("--csv", o.csv, "append the results as one row per photograph (header when the file is new)");
    app.add_flag("--no-wait", o.noWait,
                 "when another run is appending to the --csv file, refuse (exit status 2) instead of waiting");
    app.add_flag("--resume", o.resume,
                 "continue a batch that was stopped (Ctrl-C, killed, a failed write) with the same photographs, "
                 "marks, options and seed: the photographs done before, as the batch journal OUT.csv.resume beside "
                 "the --csv file records them, are skipped; the --csv file is cut back to its last whole row; the "
                 "--json report covers all photographs. A batch that finished removes its journal, so there is "
                 "nothing to resume (exit status 2)");
    app.add_option("--json", o.json,
                   "also write a JSON report: version, parameters, seed, and per photograph its size, SHA-256 and "
                   "measurements at full precision with the fits behind the dimensions, each with its 95 % fit "
                   "interval, or its error");
}

// The exit status of a batch stopped by Ctrl-C (128 + SIGINT, as a shell reports it).
constexpr int kInterruptedStatus = 130;

void say(const std::string& message) { std::cerr << "lesionmeter-cli: " << message << "\n"; }

// Writes the report, if asked for; false (after saying why) when it cannot be written.
bool writeReport(const std::string& json, const Json& report) {
    if (json.empty()) return true;
    try {
        imaging::writeJsonFile(json, report);
        return true;
    } catch (const std::exception& e) {
        say(e.what());
        return false;
    }
}

// Outputs are checked against the photographs and each other before any work.
bool outputsRefused(const std::vector<std::string>& images, const std::vector<std::string>& marksFiles,
                    const std::vector<Output>& outputs) {
    try {
        checkOutputs(images, marksFiles, outputs);
        return false;
    } catch (const std::exception& e) {
        say(e.what());
        return true;
    }
}

// The results file. One run at a time appends to it: an existing one is opened (and locked, its
// header checked) before any work; a new one when its first row is written.
struct ResultsOutput {
    lesionmeter::ResultsRowFile file;
    imaging::LockWait whenLocked;

    bool refused(const std::string& csv) {
        try {
            if (!csv.empty() && imaging::fileExists(csv)) file.open(csv, whenLocked);
            return false;
        } catch (const std::exception& e) {
            say(e.what());
            return true;
        }
    }
};

// The journal's identity of a batch: what must be the same for --resume to continue it. Each
// photograph is taken with its marks file, whose content is part of the batch.
imaging::BatchIdentity batchIdentity(const Options& o, std::optional<uint64_t> seed, uint64_t clockBase) {
    const Json parameters = {{"--fit", o.fit}, {"--csv", o.csv}, {"--json", o.json}};
    imaging::BatchIdentity id = imaging::batchIdentity("lesionmeter-cli", parameters, seed ? *seed : clockBase,
                                                       seed ? "option" : "clock", o.images);
    for (const std::string& photo : o.images) {
        Json marks;
        try {
            // Only a regular file is read for its digest: marks that come through a pipe can be
            // read once only, by the analysis.
            const std::string marksFile = lesionmeter::marksFileFor(photo);
            if (std::filesystem::is_regular_file(marksFile)) marks = imaging::identifyFile(marksFile).sha256;
        } catch (const std::exception&) {
            // A photograph without readable marks fails; it is the same batch as long as it still has none.
        }
        id.inputDetails.push_back(Json{{"marksSha256", marks}});
    }
    return id;
}

// What a batch takes from its journal: the journal is held (before the results file's lock), and
// for --resume read, checked against this batch and the results file cut back to it. False (after
// saying why) when the batch is refused.
struct JournalSetup {
    imaging::BatchJournal journal;
    imaging::ResumePoint resumed;
    std::optional<std::string> name;
};

bool resumeRefused(const Options& o, JournalSetup& j, ResultsOutput& results, Batch& batch) {
    try {
        j.resumed = j.journal.read();
        const imaging::BatchIdentity& then = j.resumed.identity;
        // A batch with --seed goes on with it; one seeded from the clock with the clock's base seed.
        if (then.seedSource == "option" && !batch.seed) batch.seed = then.seed;
        if (then.seedSource != "option" && batch.seed)
            throw imaging::RunError::refused("Cannot resume the batch of the journal " + *j.name +
                                             ": it is another batch (--seed is " + std::to_string(*batch.seed) +
                                             " here, the interrupted run had no --seed)");
        if (then.seedSource != "option") batch.clockBase = then.seed;
        const std::string difference =
            imaging::firstDifference(then, batchIdentity(o, batch.seed, *batch.clockBase), true);
        if (!difference.empty())
            throw imaging::RunError::refused("Cannot resume the batch of the journal " + *j.name +
                                             ": it is another batch (" + difference + ")");
        const long long keep = j.resumed.resultsSize().value_or(0);
        if (results.file.isOpen()) {
            imaging::cutBackResults(results.file.output(), o.csv, j.resumed, [&](std::size_t i) {
                return lesionmeter::resultsRowStart(std::filesystem::path(o.images[i]).filename().string());
            });
        } else if (keep > 0) {
            throw imaging::RunError::refused("Cannot resume: the results file " + o.csv +
                                             " is gone, though the batch journal records its rows");
        }
        batch.resultsSizeBefore = j.resumed.resultsSizeBefore.value_or(0);
        j.journal.continueFrom(j.resumed);
        batch.plan.first = j.resumed.items.size();
        return false;
    } catch (const std::exception& e) {
        say(e.what());
        return true;
    }
}

// Several photographs, or one without samples: each with the marks file beside it.
int runPhotographsWithTheirMarks(const Options& o, const RunParameters& parameters, ResultsOutput& results) {
    if (o.csv.empty()) {
        say("several photographs (or one without --in/--out/--marks) need --csv OUT.csv");
        return imaging::kUsageErrorStatus;
    }
    if (o.centreGiven || !o.saveMap.empty() || !o.saveOutline.empty() || !o.saveMarks.empty()) {
        say("--centre, --save-map, --save-outline and --save-marks take one photograph with its samples");
        return imaging::kUsageErrorStatus;
    }
    // The batch journal beside the results file: guarded like every output, held before the
    // results file is locked (see imaging::BatchJournal::hold).
    JournalSetup j;
    j.name = imaging::journalFor(o.csv);
    std::vector<Output> outputs = {{"--csv", o.csv}, {"--json", o.json}};
    std::vector<std::string> marksFiles;
    for (const std::string& photo : o.images) marksFiles.push_back(lesionmeter::marksFileFor(photo));
    if (outputsRefused(o.images, marksFiles, outputs)) return imaging::kUsageErrorStatus;
    if (j.name) {
        try {
            std::vector<imaging::InputFile> inputs(o.images.begin(), o.images.end());
            for (const std::string& marks : marksFiles) inputs.emplace_back(marks, "marks file");
            imaging::guardOutput("the batch journal", *j.name, "batch journal", inputs);
        } catch (const std::exception& e) {
            say(e.what());
            return imaging::kUsageErrorStatus;
        }
    }
    if (o.resume && !j.name) {
        say("Cannot resume: the results file " + o.csv + " is not a regular file, so it keeps no batch journal");
        return imaging::kUsageErrorStatus;
    }
    bool unfinishedJournal = false;
    if (j.name) {
        try {
            unfinishedJournal = j.journal.hold(*j.name, results.whenLocked, o.resume);
        } catch (const imaging::RunError& e) {
            // Without it a fresh batch only cannot be resumed; another run's journal is refused.
            say(e.kind() == imaging::ErrorKind::Refused || o.resume
                    ? std::string(e.what())
                    : std::string("warning: ") + e.what() + "; this batch cannot be resumed if it is stopped");
            if (e.kind() == imaging::ErrorKind::Refused || o.resume) return imaging::kUsageErrorStatus;
        }
    }
    if (results.refused(o.csv)) {
        j.journal.release();
        return imaging::kUsageErrorStatus;
    }
    Batch batch;
    batch.photos = o.images;
    batch.csv = o.csv;
    batch.csvFile = &results.file;
    batch.whenLocked = results.whenLocked;
    batch.seed = o.seed;
    batch.clockBase = imaging::clockSeed();
    batch.fit = o.fit;
    batch.resultsSizeBefore = results.file.isOpen() ? results.file.output().size() : 0;
    if (o.resume) {
        if (resumeRefused(o, j, results, batch)) return imaging::kUsageErrorStatus;
    } else if (j.journal.isOpen()) {
        if (unfinishedJournal)
            say("the batch journal " + *j.name + " of an unfinished batch is replaced; this batch starts from its "
                "first photograph (--resume would have continued that one)");
        try {
            j.journal.start(batchIdentity(o, batch.seed, *batch.clockBase), batch.resultsSizeBefore);
        } catch (const std::exception& e) {
            say(std::string("warning: ") + e.what() + "; this batch cannot be resumed if it is stopped");
            j.journal.release();
        }
    }
    batch.journal = &j.journal;
    batch.journalReports = !o.json.empty();
    const std::size_t first = batch.plan.first;
    std::string jobsNote;
    batch.plan.jobs =
        imaging::parallelJobs(o.jobs, o.images.size() - first, std::thread::hardware_concurrency(), jobsNote);
    if (!jobsNote.empty()) say(jobsNote);
    if (o.resume)
        say("resuming the batch of " + *j.name + ": the first " + std::to_string(first) + " of " +
            std::to_string(o.images.size()) + " photographs were done before and are skipped");
    std::vector<ImageOutcome> outcomes;
    batch.outcomes = &outcomes;
    // Ctrl-C starts no new photograph; the rows of those analysed so far are written.
    imaging::installInterruptHandler();
    imaging::BatchProgress progress(std::cerr, o.images.size(), imaging::BatchProgress::isTerminal(stderr));
    BatchEnd end = runBatch(batch, progress);
    Json report = reportHead(parameters, batch.seed, batch.seed ? "option" : "each image");
    for (const imaging::JournaledItem& item : j.resumed.items) {
        report["images"].push_back(item.report);
        if (item.failed) ++end.failures;
    }
    for (const ImageOutcome& outcome : outcomes) report["images"].push_back(reportImage(outcome));
    const bool reported = writeReport(o.json, report);
    // A batch that handed back every photograph has nothing to resume: its journal goes. One that
    // was stopped, or could not write its rows, keeps it for --resume.
    bool journalKept = j.name && std::filesystem::exists(*j.name);
    if (j.journal.isOpen()) {
        try {
            if (end.notAnalysed == 0 && !end.writeFailed) {
                j.journal.remove();
                journalKept = false;
            } else {
                j.journal.close();
            }
        } catch (const std::exception& e) {
            say(e.what());
        }
    }
    if (end.notAnalysed > 0) {
        const std::size_t count = o.images.size();
        say("interrupted: " + std::to_string(end.notAnalysed) + " of " + std::to_string(count) +
            " photographs were not analysed; the rows of the " + std::to_string(count - end.notAnalysed) +
            " analysed are in " + o.csv);
    }
    if ((end.notAnalysed > 0 || end.writeFailed) && journalKept)
        say("the same command with --resume continues this batch (journal " + *j.name + ")");
    if (end.notAnalysed > 0) return kInterruptedStatus;
    return end.failures == 0 && reported ? 0 : 1;
}

// The positions of --in, --out and --centre as numbers; false (after saying why) when one is not
// "X,Y": a usage error, refused before any work.
bool readPositions(const Options& o, ScriptedAnalysis& script) {
    auto parseAll = [](const char* option, const std::vector<std::string>& texts, std::vector<Position>& into) {
        for (const std::string& text : texts) {
            try {
                into.push_back(parsePosition(text));
            } catch (const imaging::RunError& e) {
                throw imaging::RunError(e.kind(), std::string(option) + " " + text + ": " + e.what());
            }
        }
    };
    try {
        parseAll("--in", o.in, script.in);
        parseAll("--out", o.out, script.out);
        if (!o.centre.empty()) {
            std::vector<Position> given;
            parseAll("--centre", {o.centre}, given);
            script.centre = given.front();
        }
        return true;
    } catch (const imaging::RunError& e) {
        say(e.what());
        return false;
    }
}

// The seed of the run: --seed, else the marks', else one drawn from the clock and reported, so
// that the run can be repeated with it. Returns where it came from.
std::string chooseSeed(const Options& o, ScriptedAnalysis& script) {
    const imaging::ChosenSeed chosen =
        imaging::markedSeed(o.seed, script.marks ? script.marks->seed : std::nullopt, imaging::clockSeed(), 0);
    script.seed = chosen.seed;
    if (std::string(chosen.source) == "clock")
        say("seed " + std::to_string(chosen.seed) + " (from the clock; --seed " + std::to_string(chosen.seed) +
            " repeats this run)");
    return chosen.source;
}

// One photograph with the samples of the command line or of a marks file: its results printed,
// appended to the results file and written as marks when asked.
int runOnePhotograph(const Options& o, RunParameters& parameters, ResultsOutput& results) {
    if (o.in.empty() != o.out.empty() && !o.marksGiven) {
        say("give both --in and --out samples, or --marks FILE");
        return imaging::kUsageErrorStatus;
    }
    if (o.resume) {
        say("--resume continues a batch of photographs with their marks files (--csv OUT.csv PHOTO...)");
        return imaging::kUsageErrorStatus;
    }
    ScriptedAnalysis script;
    script.fit = o.fit;
    script.saveMap = o.saveMap;
    script.saveOutline = o.saveOutline;
    if (!readPositions(o, script)) return imaging::kUsageErrorStatus;
    if (outputsRefused(o.images, o.marksGiven ? std::vector<std::string>{o.marksFile} : std::vector<std::string>{},
                       {{"--csv", o.csv},
                                  {"--json", o.json},
                                  {"--save-map", o.saveMap},
                                  {"--save-outline", o.saveOutline},
                                  {"--save-marks", o.saveMarks}}) ||
        results.refused(o.csv))
        return imaging::kUsageErrorStatus;
    ImageOutcome outcome;
    outcome.path = o.images.front();
    std::string seedSource;
    // A given seed is the run's: reported even when the marks cannot be read.
    if (o.seed) {
        outcome.seed = o.seed;
        outcome.seedSource = seedSource = "option";
    }
    int status = 0;
    try {
        script.image = o.images.front();
        parameters.in = script.in;
        parameters.out = script.out;
        parameters.centre = script.centre;
        if (o.marksGiven) {
            script.marks = lesionmeter::readMarks(o.marksFile);
            script.marksName = {o.marksFile, "--marks "};
        }
        seedSource = chooseSeed(o, script);
        outcome.seed = script.seed;
        outcome.seedSource = seedSource;
        const AnalysisResults analysed = runScriptedAnalysis(script);
        outcome.exifOrientation = analysed.exifOrientation;
        if (const std::string turned = imaging::exifOrientationWarning(analysed.exifOrientation); !turned.empty())
            say(script.image + ": warning: " + turned);
        outcome.measurements = analysed.measurements;
        outcome.fits = analysed.fits;
        outcome.scale = analysed.record.marks.scale;
        printResults(std::cout, analysed);
        if (!o.csv.empty()) {
            if (!results.file.isOpen()) results.file.open(o.csv, results.whenLocked);
            results.file.append(analysed.record);
            results.file.close();
        }
        if (!o.saveMarks.empty()) lesionmeter::writeMarks(o.saveMarks, analysed.record.marks);
        if (!analysed.axisError.empty()) {
            outcome.error = analysed.axisError;
            say(analysed.axisError);
            status = 1;
        }
    } catch (const PositionOffPhotograph& e) {
        // A position out of range is a usage error, found once the photograph's size is known.
        outcome.error = e.what();
        say(e.what());
        status = imaging::kUsageErrorStatus;
    } catch (const std::exception& e) {
        outcome.error = e.what();
        say(e.what());
        status = 1;
    }
    Json report = reportHead(parameters, outcome.seed, seedSource);
    report["images"].push_back(reportImage(outcome));
    if (!writeReport(o.json, report)) status = 1;
    return status;
}

int run(const Options& o) {
    RunParameters parameters;
    parameters.marks = o.marksFile;
    parameters.fit = o.fit;
    parameters.seed = o.seed;
    parameters.jobs = o.jobs;
    parameters.csv = o.csv;
    parameters.saveMap = o.saveMap;
    parameters.saveOutline = o.saveOutline;
    parameters.saveMarks = o.saveMarks;
    ResultsOutput results;
    results.whenLocked.wait = !o.noWait;
    results.whenLocked.onWait = [](const std::string& note) { say(note); };
    const bool withTheirMarks = o.images.size() > 1 || (o.in.empty() && o.out.empty() && !o.marksGiven);
    return withTheirMarks ? runPhotographsWithTheirMarks(o, parameters, results)
                          : runOnePhotograph(o, parameters, results);
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{kDescription, "lesionmeter-cli"};
    Options o;
    declareOptions(app, o);
    if (const auto status = imaging::parseCommandLine(app, "lesionmeter-cli", argc, argv)) return *status;
    o.centreGiven = app.get_option("--centre")->count() > 0;
    o.marksGiven = app.get_option("--marks")->count() > 0;
    return run(o);
}

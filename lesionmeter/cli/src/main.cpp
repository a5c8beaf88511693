// lesionmeter-cli: lesion analyses without a window. One photograph with its samples given on the
// command line or in a marks file, its results printed; or several photographs, each with its
// marks file beside it, analysed in parallel into one results file.

#include <CLI/CLI.hpp>

#include <unistd.h>

#include <exception>
#include <iostream>

#include "batch.hpp"
#include "imaging/command_line.hpp"
#include "imaging/errors.hpp"
#include "imaging/exif_orientation.hpp"
#include "imaging/file_output.hpp"
#include "imaging/paths.hpp"
#include "lesionmeter/results_row.hpp"
#include "lesionmeter/marks.hpp"
#include "imaging/random.hpp"
#include "imaging/report.hpp"
#include "report.hpp"
#include "scripted_analysis.hpp"

int main(int argc, char** argv) {
    using namespace lesionmeter::cli;
    using lesionmeter::Json;
    CLI::App app{"Lesion analysis: IN and OUT colour samples, \"Calc + Draw\", \"LINE\", \"Fractal calc\" and "
                 "\"axis\".\n"
                 "  lesionmeter-cli IMAGE --in X,Y ... --out X,Y ... [--centre X,Y]   samples given here\n"
                 "  lesionmeter-cli IMAGE --marks FILE                                 samples of a marks file\n"
                 "  lesionmeter-cli [--jobs N] --csv OUT.csv PHOTO...                  each PHOTO with its\n"
                 "                                                                     DIR/NAME.marks.json",
                 "lesionmeter-cli"};
    app.footer(
        "Which samples take part: \"Calc + Draw\" uses the first min(IN, OUT) samples of each class, at most 6 "
        "(with 3 --in and 5 --out, the first 3 of each); further samples are recorded (and kept in marks and "
        "rows) but do not take part. Positions are pixels of the photograph as analysed (0..width-1, "
        "0..height-1, rounded half to even like a click); one outside it is refused. No output may be one of "
        "the photographs, and no two outputs may name the same file; every output is checked writable before "
        "the analysis.\n"
        "Exit status: 0 when every photograph was analysed and written; 1 when an analysis failed (a photograph "
        "that cannot be read, a discriminant without a lesion pixel) or a write failed; 2 for a usage error (an "
        "unknown option, no photograph, a value out of range or of the wrong kind, a position off the "
        "photograph) or a refused output.");
    app.set_version_flag("--version", "lesionmeter-cli " + std::string(imaging::programVersion()));
    ScriptedAnalysis script;
    std::vector<std::string> images, in, out;
    std::string centre, csv, marksFile, saveMarks, json;
    uint64_t seed = 0;
    unsigned jobs = 0;
    bool noWait = false;
    app.add_option("IMAGE", images, "photograph(s) (JPEG or BMP)")->required();
    auto* inOption = app.add_option("--in", in, "an IN sample position X,Y (repeat for more samples, at most 50)")
                         ->take_all();
    auto* outOption = app.add_option("--out", out, "an OUT sample position X,Y (repeat for more samples, at most 50)")
                          ->take_all();
    auto* centreOption = app.add_option("--centre", centre, "reference centre X,Y (right click)");
    auto* marksOption = app.add_option("--marks", marksFile, "analyse with the samples and centre of a marks file")
                            ->excludes(inOption)
                            ->excludes(outOption)
                            ->excludes(centreOption);
    app.add_option("--save-marks", saveMarks, "write the samples, centre and seed of the run as a marks file");
    auto* seedOption = app.add_option("--seed", seed,
                                      "seed of \"Calc + Draw\", 0..18446744073709551615 (default: the marks' "
                                      "seed, else the clock's)")
                           ->check(imaging::wholeNumberIn(0, UINT64_MAX));
    app.add_flag("--fit", script.fit, "reduce a photograph larger than 500 x 503 pixels to fit (area averaging)");
    app.add_option("--jobs", jobs, "photographs analysed at once (default: one per core)")
        ->check(CLI::Range(1u, 1024u));
    app.add_option("--save-map", script.saveMap, "write the lesion map (the \"B+W\" view, 313 x 305) as BMP");
    app.add_option("--save-outline", script.saveOutline, "write the outline (the \"LINE\" view, 313 x 305) as BMP");
    app.add_option("--csv", csv, "append the results as one row per photograph (header when the file is new)");
    app.add_flag("--no-wait", noWait,
                 "when another run is appending to the --csv file, refuse (exit status 2) instead of waiting");
    app.add_option("--json", json,
                   "also write a JSON report: version, parameters, seed, and per photograph its size, SHA-256 and "
                   "measurements at full precision with the fits behind the dimensions, each with its 95 % fit "
                   "interval, or its error");
    if (const auto status = imaging::parseCommandLine(app, "lesionmeter-cli", argc, argv)) return *status;

    RunParameters parameters;
    parameters.marks = marksFile;
    parameters.fit = script.fit;
    if (*seedOption) parameters.seed = seed;
    parameters.jobs = jobs;
    parameters.csv = csv;
    parameters.saveMap = script.saveMap;
    parameters.saveOutline = script.saveOutline;
    parameters.saveMarks = saveMarks;
    // Writes the report, if asked for; false (after saying why) when it cannot be written.
    auto writeReport = [&json](const Json& report) {
        if (json.empty()) return true;
        try {
            imaging::writeJsonFile(json, report);
            return true;
        } catch (const std::exception& e) {
            std::cerr << "lesionmeter-cli: " << e.what() << "\n";
            return false;
        }
    };

    // Outputs are checked against the photographs and each other before any work.
    auto outputsRefused = [&images](const std::vector<Output>& outputs) {
        try {
            checkOutputs(images, outputs);
            return false;
        } catch (const std::exception& e) {
            std::cerr << "lesionmeter-cli: " << e.what() << "\n";
            return true;
        }
    };

    // One run at a time appends to a results file: an existing one is opened (and locked, its
    // header checked) before any work; a new one when its first row is written.
    imaging::LockWait whenLocked;
    whenLocked.wait = !noWait;
    whenLocked.onWait = [](const std::string& note) { std::cerr << "lesionmeter-cli: " << note << "\n"; };
    lesionmeter::ResultsRowFile csvFile;
    auto csvRefused = [&] {
        try {
            if (!csv.empty() && imaging::fileExists(csv)) csvFile.open(csv, whenLocked);
            return false;
        } catch (const std::exception& e) {
            std::cerr << "lesionmeter-cli: " << e.what() << "\n";
            return true;
        }
    };

    // Several photographs, or one without samples: each with the marks file beside it.
    const bool batchMode = images.size() > 1 || (in.empty() && out.empty() && !*marksOption);
    if (batchMode) {
        if (csv.empty()) {
            std::cerr << "lesionmeter-cli: several photographs (or one without --in/--out/--marks) need --csv OUT.csv\n";
            return 2;
        }
        if (*centreOption || !script.saveMap.empty() || !script.saveOutline.empty() || !saveMarks.empty()) {
            std::cerr << "lesionmeter-cli: --centre, --save-map, --save-outline and --save-marks take one photograph "
                         "with its samples\n";
            return 2;
        }
        if (outputsRefused({{"--csv", csv}, {"--json", json}}) || csvRefused()) return 2;
        Batch batch;
        batch.photos = images;
        batch.csv = csv;
        batch.csvFile = &csvFile;
        batch.whenLocked = whenLocked;
        if (*seedOption) batch.seed = seed;
        batch.fit = script.fit;
        batch.jobs = jobs;
        std::vector<ImageOutcome> outcomes;
        batch.outcomes = &outcomes;
        const bool terminal = ::isatty(STDERR_FILENO) == 1;
        const int failures = runBatch(batch, std::cerr, &std::cerr, terminal);
        Json report = reportHead(parameters, batch.seed, batch.seed ? "option" : "each image");
        for (const ImageOutcome& outcome : outcomes) report["images"].push_back(reportImage(outcome));
        const bool reported = writeReport(report);
        return failures == 0 && reported ? 0 : 1;
    }

    if (in.empty() != out.empty() && !*marksOption) {
        std::cerr << "lesionmeter-cli: give both --in and --out samples, or --marks FILE\n";
        return 2;
    }
    // Positions that are not "X,Y" numbers are usage errors, refused before any work.
    try {
        auto parseAll = [](const char* option, const std::vector<std::string>& texts, std::vector<Position>& into) {
            for (const std::string& text : texts) {
                try {
                    into.push_back(parsePosition(text));
                } catch (const imaging::RunError& e) {
                    throw imaging::RunError(e.kind(), std::string(option) + " " + text + ": " + e.what());
                }
            }
        };
        parseAll("--in", in, script.in);
        parseAll("--out", out, script.out);
        if (!centre.empty()) {
            std::vector<Position> given;
            parseAll("--centre", {centre}, given);
            script.centre = given.front();
        }
    } catch (const imaging::RunError& e) {
        std::cerr << "lesionmeter-cli: " << e.what() << "\n";
        return 2;
    }
    if (outputsRefused({{"--csv", csv},
                        {"--json", json},
                        {"--save-map", script.saveMap},
                        {"--save-outline", script.saveOutline},
                        {"--save-marks", saveMarks}}) ||
        csvRefused())
        return 2;
    ImageOutcome outcome;
    outcome.path = images.front();
    std::string seedSource;
    int status = 0;
    try {
        script.image = images.front();
        parameters.in = script.in;
        parameters.out = script.out;
        parameters.centre = script.centre;
        if (*marksOption) {
            script.marks = lesionmeter::readMarks(marksFile);
            script.marksName = {marksFile, "--marks "};
        }
        // The seed of the run: --seed, else the marks', else one drawn from the clock and reported,
        // so that the run can be repeated with it.
        if (*seedOption) {
            script.seed = seed;
            seedSource = "option";
        } else if (script.marks && script.marks->seed) {
            script.seed = script.marks->seed;
            seedSource = "marks";
        } else {
            script.seed = imaging::clockSeed();
            seedSource = "clock";
            std::cerr << "lesionmeter-cli: seed " << *script.seed << " (from the clock; --seed " << *script.seed
                      << " repeats this run)\n";
        }
        outcome.seed = script.seed;
        outcome.seedSource = seedSource;
        const AnalysisResults results = runScriptedAnalysis(script);
        outcome.exifOrientation = results.exifOrientation;
        if (const std::string turned = imaging::exifOrientationWarning(results.exifOrientation); !turned.empty())
            std::cerr << "lesionmeter-cli: " << script.image << ": warning: " << turned << "\n";
        outcome.measurements = results.measurements;
        outcome.fits = results.fits;
        outcome.scale = results.record.marks.scale;
        printResults(std::cout, results);
        if (!csv.empty()) {
            if (!csvFile.isOpen()) csvFile.open(csv, whenLocked);
            csvFile.append(results.record);
            csvFile.close();
        }
        if (!saveMarks.empty()) lesionmeter::writeMarks(saveMarks, results.record.marks);
        if (!results.axisError.empty()) {
            outcome.error = results.axisError;
            std::cerr << "lesionmeter-cli: " << results.axisError << "\n";
            status = 1;
        }
    } catch (const PositionOffPhotograph& e) {
        // A position out of range is a usage error, found once the photograph's size is known.
        outcome.error = e.what();
        std::cerr << "lesionmeter-cli: " << e.what() << "\n";
        status = imaging::kUsageErrorStatus;
    } catch (const std::exception& e) {
        outcome.error = e.what();
        std::cerr << "lesionmeter-cli: " << e.what() << "\n";
        status = 1;
    }
    Json report = reportHead(parameters, outcome.seed, seedSource);
    report["images"].push_back(reportImage(outcome));
    if (!writeReport(report)) status = 1;
    return status;
}

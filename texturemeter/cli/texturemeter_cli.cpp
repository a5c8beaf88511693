// texturemeter-cli: runs the texture analysis ("Start(A)", "START(B)-Processing of reflection
// effect" or "Start (C) Normalization") on one or more photographs and writes the results file:
// the header once, then per image, in the order given, its result row and its sampling line.
// With --squares each photograph is analysed in its own square: its square file beside it
// (NAME.square.json, as the window's "Save square" writes it) or its row of a square table.

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <limits>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "batch_checks.hpp"
#include "imaging/batch.hpp"
#include "imaging/command_line.hpp"
#include "imaging/errors.hpp"
#include "imaging/image_file.hpp"
#include "imaging/numeric.hpp"
#include "imaging/paths.hpp"
#include "imaging/random.hpp"
#include "imaging/report.hpp"
#include "texturemeter/analyse_photo.hpp"
#include "texturemeter/measurements_json.hpp"
#include "texturemeter/results_file.hpp"
#include "texturemeter/square_source.hpp"
#include "texturemeter/texture_parameters.hpp"

namespace {

using namespace texturemeter;
using namespace texturemeter::cli;
using imaging::Json;

struct Options {
    std::string x = "0";
    std::string y = "0";
    RunTexts texts;
    std::string variant = "A";
    std::optional<uint64_t> seed;
    unsigned jobs = 0;
    std::string keepDerived;
    std::string json;
    // Refuse, instead of waiting, when another run is writing the results file.
    bool noWait = false;
    // --squares: "beside" (each photograph's square file), else a square table's name.
    std::string squares;
    bool squaresGiven = false;
    bool cornerGiven = false;  // --x or --y given
    std::vector<std::string> images;
    // The options above read once, before any work (refusedBeforeAnyWork). With --squares they
    // only fill in what a photograph's square leaves out; each photograph's own are in `runs`.
    TextureParameters parameters;
    SquareTable table;
    std::vector<PhotoSquare> runs;
    std::vector<char> squareChosen;  // runs[i] holds photograph i's square (else its error says why)
    // The seed the run uses: --seed, or one read from the clock (reported so that the run can be
    // repeated). Image i reports the photo seed photoSeed(baseSeed, i) (its square's own seed,
    // when it has one) and is analysed with the generator seeded by generatorSeed of it: that
    // seed alone, with the image alone, repeats it.
    uint64_t baseSeed = 0;
};

// How the tool names the parameters in the hint after a parameter's error.
const ParameterWords kOptionWords{"--side", "--window", " ", "--x", "--y"};

// An error's message as the tool prints it: the error's own text and the limit behind it, in the
// words of the tool's options ("Subscript out of range (--side must be at most 499)").
std::string errorMessage(const std::string& message, const ParameterLimit& limit) {
    return message + describeLimit(limit, kOptionWords);
}

// The outcome of one image: its analysis, or the error that stopped it before.
struct ImageResult {
    bool failed = false;
    PhotoAnalysis analysis;
    std::string error;
};

Variant parseVariant(const std::string& v) {
    if (v == "A" || v == "a") return Variant::A;
    if (v == "B" || v == "b") return Variant::B;
    return Variant::C;
}

std::string fileNameOf(const std::string& path) { return std::filesystem::path(path).filename().string(); }

// The whole run of one image with its own generator and (in-memory) results lines, on the
// worker's reused grids and pictures.
ImageResult analyseOne(const Options& o, std::size_t index, PhotoWorkspace& worker, imaging::WrittenFiles& written) {
    PhotoOptions options;
    options.keepDerivedIn = o.keepDerived;
    options.written = &written;
    options.words = kOptionWords;
    ImageResult result;
    const PhotoSquare& run = o.runs[index];
    result.analysis = analysePhotoFile(o.images[index], run.parameters, run.seed.seed, worker, options);
    if (const auto& failure = result.analysis.failure) {
        result.failed = true;
        result.error = failure->kind ? errorMessage(failure->message, failure->limit) : failure->message;
    }
    return result;
}

// Everything that would make the batch fail as a whole is refused before the results file is
// opened: outputs over inputs or over each other, the run's own parameters (read into
// o.parameters here, once), unwritable outputs.
bool refusedBeforeAnyWork(Options& o) {
    std::vector<NamedOutput> outputs = {{"--output", imaging::hostPath(o.texts.resultsName)}};
    if (!o.json.empty()) outputs.push_back({"--json", o.json, "JSON file"});
    try {
        refuseOutputsOverInputs(o.images, outputs, o.keepDerived);
        const int16_t x = readWhole(o.x, TextureParameter::CornerX);
        const int16_t y = readWhole(o.y, TextureParameter::CornerY);
        if (o.squaresGiven) {
            // Each photograph's square is read with the options filling it in, so only the
            // options' own texts are checked here; whether a square can be run is its own matter.
            o.parameters.variant = parseVariant(o.variant);
            o.parameters.region = {x, y, readWhole(o.texts.regionSide, TextureParameter::RegionSide)};
            o.parameters.tileSide = readNumber(o.texts.tileSide, TextureParameter::TileSide);
            o.parameters.neighbourDistance = readNumber(o.texts.neighbourDistance, TextureParameter::NeighbourDistance);
            o.parameters.resultsName = o.texts.resultsName;
            if (o.squares != "beside") o.table = readSquareTable(o.squares);
        } else {
            o.parameters = readParameters(o.texts, x, y, parseVariant(o.variant));
        }
        checkOutputsWritable(outputs, o.keepDerived);
    } catch (const ParameterError& e) {
        std::fprintf(stderr, "texturemeter-cli: %s\n", errorMessage(e.what(), e.limit()).c_str());
        return true;
    } catch (const imaging::RunError& e) {
        std::fprintf(stderr, "texturemeter-cli: %s\n", e.what());
        return true;
    }
    return false;
}

// The --json document's head: program, version, every parameter and the seed in use.
Json reportHead(const Options& o) {
    const TextureParameters& p = o.parameters;
    Json parameters = {
        {"x", p.region.regionX},
        {"y", p.region.regionY},
        {"side", p.region.regionSide},
        {"window", p.tileSide},
        {"neighbour", p.neighbourDistance},
        {"variant", std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(o.variant[0]))))},
        {"output", o.parameters.resultsName},
        {"keepDerived", o.keepDerived.empty() ? Json() : Json(o.keepDerived)},
        {"squares", o.squaresGiven ? Json(o.squares) : Json()},
    };
    return {{"program", "texturemeter-cli"},
            {"version", std::string(imaging::programVersion())},
            {"parameters", std::move(parameters)},
            {"seed", o.baseSeed},
            {"seedSource", imaging::placeSeed(o.seed, o.baseSeed, 0).source},
            {"images", Json::array()}};
}

// One image of the --json document: what it is, the seed it used, and its measurements or error.
Json reportImage(const Options& o, std::size_t index, const ImageResult& r) {
    Json entry = imaging::imageEntry(fileNameOf(o.images[index]), o.images[index]);
    const PhotoSquare& run = o.runs[index];
    // The photo seed: its square's own, or its place's in the batch (the head names the batch's).
    entry["seed"] = run.seed.seed;
    entry["seedSource"] = std::string(run.seed.source) == "square" ? "square" : "batch";
    // The square the photograph was analysed in, and where it came from (none when it had none).
    if (o.squareChosen[index]) {
        const TextureParameters& p = run.parameters;
        entry["square"] = {{"x", p.region.regionX},
                           {"y", p.region.regionY},
                           {"side", p.region.regionSide},
                           {"window", p.tileSide},
                           {"neighbour", p.neighbourDistance},
                           {"variant", variantLetter(p.variant)}};
        entry["squareSource"] = squareSourceName(run.source);
        entry["squareFile"] = run.file.empty() ? Json() : Json(run.file);
    } else {
        entry["square"] = Json();
        entry["squareSource"] = Json();
        entry["squareFile"] = Json();
    }
    entry["exifOrientation"] = r.analysis.exifOrientation;
    if (r.failed)
        entry["error"] = r.error;
    else if (r.analysis.measurements)
        entry["measurements"] = toJson(*r.analysis.measurements, r.analysis.fits);
    return entry;
}

// Every input is checked readable before the results file is touched: the error of each one that
// is not (empty for the others). Those are reported and not analysed.
std::vector<std::string> unreadableInputs(const Options& o) {
    std::vector<std::string> errors(o.images.size());
    for (std::size_t i = 0; i < o.images.size(); ++i) {
        try {
            imaging::checkPictureReadable(o.images[i]);
        } catch (const imaging::RunError& e) {
            errors[i] = errorMessage(e.what(), limitBehind(e, o.parameters));
        }
    }
    return errors;
}

// Each photograph's square and parameters (o.runs), read before any work: its square (--squares)
// with the options filling it in, or the options alone. A photograph whose square is missing,
// unreadable or cannot be run has that error (in `errors`, after an unreadable photograph's own)
// and is not analysed.
void chooseSquares(Options& o, std::vector<std::string>& errors) {
    SquareChoice choice;
    choice.perPhoto = o.squaresGiven;
    choice.table = o.squaresGiven && o.squares != "beside" ? &o.table : nullptr;
    choice.cornerGiven = o.cornerGiven;
    choice.label = "--squares ";
    choice.noSquareHint = "--squares without --x/--y gives no corner to fall back on";
    const SquareFill fill{o.texts, o.x, o.y, parseVariant(o.variant)};
    o.runs.assign(o.images.size(), PhotoSquare{});
    o.squareChosen.assign(o.images.size(), 0);
    for (std::size_t i = 0; i < o.images.size(); ++i) {
        o.runs[i].parameters = o.parameters;
        o.runs[i].seed = imaging::placeSeed(o.seed, o.baseSeed, i);
        std::optional<FoundSquare> square;
        std::string error;
        try {
            square = chosenSquare(o.images[i], choice);
            o.runs[i] = squareRun(square ? &*square : nullptr, i, fill, o.seed, o.baseSeed);
            o.squareChosen[i] = 1;
        } catch (const ParameterError& e) {
            error = errorMessage(e.what(), e.limit());
            if (square) error += " (in the square of " + square->file + ")";
        } catch (const imaging::RunError& e) {
            error = e.what();
        }
        if (errors[i].empty()) errors[i] = error;
    }
}

int run(Options& o) {
    if (refusedBeforeAnyWork(o)) return 2;
    // The photographs that cannot be analysed, each with its error: unreadable, or without a square.
    std::vector<std::string> inputErrors = unreadableInputs(o);
    chooseSquares(o, inputErrors);
    if (!o.seed)
        std::fprintf(stderr, "texturemeter-cli: seed %llu (from the clock; --seed %llu repeats this run)\n",
                     static_cast<unsigned long long>(o.baseSeed), static_cast<unsigned long long>(o.baseSeed));
    // One run at a time writes a results file: an existing one is locked now, before any work
    // (another run's file is waited for, or refused with --no-wait), and left as it is until the
    // first photograph that could be read has its rows. A batch in which no photograph can be
    // read leaves it untouched.
    imaging::LockWait whenLocked;
    whenLocked.wait = !o.noWait;
    whenLocked.onWait = [](const std::string& note) { std::fprintf(stderr, "texturemeter-cli: %s\n", note.c_str()); };
    ResultsFile results(whenLocked);
    try {
        results.reserve(o.parameters.resultsName);
    } catch (const imaging::RunError& e) {
        std::fprintf(stderr, "texturemeter-cli: %s\n", e.what());
        return 2;
    }
    bool resultsOpen = false;
    // The derived images the run wrote (kept with --keep-derived): the only files they may replace.
    imaging::WrittenFiles written;

    const std::size_t count = o.images.size();
    std::string jobsNote;
    imaging::BatchPlan plan;
    plan.count = count;
    plan.jobs = imaging::parallelJobs(o.jobs, count, std::thread::hardware_concurrency(), jobsNote);
    if (!jobsNote.empty()) std::fprintf(stderr, "texturemeter-cli: %s\n", jobsNote.c_str());
    imaging::installInterruptHandler();

    // Results go to the file in input order as soon as each image and those before it are done.
    imaging::BatchProgress progress(std::cerr, count, imaging::BatchProgress::isTerminal(stderr));
    const auto say = [&](const std::string& line) { progress.message("texturemeter-cli: " + line); };
    bool anyFailed = false;
    bool writeFailed = false;
    Json report = o.json.empty() ? Json() : reportHead(o);
    const auto analyse = [&](std::size_t i, PhotoWorkspace& worker) {
        if (!inputErrors[i].empty()) {
            ImageResult r;
            r.failed = true;
            r.error = inputErrors[i];
            return r;
        }
        return analyseOne(o, i, worker, written);
    };
    const auto deliver = [&](std::size_t i, ImageResult r) {
        for (const std::string& warning : r.analysis.warnings()) say(o.images[i] + ": warning: " + warning);
        if (r.failed) {
            anyFailed = true;
            say(o.images[i] + ": " + r.error);
        }
        if (!writeFailed && r.analysis.opened) {
            try {
                if (!resultsOpen) {
                    results.open(o.parameters.resultsName);
                    resultsOpen = true;
                    results.writeLine(std::string(kResultsHeader));
                }
                // An image's row and sampling line go in as one entry, whole or not at all.
                if (!r.analysis.lines.empty()) results.writeEntry(r.analysis.lines);
            } catch (const imaging::RunError& e) {
                writeFailed = true;
                say(e.what());
            }
        }
        if (!o.json.empty()) report["images"].push_back(reportImage(o, i, r));
        progress.advance(i + 1, o.images[i]);
    };
    const std::size_t notAnalysed = imaging::runBatch<PhotoWorkspace>(plan, analyse, deliver).notAnalysed;
    progress.finish();
    try {
        results.close();
    } catch (const imaging::RunError& e) {
        std::fprintf(stderr, "texturemeter-cli: %s\n", e.what());
        writeFailed = true;
    }
    if (!o.json.empty()) {
        try {
            imaging::writeJsonFile(o.json, report);
        } catch (const imaging::RunError& e) {
            std::fprintf(stderr, "texturemeter-cli: %s\n", e.what());
            writeFailed = true;
        }
    }
    if (notAnalysed > 0) {
        std::fprintf(stderr,
                     "texturemeter-cli: interrupted: %zu of %zu images were not analysed; the rows of the %zu "
                     "analysed are in %s\n",
                     notAnalysed, count, count - notAnalysed, o.parameters.resultsName.c_str());
        return 130;
    }
    if (writeFailed) return 2;
    return anyFailed ? 1 : 0;
}

// "--squares TABLE.csv" as "--squares=TABLE.csv": --squares takes the word after it as its table
// when that word names a .csv file (any case); any other word after it is the next photograph.
std::vector<char*> squaresTableJoined(int argc, char** argv, std::vector<std::string>& joined) {
    std::vector<char*> args(argv, argv + argc);
    const auto isTable = [](std::string name) {
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return name.size() > 4 && name.compare(name.size() - 4, 4, ".csv") == 0;
    };
    joined.reserve(std::size_t(argc));
    for (std::size_t i = 1; i + 1 < args.size(); ++i) {
        if (std::string(args[i]) == "--") break;
        if (std::string(args[i]) == "--squares" && isTable(args[i + 1])) {
            joined.push_back("--squares=" + std::string(args[i + 1]));
            args[i] = joined.back().data();
            args.erase(args.begin() + std::ptrdiff_t(i) + 1);
        }
    }
    return args;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    CLI::App app{"Texture analysis of colour photographs: surface-area fractal dimensions of the grey and "
                 "Hessian images, line and dot shares, outline dimension, grey-tone statistics and random "
                 "texture probes of a square, written to a comma-separated results file."};
    app.set_version_flag("--version", "texturemeter-cli " + std::string(imaging::programVersion()));
    CLI::Option* xOption =
        app.add_option("--x", o.x, "left edge of the analysed square in the photo")->capture_default_str();
    CLI::Option* yOption = app.add_option("--y", o.y, "top edge of the analysed square")->capture_default_str();
    app.add_option("--side", o.texts.regionSide,
                   "side of the square (Sampling width), 121..499; with n = ceil(side / window) tiles per row, "
                   "n x window <= 500 and n x n <= 500 (with --window 40: up to 480)")
        ->capture_default_str();
    app.add_option("--window", o.texts.tileSide,
                   "tile side of the surface dimension (Length of one side), >= 20; must fit --side (see there)")
        ->capture_default_str();
    app.add_option("--neighbour", o.texts.neighbourDistance, "neighbour distance of the bright-region outline")
        ->capture_default_str();
    app.add_option("--variant", o.variant,
                   "A = Start(A), B = START(B)-Processing of reflection effect, C = Start (C) Normalization")
        ->check(CLI::IsMember({"A", "B", "C", "a", "b", "c"}))
        ->capture_default_str();
    app.add_option("--output", o.texts.resultsName,
                   "results file (a leading drive letter such as C: stands for the home directory)")
        ->capture_default_str();
    app.add_option("--seed", o.seed,
                   "fixed seed: each image's random numbers depend only on it and the image's place "
                   "(default: a seed from the clock, reported on stderr)")
        ->check(imaging::wholeNumberIn(0, UINT64_MAX));
    app.add_option("--json", o.json,
                   "also write a JSON report: version, parameters, seed, and per image its size, SHA-256 and "
                   "named measurements at full precision with the fits behind the dimensions, each with its 95 % "
                   "fit interval (or its error)");
    app.add_option("--jobs", o.jobs,
                   "images analysed in parallel (default: the number of cores; more than the images or the cores "
                   "is reduced to that, with a note)")
        ->check(imaging::wholeNumberIn(1, 4096));
    app.add_option("--keep-derived", o.keepDerived,
                   "write the derived images (h, a, b, c, e .bmp) into this directory and keep them")
        ->check(CLI::ExistingDirectory);
    CLI::Option* squaresOption = app.add_flag(
        "--squares{beside}", o.squares,
        "each photograph in its own square: its square file beside it (NAME.square.json, as the window's "
        "\"Save square\" writes it), or with --squares TABLE.csv its row of a table whose header names photo, x, y "
        "and optionally side, window, neighbour, variant, seed (matched by the photo's path as given, then by its "
        "name). The options fill in what a square leaves out; a square's seed is its photograph's seed (--seed "
        "seeds the others). A photograph without a square is its error, unless --x/--y give the corner");
    app.add_flag("--no-wait", o.noWait,
                 "when another run is writing the results file, refuse (exit status 2) instead of waiting for it");
    app.add_option("IMAGE", o.images, "photographs (JPEG, BMP or PNG)")->required();
    app.footer(
        "Exit status: 0 when every image was analysed and written; 1 when an image failed (named on stderr, "
        "the other images' rows are written); 2 for a usage error (an unknown option, no image, a value out of "
        "range or of the wrong kind), a refused parameter or output, or a failed write; 130 when interrupted "
        "(Ctrl-C).");
    std::vector<std::string> joined;
    std::vector<char*> args = squaresTableJoined(argc, argv, joined);
    if (const auto status = imaging::parseCommandLine(app, "texturemeter-cli", int(args.size()), args.data()))
        return *status;
    o.squaresGiven = squaresOption->count() > 0;
    o.cornerGiven = xOption->count() > 0 || yOption->count() > 0;
    o.baseSeed = imaging::placeSeed(o.seed, imaging::clockSeed(), 0).seed;
    return run(o);
}

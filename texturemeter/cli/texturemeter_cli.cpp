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
#include "imaging/batch_journal.hpp"
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
    // Continue the stopped batch that the results file's journal records.
    bool resume = false;
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
    std::string seedSource;  // "option" or "clock" (a resumed batch: the stopped run's)
    // The batch journal kept beside the results file (none for a device such as /dev/null).
    std::optional<std::string> journal;
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
    o.journal = imaging::journalFor(o.texts.resultsName);
    try {
        // The journal is guarded like every output; a journal that cannot be written only costs
        // the batch its resumption (a warning), so it is not among the outputs checked writable.
        std::vector<NamedOutput> guarded = outputs;
        if (o.journal) guarded.push_back({"the batch journal", *o.journal, "batch journal"});
        // The files the squares are read from are inputs as well.
        std::vector<imaging::InputFile> squareFiles;
        if (o.squaresGiven && o.squares != "beside") squareFiles.emplace_back(o.squares, "square table");
        if (o.squaresGiven && o.squares == "beside")
            for (const std::string& image : o.images) squareFiles.emplace_back(squareFileFor(image), "square file");
        refuseOutputsOverInputs(o.images, squareFiles, guarded, o.keepDerived);
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
            {"seedSource", o.seedSource},
            {"images", Json::array()}};
}

// One image of the --json document: what it is, the seed it used, and its measurements or error.
Json reportImage(const Options& o, std::size_t index, const ImageResult& r) {
    Json entry = imaging::imageEntry(fileNameOf(o.images[index]), o.images[index]);
    const PhotoSquare& run = o.runs[index];
    // The photo seed: its square's own, or its place's in the batch (the head names the batch's).
    entry["seed"] = run.seed.seed;
    entry["seedSource"] = photoSeedSource(run);
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
            error = squareRunFailure(e, kOptionWords, square ? &*square : nullptr);
        } catch (const imaging::RunError& e) {
            error = e.what();
        }
        if (errors[i].empty()) errors[i] = error;
    }
}

// The journal's identity of this batch: what must be the same for --resume to continue it.
imaging::BatchIdentity batchIdentity(const Options& o) {
    const TextureParameters& p = o.parameters;
    Json parameters = {
        {"--x", p.region.regionX},
        {"--y", p.region.regionY},
        {"--side", p.region.regionSide},
        {"--window", p.tileSide},
        {"--neighbour", p.neighbourDistance},
        {"--variant", std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(o.variant[0]))))},
        {"--output", o.parameters.resultsName},
        {"--keep-derived", o.keepDerived},
        {"--json", o.json},
        {"--squares", o.squaresGiven ? Json(o.squares) : Json()},
    };
    imaging::BatchIdentity id =
        imaging::batchIdentity("texturemeter-cli", std::move(parameters), o.baseSeed, o.seedSource, o.images);
    // With --squares each photograph's own square and seed (a square file or table row may have
    // changed since the stopped run).
    if (o.squaresGiven)
        for (std::size_t i = 0; i < o.images.size(); ++i) {
            const PhotoSquare& run = o.runs[i];
            const TextureParameters& sp = run.parameters;
            id.inputDetails.push_back(o.squareChosen[i] ? Json{{"x", sp.region.regionX},
                                                               {"y", sp.region.regionY},
                                                               {"side", sp.region.regionSide},
                                                               {"window", sp.tileSide},
                                                               {"neighbour", sp.neighbourDistance},
                                                               {"variant", variantLetter(sp.variant)},
                                                               {"seed", run.seed.seed}}
                                                        : Json());
        }
    return id;
}

// How a journaled entry of the results file begins: the image's name field and its comma.
std::string entryStart(const Options& o, std::size_t index) { return nameField(fileNameOf(o.images[index])) + ","; }

int run(Options& o) {
    if (refusedBeforeAnyWork(o)) return 2;
    // One run at a time writes a results file: an existing one is locked now, before any work
    // (another run's file is waited for, or refused with --no-wait), and left as it is until the
    // first photograph that could be read has its rows. A batch in which no photograph can be
    // read leaves it untouched.
    imaging::LockWait whenLocked;
    whenLocked.wait = !o.noWait;
    whenLocked.onWait = [](const std::string& note) { std::fprintf(stderr, "texturemeter-cli: %s\n", note.c_str()); };
    ResultsFile results(whenLocked);
    bool resultsOpen = false;
    // A resumed batch whose journal has no entry yet holds its results file open to append and
    // empties it only at its first entry, as a fresh batch would.
    bool emptyAtFirstEntry = false;
    // The batch journal beside the results file, and what a resumed batch took from it. Its lock
    // is taken before the results file's (see imaging::BatchJournal::hold).
    imaging::BatchJournal journal;
    bool unfinishedJournal = false;
    imaging::ResumePoint resumed;
    bool resultsExist = false;
    try {
        if (o.resume && !o.journal)
            throw imaging::RunError::refused("Cannot resume: the results file " + o.parameters.resultsName +
                                             " is not a regular file, so it keeps no batch journal");
        if (o.journal) {
            try {
                unfinishedJournal = journal.hold(*o.journal, whenLocked, o.resume);
            } catch (const imaging::RunError& e) {
                // Without it a fresh batch only cannot be resumed; another run's journal is refused.
                if (o.resume || e.kind() == imaging::ErrorKind::Refused) throw;
                std::fprintf(stderr, "texturemeter-cli: warning: %s; this batch cannot be resumed if it is stopped\n",
                             e.what());
            }
        }
        if (!o.resume) {
            results.reserve(o.parameters.resultsName);
        } else {
            resultsExist = std::filesystem::is_regular_file(imaging::hostPath(o.parameters.resultsName));
            if (resultsExist)
                results.openToAppend(o.parameters.resultsName);
            else
                results.reserve(o.parameters.resultsName);
            resumed = journal.read();
            // Without --seed the batch goes on with the stopped run's seed.
            o.baseSeed = o.seed ? o.baseSeed : resumed.identity.seed;
            o.seedSource = resumed.identity.seedSource;
        }
    } catch (const imaging::RunError& e) {
        journal.release();
        std::fprintf(stderr, "texturemeter-cli: %s\n", e.what());
        return 2;
    }
    // The photographs that cannot be analysed, each with its error: unreadable, or without a square.
    std::vector<std::string> inputErrors = unreadableInputs(o);
    chooseSquares(o, inputErrors);
    if (!o.seed && !o.resume)
        std::fprintf(stderr, "texturemeter-cli: seed %llu (from the clock; --seed %llu repeats this run)\n",
                     static_cast<unsigned long long>(o.baseSeed), static_cast<unsigned long long>(o.baseSeed));
    if (o.resume) {
        try {
            const std::string difference = imaging::firstDifference(resumed.identity, batchIdentity(o), o.seed.has_value());
            if (!difference.empty())
                throw imaging::RunError::refused("Cannot resume the batch of the journal " + *o.journal +
                                                 ": it is another batch (" + difference + ")");
            if (resumed.resultsSize()) {
                if (!resultsExist)
                    throw imaging::RunError::refused("Cannot resume: the results file " + o.parameters.resultsName +
                                                     " is gone, though the batch journal records its entries");
                imaging::cutBackResults(
                    results.output(), o.parameters.resultsName, resumed,
                    [&](std::size_t i) { return entryStart(o, i); }, std::string(kResultsHeader) + std::string(kLineEnd));
                resultsOpen = true;
            } else {
                emptyAtFirstEntry = resultsExist;
            }
            journal.continueFrom(resumed);
        } catch (const imaging::RunError& e) {
            std::fprintf(stderr, "texturemeter-cli: %s\n", e.what());
            return 2;
        }
    } else if (journal.isOpen()) {
        if (unfinishedJournal)
            std::fprintf(stderr,
                         "texturemeter-cli: the batch journal %s of an unfinished batch is replaced; this batch "
                         "starts from its first image (--resume would have continued that one)\n",
                         o.journal->c_str());
        try {
            journal.start(batchIdentity(o), std::nullopt);
        } catch (const imaging::RunError& e) {
            std::fprintf(stderr, "texturemeter-cli: warning: %s; this batch cannot be resumed if it is stopped\n",
                         e.what());
            journal.release();
        }
    }
    const std::size_t first = resumed.items.size();
    // The derived images the run wrote (kept with --keep-derived): the only files they may replace.
    imaging::WrittenFiles written;

    const std::size_t count = o.images.size();
    std::string jobsNote;
    imaging::BatchPlan plan;
    plan.count = count;
    plan.first = first;
    plan.jobs = imaging::parallelJobs(o.jobs, count - first, std::thread::hardware_concurrency(), jobsNote);
    if (!jobsNote.empty()) std::fprintf(stderr, "texturemeter-cli: %s\n", jobsNote.c_str());
    if (o.resume)
        std::fprintf(stderr,
                     "texturemeter-cli: resuming the batch of %s: the first %zu of %zu images were done before and "
                     "are skipped (seed %llu)\n",
                     o.journal->c_str(), first, count, static_cast<unsigned long long>(o.baseSeed));
    imaging::installInterruptHandler();

    // Results go to the file in input order as soon as each image and those before it are done.
    imaging::BatchProgress progress(std::cerr, count, imaging::BatchProgress::isTerminal(stderr));
    const auto say = [&](const std::string& line) { progress.message("texturemeter-cli: " + line); };
    bool anyFailed = false;
    bool writeFailed = false;
    Json report = o.json.empty() ? Json() : reportHead(o);
    for (const imaging::JournaledItem& item : resumed.items) {
        anyFailed = anyFailed || item.failed;
        if (!o.json.empty()) report["images"].push_back(item.report);
    }
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
        std::optional<long long> entryAt;
        if (!writeFailed && r.analysis.opened) {
            try {
                if (!resultsOpen) {
                    if (emptyAtFirstEntry)
                        results.output().cutBack(0);
                    else
                        results.open(o.parameters.resultsName);
                    resultsOpen = true;
                    results.writeLine(std::string(kResultsHeader));
                }
                // An image's row and sampling line go in as one entry, whole or not at all.
                if (!r.analysis.lines.empty()) {
                    entryAt = results.output().size();
                    results.writeEntry(r.analysis.lines);
                }
            } catch (const imaging::RunError& e) {
                writeFailed = true;
                say(e.what());
            }
        }
        Json entry = o.json.empty() ? Json() : reportImage(o, i, r);
        // The journal records the image once its entry is on the disk; after a failed write it
        // stays at the last entry written whole, where --resume continues.
        if (journal.isOpen()) {
            try {
                if (writeFailed) {
                    journal.close();
                } else {
                    imaging::JournaledItem item;
                    item.index = i;
                    item.name = fileNameOf(o.images[i]);
                    item.failed = r.failed;
                    item.report = entry;
                    if (resultsOpen) {
                        results.output().sync();
                        item.entryAt = entryAt;
                        item.resultsSize = results.output().size();
                    }
                    journal.record(item);
                }
            } catch (const imaging::RunError& e) {
                say(std::string("warning: ") + e.what() + "; this batch cannot be resumed past image " +
                    std::to_string(i));
                journal.close();
            }
        }
        if (!o.json.empty()) report["images"].push_back(std::move(entry));
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
    // A batch that handed back every image has nothing to resume: its journal goes. One that was
    // stopped, or could not write its results, keeps it for --resume.
    bool journalKept = o.journal && std::filesystem::exists(*o.journal);
    if (journal.isOpen()) {
        if (notAnalysed == 0 && !writeFailed) {
            try {
                journal.remove();
                journalKept = false;
            } catch (const imaging::RunError& e) {
                std::fprintf(stderr, "texturemeter-cli: %s\n", e.what());
            }
        } else {
            try {
                journal.close();
            } catch (const imaging::RunError& e) {
                std::fprintf(stderr, "texturemeter-cli: %s\n", e.what());
            }
        }
    }
    if (notAnalysed > 0) {
        std::fprintf(stderr,
                     "texturemeter-cli: interrupted: %zu of %zu images were not analysed; the rows of the %zu "
                     "analysed are in %s\n",
                     notAnalysed, count, count - notAnalysed, o.parameters.resultsName.c_str());
    }
    if ((notAnalysed > 0 || writeFailed) && journalKept)
        std::fprintf(stderr, "texturemeter-cli: the same command with --resume continues this batch (journal %s)\n",
                     o.journal->c_str());
    if (notAnalysed > 0) return 130;
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
    app.add_flag("--resume", o.resume,
                 "continue a batch that was stopped (Ctrl-C, killed, a failed write) with the same images, options "
                 "and seed: the images done before, as the batch journal RESULTS.resume beside the results file "
                 "records them, are skipped; the results file is cut back to its last whole entry; the --json "
                 "report covers all images. Without --seed the stopped run's seed is used. A batch that finished "
                 "removes its journal, so there is nothing to resume (exit status 2)");
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
    const imaging::ChosenSeed placed = imaging::placeSeed(o.seed, imaging::clockSeed(), 0);
    o.baseSeed = placed.seed;
    o.seedSource = placed.source;
    return run(o);
}

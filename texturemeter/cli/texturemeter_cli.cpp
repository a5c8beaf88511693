// texturemeter-cli: runs the texture analysis ("Start(A)", "START(B)-Processing of reflection
// effect" or "Start (C) Normalization") on one or more photographs and writes the results file:
// the header once, then per image, in the order given, its result row and its sampling line.

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "imaging/errors.hpp"
#include "imaging/image_file.hpp"
#include "imaging/numeric.hpp"
#include "imaging/random.hpp"
#include "imaging/report.hpp"
#include "texturemeter/measurements_json.hpp"
#include "texturemeter/results_file.hpp"
#include "texturemeter/run_driver.hpp"

namespace {

using namespace texturemeter;
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
    std::vector<std::string> images;
    // The seed the run uses: --seed, or one read from the clock (reported so that the run can be
    // repeated). Image i uses deriveSeed(baseSeed, i).
    uint64_t baseSeed = 0;
};

// The outcome of one image: its two lines and measurements, or the error that stopped it.
struct ImageResult {
    bool done = false;
    bool failed = false;
    std::vector<std::string> lines;
    std::optional<TextureMeasurements> measurements;
    TextureFits fits;  // behind the measurements' dimensions
    std::string error;
};

Variant parseVariant(const std::string& v) {
    if (v == "A" || v == "a") return Variant::A;
    if (v == "B" || v == "b") return Variant::B;
    return Variant::C;
}

std::string fileNameOf(const std::string& path) { return std::filesystem::path(path).filename().string(); }

// The whole run of one image with its own pictures, generator and (in-memory) results lines.
ImageResult analyseOne(const Options& o, std::size_t index) {
    ImageResult result;
    CollectedLines lines;
    // The first collected line is the header, which the tool writes once for all images.
    const auto keepWritten = [&] {
        if (lines.lines.size() > 1) result.lines.assign(lines.lines.begin() + 1, lines.lines.end());
    };
    try {
        const imaging::Image photo = imaging::loadImageFile(o.images[index]);
        RunRequest request;
        request.variant = parseVariant(o.variant);
        request.regionX = imaging::parseInt16(o.x);
        request.regionY = imaging::parseInt16(o.y);
        request.imageFileName = fileNameOf(o.images[index]);
        request.texts = o.texts;
        if (!o.keepDerived.empty()) {
            request.derived.freeze = FreezeStrategy::ThroughFiles;
            request.derived.names = derivedNames(o.keepDerived, request.imageFileName);
            request.derived.deleteAtEnd = false;
        }
        imaging::FastRandom random(imaging::deriveSeed(o.baseSeed, index));
        PictureSurface monochromeImage, hessianImage, figure, statusView;
        try {
            RunOutcome outcome = runAnalysis(PhotoView(photo), request,
                                             RunSurfaces{monochromeImage, hessianImage, figure, statusView}, lines,
                                             random);
            result.measurements = outcome.measurements;
            result.fits = std::move(outcome.fits);
        } catch (...) {
            keepWritten();  // a row written before the error stays, as in the window's file
            throw;
        }
        keepWritten();
    } catch (const imaging::RunError& e) {
        result.failed = true;
        result.error = runErrorMessage(e, o.texts, parseVariant(o.variant));
    } catch (const std::exception& e) {
        result.failed = true;
        result.error = e.what();
    }
    return result;
}

// One updating line on stderr when it is a terminal; nothing otherwise.
class ProgressBar {
public:
    explicit ProgressBar(std::size_t total) : total_(total), enabled_(isatty(STDERR_FILENO) == 1) { show(0); }
    void show(std::size_t done) {
        if (!enabled_) return;
        constexpr int kWidth = 30;
        const int filled = total_ ? int(done * kWidth / total_) : kWidth;
        std::fprintf(stderr, "\r[%s%s] %s/%s images", std::string(std::size_t(filled), '#').c_str(),
                     std::string(std::size_t(kWidth - filled), ' ').c_str(),
                     imaging::numberText(static_cast<long long>(done)).c_str(),
                     imaging::numberText(static_cast<long long>(total_)).c_str());
        std::fflush(stderr);
    }
    // Ends the progress line so that messages start on a fresh line.
    void pause() {
        if (enabled_) std::fprintf(stderr, "\r\033[K");
    }
    void finish() {
        if (enabled_) std::fprintf(stderr, "\n");
    }

private:
    std::size_t total_;
    bool enabled_;
};

// With --keep-derived every image writes five images named from its file name without its first
// character and extension, so "P1234.jpg" and "Q1234.jpg" (or one image given twice) would write,
// and read back, the same files, at the same time when analysed in parallel. Such a batch is
// refused before anything is written.
bool derivedNamesCollide(const Options& o) {
    if (o.keepDerived.empty()) return false;
    std::map<std::string, std::size_t> owner;
    for (std::size_t i = 0; i < o.images.size(); ++i) {
        const std::string name = derivedNames(o.keepDerived, fileNameOf(o.images[i])).hessian;
        const auto [at, fresh] = owner.emplace(name, i);
        if (!fresh) {
            std::fprintf(stderr,
                         "texturemeter-cli: %s and %s would both write their derived images as %s and the like "
                         "in %s; analyse them with different --keep-derived directories\n",
                         o.images[at->second].c_str(), o.images[i].c_str(),
                         std::filesystem::path(name).filename().string().c_str(), o.keepDerived.c_str());
            return true;
        }
    }
    return false;
}

// A parameter as the run reads it: a number where the text is one, else the text itself.
Json parameterValue(const std::string& text, bool whole) {
    try {
        if (whole) return imaging::parseInt16(text);
        return imaging::parseNumber(text);
    } catch (const imaging::RunError&) {
        return text;
    }
}

// The --json document's head: program, version, every parameter and the seed in use.
Json reportHead(const Options& o) {
    Json parameters = {
        {"x", parameterValue(o.x, true)},
        {"y", parameterValue(o.y, true)},
        {"side", parameterValue(o.texts.regionSide, true)},
        {"window", parameterValue(o.texts.tileSide, false)},
        {"neighbour", parameterValue(o.texts.neighbourDistance, false)},
        {"variant", std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(o.variant[0]))))},
        {"output", o.texts.resultsName},
        {"keepDerived", o.keepDerived.empty() ? Json() : Json(o.keepDerived)},
    };
    return {{"program", "texturemeter-cli"},
            {"version", std::string(imaging::programVersion())},
            {"parameters", std::move(parameters)},
            {"seed", o.baseSeed},
            {"seedSource", o.seed ? "option" : "clock"},
            {"images", Json::array()}};
}

// One image of the --json document: what it is, the seed it used, and its measurements or error.
Json reportImage(const Options& o, std::size_t index, const ImageResult& r) {
    Json entry = imaging::imageEntry(fileNameOf(o.images[index]), o.images[index]);
    entry["seed"] = imaging::deriveSeed(o.baseSeed, index);
    if (r.failed)
        entry["error"] = r.error;
    else if (r.measurements)
        entry["measurements"] = toJson(*r.measurements, r.fits);
    return entry;
}

int run(const Options& o) {
    if (derivedNamesCollide(o)) return 2;
    if (!o.seed)
        std::fprintf(stderr, "texturemeter-cli: seed %llu (from the clock; --seed %llu repeats this run)\n",
                     static_cast<unsigned long long>(o.baseSeed), static_cast<unsigned long long>(o.baseSeed));
    ResultsFile results;
    try {
        results.open(o.texts.resultsName);
        results.writeLine(std::string(kResultsHeader));
    } catch (const imaging::RunError& e) {
        std::fprintf(stderr, "texturemeter-cli: %s\n", e.what());
        return 2;
    }

    const std::size_t count = o.images.size();
    std::vector<ImageResult> outcomes(count);
    std::mutex mutex;
    std::condition_variable finished;
    std::atomic<std::size_t> next{0};
    const unsigned jobs = std::max(1u, std::min<unsigned>(o.jobs ? o.jobs : std::max(1u, std::thread::hardware_concurrency()),
                                                          static_cast<unsigned>(count)));
    std::vector<std::thread> workers;
    for (unsigned j = 0; j < jobs; ++j) {
        workers.emplace_back([&] {
            for (std::size_t i = next++; i < count; i = next++) {
                ImageResult r = analyseOne(o, i);
                r.done = true;
                std::lock_guard<std::mutex> lock(mutex);
                outcomes[i] = std::move(r);
                finished.notify_all();
            }
        });
    }

    // Results go to the file in input order as soon as each image and those before it are done.
    ProgressBar progress(count);
    bool anyFailed = false;
    bool writeFailed = false;
    Json report = o.json.empty() ? Json() : reportHead(o);
    for (std::size_t i = 0; i < count; ++i) {
        ImageResult r;
        {
            std::unique_lock<std::mutex> lock(mutex);
            finished.wait(lock, [&] { return outcomes[i].done; });
            r = std::move(outcomes[i]);
        }
        if (r.failed) {
            anyFailed = true;
            progress.pause();
            std::fprintf(stderr, "texturemeter-cli: %s: %s\n", o.images[i].c_str(), r.error.c_str());
        }
        if (!writeFailed) {
            try {
                for (const std::string& line : r.lines) results.writeLine(line);
            } catch (const imaging::RunError& e) {
                writeFailed = true;
                progress.pause();
                std::fprintf(stderr, "texturemeter-cli: %s\n", e.what());
            }
        }
        if (!o.json.empty()) report["images"].push_back(reportImage(o, i, r));
        progress.show(i + 1);
    }
    progress.finish();
    for (std::thread& t : workers) t.join();
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
    if (writeFailed) return 2;
    return anyFailed ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    CLI::App app{"Texture analysis of colour photographs: surface-area fractal dimensions of the grey and "
                 "Hessian images, line and dot shares, outline dimension, grey-tone statistics and random "
                 "texture probes of a square, written to a comma-separated results file."};
    app.add_option("--x", o.x, "left edge of the analysed square in the photo")->capture_default_str();
    app.add_option("--y", o.y, "top edge of the analysed square")->capture_default_str();
    app.add_option("--side", o.texts.regionSide, "side of the square (Sampling width), 1..499")->capture_default_str();
    app.add_option("--window", o.texts.tileSide, "tile side of the surface dimension (Length of one side), >= 20")
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
                   "(default: a seed from the clock, reported on stderr)");
    app.add_option("--json", o.json,
                   "also write a JSON report: version, parameters, seed, and per image its size, SHA-256 and "
                   "named measurements at full precision (or its error)");
    app.add_option("--jobs", o.jobs, "images analysed in parallel (default: the number of cores)")
        ->check(CLI::PositiveNumber);
    app.add_option("--keep-derived", o.keepDerived,
                   "write the derived images (h, a, b, c, e .bmp) into this directory and keep them")
        ->check(CLI::ExistingDirectory);
    app.add_option("IMAGE", o.images, "photographs (JPEG, BMP or PNG)")->required();
    CLI11_PARSE(app, argc, argv);
    o.baseSeed = o.seed ? *o.seed : imaging::clockSeed();
    return run(o);
}

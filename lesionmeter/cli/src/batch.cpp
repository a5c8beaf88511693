#include "batch.hpp"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <filesystem>
#include <mutex>
#include <thread>

#include "imaging/exif_orientation.hpp"
#include "imaging/random.hpp"
#include "lesionmeter/marks.hpp"
#include "lesionmeter/results_row.hpp"
#include "scripted_analysis.hpp"

namespace lesionmeter::cli {

namespace {

struct Outcome {
    bool done = false;
    std::string error;
    ResultsRecord record;
    ImageOutcome report;
};

void showProgress(std::ostream* progress, bool terminal, std::size_t done, std::size_t total, const std::string& name) {
    if (!progress) return;
    if (terminal) {
        constexpr std::size_t width = 30;
        const std::size_t filled = total == 0 ? width : done * width / total;
        *progress << "\r[" << std::string(filled, '#') << std::string(width - filled, ' ') << "] " << done << "/"
                  << total << " " << name << "\033[K" << std::flush;
        if (done == total) *progress << "\n";
    } else {
        *progress << done << "/" << total << " " << name << "\n";
    }
}

}  // namespace

int runBatch(const Batch& batch, std::ostream& errors, std::ostream* progress, bool terminal) {
    const std::size_t count = batch.photos.size();
    std::vector<Outcome> outcomes(count);
    std::mutex mutex;
    std::condition_variable finished;
    std::atomic<std::size_t> next{0};
    // Photographs without any seed get one of their own: the photo seed of their place in a batch
    // whose base seed is read from the clock. Each is reported; given back as --seed with the
    // photograph alone, it repeats the photograph's row.
    const uint64_t clockBase = imaging::clockSeed();

    auto analyseOne = [&](std::size_t i) {
        Outcome outcome;
        outcome.report.path = batch.photos[i];
        try {
            const std::string& photo = batch.photos[i];
            ScriptedAnalysis script;
            script.image = photo;
            script.marksName.name = marksFileFor(photo);
            script.marks = readMarks(script.marksName.name);
            script.seed = batch.seed ? batch.seed : script.marks->seed;
            outcome.report.seedSource = batch.seed ? "option" : script.marks->seed ? "marks" : "clock";
            if (!script.seed) script.seed = imaging::photoSeed(clockBase, i);
            outcome.report.seed = script.seed;
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
        outcome.done = true;
        {
            const std::lock_guard lock(mutex);
            outcomes[i] = std::move(outcome);
        }
        finished.notify_all();
    };

    unsigned jobs = batch.jobs ? batch.jobs : std::max(1u, std::thread::hardware_concurrency());
    jobs = static_cast<unsigned>(std::min<std::size_t>(jobs, std::max<std::size_t>(count, 1)));
    std::vector<std::thread> workers;
    for (unsigned w = 0; w < jobs; ++w) {
        workers.emplace_back([&] {
            for (std::size_t i = next++; i < count; i = next++) analyseOne(i);
        });
    }

    // Rows in input order, each written as soon as the photographs before it are done, into the
    // results file held (and locked) until the batch ends.
    ResultsRowFile ownFile;
    ResultsRowFile& csvFile = batch.csvFile ? *batch.csvFile : ownFile;
    int failures = 0;
    std::string writeError;
    for (std::size_t i = 0; i < count; ++i) {
        Outcome outcome;
        {
            std::unique_lock lock(mutex);
            finished.wait(lock, [&] { return outcomes[i].done; });
            outcome = outcomes[i];
        }
        const std::string& photo = batch.photos[i];
        const bool analysed = !outcome.record.photo.empty();
        if (const std::string turned = imaging::exifOrientationWarning(outcome.report.exifOrientation); !turned.empty())
            errors << "lesionmeter-cli: " << photo << ": warning: " << turned << "\n";
        if (analysed && outcome.report.seedSource == "clock")
            errors << "lesionmeter-cli: " << photo << ": seed " << *outcome.report.seed << " (from the clock; --seed "
                   << *outcome.report.seed << " with this photograph alone repeats it)\n";
        if (!outcome.error.empty()) {
            ++failures;
            errors << "lesionmeter-cli: " << photo << ": " << outcome.error << "\n";
        }
        // A photograph whose "axis" found no outline keeps its other results.
        if (analysed && writeError.empty()) {
            try {
                if (!csvFile.isOpen()) csvFile.open(batch.csv, batch.whenLocked);
                csvFile.append(outcome.record);
            } catch (const std::exception& e) {
                writeError = e.what();
            }
        }
        if (batch.outcomes) batch.outcomes->push_back(outcome.report);
        showProgress(progress, terminal, i + 1, count, photo);
    }
    for (std::thread& t : workers) t.join();
    try {
        csvFile.close();
    } catch (const std::exception& e) {
        if (writeError.empty()) writeError = e.what();
    }
    if (!writeError.empty()) {
        errors << "lesionmeter-cli: " << writeError << "\n";
        ++failures;
    }
    return failures;
}

}  // namespace lesionmeter::cli

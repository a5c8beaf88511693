#pragma once
// The one batch of every route (both tools, the Python package): many photographs analysed in
// parallel, each worker keeping its own workspace from photograph to photograph, the results handed
// back in input order as soon as a photograph and every one before it are done. An interruption
// (Ctrl-C) starts no new photograph; the ones under way finish and are handed back, and the batch
// says how many were never analysed. Beside it: the number of parallel jobs, the interrupt handler
// and the one progress report (an updating line on a terminal, whole lines otherwise).

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdio>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

namespace imaging {

// The number of photographs analysed at once: `requested` (0: the number of cores), at most the
// number of photographs and the number of cores. `note` receives why a requested number was
// reduced ("--jobs 8 reduced to 2 (2 images, 4 cores)"), and is emptied otherwise.
unsigned parallelJobs(unsigned requested, std::size_t items, unsigned cores, std::string& note);

// Ctrl-C: the first SIGINT only sets a flag (no new photograph is started); a second one ends the
// process at once.
void installInterruptHandler();
bool interrupted();
// Forgets an interruption (a process that runs several batches, and the tests).
void clearInterrupt();

// What a batch is asked to do.
struct BatchPlan {
    std::size_t count = 0;   // items 0 .. count-1
    std::size_t first = 0;   // items before it are neither analysed nor handed back (a resumed batch)
    unsigned jobs = 1;       // worker threads (at least one)
    // Asked before each new item: true starts no more (the items under way finish).
    std::function<bool()> stopRequested = interrupted;
};

// How a batch ended.
struct BatchSummary {
    std::size_t delivered = 0;    // items analysed and handed back
    std::size_t notAnalysed = 0;  // items from `first` on that were never analysed (the batch was stopped)
};

// Runs `analyse(index, workspace)` for every item from plan.first on, on plan.jobs threads; each
// thread default-constructs one Workspace and passes it to every item it analyses. Calls
// `deliver(index, result)` on the calling thread, in input order, as soon as an item and all
// before it are done. Items are started in order, so the items handed back are always the first
// ones; after a stop the rest are counted in notAnalysed. An exception from `analyse` (errors an
// item should report belong in its result) stops the batch: the items before are handed back, the
// workers finish, and it is thrown again here, as is an exception from `deliver`.
template <class Workspace, class Analyse, class Deliver>
BatchSummary runBatch(const BatchPlan& plan, Analyse&& analyse, Deliver&& deliver) {
    using Result = std::invoke_result_t<Analyse&, std::size_t, Workspace&>;
    BatchSummary summary;
    if (plan.first >= plan.count) return summary;
    const std::size_t count = plan.count;
    std::vector<std::optional<Result>> slots(count - plan.first);
    std::mutex mutex;
    std::condition_variable changed;
    std::size_t next = plan.first;  // the next item to start (under the mutex)
    bool stop = false;              // no new item starts (under the mutex)
    std::exception_ptr failure;     // the exception that stopped the batch
    std::size_t failedAt = count;   // the item whose analysis threw
    const unsigned jobs = plan.jobs == 0 ? 1u : plan.jobs;
    unsigned running = jobs;

    auto work = [&] {
        Workspace workspace;
        for (;;) {
            std::size_t index;
            {
                std::unique_lock lock(mutex);
                if (stop || next >= count) break;
                // Asked before taking an item: the items taken are always the first ones.
                if (plan.stopRequested && plan.stopRequested()) {
                    stop = true;
                    break;
                }
                index = next++;
            }
            try {
                Result result = analyse(index, workspace);
                std::lock_guard lock(mutex);
                slots[index - plan.first].emplace(std::move(result));
            } catch (...) {
                std::lock_guard lock(mutex);
                stop = true;
                if (index < failedAt) {
                    failedAt = index;
                    failure = std::current_exception();
                }
            }
            changed.notify_all();
        }
        {
            std::lock_guard lock(mutex);
            --running;
        }
        changed.notify_all();
    };

    std::vector<std::thread> workers;
    workers.reserve(jobs);
    for (unsigned j = 0; j < jobs; ++j) workers.emplace_back(work);
    auto joinAll = [&] {
        for (std::thread& t : workers)
            if (t.joinable()) t.join();
    };

    try {
        for (std::size_t i = plan.first; i < count; ++i) {
            std::optional<Result> result;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return slots[i - plan.first].has_value() || i >= failedAt || running == 0; });
                if (!slots[i - plan.first]) break;  // never analysed: the batch was stopped
                result = std::move(slots[i - plan.first]);
                slots[i - plan.first].reset();
            }
            deliver(i, std::move(*result));
            ++summary.delivered;
        }
    } catch (...) {
        {
            std::lock_guard lock(mutex);
            stop = true;
        }
        joinAll();
        throw;
    }
    joinAll();
    if (failure) std::rethrow_exception(failure);
    summary.notAnalysed = count - plan.first - summary.delivered;
    return summary;
}

// The progress of a batch on a stream (stderr): on a terminal one updating line,
// "[######      ] 3/10 NAME", redrawn after each photograph and ended when the batch ends; otherwise
// one whole line per photograph, "3/10 NAME". Messages (warnings, errors) go through it so that
// on a terminal they stand on lines of their own, with the bar below them.
class BatchProgress {
public:
    BatchProgress(std::ostream& out, std::size_t total, bool terminal);
    // Whether a stream of the C library (stderr) is a terminal.
    static bool isTerminal(std::FILE* stream);

    // Item number `done` (1-based, in input order) named `name` is finished.
    void advance(std::size_t done, const std::string& name);
    // A line of its own (without its line end).
    void message(const std::string& line);
    // Ends the updating line (nothing for whole lines). Called once; later calls do nothing.
    void finish();

private:
    void draw();

    std::ostream& out_;
    std::size_t total_;
    bool terminal_;
    bool finished_ = false;
    std::size_t done_ = 0;
    std::string name_;
};

}  // namespace imaging

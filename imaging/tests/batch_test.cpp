// The one batch runner: input order, interruption, workspaces kept per worker, errors, the number
// of jobs and both forms of the progress report.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <set>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

#include "imaging/batch.hpp"

namespace {

using imaging::BatchPlan;
using imaging::BatchSummary;

struct Counter {
    int analysed = 0;  // items this workspace has seen
    int id = -1;
};

BatchPlan plan(std::size_t count, unsigned jobs) {
    BatchPlan p;
    p.count = count;
    p.jobs = jobs;
    p.stopRequested = [] { return false; };
    return p;
}

// Items finish out of order (later ones faster), yet arrive in input order.
TEST(BatchRunner, DeliversInInputOrderWhateverTheFinishingOrder) {
    std::vector<std::size_t> delivered;
    std::vector<int> values;
    const BatchSummary s = imaging::runBatch<Counter>(
        plan(24, 4),
        [](std::size_t i, Counter&) {
            std::this_thread::sleep_for(std::chrono::microseconds(200 * (24 - i)));
            return static_cast<int>(i * i);
        },
        [&](std::size_t i, int v) {
            delivered.push_back(i);
            values.push_back(v);
        });
    ASSERT_EQ(delivered.size(), 24u);
    for (std::size_t i = 0; i < 24; ++i) {
        EXPECT_EQ(delivered[i], i);
        EXPECT_EQ(values[i], static_cast<int>(i * i));
    }
    EXPECT_EQ(s.delivered, 24u);
    EXPECT_EQ(s.notAnalysed, 0u);
}

// An item is handed back as soon as it and those before it are done, not at the end: item 0 is
// delivered while item 1 is still held up.
TEST(BatchRunner, DeliversAnItemBeforeLaterOnesFinish) {
    std::atomic<bool> release{false};
    std::atomic<bool> firstSeen{false};
    imaging::runBatch<Counter>(
        plan(2, 2),
        [&](std::size_t i, Counter&) {
            if (i == 1)
                while (!release.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return i;
        },
        [&](std::size_t i, std::size_t) {
            if (i == 0) {
                firstSeen = true;
                release = true;  // item 1 could not have finished before this
            } else {
                EXPECT_TRUE(firstSeen.load());
            }
        });
    EXPECT_TRUE(firstSeen.load());
}

// Each worker builds one workspace and keeps it for every item it analyses.
TEST(BatchRunner, EachWorkerKeepsItsWorkspaceFromItemToItem) {
    std::atomic<int> workspaces{0};
    struct Kept {
        Counter counter;
    };
    std::vector<std::pair<int, int>> seen;  // (workspace id, items it had seen before this one)
    imaging::runBatch<Kept>(
        plan(40, 3),
        [&](std::size_t, Kept& kept) {
            if (kept.counter.id < 0) kept.counter.id = workspaces++;
            const std::pair<int, int> r{kept.counter.id, kept.counter.analysed++};
            std::this_thread::sleep_for(std::chrono::microseconds(300));
            return r;
        },
        [&](std::size_t, std::pair<int, int> r) { seen.push_back(r); });
    EXPECT_LE(workspaces.load(), 3);
    EXPECT_GE(workspaces.load(), 1);
    // Per workspace the counts run 0, 1, 2, ... without gaps: one workspace per worker, reused.
    std::vector<std::set<int>> counts(3);
    for (const auto& [id, before] : seen) counts.at(std::size_t(id)).insert(before);
    std::size_t total = 0;
    for (const std::set<int>& c : counts) {
        if (c.empty()) continue;
        EXPECT_EQ(*c.rbegin() + 1, static_cast<int>(c.size()));
        total += c.size();
    }
    EXPECT_EQ(total, 40u);
}

// A stop (Ctrl-C) starts no new item: those under way finish and are handed back, in order, and
// the rest are counted as not analysed.
TEST(BatchRunner, AStopStartsNoNewItemAndCountsTheRest) {
    std::atomic<bool> stop{false};
    BatchPlan p = plan(50, 2);
    p.stopRequested = [&] { return stop.load(); };
    std::atomic<int> started{0};
    std::vector<std::size_t> delivered;
    const BatchSummary s = imaging::runBatch<Counter>(
        p,
        [&](std::size_t i, Counter&) {
            if (++started == 6) stop = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            return i;
        },
        [&](std::size_t i, std::size_t) { delivered.push_back(i); });
    EXPECT_EQ(static_cast<int>(delivered.size()), started.load());
    EXPECT_GE(delivered.size(), 6u);
    EXPECT_LE(delivered.size(), 7u);  // the other worker may have taken one more before the stop
    for (std::size_t i = 0; i < delivered.size(); ++i) EXPECT_EQ(delivered[i], i);
    EXPECT_EQ(s.delivered, delivered.size());
    EXPECT_EQ(s.notAnalysed, 50u - delivered.size());
}

// The interrupt handler: the first SIGINT only sets the flag the batch asks.
TEST(BatchRunner, TheFirstInterruptOnlySetsTheFlag) {
    imaging::clearInterrupt();
    imaging::installInterruptHandler();
    EXPECT_FALSE(imaging::interrupted());
    std::raise(SIGINT);
    EXPECT_TRUE(imaging::interrupted());
    BatchPlan p;
    p.count = 5;
    p.jobs = 2;  // stopRequested: imaging::interrupted
    int analysed = 0;
    const BatchSummary s = imaging::runBatch<Counter>(
        p,
        [&](std::size_t i, Counter&) {
            ++analysed;
            return i;
        },
        [](std::size_t, std::size_t) {});
    EXPECT_EQ(analysed, 0);
    EXPECT_EQ(s.notAnalysed, 5u);
    imaging::clearInterrupt();
    EXPECT_FALSE(imaging::interrupted());
    std::signal(SIGINT, SIG_DFL);
}

// A resumed batch analyses and hands back only the items from `first` on.
TEST(BatchRunner, ItemsBeforeFirstAreLeftOut) {
    BatchPlan p = plan(10, 2);
    p.first = 7;
    std::vector<std::size_t> analysed, delivered;
    std::mutex m;
    const BatchSummary s = imaging::runBatch<Counter>(
        p,
        [&](std::size_t i, Counter&) {
            std::lock_guard lock(m);
            analysed.push_back(i);
            return i;
        },
        [&](std::size_t i, std::size_t) { delivered.push_back(i); });
    EXPECT_EQ(delivered, (std::vector<std::size_t>{7, 8, 9}));
    EXPECT_EQ(analysed.size(), 3u);
    EXPECT_EQ(s.delivered, 3u);
    EXPECT_EQ(s.notAnalysed, 0u);
    p.first = 10;
    EXPECT_EQ(imaging::runBatch<Counter>(p, [](std::size_t i, Counter&) { return i; },
                                         [](std::size_t, std::size_t) { FAIL(); })
                  .delivered,
              0u);
}

// An exception from an analysis stops the batch: the items before it are handed back, then it is
// thrown on.
TEST(BatchRunner, AnExceptionHandsBackTheItemsBeforeItAndIsThrownOn) {
    std::vector<std::size_t> delivered;
    EXPECT_THROW(imaging::runBatch<Counter>(
                     plan(30, 2),
                     [](std::size_t i, Counter&) {
                         if (i == 4) throw std::runtime_error("item 4");
                         return i;
                     },
                     [&](std::size_t i, std::size_t) { delivered.push_back(i); }),
                 std::runtime_error);
    EXPECT_EQ(delivered, (std::vector<std::size_t>{0, 1, 2, 3}));
}

TEST(BatchRunner, AnExceptionFromDeliveryEndsTheWorkersAndIsThrownOn) {
    std::atomic<int> analysed{0};
    EXPECT_THROW(imaging::runBatch<Counter>(
                     plan(1000, 2),
                     [&](std::size_t i, Counter&) {
                         ++analysed;
                         std::this_thread::sleep_for(std::chrono::milliseconds(1));
                         return i;
                     },
                     [](std::size_t i, std::size_t) {
                         if (i == 2) throw std::runtime_error("write failed");
                     }),
                 std::runtime_error);
    EXPECT_LT(analysed.load(), 1000);
}

TEST(ParallelJobs, DefaultsToTheCoresAndReducesWithANote) {
    std::string note = "old";
    EXPECT_EQ(imaging::parallelJobs(0, 10, 4, note), 4u);
    EXPECT_EQ(note, "");
    EXPECT_EQ(imaging::parallelJobs(0, 2, 4, note), 2u);
    EXPECT_EQ(imaging::parallelJobs(3, 10, 4, note), 3u);
    EXPECT_EQ(note, "");
    EXPECT_EQ(imaging::parallelJobs(8, 10, 4, note), 4u);
    EXPECT_EQ(note, "--jobs 8 reduced to 4 (10 images, 4 cores)");
    EXPECT_EQ(imaging::parallelJobs(5, 1, 1, note), 1u);
    EXPECT_EQ(note, "--jobs 5 reduced to 1 (1 image, 1 core)");
    EXPECT_EQ(imaging::parallelJobs(0, 0, 0, note), 1u);
}

TEST(BatchProgress, WholeLinesWhenNotATerminal) {
    std::ostringstream out;
    imaging::BatchProgress progress(out, 3, false);
    EXPECT_EQ(out.str(), "");
    progress.advance(1, "a.jpg");
    progress.message("tool: b.jpg: File not found: b.jpg");
    progress.advance(2, "b.jpg");
    progress.advance(3, "c.jpg");
    progress.finish();
    EXPECT_EQ(out.str(), "1/3 a.jpg\ntool: b.jpg: File not found: b.jpg\n2/3 b.jpg\n3/3 c.jpg\n");
}

TEST(BatchProgress, OneUpdatingLineOnATerminal) {
    std::ostringstream out;
    imaging::BatchProgress progress(out, 4, true);
    const std::string empty = "\r[" + std::string(30, ' ') + "] 0/4\033[K";
    EXPECT_EQ(out.str(), empty);
    progress.advance(1, "a.jpg");
    const std::string quarter = "\r[" + std::string(7, '#') + std::string(23, ' ') + "] 1/4 a.jpg\033[K";
    EXPECT_EQ(out.str(), empty + quarter);
    // A message clears the line, stands on its own line, and the bar is drawn again below it.
    progress.message("tool: a.jpg: warning");
    EXPECT_EQ(out.str(), empty + quarter + "\r\033[Ktool: a.jpg: warning\n" + quarter);
    out.str("");
    progress.advance(4, "d.jpg");
    progress.finish();
    progress.finish();
    EXPECT_EQ(out.str(), "\r[" + std::string(30, '#') + "] 4/4 d.jpg\033[K\n");
    out.str("");
    progress.message("after the end");
    EXPECT_EQ(out.str(), "after the end\n");
}

}  // namespace

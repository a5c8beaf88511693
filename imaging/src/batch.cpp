#include "imaging/batch.hpp"

#include <unistd.h>

#include <algorithm>
#include <csignal>

namespace imaging {

namespace {

std::atomic<bool> interruptRequested{false};

extern "C" void onInterrupt(int) { interruptRequested.store(true); }

}  // namespace

unsigned parallelJobs(unsigned requested, std::size_t items, unsigned cores, std::string& note) {
    note.clear();
    cores = std::max(1u, cores);
    const unsigned limit =
        static_cast<unsigned>(std::max<std::size_t>(1, std::min<std::size_t>(items, std::size_t(cores))));
    if (requested == 0) return limit;
    if (requested <= limit) return requested;
    note = "--jobs " + std::to_string(requested) + " reduced to " + std::to_string(limit) + " (" +
           std::to_string(items) + " image" + (items == 1 ? "" : "s") + ", " + std::to_string(cores) + " core" +
           (cores == 1 ? "" : "s") + ")";
    return limit;
}

void installInterruptHandler() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND | SA_RESTART;  // a second Ctrl-C ends the process at once
    sigaction(SIGINT, &action, nullptr);
}

bool interrupted() { return interruptRequested.load(); }

void clearInterrupt() { interruptRequested.store(false); }

BatchProgress::BatchProgress(std::ostream& out, std::size_t total, bool terminal)
    : out_(out), total_(total), terminal_(terminal) {
    if (terminal_) draw();
}

bool BatchProgress::isTerminal(std::FILE* stream) { return ::isatty(::fileno(stream)) == 1; }

void BatchProgress::draw() {
    constexpr std::size_t kWidth = 30;
    const std::size_t filled = total_ == 0 ? kWidth : std::min(done_, total_) * kWidth / total_;
    out_ << "\r[" << std::string(filled, '#') << std::string(kWidth - filled, ' ') << "] " << std::to_string(done_)
         << "/" << std::to_string(total_);
    if (!name_.empty()) out_ << " " << name_;
    out_ << "\033[K" << std::flush;
}

void BatchProgress::advance(std::size_t done, const std::string& name) {
    done_ = done;
    name_ = name;
    if (terminal_) {
        if (!finished_) draw();
    } else {
        out_ << std::to_string(done) << "/" << std::to_string(total_) << " " << name << "\n" << std::flush;
    }
}

void BatchProgress::message(const std::string& line) {
    if (terminal_ && !finished_) {
        out_ << "\r\033[K" << line << "\n";
        draw();
    } else {
        out_ << line << "\n" << std::flush;
    }
}

void BatchProgress::finish() {
    if (terminal_ && !finished_) out_ << "\n" << std::flush;
    finished_ = true;
}

}  // namespace imaging

#pragma once
// The journal of a batch that writes a results file, so that a batch stopped at any point (Ctrl-C,
// a killed process, a power cut, a full disk) can be continued with --resume. The results file
// alone cannot say how far a run got: a photograph that failed writes no row, and the file holds
// no seed or parameters. So while the batch runs, a small text file beside the results file
// ("RESULTS.resume") holds, one JSON object a line:
//   - first, the batch's identity: program, version, parameters, seed and its source, the inputs
//     as given with their sizes, and the results file's size before the batch;
//   - then one line per photograph handed back, in input order, written after its results entry
//     reached the results file (and the disk): its place, name, failure, its --json report entry,
//     where its entry begins in the results file and the results file's size after it.
// A batch that ends with every photograph handed back removes its journal.
// Resuming reads the journal, drops a last line cut short, refuses a batch that is not the same
// (naming the first difference), cuts the results file back to the size of the last complete
// line (a half-written entry, or one written but not yet journaled, goes) and checks that each
// journaled entry in the file starts with its photograph's name.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "imaging/file_output.hpp"
#include "imaging/report.hpp"

namespace imaging {

// What makes two runs the same batch.
struct BatchIdentity {
    std::string program;
    std::string version;
    // The parameters that shape the outputs, keyed by the option that sets them ("--side"), in
    // the form the run uses (a number as a number), so that "--side 0200" equals "--side 200".
    Json parameters = Json::object();
    std::uint64_t seed = 0;
    std::string seedSource;  // "option" or "clock"
    std::vector<std::string> inputs;              // as given
    std::vector<std::optional<std::uintmax_t>> inputSizes;  // none: the input could not be read
    // What else the batch takes for each input, when it takes something of its own (a square of
    // its own); empty when nothing.
    std::vector<Json> inputDetails;
};

// The identity of a batch over `inputs`, with their sizes read now.
BatchIdentity batchIdentity(std::string program, Json parameters, std::uint64_t seed, std::string seedSource,
                            std::vector<std::string> inputs);

// The first difference between a journaled batch and this one, in the words of the options
// ("--side is 200 here, the interrupted run used 180"; "input 5 is b.jpg here, the interrupted
// run's was a.jpg"), or "" when they are the same batch. The seed is compared only when
// `compareSeed` (a run given --seed); without it the journal's seed is taken.
std::string firstDifference(const BatchIdentity& journaled, const BatchIdentity& now, bool compareSeed);

// One photograph handed back by the batch.
struct JournaledItem {
    std::size_t index = 0;
    std::string name;
    bool failed = false;
    Json report;  // its entry of the --json report (null without --json)
    // Where its entry begins in the results file (none: it wrote no entry).
    std::optional<long long> entryAt;
    // The results file's size after it (none: the batch had not opened its results file yet,
    // which a batch that replaces its results file opens with its first entry).
    std::optional<long long> resultsSize;
};

// What a journal holds.
struct ResumePoint {
    BatchIdentity identity;
    // The results file's size before the batch (none: the batch replaces its results file).
    std::optional<long long> resultsSizeBefore;
    std::vector<JournaledItem> items;  // the complete lines, in input order
    bool droppedLastLine = false;      // a last line cut short (or not JSON) was dropped
    std::size_t validLength = 0;       // the bytes of the identity and the complete lines

    // The results file's size that the journal vouches for: the last item's, or the size before.
    std::optional<long long> resultsSize() const;
};

// The journal of the results file `resultsName`: its host path with ".resume" appended; none for
// a results file that is a device or a pipe (/dev/null, /dev/stdout), which keeps no journal.
std::optional<std::string> journalFor(const std::string& resultsName);

// Reads a journal's text. Throws RunError (Refused) naming the journal when its first line is not
// a batch identity, or an item line is out of order; a last line without its line end, or that is
// not JSON, is dropped.
ResumePoint parseJournal(const std::string& text, const std::string& journalName);

// Checks that each journaled entry of `results` (the results file's bytes up to the journal's
// size) begins with `entryStart(index)` (the photograph's name field and the comma after it), and
// throws RunError (Refused) naming the first that does not.
void checkJournaledEntries(const std::string& results, const std::string& resultsName, const ResumePoint& point,
                           const std::function<std::string(std::size_t)>& entryStart);

// Cuts an open results file (opened to append, under its lock) back to the journal's size and
// checks its journaled entries (checkJournaledEntries) and, for a batch that replaced its results
// file, that the file begins with `head` (its header line). Refuses a file shorter than the
// journal says, or not a regular file.
void cutBackResults(OutputFile& results, const std::string& resultsName, const ResumePoint& point,
                    const std::function<std::string(std::size_t)>& entryStart, const std::string& head = "");

// The journal file of one batch. Every line goes to the file with one write, whole or not at all
// (OutputFile), under an advisory lock: one run at a time keeps a batch's journal.
class BatchJournal {
public:
    BatchJournal() = default;
    BatchJournal(const BatchJournal&) = delete;
    BatchJournal& operator=(const BatchJournal&) = delete;

    // Takes the journal `name` and its lock, changing nothing in it (a missing journal is created
    // empty; with `mustExist`, for --resume, it is refused instead, naming it). A run takes its
    // journal's lock before its results file's, so that a run holding a results file's lock always
    // holds its journal's too and two runs never wait for each other. Returns whether the journal
    // already held a batch (an unfinished one). Throws the refusal of a journal another run holds
    // (whenLocked.wait false) and file errors.
    bool hold(const std::string& name, const LockWait& whenLocked = {}, bool mustExist = false);
    // Starts the held journal afresh: the batch's identity and the results file's size before it
    // (none when the batch replaces its results file) replace what was there.
    void start(const BatchIdentity& identity, std::optional<long long> resultsSizeBefore);
    // Reads the held journal (parseJournal), changing nothing.
    ResumePoint read() const;
    // Continues the held journal after `point` (read()): a last line cut short is dropped, and
    // lines are appended after the complete ones from then on.
    void continueFrom(const ResumePoint& point);
    // Records one photograph handed back (after its results entry is in the results file).
    void record(const JournaledItem& item);
    // The batch ended with every photograph handed back: the journal is removed.
    void remove();
    // Leaves the journal as it is (the batch can be resumed) and closes it.
    void close();
    // Gives up a held journal without a batch (a run refused before its work): removed when it is
    // empty (created by hold), left as it was otherwise.
    void release();
    bool isOpen() const { return file_.isOpen(); }
    const std::string& name() const { return name_; }

private:
    OutputFile file_;
    std::string name_;
};

}  // namespace imaging

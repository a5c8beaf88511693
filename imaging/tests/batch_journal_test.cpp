// The batch journal: what a batch records while it runs, and what a resumed batch reads back,
// refuses, and cuts from its results file.

#include "imaging/batch_journal.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "imaging/errors.hpp"
#include "imaging/file_output.hpp"
#include "testdata/scratch_folder.hpp"

namespace {

namespace fs = std::filesystem;
using imaging::BatchIdentity;
using imaging::BatchJournal;
using imaging::JournaledItem;
using imaging::Json;
using imaging::ResumePoint;
using morph::testdata::ScratchFolder;

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// The error message of `f`, or "" when it throws nothing.
template <class F>
std::string refusal(F&& f) {
    try {
        f();
    } catch (const imaging::RunError& e) {
        EXPECT_EQ(e.kind(), imaging::ErrorKind::Refused) << e.what();
        return e.what();
    }
    return "";
}

// A batch over three photographs of the folder, the second missing.
BatchIdentity identityIn(const ScratchFolder& folder, int side = 200, std::uint64_t seed = 7) {
    writeText(folder.file("a.jpg"), "12345");
    writeText(folder.file("c.jpg"), "1234567");
    return imaging::batchIdentity("tool", Json{{"--side", side}, {"--variant", "A"}}, seed, "option",
                                  {folder.file("a.jpg"), folder.file("b.jpg"), folder.file("c.jpg")});
}

JournaledItem item(std::size_t index, const std::string& name, std::optional<long long> at,
                   std::optional<long long> size, bool failed = false) {
    JournaledItem i;
    i.index = index;
    i.name = name;
    i.failed = failed;
    i.entryAt = at;
    i.resultsSize = size;
    i.report = Json{{"name", name}, {"value", 0.1 + static_cast<double>(index)}};
    return i;
}

TEST(BatchIdentity, HoldsTheVersionAndEachInputsSizeOrNoneForAnUnreadableOne) {
    ScratchFolder folder("journal");
    const BatchIdentity id = identityIn(folder);
    EXPECT_EQ(id.program, "tool");
    EXPECT_EQ(id.version, std::string(imaging::programVersion()));
    ASSERT_EQ(id.inputSizes.size(), 3u);
    EXPECT_EQ(id.inputSizes[0], std::optional<std::uintmax_t>(5));
    EXPECT_EQ(id.inputSizes[1], std::nullopt);
    EXPECT_EQ(id.inputSizes[2], std::optional<std::uintmax_t>(7));
}

TEST(BatchIdentity, TheFirstDifferenceIsNamedInTheWordsOfTheOptions) {
    ScratchFolder folder("journal");
    const BatchIdentity journaled = identityIn(folder);
    EXPECT_EQ(imaging::firstDifference(journaled, identityIn(folder), true), "");
    EXPECT_EQ(imaging::firstDifference(journaled, identityIn(folder, 180), true),
              "--side is 180 here, the interrupted run used --side 200");
    EXPECT_EQ(imaging::firstDifference(journaled, identityIn(folder, 200, 8), true),
              "--seed is 8 here, the interrupted run's seed was 7");
    // Without --seed the journal's seed is taken, so no seed differs.
    EXPECT_EQ(imaging::firstDifference(journaled, identityIn(folder, 200, 8), false), "");

    BatchIdentity swapped = identityIn(folder);
    std::swap(swapped.inputs[1], swapped.inputs[2]);
    std::swap(swapped.inputSizes[1], swapped.inputSizes[2]);
    EXPECT_EQ(imaging::firstDifference(journaled, swapped, true),
              "input 2 is " + folder.file("c.jpg") + " here, the interrupted run's was " + folder.file("b.jpg"));

    BatchIdentity shorter = identityIn(folder);
    shorter.inputs.pop_back();
    shorter.inputSizes.pop_back();
    EXPECT_EQ(imaging::firstDifference(journaled, shorter, true),
              "2 inputs here, the interrupted run had 3; input 3 (" + folder.file("c.jpg") + ") is missing here");

    writeText(folder.file("c.jpg"), "123");
    const BatchIdentity changed = imaging::batchIdentity("tool", journaled.parameters, 7, "option", journaled.inputs);
    EXPECT_EQ(imaging::firstDifference(journaled, changed, true),
              "input 3 (" + folder.file("c.jpg") + ") has changed: 3 bytes now, 7 bytes in the interrupted run");

    BatchIdentity extra = identityIn(folder);
    extra.parameters["--json"] = "r.json";
    EXPECT_EQ(imaging::firstDifference(journaled, extra, true), "--json is new here, the interrupted run had no --json");
    // An input taken with something of its own (its own square) differs when that differs.
    BatchIdentity withSquares = identityIn(folder);
    withSquares.inputDetails = {Json{{"x", 1}}, Json(), Json{{"x", 3}}};
    const BatchIdentity squaresJournaled = imaging::parseJournal(
        [&] {
            BatchJournal journal;
            journal.hold(folder.file("s.resume"));
            journal.start(withSquares, 0);
            journal.close();
            return readText(folder.file("s.resume"));
        }(),
        "s.resume").identity;
    EXPECT_EQ(imaging::firstDifference(squaresJournaled, withSquares, true), "");
    withSquares.inputDetails[2] = Json{{"x", 4}};
    EXPECT_EQ(imaging::firstDifference(squaresJournaled, withSquares, true),
              "input 3 (" + folder.file("c.jpg") + ") is taken with {\"x\":4} here, with {\"x\":3} in the interrupted run");

    BatchIdentity other = identityIn(folder);
    other.program = "other";
    EXPECT_EQ(imaging::firstDifference(journaled, other, true), "the journal is tool's, not other's");
}

TEST(BatchJournal, RecordsTheIdentityAndEachItemAndReadsThemBack) {
    ScratchFolder folder("journal");
    const std::string name = folder.file("r.txt.resume");
    const BatchIdentity id = identityIn(folder);
    {
        BatchJournal journal;
        journal.hold(name);
        journal.start(id, 12);
        journal.record(item(0, "a.jpg", 12, 30));
        journal.record(item(1, "b.jpg", std::nullopt, 30, true));
        journal.close();
    }
    const std::string text = readText(name);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3);
    const ResumePoint point = imaging::parseJournal(text, name);
    EXPECT_EQ(imaging::firstDifference(point.identity, id, true), "");
    EXPECT_EQ(point.identity.seedSource, "option");
    EXPECT_EQ(point.resultsSizeBefore, std::optional<long long>(12));
    ASSERT_EQ(point.items.size(), 2u);
    EXPECT_EQ(point.items[0].name, "a.jpg");
    EXPECT_EQ(point.items[0].entryAt, std::optional<long long>(12));
    EXPECT_FALSE(point.items[0].failed);
    EXPECT_TRUE(point.items[1].failed);
    EXPECT_EQ(point.items[1].entryAt, std::nullopt);
    EXPECT_EQ(point.items[1].report, item(1, "b.jpg", {}, {}).report);
    EXPECT_EQ(point.resultsSize(), std::optional<long long>(30));
    EXPECT_FALSE(point.droppedLastLine);
    EXPECT_EQ(point.validLength, text.size());
}

TEST(BatchJournal, ALastLineCutShortOrNotJsonIsDroppedAndResumingAppendsAfterTheCompleteLines) {
    ScratchFolder folder("journal");
    const std::string name = folder.file("r.txt.resume");
    {
        BatchJournal journal;
        journal.hold(name);
        journal.start(identityIn(folder), std::nullopt);
        journal.record(item(0, "a.jpg", 0, 40));
    }
    const std::string whole = readText(name);
    for (const std::string& tail : {std::string("{\"index\":1,\"name\":\"b.j"), std::string("{\"index\":1,\"name\":\"b.jpg\"\n"),
                                   std::string("garbage\n")}) {
        writeText(name, whole + tail);
        BatchJournal journal;
        journal.hold(name, {}, true);
        const ResumePoint point = journal.read();
        EXPECT_EQ(readText(name), whole + tail) << "reading changes nothing";
        journal.continueFrom(point);
        EXPECT_TRUE(point.droppedLastLine) << tail;
        ASSERT_EQ(point.items.size(), 1u) << tail;
        EXPECT_EQ(readText(name), whole) << "the broken line is cut: " << tail;
        journal.record(item(1, "b.jpg", 40, 70));
        journal.close();
        const ResumePoint again = imaging::parseJournal(readText(name), name);
        ASSERT_EQ(again.items.size(), 2u);
        EXPECT_EQ(again.items[1].resultsSize, std::optional<long long>(70));
    }
    // A batch replacing its results file that recorded no size yet vouches for none.
    EXPECT_EQ(imaging::parseJournal(whole.substr(0, whole.find('\n') + 1), name).resultsSize(), std::nullopt);
}

TEST(BatchJournal, ABrokenIdentityOrItemsOutOfOrderAreRefusedAndAMissingJournalIsNamed) {
    ScratchFolder folder("journal");
    const std::string name = folder.file("r.txt.resume");
    EXPECT_EQ(refusal([&] { imaging::parseJournal("", name); }),
              "Cannot resume from the batch journal " + name + ": it is empty");
    EXPECT_EQ(refusal([&] { imaging::parseJournal("{\"program\":1}\n", name); }),
              "Cannot resume from the batch journal " + name + ": its first line is not a batch's identity");
    {
        BatchJournal journal;
        journal.hold(name);
        journal.start(identityIn(folder), 0);
        journal.record(item(1, "b.jpg", 0, 10));
    }
    EXPECT_EQ(refusal([&] { imaging::parseJournal(readText(name), name); }),
              "Cannot resume from the batch journal " + name +
                  ": line 2 records photograph 2 where photograph 1 belongs");
    const std::string missing = folder.file("none.resume");
    EXPECT_EQ(refusal([&] {
                  BatchJournal journal;
                  journal.hold(missing, {}, true);
              }),
              "Cannot resume: there is no batch journal " + missing +
                  " (a batch that finished removes it: nothing to resume)");
    EXPECT_FALSE(fs::exists(missing));
}

TEST(BatchJournal, RemoveDeletesItCloseKeepsItAndReleaseRemovesOnlyAnEmptyOne) {
    ScratchFolder folder("journal");
    const std::string name = folder.file("r.txt.resume");
    BatchJournal journal;
    journal.hold(name);
    journal.start(identityIn(folder), 0);
    journal.close();
    EXPECT_TRUE(fs::exists(name));
    EXPECT_TRUE(journal.hold(name)) << "it holds a batch";
    journal.release();
    EXPECT_TRUE(fs::exists(name)) << "a journal holding a batch is not given up";
    journal.hold(name);
    journal.remove();
    EXPECT_FALSE(fs::exists(name));
    EXPECT_FALSE(journal.isOpen());
    // One taken for a run that is then refused goes again.
    EXPECT_FALSE(journal.hold(name));
    EXPECT_TRUE(fs::exists(name));
    journal.release();
    EXPECT_FALSE(fs::exists(name));
}

TEST(BatchJournal, AResultsFileThatIsADeviceKeepsNoJournal) {
    EXPECT_EQ(imaging::journalFor("/dev/null"), std::nullopt);
    ScratchFolder folder("journal");
    EXPECT_EQ(imaging::journalFor(folder.file("r.txt")), folder.file("r.txt") + ".resume");
}

// A results file of header "H" and two entries "a.jpg,1\n" and "b.jpg,2\n", journaled after each.
struct JournaledResults {
    ResumePoint point;
    std::string content = "H\na.jpg,1\nb.jpg,2\n";
    JournaledResults() {
        point.identity.inputs = {"x/a.jpg", "x/b.jpg", "x/c.jpg"};
        point.items.push_back(item(0, "a.jpg", 2, 10));
        point.items.push_back(item(1, "b.jpg", 10, 18));
    }
};

std::string nameStart(std::size_t i) { return std::string(1, static_cast<char>('a' + i)) + ".jpg,"; }

TEST(CutBackResults, AHalfWrittenOrUnjournaledEntryIsCutAndEachJournaledEntryChecked) {
    ScratchFolder folder("journal");
    const std::string results = folder.file("r.txt");
    JournaledResults j;
    for (const std::string& tail : {std::string(""), std::string("c.jpg, 1.5"), std::string("c.jpg,3\n")}) {
        writeText(results, j.content + tail);
        imaging::OutputFile file;
        file.open(results, imaging::OutputFile::Mode::Append, "results file");
        imaging::cutBackResults(file, results, j.point, nameStart, "H\n");
        file.write("c.jpg,3\n");
        file.close();
        EXPECT_EQ(readText(results), j.content + "c.jpg,3\n") << tail;
    }
}

TEST(CutBackResults, AFileShorterThanJournaledOrWithAnotherEntryOrHeaderIsRefusedUntouched) {
    ScratchFolder folder("journal");
    const std::string results = folder.file("r.txt");
    JournaledResults j;
    const auto refusedWith = [&](const std::string& content) {
        writeText(results, content);
        imaging::OutputFile file;
        file.open(results, imaging::OutputFile::Mode::Append, "results file");
        const std::string message = refusal([&] { imaging::cutBackResults(file, results, j.point, nameStart, "H\n"); });
        file.close();
        EXPECT_EQ(readText(results), content);
        return message;
    };
    EXPECT_EQ(refusedWith("H\na.jpg,1\n"), "Cannot resume: the results file " + results +
                                               " holds 10 bytes, fewer than the 18 the batch journal records; the "
                                               "file was changed after the interrupted run");
    EXPECT_EQ(refusedWith("H\na.jpg,1\nq.jpg,2\nextra"),
              "Cannot resume: the results file " + results +
                  " does not hold the entry of input 2 (x/b.jpg) where the batch journal puts it (found \"q.jpg,2\"); "
                  "the file was changed after the interrupted run");
    EXPECT_EQ(refusedWith("G\na.jpg,1\nb.jpg,2\n"),
              "Cannot resume: the results file " + results +
                  " does not begin with its header line; the file was changed after the interrupted run");
    // A batch that appended to its results file has no header of its own to check.
    j.point.resultsSizeBefore = 2;
    EXPECT_EQ(refusedWith("G\na.jpg,1\nb.jpg,2\n"), "");
}

}  // namespace

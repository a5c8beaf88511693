// The journal of a batch: its identity line, one line per photograph handed back, and what a
// resumed batch reads back from it.

#include "imaging/batch_journal.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>

#include "imaging/errors.hpp"
#include "imaging/paths.hpp"

namespace imaging {

namespace {

constexpr const char* kJournalKind = "batch journal";

// One line of the journal: the object on one line (a file name that is not UTF-8 keeps its other
// bytes, the stray ones replaced), then the line end.
std::string lineOf(const Json& object) { return object.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n"; }

Json optionalNumber(const std::optional<long long>& v) { return v ? Json(*v) : Json(); }

std::optional<long long> readOptionalSize(const Json& v) {
    if (v.is_null()) return std::nullopt;
    return v.get<long long>();
}

Json identityJson(const BatchIdentity& id) {
    Json inputs = Json::array();
    for (std::size_t i = 0; i < id.inputs.size(); ++i) {
        const auto& size = i < id.inputSizes.size() ? id.inputSizes[i] : std::nullopt;
        inputs.push_back({{"path", id.inputs[i]}, {"sizeBytes", size ? Json(*size) : Json()}});
        if (i < id.inputDetails.size()) inputs.back()["detail"] = id.inputDetails[i];
    }
    return {{"program", id.program},   {"version", id.version},       {"parameters", id.parameters},
            {"seed", id.seed},         {"seedSource", id.seedSource}, {"inputs", std::move(inputs)}};
}

BatchIdentity identityFrom(const Json& j) {
    BatchIdentity id;
    id.program = j.at("program").get<std::string>();
    id.version = j.at("version").get<std::string>();
    id.parameters = j.at("parameters");
    id.seed = j.at("seed").get<std::uint64_t>();
    id.seedSource = j.at("seedSource").get<std::string>();
    for (const Json& input : j.at("inputs")) {
        id.inputs.push_back(input.at("path").get<std::string>());
        const Json& size = input.at("sizeBytes");
        id.inputSizes.push_back(size.is_null() ? std::nullopt : std::optional<std::uintmax_t>(size.get<std::uintmax_t>()));
        if (input.contains("detail")) id.inputDetails.push_back(input["detail"]);
    }
    return id;
}

// The identity as the journal holds it (names that are not UTF-8 with their stray bytes replaced),
// so that a run compares like with like.
BatchIdentity asJournaled(const BatchIdentity& id) { return identityFrom(Json::parse(lineOf(identityJson(id)))); }

std::string shown(const Json& v) { return v.is_string() ? v.get<std::string>() : v.dump(-1, ' ', false, Json::error_handler_t::replace); }

std::string sizeText(const std::optional<std::uintmax_t>& size) {
    return size ? std::to_string(*size) + " bytes" : std::string("unreadable");
}

std::string readWholeFile(const std::string& path, const std::string& shownName, const std::string& what) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw RunError::fileError("Cannot read " + what, shownName);
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) throw RunError::fileError("Cannot read " + what, shownName);
    return text.str();
}

}  // namespace

BatchIdentity batchIdentity(std::string program, Json parameters, std::uint64_t seed, std::string seedSource,
                            std::vector<std::string> inputs) {
    BatchIdentity id;
    id.program = std::move(program);
    id.version = std::string(programVersion());
    id.parameters = std::move(parameters);
    id.seed = seed;
    id.seedSource = std::move(seedSource);
    for (const std::string& input : inputs) {
        struct stat st {};
        const bool readable = ::stat(hostPath(input).c_str(), &st) == 0 && S_ISREG(st.st_mode);
        id.inputSizes.push_back(readable ? std::optional<std::uintmax_t>(st.st_size) : std::nullopt);
    }
    id.inputs = std::move(inputs);
    return id;
}

std::string firstDifference(const BatchIdentity& journaled, const BatchIdentity& nowGiven, bool compareSeed) {
    const BatchIdentity now = asJournaled(nowGiven);
    const std::string theirs = ", the interrupted run's ";
    if (now.program != journaled.program)
        return "the journal is " + journaled.program + "'s, not " + now.program + "'s";
    if (now.version != journaled.version)
        return "this is version " + now.version + theirs + "was version " + journaled.version;
    for (const auto& [option, value] : now.parameters.items()) {
        const auto there = journaled.parameters.find(option);
        if (there == journaled.parameters.end()) return option + " is new here, the interrupted run had no " + option;
        if (*there != value)
            return option + " is " + shown(value) + " here, the interrupted run used " + option + " " + shown(*there);
    }
    for (const auto& [option, value] : journaled.parameters.items())
        if (!now.parameters.contains(option)) return "the interrupted run had " + option + " " + shown(value) + ", this one has not";
    if (compareSeed && now.seed != journaled.seed)
        return "--seed is " + std::to_string(now.seed) + " here" + theirs + "seed was " + std::to_string(journaled.seed);
    const std::size_t common = std::min(now.inputs.size(), journaled.inputs.size());
    for (std::size_t i = 0; i < common; ++i) {
        const std::string place = "input " + std::to_string(i + 1);
        if (now.inputs[i] != journaled.inputs[i])
            return place + " is " + now.inputs[i] + " here" + theirs + "was " + journaled.inputs[i];
        if (now.inputSizes[i] != journaled.inputSizes[i])
            return place + " (" + now.inputs[i] + ") has changed: " + sizeText(now.inputSizes[i]) + " now, " +
                   sizeText(journaled.inputSizes[i]) + " in the interrupted run";
        const Json none;
        const Json& detailNow = i < now.inputDetails.size() ? now.inputDetails[i] : none;
        const Json& detailThen = i < journaled.inputDetails.size() ? journaled.inputDetails[i] : none;
        if (detailNow != detailThen)
            return place + " (" + now.inputs[i] + ") is taken with " + shown(detailNow) + " here, with " +
                   shown(detailThen) + " in the interrupted run";
    }
    if (now.inputs.size() != journaled.inputs.size()) {
        const std::string counts = std::to_string(now.inputs.size()) + " inputs here, the interrupted run had " +
                                   std::to_string(journaled.inputs.size());
        if (now.inputs.size() > common)
            return counts + "; input " + std::to_string(common + 1) + " (" + now.inputs[common] + ") is new";
        return counts + "; input " + std::to_string(common + 1) + " (" + journaled.inputs[common] + ") is missing here";
    }
    return "";
}

std::optional<long long> ResumePoint::resultsSize() const {
    for (auto it = items.rbegin(); it != items.rend(); ++it)
        if (it->resultsSize) return it->resultsSize;
    return resultsSizeBefore;
}

std::optional<std::string> journalFor(const std::string& resultsName) {
    const std::string path = hostPath(resultsName);
    struct stat st {};
    if (path.empty() || (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))) return std::nullopt;
    return path + ".resume";
}

ResumePoint parseJournal(const std::string& text, const std::string& journalName) {
    const auto refuse = [&](const std::string& why) {
        return RunError::refused("Cannot resume from the batch journal " + journalName + ": " + why);
    };
    ResumePoint point;
    std::size_t at = 0;
    std::size_t lineNumber = 0;
    while (at < text.size()) {
        const std::size_t end = text.find('\n', at);
        const bool complete = end != std::string::npos;
        const std::string line = text.substr(at, complete ? end - at : std::string::npos);
        ++lineNumber;
        Json object;
        bool valid = complete;
        if (valid) {
            object = Json::parse(line, nullptr, false);
            valid = !object.is_discarded() && object.is_object();
        }
        const bool last = !complete || end + 1 == text.size();
        if (!valid) {
            // The line being written when the run stopped: dropped, the entry it stood for is redone.
            if (last && lineNumber > 1) {
                point.droppedLastLine = true;
                break;
            }
            throw refuse(lineNumber == 1 ? "its first line is not a batch's identity"
                                         : "line " + std::to_string(lineNumber) + " is not a record of a photograph");
        }
        try {
            if (lineNumber == 1) {
                point.identity = identityFrom(object);
                point.resultsSizeBefore = readOptionalSize(object.at("resultsSizeBefore"));
            } else {
                JournaledItem item;
                item.index = object.at("index").get<std::size_t>();
                item.name = object.at("name").get<std::string>();
                item.failed = object.at("failed").get<bool>();
                item.entryAt = readOptionalSize(object.at("resultsEntryAt"));
                item.resultsSize = readOptionalSize(object.at("resultsSize"));
                item.report = object.at("report");
                if (item.index != point.items.size() || item.index >= point.identity.inputs.size())
                    throw refuse("line " + std::to_string(lineNumber) + " records photograph " +
                                 std::to_string(item.index + 1) + " where photograph " +
                                 std::to_string(point.items.size() + 1) + " belongs");
                point.items.push_back(std::move(item));
            }
        } catch (const Json::exception&) {
            throw refuse(lineNumber == 1 ? "its first line is not a batch's identity"
                                         : "line " + std::to_string(lineNumber) + " is not a record of a photograph");
        }
        at = end + 1;
        point.validLength = at;
    }
    if (lineNumber == 0) throw refuse("it is empty");
    return point;
}

void checkJournaledEntries(const std::string& results, const std::string& resultsName, const ResumePoint& point,
                           const std::function<std::string(std::size_t)>& entryStart) {
    for (const JournaledItem& item : point.items) {
        if (!item.entryAt) continue;
        const std::string expected = entryStart(item.index);
        const auto at = static_cast<std::size_t>(*item.entryAt);
        if (*item.entryAt < 0 || at > results.size() || results.compare(at, expected.size(), expected) != 0) {
            std::string found = at <= results.size() ? results.substr(at, std::min<std::size_t>(expected.size() + 20, 60)) : "";
            found = found.substr(0, found.find_first_of("\r\n"));
            throw RunError::refused("Cannot resume: the results file " + resultsName + " does not hold the entry of input " +
                                    std::to_string(item.index + 1) + " (" + point.identity.inputs[item.index] +
                                    ") where the batch journal puts it (found \"" + found +
                                    "\"); the file was changed after the interrupted run");
        }
    }
}

void cutBackResults(OutputFile& results, const std::string& resultsName, const ResumePoint& point,
                    const std::function<std::string(std::size_t)>& entryStart, const std::string& head) {
    const std::optional<long long> keep = point.resultsSize();
    if (!keep) return;
    const long long size = results.size();
    if (size < 0)
        throw RunError::refused("Cannot resume: the results file " + resultsName + " is not a regular file");
    if (size < *keep)
        throw RunError::refused("Cannot resume: the results file " + resultsName + " holds " + std::to_string(size) +
                                " bytes, fewer than the " + std::to_string(*keep) +
                                " the batch journal records; the file was changed after the interrupted run");
    const std::string content = readWholeFile(hostPath(resultsName), resultsName, "results file").substr(0, *keep);
    if (!point.resultsSizeBefore && content.compare(0, head.size(), head) != 0)
        throw RunError::refused("Cannot resume: the results file " + resultsName +
                                " does not begin with its header line; the file was changed after the interrupted run");
    checkJournaledEntries(content, resultsName, point, entryStart);
    if (size > *keep) results.cutBack(*keep);
}

bool BatchJournal::hold(const std::string& name, const LockWait& whenLocked, bool mustExist) {
    name_ = name;
    OutputOptions options;
    options.lock = true;
    options.whenLocked = whenLocked;
    // A journal removed (or replaced) by the run that held it while this one waited is taken again.
    do {
        file_.close();
        struct stat st {};
        if (mustExist && ::stat(hostPath(name).c_str(), &st) != 0)
            throw RunError::refused("Cannot resume: there is no batch journal " + name +
                                    " (a batch that finished removes it: nothing to resume)");
        file_.open(name, OutputFile::Mode::Append, kJournalKind, options);
    } while (!file_.stillNamed());
    return file_.size() > 0;
}

void BatchJournal::start(const BatchIdentity& identity, std::optional<long long> resultsSizeBefore) {
    file_.cutBack(0);
    Json head = identityJson(identity);
    head["resultsSizeBefore"] = optionalNumber(resultsSizeBefore);
    file_.write(lineOf(head));
    file_.sync();
}

ResumePoint BatchJournal::read() const { return parseJournal(readWholeFile(hostPath(name_), name_, kJournalKind), name_); }

void BatchJournal::continueFrom(const ResumePoint& point) {
    if (file_.size() > static_cast<long long>(point.validLength)) file_.cutBack(static_cast<long long>(point.validLength));
}

void BatchJournal::record(const JournaledItem& item) {
    Json line = {{"index", item.index},
                 {"name", item.name},
                 {"failed", item.failed},
                 {"resultsEntryAt", optionalNumber(item.entryAt)},
                 {"resultsSize", optionalNumber(item.resultsSize)},
                 {"report", item.report}};
    file_.write(lineOf(line));
}

void BatchJournal::remove() {
    if (!file_.isOpen()) return;
    // Removed while still held, so that no other run starts on a journal about to go.
    if (::unlink(hostPath(name_).c_str()) != 0 && errno != ENOENT) {
        const int err = errno;
        file_.close();
        throw RunError(ErrorKind::FileError, "Cannot delete " + std::string(kJournalKind) + " (" + systemReason(err) + "): " + name_);
    }
    file_.close();
}

void BatchJournal::close() { file_.close(); }

void BatchJournal::release() {
    if (!file_.isOpen()) return;
    if (file_.size() == 0) ::unlink(hostPath(name_).c_str());
    file_.close();
}

}  // namespace imaging

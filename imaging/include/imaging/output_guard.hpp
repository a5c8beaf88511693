#pragma once
// The one rule for where a run may write: before any output is written, every route (the
// windows, the command-line tools, the Python package) asks guardOutput, so that no output ever
// replaces the user's photographs or pictures, nor a file the run is reading.

#include <mutex>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace imaging {

// The files a run (or a window session) wrote itself, recognised by device and inode whatever
// their spelling, and by their creation time: a file deleted and another one made later may get
// the same inode. A file edited in place stays the same file (an outline cleaned in a paint
// program is still the one "save1" wrote). A picture the run wrote may be written again (a second "save1", a derived
// picture rewritten for the next photograph); any other existing picture may not. Thread-safe:
// the workers of a batch share one.
class WrittenFiles {
public:
    // Records `name` as it is now, after the write (a missing file is ignored).
    void remember(const std::string& name);
    bool contains(const std::string& name) const;

private:
    mutable std::mutex mutex_;
    struct Identity {
        unsigned long long device, inode;
        long long bornSeconds, bornNanoseconds;  // 0 where the file system keeps no creation time
        bool operator==(const Identity&) const = default;
    };
    static bool identify(const std::string& name, Identity& id);
    std::vector<Identity> files_;
};

// A file a run reads, as a refusal names it: the photograph (a name alone), or another kind of
// input named by the caller ("marks file", "square file").
struct InputFile {
    InputFile(std::string file) : name(std::move(file)) {}
    InputFile(const char* file) : name(file) {}
    InputFile(std::string file, std::string what) : name(std::move(file)), kind(std::move(what)) {}
    std::string name;
    std::string kind = "photograph";
};

// Refuses (RunError, ErrorKind::Refused), before anything is written, an output `name` that
// - is one of the run's `inputs` (the same file by device and inode: any spelling, hard or
//   symbolic link): "LABEL NAME is the input KIND INPUT itself; choose another file", KIND being
//   the input's kind ("photograph" unless the caller names another);
// - is an existing picture, recognised by its content (JPEG, PNG, BMP), that `written` does not
//   hold: "LABEL NAME is a JPEG picture, not a WHAT; it is not replaced", or, for outputs that
//   are pictures themselves (`what` empty), "LABEL NAME is an existing BMP picture; it is not
//   replaced".
// `label` names the output in the caller's own words ("--save-map", "Save 2 file"). Names go
// through hostPath, as every file name does.
void guardOutput(const std::string& label, const std::string& name, const std::string& what,
                 const std::vector<InputFile>& inputs = {}, const WrittenFiles* written = nullptr);

// The same for a run whose inputs are photographs only, given by name.
template <class Names, std::enable_if_t<std::is_same_v<Names, std::vector<std::string>>, int> = 0>
void guardOutput(const std::string& label, const std::string& name, const std::string& what,
                 const Names& photographs, const WrittenFiles* written = nullptr) {
    guardOutput(label, name, what, std::vector<InputFile>(photographs.begin(), photographs.end()), written);
}

}  // namespace imaging

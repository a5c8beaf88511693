#pragma once
// Writing files so that a failure is never silent and never destroys what was there: every
// write, flush and close is checked and a failure names the file and the system's reason
// ("Cannot write file (No space left on device): NAME"). Whole-file outputs are written to a
// temporary file in the target's folder and renamed into place, so a failed write leaves the
// previous file intact and no fragment behind. Names go through hostPath ("C:\x" -> $HOME/x).

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace imaging {

// Replaces the file `name` with `content` as one whole: temporary file beside it, written,
// synced and closed (each step checked), then renamed over the target. A symbolic link is
// followed (the file it names is replaced, the link stays); a device such as /dev/null or
// /dev/full, or a pipe, is written directly. An existing file keeps its permissions; a new one
// gets the usual ones (0666 less the umask). `what` names the file in messages:
// "Cannot write <what> (No space left on device): NAME".
void writeWholeFile(const std::string& name, std::string_view content, const std::string& what = "file");

// Whether two names denote the same existing file (same device and inode), whatever their
// spelling ("photo.jpg", "./photo.jpg", a hard link, a symbolic link). False when either is missing.
bool sameFile(const std::string& nameA, const std::string& nameB);

// Whether two output names would end in the same file: the same existing file, or the same
// place once "." and ".." are resolved (for names not written yet).
bool sameDestination(const std::string& nameA, const std::string& nameB);

// Whether `name` could be written now: an existing file (not a folder) that may be written, or
// a missing file in an existing folder that may be written. Throws the error a write would
// report ("Cannot write file (Permission denied): NAME", "... (Is a directory) ...",
// "... (No such file or directory) ...").
void checkWritable(const std::string& name);

// What a writer does when another run holds the lock on its file.
struct LockWait {
    // Wait until the other run is done (true), or refuse at once (false: RunError Refused,
    // "<what> NAME is being written by another run; ...").
    bool wait = true;
    // Told once, before waiting, what the run waits for
    // ("waiting for another run to finish writing <what> NAME").
    std::function<void(const std::string& note)> onWait;
};

// How an OutputFile treats its file beyond plain writing.
struct OutputOptions {
    // Hold an advisory lock (flock, exclusive) on the file while it is open, so that one run at a
    // time writes it and rows of two runs never interleave.
    bool lock = false;
    LockWait whenLocked;
    // Append: the file's header line (without its line end). A new or empty file gets it in the
    // same write as the first entry; a file whose first line is another text is refused at open,
    // naming both (nothing is written).
    std::string header;
    // Append: the file's line end. An entry appended to a file whose last byte ends no line starts
    // with it, so the entry is never glued onto a cut line.
    std::string lineEnd = "\n";
};

// A text file written entry by entry (a results file, an appended CSV or RGB output file). Each
// `write` is one entry (a row, or a row with its sampling line) and goes to the system at once as
// one write (no buffering): it is in the file whole or not at all, since a failure cuts the file
// back to its length before the entry. Failures throw RunError naming the file and the system's
// reason.
class OutputFile {
public:
    enum class Mode { Replace, Append };

    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Opens `name` (created when missing); Replace empties it, Append writes at its end. With a
    // lock asked for, the lock is taken before anything changes. `what` names the file in messages
    // ("results file"): "Cannot open results file (...): NAME".
    void open(const std::string& name, Mode mode, const std::string& what = "file", const OutputOptions& options = {});
    // Takes the lock of an existing file without changing it (a missing file stays missing), so
    // that a run waits for, or refuses, another writer before its work, and still leaves the file
    // untouched when it ends up with nothing to write. A later open(name, Replace) of this object
    // empties the reserved file only then. Throws only the refusal of a locked file (options
    // .whenLocked.wait false).
    void reserve(const std::string& name, const std::string& what = "file", const OutputOptions& options = {});
    bool isOpen() const { return fd_ >= 0 && !reserved_; }
    // Writes `entry` whole with one write (retrying only short writes). On failure the file is cut
    // back to its previous length and "Cannot write <what> (reason): NAME" is thrown. In Append
    // mode a missing header and a missing line end before the entry go in the same write.
    void write(std::string_view entry);
    // Closes the file, checking the close (where delayed write errors surface); releases the lock.
    void close();
    // The size the file had when it was opened (0 for a new file).
    long long sizeAtOpen() const { return sizeAtOpen_; }
    // The file's size now; -1 for a file that is not a regular file (a device, a pipe).
    long long size() const;
    // Makes what was written so far reach the disk (fdatasync), so that a record written after it
    // in another file never survives a power cut that this file's entries do not. Nothing for a
    // file that is not a regular file.
    void sync();
    // Cuts the open file back to `length` bytes (a resumed batch dropping what its journal does not
    // vouch for). "Cannot write <what> (reason): NAME" on failure.
    void cutBack(long long length);
    // Whether the file's name still leads to the open file (false once another process removed
    // or replaced it, e.g. while this one waited for its lock).
    bool stillNamed() const;

private:
    void lockOrRefuse(int fd);
    void checkHeader();

    int fd_ = -1;
    bool reserved_ = false;
    bool append_ = false;
    long long sizeAtOpen_ = 0;
    std::string name_;
    std::string path_;
    std::string what_;
    OutputOptions options_;
};

// The system's reason for an error number ("No space left on device").
std::string systemReason(int errorNumber);

}  // namespace imaging

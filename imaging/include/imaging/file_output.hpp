#pragma once
// Writing files so that a failure is never silent and never destroys what was there: every
// write, flush and close is checked and a failure names the file and the system's reason
// ("Cannot write file (No space left on device): NAME"). Whole-file outputs are written to a
// temporary file in the target's folder and renamed into place, so a failed write leaves the
// previous file intact and no fragment behind. Names go through hostPath ("C:\x" -> $HOME/x).

#include <cstddef>
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

// A text file written line by line (a results file, an appended CSV or RGB output file): each
// `write` goes to the system at once as one whole (no buffering), so what was written before an
// error stays complete. Failures throw RunError naming the file and the system's reason.
class OutputFile {
public:
    enum class Mode { Replace, Append };

    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Opens `name` (created when missing); Replace truncates it, Append writes at its end.
    // `what` names the file in messages ("results file"): "Cannot open results file (...): NAME".
    void open(const std::string& name, Mode mode, const std::string& what = "file");
    bool isOpen() const { return fd_ >= 0; }
    // Writes `text` whole (retrying short writes); throws "Cannot write <what> (reason): NAME".
    void write(std::string_view text);
    // Closes the file, checking the close (where delayed write errors surface).
    void close();
    // The size the file had when it was opened (0 for a new file).
    long long sizeAtOpen() const { return sizeAtOpen_; }

private:
    int fd_ = -1;
    long long sizeAtOpen_ = 0;
    std::string name_;
    std::string what_;
};

// The system's reason for an error number ("No space left on device").
std::string systemReason(int errorNumber);

}  // namespace imaging

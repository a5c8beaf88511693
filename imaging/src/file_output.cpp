#include "imaging/file_output.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "imaging/errors.hpp"
#include "imaging/paths.hpp"

namespace imaging {

namespace {

[[noreturn]] void fail(const std::string& what, const std::string& name, int errorNumber) {
    throw RunError(ErrorKind::FileError, what + " (" + systemReason(errorNumber) + "): " + name);
}

// The process's umask, read without changing it (umask() would race with other threads).
mode_t processUmask() {
    static const mode_t mask = [] {
        std::ifstream status("/proc/self/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("Umask:", 0) == 0) return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
        }
        return static_cast<mode_t>(022);
    }();
    return mask;
}

// Writes all of `text`, retrying short and interrupted writes; false with errno set on failure.
bool writeAll(int fd, std::string_view text) {
    const char* p = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

// A device, a pipe or a dangling symbolic link: written in place, as a plain write would.
void writeInPlace(const std::string& path, std::string_view content, const std::string& name,
                  const std::string& failure) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) fail(failure, name, errno);
    if (!writeAll(fd, content)) {
        const int err = errno;
        ::close(fd);
        fail(failure, name, err);
    }
    if (::close(fd) != 0) fail(failure, name, errno);
}

// The temporary file's name beside `target`: ".NAME.XXXXXX", kept within the name length limit.
std::string temporaryTemplate(const std::filesystem::path& target) {
    std::filesystem::path folder = target.parent_path();
    if (folder.empty()) folder = ".";
    std::string base = target.filename().string();
    if (base.size() > 200) base.resize(200);
    return (folder / ("." + base + ".XXXXXX")).string();
}

}  // namespace

std::string systemReason(int errorNumber) {
    char buffer[256];
    // The GNU strerror_r returns the message (possibly a static string, not the buffer).
    const char* reason = strerror_r(errorNumber, buffer, sizeof buffer);
    return reason ? reason : "error " + std::to_string(errorNumber);
}

void writeWholeFile(const std::string& name, std::string_view content, const std::string& what) {
    const std::string failure = "Cannot write " + what;
    const std::string given = hostPath(name);
    if (given.empty()) fail(failure, name, ENOENT);
    std::string target = given;
    struct stat existing {};
    const bool exists = ::stat(given.c_str(), &existing) == 0;
    if (exists) {
        if (S_ISDIR(existing.st_mode)) fail(failure, name, EISDIR);
        if (!S_ISREG(existing.st_mode)) return writeInPlace(given, content, name, failure);
        std::error_code ec;
        const std::filesystem::path real = std::filesystem::canonical(given, ec);
        if (!ec) target = real.string();
    } else {
        if (errno != ENOENT) fail(failure, name, errno);
        struct stat link {};
        if (::lstat(given.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) return writeInPlace(given, content, name, failure);
    }

    std::string temporary = temporaryTemplate(target);
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) fail(failure, name, errno);
    const auto abandon = [&](int err) {
        ::close(fd);
        ::unlink(temporary.c_str());
        fail(failure, name, err);
    };
    const mode_t mode = exists ? (existing.st_mode & 07777) : (0666 & ~processUmask());
    ::fchmod(fd, mode);
    if (exists && ::geteuid() == 0 && (existing.st_uid != 0 || existing.st_gid != 0))
        if (::fchown(fd, existing.st_uid, existing.st_gid) != 0) { /* keeps root's ownership */ }
    if (!writeAll(fd, content)) abandon(errno);
    if (::fsync(fd) != 0) abandon(errno);
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(temporary.c_str());
        fail(failure, name, err);
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        const int err = errno;
        ::unlink(temporary.c_str());
        fail(failure, name, err);
    }
}

bool sameFile(const std::string& nameA, const std::string& nameB) {
    struct stat a {}, b {};
    if (::stat(hostPath(nameA).c_str(), &a) != 0 || ::stat(hostPath(nameB).c_str(), &b) != 0) return false;
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool sameDestination(const std::string& nameA, const std::string& nameB) {
    if (sameFile(nameA, nameB)) return true;
    std::error_code ea, eb;
    const auto a = std::filesystem::weakly_canonical(std::filesystem::absolute(hostPath(nameA), ea), ea);
    const auto b = std::filesystem::weakly_canonical(std::filesystem::absolute(hostPath(nameB), eb), eb);
    return !ea && !eb && a == b;
}

void checkWritable(const std::string& name) {
    const std::string path = hostPath(name);
    if (path.empty()) fail("Cannot write file", name, ENOENT);
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) fail("Cannot write file", name, EISDIR);
        if (::access(path.c_str(), W_OK) != 0) fail("Cannot write file", name, errno);
        return;
    }
    if (errno != ENOENT) fail("Cannot write file", name, errno);
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (folder.empty()) folder = ".";
    struct stat dir {};
    if (::stat(folder.c_str(), &dir) != 0) fail("Cannot write file", name, errno);
    if (!S_ISDIR(dir.st_mode)) fail("Cannot write file", name, ENOTDIR);
    if (::access(folder.c_str(), W_OK | X_OK) != 0) fail("Cannot write file", name, errno);
}

// ---- OutputFile -----------------------------------------------------------------------------

namespace {

// A file's first line as a message shows it: at most 120 bytes, control bytes as \xNN.
std::string shownLine(const std::string& line) {
    std::string shown;
    for (std::size_t i = 0; i < line.size() && i < 120; ++i) {
        const auto c = static_cast<unsigned char>(line[i]);
        if (c < 0x20 || c == 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            shown += escaped;
        } else {
            shown += line[i];
        }
    }
    if (line.size() > 120) shown += "...";
    return shown;
}

bool isRegular(int fd, struct stat& st) { return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode); }

}  // namespace

OutputFile::~OutputFile() {
    if (fd_ >= 0) ::close(fd_);
}

void OutputFile::lockOrRefuse(int fd) {
    if (!options_.lock) return;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        // A file system without locks (or a device) is written unlocked, as any other writer would.
        if (errno != EWOULDBLOCK) return;
        if (!options_.whenLocked.wait)
            throw RunError::refused(what_ + " " + name_ + " is being written by another run; nothing was written to it");
        if (options_.whenLocked.onWait)
            options_.whenLocked.onWait("waiting for another run to finish writing " + what_ + " " + name_);
        while (::flock(fd, LOCK_EX) != 0)
            if (errno != EINTR) return;
        return;
    }
}

void OutputFile::checkHeader() {
    const std::string& header = options_.header;
    struct stat st {};
    if (!append_ || header.empty() || !isRegular(fd_, st) || st.st_size == 0) return;
    std::string head(std::max<std::size_t>(header.size() + 2, 256), '\0');
    const ssize_t n = ::pread(fd_, head.data(), head.size(), 0);
    if (n <= 0) return;  // a file that may be written but not read: nothing to compare
    head.resize(static_cast<std::size_t>(n));
    std::string first = head.substr(0, head.find('\n'));
    if (!first.empty() && first.back() == '\r' && head.find('\n') != std::string::npos) first.pop_back();
    if (first == header) return;
    throw RunError::refused("Cannot append to " + what_ + " " + name_ +
                            ": its first line is not this file's header, so no row is added (first line: \"" +
                            shownLine(first) + "\"; header: \"" + header + "\")");
}

void OutputFile::open(const std::string& name, Mode mode, const std::string& what, const OutputOptions& options) {
    const std::string path = hostPath(name);
    const bool reusesReservation = reserved_ && fd_ >= 0 && mode == Mode::Replace && path == path_;
    if (!reusesReservation) close();
    name_ = name;
    what_ = what;
    options_ = options;
    append_ = mode == Mode::Append;
    int fd = -1;
    if (reusesReservation) {
        fd = fd_;
        fd_ = -1;
        reserved_ = false;
    } else {
        if (path.empty()) fail("Cannot open " + what_, name_, ENOENT);
        // Append reads the file's header and last byte too; a file that may only be written is
        // still appended to, without those checks.
        const int access = append_ ? O_RDWR | O_APPEND : O_WRONLY;
        fd = ::open(path.c_str(), access | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0 && append_ && errno == EACCES) fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0) fail("Cannot open " + what_, name_, errno);
        try {
            lockOrRefuse(fd);
        } catch (...) {
            ::close(fd);
            throw;
        }
    }
    fd_ = fd;
    path_ = path;
    struct stat st {};
    const bool regular = isRegular(fd_, st);
    if (!append_ && regular && st.st_size > 0) {
        // Emptied only now, under the lock, so that another run's file is never cut while it writes.
        if (::ftruncate(fd_, 0) != 0 || ::lseek(fd_, 0, SEEK_SET) != 0) {
            const int err = errno;
            ::close(fd_);
            fd_ = -1;
            fail("Cannot open " + what_, name_, err);
        }
        st.st_size = 0;
    }
    sizeAtOpen_ = regular ? static_cast<long long>(st.st_size) : 0;
    try {
        checkHeader();
    } catch (...) {
        ::close(fd_);
        fd_ = -1;
        throw;
    }
}

void OutputFile::reserve(const std::string& name, const std::string& what, const OutputOptions& options) {
    close();
    name_ = name;
    what_ = what;
    options_ = options;
    const std::string path = hostPath(name);
    struct stat st {};
    // Only an existing regular file is held; anything else is opened (and reported) by open().
    if (!options_.lock || path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return;
    try {
        lockOrRefuse(fd);
    } catch (...) {
        ::close(fd);
        throw;
    }
    fd_ = fd;
    reserved_ = true;
    path_ = path;
}

void OutputFile::write(std::string_view entry) {
    if (!isOpen()) fail("Cannot write " + what_, name_, EBADF);
    struct stat before {};
    const bool regular = isRegular(fd_, before);
    const off_t size = regular ? before.st_size : 0;
    std::string text;
    if (append_ && regular) {
        char last = '\n';
        if (size == 0)
            text = options_.header.empty() ? std::string() : options_.header + options_.lineEnd;
        else if (::pread(fd_, &last, 1, size - 1) == 1 && last != '\n')
            // A CR LF file cut after its CR needs only the LF.
            text = last == '\r' && options_.lineEnd == "\r\n" ? std::string("\n") : options_.lineEnd;
    }
    text += entry;
    if (!writeAll(fd_, text)) {
        const int err = errno;
        // Whatever part of the entry reached the file is taken back: it ends as it was before.
        if (regular && ::ftruncate(fd_, size) == 0 && !append_) ::lseek(fd_, size, SEEK_SET);
        fail("Cannot write " + what_, name_, err);
    }
}

long long OutputFile::size() const {
    struct stat st {};
    if (fd_ < 0 || !isRegular(fd_, st)) return -1;
    return static_cast<long long>(st.st_size);
}

void OutputFile::sync() {
    if (!isOpen()) fail("Cannot write " + what_, name_, EBADF);
    struct stat st {};
    if (isRegular(fd_, st) && ::fdatasync(fd_) != 0 && errno != EINVAL) fail("Cannot write " + what_, name_, errno);
}

void OutputFile::cutBack(long long length) {
    if (!isOpen()) fail("Cannot write " + what_, name_, EBADF);
    if (::ftruncate(fd_, static_cast<off_t>(length)) != 0) fail("Cannot write " + what_, name_, errno);
    if (!append_ && ::lseek(fd_, static_cast<off_t>(length), SEEK_SET) < 0) fail("Cannot write " + what_, name_, errno);
}

bool OutputFile::stillNamed() const {
    struct stat open {}, named {};
    if (fd_ < 0 || ::fstat(fd_, &open) != 0 || ::stat(path_.c_str(), &named) != 0) return false;
    return open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

void OutputFile::close() {
    if (fd_ < 0) return;
    const int fd = fd_;
    const bool reserved = reserved_;
    fd_ = -1;
    reserved_ = false;
    if (reserved) {
        ::close(fd);
        return;
    }
    struct stat st {};
    // Delayed write errors of a regular file surface at the sync; other files cannot be synced.
    if (isRegular(fd, st) && ::fsync(fd) != 0 && errno != EINVAL) {
        const int err = errno;
        ::close(fd);
        fail("Cannot write " + what_, name_, err);
    }
    if (::close(fd) != 0) fail("Cannot close " + what_, name_, errno);
}

}  // namespace imaging

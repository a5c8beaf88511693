#include "imaging/file_output.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
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

OutputFile::~OutputFile() {
    if (fd_ >= 0) ::close(fd_);
}

void OutputFile::open(const std::string& name, Mode mode, const std::string& what) {
    if (fd_ >= 0) close();
    name_ = name;
    what_ = what;
    const std::string path = hostPath(name);
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (mode == Mode::Replace ? O_TRUNC : O_APPEND);
    fd_ = path.empty() ? -1 : ::open(path.c_str(), flags, 0666);
    if (fd_ < 0) fail("Cannot open " + what_, name_, path.empty() ? ENOENT : errno);
    struct stat st {};
    sizeAtOpen_ = ::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode) ? static_cast<long long>(st.st_size) : 0;
}

void OutputFile::write(std::string_view text) {
    if (fd_ < 0) fail("Cannot write " + what_, name_, EBADF);
    struct stat before {};
    const bool regular = ::fstat(fd_, &before) == 0 && S_ISREG(before.st_mode);
    if (!writeAll(fd_, text)) {
        const int err = errno;
        // A line cut short is taken back, so the file ends with the last whole line.
        if (regular && ::ftruncate(fd_, before.st_size) == 0) ::lseek(fd_, before.st_size, SEEK_SET);
        fail("Cannot write " + what_, name_, err);
    }
}

void OutputFile::close() {
    if (fd_ < 0) return;
    const int fd = fd_;
    fd_ = -1;
    struct stat st {};
    // Delayed write errors of a regular file surface at the sync; other files cannot be synced.
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (regular && ::fsync(fd) != 0 && errno != EINVAL) {
        const int err = errno;
        ::close(fd);
        fail("Cannot write " + what_, name_, err);
    }
    if (::close(fd) != 0) fail("Cannot close " + what_, name_, errno);
}

}  // namespace imaging

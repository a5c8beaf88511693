// The shared pieces of the --json report: file identity (size, SHA-256) and the checked write.

#include "imaging/report.hpp"

#include <nettle/sha2.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>

#include "imaging/errors.hpp"
#include "imaging/file_output.hpp"
#include "imaging/version.hpp"

namespace imaging {

namespace {

// Incremental SHA-256 through Nettle (a small library: a tool that hashes nothing pays little
// for loading it at start-up).
class Sha256 {
public:
    Sha256() { sha256_init(&context_); }
    void add(const void* data, std::size_t size) {
        sha256_update(&context_, size, static_cast<const std::uint8_t*>(data));
    }
    std::string hex() {
        std::uint8_t digest[SHA256_DIGEST_SIZE];
        sha256_digest(&context_, SHA256_DIGEST_SIZE, digest);
        static constexpr char kDigits[] = "0123456789abcdef";
        std::string text;
        for (std::uint8_t byte : digest) {
            text += kDigits[byte >> 4];
            text += kDigits[byte & 15];
        }
        return text;
    }

private:
    sha256_ctx context_;
};

}  // namespace

std::string sha256Hex(std::string_view bytes) {
    Sha256 sha;
    sha.add(bytes.data(), bytes.size());
    return sha.hex();
}

FileIdentity identifyFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        if (errno == ENOENT) throw RunError::fileNotFound(path);
        throw RunError::fileError(std::string("Cannot read (") + std::strerror(errno) + ")", path);
    }
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(file, &std::fclose);
    Sha256 sha;
    FileIdentity identity;
    char buffer[1 << 16];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        sha.add(buffer, got);
        identity.sizeBytes += got;
    }
    if (std::ferror(file)) throw RunError::fileError("Cannot read", path);
    identity.sha256 = sha.hex();
    return identity;
}

Json imageEntry(const std::string& name, const std::string& path) {
    Json entry = {{"name", name}, {"path", path}};
    try {
        const FileIdentity identity = identifyFile(path);
        entry["sizeBytes"] = identity.sizeBytes;
        entry["sha256"] = identity.sha256;
    } catch (const RunError&) {
        // The measurement reports why the file could not be read.
    }
    return entry;
}

std::string_view programVersion() { return kProgramVersion; }

void writeJsonFile(const std::string& path, const Json& document) {
    // As one whole through a temporary file beside it: a failed write leaves the previous report.
    writeWholeFile(path, document.dump(2) + "\n", "JSON file");
}

}  // namespace imaging

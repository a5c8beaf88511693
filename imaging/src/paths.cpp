#include "imaging/paths.hpp"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "imaging/errors.hpp"

namespace imaging {

std::string hostPath(const std::string& name) {
    std::string path = name;
    for (char& c : path)
        if (c == '\\') c = '/';
    if (path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':') {
        const char* home = std::getenv("HOME");
        std::string rest = path.substr(2);
        while (!rest.empty() && rest[0] == '/') rest.erase(0, 1);
        std::string base = (home && *home) ? home : ".";
        path = base + "/" + rest;
    }
    return path;
}

bool fileExists(const std::string& name) {
    std::error_code ec;
    return std::filesystem::is_regular_file(hostPath(name), ec);
}

void deleteFile(const std::string& name) {
    const std::string path = hostPath(name);
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) throw RunError::fileNotFound(name);
    if (!std::filesystem::remove(path, ec) || ec) throw RunError::fileError("Cannot delete file", name);
}

}  // namespace imaging

// SPDX-License-Identifier: MIT
// The program's name in the join command.
#include "platform/terminal/program_path.hpp"

#include <algorithm>
#include <climits>
#include <sys/stat.h>
#include <unistd.h>

namespace term {

namespace {

constexpr const char* gameName = "blockduel";

bool sameFile(const std::string& a, const struct stat& b) {
    struct stat s = {};
    return stat(a.c_str(), &s) == 0 && s.st_dev == b.st_dev && s.st_ino == b.st_ino;
}

std::string currentDirectory() {
    char buffer[PATH_MAX];
    return getcwd(buffer, sizeof buffer) != nullptr ? buffer : "";
}

// The file `name` that the shell would run from `path`, absolute; "" for none.
std::string onPath(std::string_view name, const char* path) {
    if (path == nullptr)
        return "";
    std::string_view dirs = path;
    for (std::size_t at = 0; at <= dirs.size();) {
        std::size_t end = std::min(dirs.find(':', at), dirs.size());
        std::string_view dir = dirs.substr(at, end - at);
        at = end + 1;
        std::string file = (dir.empty() ? std::string(".") : std::string(dir)) + "/";
        file += name;
        struct stat s = {};
        if (stat(file.c_str(), &s) == 0 && S_ISREG(s.st_mode) && access(file.c_str(), X_OK) == 0)
            return absolutePath(currentDirectory(), file);
    }
    return "";
}

bool plain(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view("/._-+,:@%=").find(c) != std::string_view::npos;
}

} // namespace

std::string absolutePath(std::string_view cwd, std::string_view path) {
    while (path.starts_with("./"))
        path.remove_prefix(2);
    if (path.starts_with('/') || cwd.empty())
        return std::string(path);
    std::string full(cwd);
    if (!full.ends_with('/'))
        full += '/';
    return full + std::string(path);
}

std::string shellWord(std::string_view word) {
    if (!word.empty() && std::all_of(word.begin(), word.end(), plain))
        return std::string(word);
    bool printable =
        std::all_of(word.begin(), word.end(), [](char c) { return c >= ' ' && c <= '~'; });
    std::string quoted = printable ? "'" : "$'";
    static constexpr char hex[] = "0123456789abcdef";
    for (char c : word) {
        auto byte = static_cast<unsigned char>(c);
        if (printable && c == '\'')
            quoted += "'\\''";
        else if (printable || (byte >= ' ' && byte <= '~' && c != '\'' && c != '\\'))
            quoted += c;
        else
            quoted += {'\\', 'x', hex[byte >> 4], hex[byte & 15]};
    }
    return quoted + "'";
}

std::string programForCommand(const char* argv0, const char* path) {
    std::string started;
    if (argv0 != nullptr && std::string_view(argv0).find('/') != std::string_view::npos)
        started = absolutePath(currentDirectory(), argv0);
    else if (argv0 != nullptr)
        started = onPath(argv0, path);
    struct stat self = {};
    bool known = stat("/proc/self/exe", &self) == 0 ||
                 (!started.empty() && stat(started.c_str(), &self) == 0);
    std::string found = onPath(gameName, path);
    if (started.empty() || (known && !found.empty() && sameFile(found, self)))
        return gameName;
    return shellWord(started);
}

} // namespace term

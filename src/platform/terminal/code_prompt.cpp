// SPDX-License-Identifier: MIT
// The join code from the terminal.
#include "code_prompt.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <unistd.h>

namespace term {

namespace {

constexpr int tries = 3;
// Longer than any way of typing a code; a longer line is read to its end
// (a terminal's line holds a few KiB at most) and refused.
constexpr std::size_t maxLine = 64;
constexpr std::size_t maxDrained = std::size_t{64} * 1024;

void say(int fd, const std::string& text) {
    for (std::size_t at = 0; at < text.size();) {
        ssize_t n = write(fd, text.data() + at, text.size() - at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        at += static_cast<std::size_t>(n);
    }
}

enum class Read { Line, TooLong, End, Failed };

// One line without its end; End when the input ends before any of it.
Read readLine(int fd, std::string& line) {
    line.clear();
    std::size_t total = 0;
    for (;;) {
        char bytes[256];
        ssize_t n = read(fd, bytes, sizeof bytes);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return Read::Failed;
        if (n == 0)
            return total == 0 ? Read::End : (total > maxLine ? Read::TooLong : Read::Line);
        total += static_cast<std::size_t>(n);
        std::string_view got(bytes, static_cast<std::size_t>(n));
        std::size_t end = got.find('\n');
        if (line.size() < maxLine + 1)
            line.append(got.substr(0, std::min(end, maxLine + 1 - line.size())));
        if (end != std::string_view::npos || total > maxDrained)
            break;
    }
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.pop_back();
    return line.size() > maxLine ? Read::TooLong : Read::Line;
}

} // namespace

bool askForCode(int inFd, int outFd, bool forHost, net::JoinCode& code, std::string& error) {
    const char* question =
        forHost ? "Join code for this game: " : "Join code (the host shows it): ";
    for (int i = 0; i < tries; ++i) {
        say(outFd, question);
        std::string line;
        Read got = readLine(inFd, line);
        if (got == Read::End || got == Read::Failed) {
            error = got == Read::End
                        ? "no join code given"
                        : std::string("cannot read the join code: ") + std::strerror(errno);
            say(outFd, "\n");
            return false;
        }
        if (got == Read::TooLong || !net::parseJoinCode(line, code))
            say(outFd, "That is not a join code, which is 8 letters and digits like 7K3M-Q9XD.\n");
        else if (forHost && net::weakJoinCode(code))
            say(outFd, net::formatJoinCode(code) + " is too easy to guess; type another.\n");
        else
            return true;
    }
    error = "no join code given";
    return false;
}

} // namespace term

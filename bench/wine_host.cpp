// SPDX-License-Identifier: MIT
// The Windows host under Wine, followed through its console.
#include "wine_host.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "display/layout.hpp"
#include "platform/terminal/tty.hpp"
#include "player_two.hpp"
#include "process_cpu.hpp"

namespace {

// Wine names a process after its executable, as Windows shows it.
constexpr const char* gameImage = "blockduel.exe";
constexpr int portWaitMs = 60'000; // Wine takes seconds to start a program
constexpr int rowsRead = 25;       // what the console reader prints of a read

// A file of /proc, empty when the process has gone meanwhile.
std::string fileText(const std::string& path) {
    std::string text;
    int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0)
        return text;
    char bytes[4096];
    for (ssize_t n = 0; (n = read(fd, bytes, sizeof bytes)) > 0;)
        text.append(bytes, static_cast<std::size_t>(n));
    close(fd);
    return text;
}

// The process named `comm` that runs in the Wine prefix `prefix`, or -1:
// other Wine programs on this machine have prefixes of their own.
pid_t findInPrefix(const std::string& comm, const std::string& prefix) {
    DIR* all = opendir("/proc");
    if (all == nullptr)
        return -1;
    pid_t found = -1;
    std::string wanted = std::string("WINEPREFIX=") + prefix + '\0';
    // Each call reads a stream of its own, which readdir allows from any
    // thread; readdir_r, which the analyser would have, is deprecated.
    // cppcheck-suppress readdirCalled
    while (dirent* entry = readdir(all)) {
        std::string dir = std::string("/proc/") + entry->d_name;
        pid_t pid = std::atoi(entry->d_name);
        if (pid <= 0 || fileText(dir + "/comm") != comm + "\n")
            continue;
        std::string environment = '\0' + fileText(dir + "/environ");
        if (environment.find('\0' + wanted) != std::string::npos) {
            found = pid;
            break;
        }
    }
    closedir(all);
    return found;
}

// Ends a child of ours: asked, then made to, after 10 s.
void end(pid_t child) {
    if (child <= 0)
        return;
    kill(child, SIGTERM);
    for (int i = 0; i < 1000; ++i) {
        if (waitpid(child, nullptr, WNOHANG) != 0)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
}

// Runs `wine` with these arguments, its output to `out` (or nowhere).
pid_t startWine(const std::vector<const char*>& arguments, int out) {
    pid_t pid = fork();
    if (pid != 0)
        return pid;
    int nowhere = open("/dev/null", O_RDWR);
    dup2(nowhere, STDIN_FILENO);
    dup2(out >= 0 ? out : nowhere, STDOUT_FILENO);
    dup2(nowhere, STDERR_FILENO);
    std::vector<char*> argv{const_cast<char*>("wine")};
    for (const char* a : arguments)
        argv.push_back(const_cast<char*>(a));
    argv.push_back(nullptr);
    execvp("wine", argv.data());
    _exit(127);
}

} // namespace

WineHost::WineHost(const char* game, const char* check) : check_(check) {
    const char* prefix = std::getenv("WINEPREFIX");
    prefix_ = prefix != nullptr ? prefix : "";
    console_ = startWine({"wineconsole", game, "--host", "127.0.0.1:0", "--code", codeText}, -1);
    thread_ = std::thread([this] { run(); });
}

WineHost::~WineHost() {
    stop_ = true;
    thread_.join();
    // The game is not our child but Wine's; the next host must not find it.
    for (int i = 0; i < 100; ++i) {
        pid_t game = findInPrefix(gameImage, prefix_);
        if (game <= 0)
            break;
        kill(game, SIGKILL);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    end(console_);
}

int WineHost::port() {
    for (long long until = term::monotonicMs() + portWaitMs; term::monotonicMs() < until;) {
        {
            std::lock_guard<std::mutex> hold(lock_);
            if (port_ != 0)
                return port_;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return 0;
}

double WineHost::cpuSeconds() const {
    return std::max(0.0, ::cpuSeconds(findInPrefix(gameImage, prefix_)));
}

double WineHost::helperSeconds() const {
    // The 64-bit server, as a 64-bit game has it.
    return std::max(0.0, ::cpuSeconds(findInPrefix("wineserver64", prefix_)));
}

std::vector<int> WineHost::takeRates() {
    std::lock_guard<std::mutex> hold(lock_);
    return std::exchange(rates_, {});
}

// The reader starts once the game runs, since each start of a Wine
// program costs a good part of a second, and again should it end.
void WineHost::run() {
    while (!stop_) {
        if (findInPrefix(gameImage, prefix_) > 0)
            watch();
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
}

// One reader's reads, until it ends or the host is stopped.
void WineHost::watch() {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return;
    std::vector<const char*> arguments{check_.c_str(), "watch", gameImage};
    watcher_ = startWine(arguments, pipeEnds[1]);
    close(pipeEnds[1]);
    if (watcher_ < 0) {
        close(pipeEnds[0]);
        return;
    }
    std::string pending;
    std::vector<std::string> rows;
    while (!stop_) {
        pollfd ready = {pipeEnds[0], POLLIN, 0};
        if (poll(&ready, 1, 50) <= 0)
            continue;
        char bytes[4096];
        ssize_t n = read(pipeEnds[0], bytes, sizeof bytes);
        if (n <= 0)
            break;
        pending.append(bytes, static_cast<std::size_t>(n));
        for (std::size_t newline = pending.find('\n'); newline != std::string::npos;
             newline = pending.find('\n')) {
            std::string line = pending.substr(0, newline);
            pending.erase(0, newline + 1);
            if (line != "--") {
                rows.push_back(line);
                continue;
            }
            readScreen(rows);
            rows.clear();
        }
    }
    close(pipeEnds[0]);
    end(watcher_);
    watcher_ = -1;
}

void WineHost::readScreen(const std::vector<std::string>& rows) {
    if (rows.size() != rowsRead)
        return;
    std::lock_guard<std::mutex> hold(lock_);
    for (const std::string& row : rows)
        port_ = port_ != 0 ? port_ : joinPortIn(row);
    int rate = rateIn(rows[rateRow]);
    if (rate >= 0)
        rates_.push_back(rate);
}

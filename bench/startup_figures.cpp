// SPDX-License-Identifier: MIT
// Time from starting the game to its first complete picture, on a pty
// whose terminal answers the keyboard query at once, as a terminal with
// the kitty protocol does: its flags, then its device attributes. libvterm
// reads what the game writes; the picture is complete once both boards,
// both "Next:" labels, both score lines and the delay readout show.
// Usage: blockduel_startup_figures GAME [runs]
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "platform/terminal/tty.hpp"
#include "terminal_answers.hpp"
#include "vterm_screen.hpp"

namespace {

constexpr int columns = term::usualColumns;
constexpr int rows = term::usualRows;
constexpr double targetMs = 20;
constexpr long long giveUpMs = 5000;
constexpr char query[] = "\x1b[?u\x1b[c";
const std::string replies = std::string(term::answers::kittyFlags) + term::answers::attributes;

double nowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
}

int countOf(const std::string& text, const std::string& part) {
    int count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

bool complete(const term::VtermScreen& screen) {
    std::string floor;
    for (int i = 0; i < 20; ++i)
        floor += "\u2593";
    return countOf(screen.rowText(0), "Next:") == 2 && countOf(screen.rowText(13), floor) == 2 &&
           countOf(screen.rowText(15), "Score: 0") == 2 && !screen.rowText(19).empty();
}

struct Start {
    double queryMs = -1;   // the keyboard query arrived
    double pictureMs = -1; // the picture was complete; -1 if it never was
};

[[noreturn]] void runGame(const char* game) {
    setenv("TERM", "xterm-256color", 1);
    setenv("LC_ALL", "C.UTF-8", 1);
    unsetenv("NO_COLOR");
    execl(game, game, static_cast<char*>(nullptr));
    std::perror(game);
    _exit(127);
}

// Reads the game's output until the picture is complete, answering the
// query as soon as it has come whole.
void watch(int master, double start, Start& s) {
    term::VtermScreen screen(columns, rows);
    std::string output;
    while (nowMs() - start < giveUpMs) {
        pollfd ready = {master, POLLIN, 0};
        if (poll(&ready, 1, 100) <= 0)
            continue;
        char bytes[65536];
        ssize_t n = read(master, bytes, sizeof bytes);
        if (n <= 0)
            return;
        std::string_view got(bytes, static_cast<std::size_t>(n));
        screen.feed(got);
        if (s.queryMs < 0) {
            output += got;
            if (output.find(query) != std::string::npos) {
                s.queryMs = nowMs() - start;
                if (write(master, replies.data(), replies.size()) < 0)
                    return;
            }
        }
        if (complete(screen)) {
            s.pictureMs = nowMs() - start;
            return;
        }
    }
}

Start startOnce(const char* game) {
    Start s;
    winsize size = {rows, columns, 0, 0};
    int master = -1;
    double start = nowMs();
    pid_t pid = forkpty(&master, nullptr, nullptr, &size);
    if (pid < 0) {
        std::perror("forkpty");
        return s;
    }
    if (pid == 0)
        runGame(game);
    watch(master, start, s);
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    close(master);
    return s;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    int runs = argc > 2 ? std::atoi(argv[2]) : 21;
    if (argc < 2 || runs <= 0) {
        std::fputs("usage: blockduel_startup_figures GAME [runs]\n", stderr);
        return 2;
    }
    std::vector<double> queries;
    std::vector<double> pictures;
    for (int i = 0; i < runs; ++i) {
        Start s = startOnce(argv[1]);
        if (s.pictureMs < 0) {
            std::fprintf(stderr, "blockduel_startup_figures: run %d: no complete picture\n", i + 1);
            return 1;
        }
        queries.push_back(s.queryMs);
        pictures.push_back(s.pictureMs);
    }
    double worst = *std::max_element(pictures.begin(), pictures.end());
    std::printf("Start to the keyboard query: median %.1f ms; to the first complete picture: "
                "median %.1f ms, best %.1f, worst %.1f (%d runs, pty %dx%d)\n",
                median(queries), median(pictures),
                *std::min_element(pictures.begin(), pictures.end()), worst, runs, columns, rows);
    double m = median(pictures);
    std::printf("| start to the first complete picture, terminal answering at once | %.1f ms "
                "(median of %d; worst %.1f) | < %.0f ms | %s |\n",
                m, runs, worst, targetMs, m < targetMs ? "met" : "MISSED");
    return 0;
}

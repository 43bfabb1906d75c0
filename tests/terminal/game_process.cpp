// SPDX-License-Identifier: MIT
// Running the game on a pty of its own.
#include "game_process.hpp"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "tty.hpp"

#ifndef BLOCKDUEL_GAME
#error "BLOCKDUEL_GAME names the game's executable"
#endif

namespace term {

GameProcess::GameProcess(const std::vector<std::string>& args) {
    winsize size = {};
    size.ws_col = 80;
    size.ws_row = 24;
    pid_ = forkpty(&master_, nullptr, nullptr, &size);
    if (pid_ < 0)
        std::abort();
    if (pid_ == 0) {
        std::vector<char*> argv;
        std::string game = BLOCKDUEL_GAME;
        argv.push_back(game.data());
        std::vector<std::string> copies = args;
        for (std::string& a : copies)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        setenv("TERM", "xterm-256color", 1);
        setenv("LC_ALL", "C.UTF-8", 1);
        unsetenv("NO_COLOR");
        execv(argv[0], argv.data());
        _exit(127);
    }
}

GameProcess::~GameProcess() {
    if (waitExit(0) < 0) {
        ::kill(pid_, SIGKILL);
        waitExit(2000);
    }
    close(master_);
}

void GameProcess::type(std::string_view bytes) const {
    if (write(master_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
        std::abort();
}

void GameProcess::pump() {
    for (;;) {
        pollfd ready = {master_, POLLIN, 0};
        if (poll(&ready, 1, 0) <= 0)
            break;
        char bytes[65536];
        ssize_t n = read(master_, bytes, sizeof bytes);
        if (n <= 0)
            break;
        output_.append(bytes, static_cast<std::size_t>(n));
        vt_.feed(std::string_view(bytes, static_cast<std::size_t>(n)));
    }
    // The keyboard query: the answer of a terminal without the protocol.
    if (!answered_ && output_.find("\x1b[?u\x1b[c") != std::string::npos) {
        answered_ = true;
        type("\x1b[?1;2c");
    }
}

bool GameProcess::waitFor(std::string_view text, int ms, int row) {
    return waitUntil(ms, [&] {
        std::string shown = row >= 0 ? vt_.rowText(row) : screen();
        return shown.find(text) != std::string::npos;
    });
}

bool GameProcess::waitForRow(int y, std::string_view text, int ms) {
    return waitUntil(ms, [&] { return vt_.rowText(y) == text; });
}

template <typename Shown> bool GameProcess::waitUntil(int ms, Shown shown) {
    long long until = monotonicMs() + ms;
    for (;;) {
        pump();
        if (shown())
            return true;
        if (monotonicMs() >= until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

std::string GameProcess::screen() const {
    std::string all;
    for (int y = 0; y < 24; ++y)
        all += vt_.rowText(y) + "\n";
    return all;
}

int GameProcess::waitExit(int ms) {
    long long until = monotonicMs() + ms;
    while (status_ < 0) {
        pump();
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_)
            status_ = WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
        else if (monotonicMs() >= until)
            break;
        else
            std::this_thread::sleep_for(std::chrono::microseconds(5000));
    }
    pump();
    return status_;
}

void GameProcess::kill(int signo) const { ::kill(pid_, signo); }

int portShown(const GameProcess& host) {
    std::string all = host.screen();
    std::size_t at = all.find("--join 127.0.0.1:");
    return at == std::string::npos ? 0 : std::atoi(all.c_str() + at + 17);
}

} // namespace term

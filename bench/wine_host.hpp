// SPDX-License-Identifier: MIT
// The Windows game as the host under Wine, for the door's figures: in a
// console window that Wine draws on the display given by DISPLAY, in the
// Wine prefix given by WINEPREFIX (bench/windows_admission.sh makes both).
// The console test's reader (blockduel_console_check watch) reads its
// console once a second: the join notice's port and the rate readout.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "watched_host.hpp"

class WineHost : public WatchedHost {
public:
    // GAME and CHECK: blockduel.exe and blockduel_console_check.exe.
    WineHost(const char* game, const char* check);
    ~WineHost() override;
    WineHost(const WineHost&) = delete;
    WineHost& operator=(const WineHost&) = delete;

    int port() override;
    double cpuSeconds() const override;
    double helperSeconds() const override;
    std::vector<int> takeRates() override;

private:
    void run();
    void watch();
    void readScreen(const std::vector<std::string>& rows);

    std::string check_;
    std::string prefix_;
    pid_t console_ = -1; // wineconsole, which starts the game
    pid_t watcher_ = -1;
    std::mutex lock_;
    int port_ = 0;
    std::vector<int> rates_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// SPDX-License-Identifier: MIT
// A process's CPU time as Linux's /proc tells it, for the figures that
// watch a game run.
#pragma once

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <unistd.h>

// User and system CPU time of the process in seconds; -1 once it is gone.
inline double cpuSeconds(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::size_t close = text.rfind(')');
    if (close == std::string::npos)
        return -1;
    // After the name: state (field 3), ..., utime (14) and stime (15).
    std::istringstream fields(text.substr(close + 1));
    std::string field;
    long long ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i)
        if (i >= 14)
            ticks += std::atoll(field.c_str());
    return static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

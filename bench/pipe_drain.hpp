// SPDX-License-Identifier: MIT
// Emptying a non-blocking descriptor, for the figures that count what the
// game sent.
#pragma once

#include <unistd.h>

// Reads and drops everything `fd` holds now; how many bytes that was.
inline long long drainBytes(int fd) {
    long long total = 0;
    char bytes[65536];
    for (ssize_t n; (n = read(fd, bytes, sizeof bytes)) > 0;)
        total += n;
    return total;
}

// SPDX-License-Identifier: MIT
// Tests that hold hundreds of connections open need room for them: macOS
// starts a process with 256 descriptors, Linux usually with 1024 or more.
#pragma once

#include <algorithm>
#include <sys/resource.h>

namespace term {

// Raises the process's limit on open descriptors so that `count` more than
// a test has anyway fit, as far as the hard limit allows.
inline void makeRoomForDescriptors(int count) {
    rlimit limit = {};
    auto wanted = static_cast<rlim_t>(count) + 256;
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= wanted)
        return;
    limit.rlim_cur = limit.rlim_max == RLIM_INFINITY ? wanted : std::min(wanted, limit.rlim_max);
    setrlimit(RLIMIT_NOFILE, &limit);
}

} // namespace term

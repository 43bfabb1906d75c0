// SPDX-License-Identifier: MIT
// The handler runs on a thread of its own; it only sets a flag, which the
// server's loop reads.
#include "app/stop_request.hpp"

#include <atomic>
#include <windows.h>

namespace {

std::atomic<bool> requested{false};

BOOL WINAPI noteStop(DWORD /*type*/) {
    requested = true;
    return TRUE;
}

} // namespace

void watchStopRequests() { SetConsoleCtrlHandler(noteStop, TRUE); }

bool stopRequested() { return requested; }

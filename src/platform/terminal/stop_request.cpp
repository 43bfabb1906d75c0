// SPDX-License-Identifier: MIT
// The handler only sets a flag; the server's loop reads it.
#include "app/stop_request.hpp"

#include <csignal>
#include <initializer_list>

namespace {

volatile std::sig_atomic_t requested = 0;

extern "C" void noteStop(int /*signo*/) { requested = 1; }

} // namespace

void watchStopRequests() {
    struct sigaction action = {};
    action.sa_handler = noteStop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no SA_RESTART: the loop's wait ends at once
    for (int signo : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signo, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

bool stopRequested() { return requested != 0; }

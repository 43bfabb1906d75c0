// SPDX-License-Identifier: MIT
// --serve: the server, headless, on one thread's event loop until it is
// asked to stop; its log on standard error.
#pragma once

#include "cli/command_line.hpp"

namespace app {

// Serves on the options' address (or the socket a service manager passed)
// until a stop request drains it; the exit status.
int serve(const Options& options);

} // namespace app

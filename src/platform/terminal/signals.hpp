// SPDX-License-Identifier: MIT
// Signals for the terminal game. The handlers only note what arrived and
// wake the loop through a self-pipe; the loop does the work (leaving the
// terminal, stopping, repainting). Crash signals are the exception: there is
// no loop to come back to, so their handler gives the terminal back itself,
// with nothing but write() and tcsetattr(), and dies by the same signal.
#pragma once

#include <termios.h>

namespace term::signals {

// Installs the handlers and opens the self-pipe. False when the pipe cannot
// be made; the game then runs without signal handling.
bool install();

// Puts back the dispositions install() found (for tests).
void uninstall();

// The read end of the self-pipe, readable after any handled signal
// arrived; -1 when not installed.
int wakeFd();

// Empties the self-pipe; the flags stay until taken.
void drainWake();

// True once for every arrival of `signo` since the last call.
bool take(int signo);

// What the crash handler writes to `outFd` and the terminal modes it sets
// on `ttyFd`; replaced by each call, forgotten by disarmCrashRestore().
void armCrashRestore(int outFd, int ttyFd, const termios& modes, const char* bytes, int length);
void disarmCrashRestore();

// Stops the process as the terminal's suspend key would (the default action
// of SIGTSTP) and returns once it is continued.
void stopSelf();

// Ends the process by the default action of `signo`, so that the parent
// sees how it ended (a shell reports 128 + signo).
[[noreturn]] void dieBy(int signo);

} // namespace term::signals

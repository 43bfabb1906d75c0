// SPDX-License-Identifier: MIT
// Signals for the terminal game. The handlers only note what arrived and
// wake the loop through a self-pipe; the loop does the work (leaving the
// terminal, stopping, repainting). Every signal whose default action ends
// the process is caught, so that none ends the game with the terminal left
// in its modes. Crash signals are the exception to the loop: there is no
// loop to come back to, so their handler gives the terminal back itself,
// with nothing but async-signal-safe calls, and dies by the same signal.
#pragma once

#include <csignal>
#include <termios.h>

namespace term::signals {

// One past the highest signal number of the system. FreeBSD's NSIG counts
// only the 32 signals of old, its real-time ones reaching 126; glibc, musl
// and the BSDs name NSIG only beyond strict POSIX, and _NSIG always; macOS
// in strict POSIX names neither (it has 32), and the table then takes the
// most any of them has.
#if defined(_SIG_MAXSIG)
constexpr int signalLimit = _SIG_MAXSIG + 1;
#elif defined(_NSIG)
constexpr int signalLimit = _NSIG;
#elif defined(NSIG)
constexpr int signalLimit = NSIG;
#else
constexpr int signalLimit = 129;
#endif

// Installs the handlers and opens the self-pipe. False when the pipe cannot
// be made; the game then runs without signal handling. A signal that ends
// the process and was ignored when the game started stays ignored, as a
// shell that starts the game in the background without job control wants.
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

// A signal that arrived and whose default action ends the process (SIGINT,
// SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGALRM, the real-time signals...),
// taken; 0 when none did.
int takeEnding();

// What the crash handler puts back: the bytes it writes to `outFd`, the
// terminal modes it sets on `ttyFd` (-1: none), the file status flags it
// sets on `flagsFd` (-1: none).
struct CrashRestore {
    int outFd = -1;
    const char* bytes = "";
    int length = 0;
    int ttyFd = -1;
    termios modes = {};
    int flagsFd = -1;
    int flags = 0;
};

// Replaced by each call, forgotten by disarmCrashRestore(). The bytes are
// copied.
void armCrashRestore(const CrashRestore& restore);
void disarmCrashRestore();

// The output gate's part (see output_gate.hpp): from now on every SIGCONT
// points `fd` at `nullFd` before the process goes on. Disarmed, it leaves
// descriptors alone.
void armOutputGate(int fd, int nullFd);
void disarmOutputGate();
// Changes with every SIGCONT the process receives while installed.
unsigned continues();

// Stops the process as the terminal's suspend key would (the default action
// of SIGTSTP) and returns once it is continued, or at once where the system
// does not stop it (a process group without a shell to continue it).
void stopSelf();

// Ends the process by the default action of `signo`, so that the parent
// sees how it ended (a shell reports 128 + signo).
[[noreturn]] void dieBy(int signo);

} // namespace term::signals

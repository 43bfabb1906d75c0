// SPDX-License-Identifier: MIT
// Signal handlers that only note and wake, and the crash handler's last
// attempt at giving the terminal back.
#include "signals.hpp"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace term::signals {

namespace {

// Signals the loop acts on: the four that end the game, the two of job
// control and the window size.
constexpr int wakeSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP, SIGCONT, SIGWINCH};
// Signals after which nothing more can be trusted.
constexpr int crashSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

constexpr int signalLimit = 65;

volatile sig_atomic_t arrived[signalLimit];
int pipeFds[2] = {-1, -1};
bool installed = false;
struct sigaction previous[signalLimit];

volatile sig_atomic_t crashArmed = 0;
int crashOutFd = -1;
int crashTtyFd = -1;
termios crashModes;
char crashBytes[128];
int crashLength = 0;

void onSignal(int signo) {
    int savedErrno = errno;
    if (signo > 0 && signo < signalLimit)
        arrived[signo] = 1;
    if (pipeFds[1] >= 0) {
        char byte = 0;
        // A full pipe already wakes the loop; the byte may be dropped.
        if (write(pipeFds[1], &byte, 1) < 0) {
        }
    }
    errno = savedErrno;
}

void onCrash(int signo) {
    if (crashArmed) {
        crashArmed = 0;
        int done = 0;
        while (done < crashLength) {
            ssize_t n =
                write(crashOutFd, crashBytes + done, static_cast<size_t>(crashLength - done));
            if (n <= 0 && errno != EINTR)
                break;
            if (n > 0)
                done += static_cast<int>(n);
        }
        tcsetattr(crashTtyFd, TCSANOW, &crashModes);
    }
    signal(signo, SIG_DFL);
    raise(signo);
}

void setHandler(int signo, void (*handler)(int), int flags) {
    struct sigaction action = {};
    action.sa_handler = handler;
    action.sa_flags = flags;
    sigemptyset(&action.sa_mask);
    sigaction(signo, &action, &previous[signo]);
}

bool openPipe() {
    if (pipe(pipeFds) != 0) {
        pipeFds[0] = pipeFds[1] = -1;
        return false;
    }
    for (int fd : pipeFds) {
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    return true;
}

void setDefault(int signo) {
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signo, &action, nullptr);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signo);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
}

} // namespace

bool install() {
    if (installed)
        return true;
    if (!openPipe())
        return false;
    for (int signo : wakeSignals) {
        arrived[signo] = 0;
        // No SA_RESTART: a blocked write or wait returns so the loop can act.
        setHandler(signo, onSignal, 0);
    }
    for (int signo : crashSignals)
        setHandler(signo, onCrash, SA_RESETHAND | SA_NODEFER);
    // A vanished terminal shows up as a failed write, not as a silent death.
    setHandler(SIGPIPE, SIG_IGN, 0);
    installed = true;
    return true;
}

void uninstall() {
    if (!installed)
        return;
    for (int signo : wakeSignals)
        sigaction(signo, &previous[signo], nullptr);
    for (int signo : crashSignals)
        sigaction(signo, &previous[signo], nullptr);
    sigaction(SIGPIPE, &previous[SIGPIPE], nullptr);
    close(pipeFds[0]);
    close(pipeFds[1]);
    pipeFds[0] = pipeFds[1] = -1;
    installed = false;
}

int wakeFd() { return pipeFds[0]; }

void drainWake() {
    char bytes[64];
    if (pipeFds[0] < 0)
        return;
    while (read(pipeFds[0], bytes, sizeof bytes) > 0) {
    }
}

bool take(int signo) {
    if (signo <= 0 || signo >= signalLimit || !arrived[signo])
        return false;
    arrived[signo] = 0;
    return true;
}

void armCrashRestore(int outFd, int ttyFd, const termios& modes, const char* bytes, int length) {
    crashArmed = 0;
    crashOutFd = outFd;
    crashTtyFd = ttyFd;
    crashModes = modes;
    if (length > static_cast<int>(sizeof crashBytes))
        length = static_cast<int>(sizeof crashBytes);
    for (int i = 0; i < length; ++i)
        crashBytes[i] = bytes[i];
    crashLength = length;
    crashArmed = 1;
}

void disarmCrashRestore() { crashArmed = 0; }

void stopSelf() {
    struct sigaction mine;
    sigaction(SIGTSTP, nullptr, &mine);
    setDefault(SIGTSTP);
    raise(SIGTSTP);
    // cppcheck-suppress unreachableCode ; raise() returns once the game is continued
    sigaction(SIGTSTP, &mine, nullptr);
}

void dieBy(int signo) {
    setDefault(signo);
    raise(signo);
    // cppcheck-suppress unreachableCode ; raise() returns while the signal is blocked
    _exit(128 + signo);
}

} // namespace term::signals

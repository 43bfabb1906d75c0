// SPDX-License-Identifier: MIT
// Signal handlers that only note and wake, and the crash handler's last
// attempt at giving the terminal back.
#include "platform/terminal/signals.hpp"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace term::signals {

namespace {

// Signals whose default action ends the process, other than crashes: the
// loop gives the terminal back and dies by them. Defaults differ between
// systems: SIGIO and SIGPWR end a process on Linux, while the BSDs and
// macOS ignore them, so they are caught only where they would end the game.
// The real-time signals, where the system has them, are added to these.
constexpr int endingSignals[] = {
    SIGINT,    SIGTERM,   SIGHUP,  SIGQUIT, SIGUSR1, SIGUSR2,
    SIGALRM,   SIGVTALRM, SIGPROF, SIGXCPU, SIGXFSZ,
#ifdef __linux__
    SIGIO,
#ifdef SIGPWR
    SIGPWR,
#endif
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
#endif
#ifdef SIGEMT
    SIGEMT,
#endif
#ifdef SIGLOST
    SIGLOST,
#endif
#ifdef SIGLIBRT // FreeBSD's real-time library's; its SIGTHR is its threads' own
    SIGLIBRT,
#endif
};
// The other signals the loop acts on: job control and the window size.
// SIGCONT has a handler of its own, which also closes the output gate.
constexpr int loopSignals[] = {SIGTSTP, SIGWINCH};
// Signals of a fault in the game itself, after which nothing more can be
// trusted.
constexpr int crashSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP, SIGSYS};

volatile sig_atomic_t arrived[signalLimit];
int pipeFds[2] = {-1, -1};
bool installed = false;
bool caught[signalLimit]; // handled here, with the disposition found kept in `previous`
struct sigaction previous[signalLimit];

// The output gate (see output_gate.hpp): the descriptor the game writes to
// and /dev/null, which every continue points it at; -1 while not armed.
volatile sig_atomic_t gateFd = -1;
volatile sig_atomic_t gateNullFd = -1;
// Continues so far, wrapping within what a sig_atomic_t holds.
volatile sig_atomic_t continueCount = 0;
constexpr int continueCountMask = 0x3fffffff;

volatile sig_atomic_t crashArmed = 0;
CrashRestore crash;
char crashBytes[128];

// Linux numbers its real-time signals at run time; macOS and OpenBSD have
// none.
bool isRealTime([[maybe_unused]] int signo) {
#if defined(SIGRTMIN) && defined(SIGRTMAX)
    return signo >= SIGRTMIN && signo <= SIGRTMAX;
#else
    return false;
#endif
}

bool isEnding(int signo) {
    for (int ending : endingSignals)
        if (signo == ending)
            return true;
    return isRealTime(signo);
}

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

// Runs when the process is continued, before it takes one more step of
// whatever it was doing when stopped. The game does not start programs, but
// the gate keeps its close-on-exec flag all the same.
void onContinue(int signo) {
    int savedErrno = errno;
    int fd = gateFd;
    int nullFd = gateNullFd;
    if (fd >= 0 && nullFd >= 0 && dup2(nullFd, fd) == fd)
        fcntl(fd, F_SETFD, FD_CLOEXEC);
    continueCount = (continueCount + 1) & continueCountMask;
    errno = savedErrno;
    onSignal(signo);
}

// A process in the background may not touch the terminal: the shell has it
// and has put its own modes back.
bool mayUseTerminal() {
    if (crash.ttyFd < 0)
        return true;
    pid_t foreground = tcgetpgrp(crash.ttyFd);
    return foreground < 0 || foreground == getpgrp();
}

void onCrash(int signo) {
    if (crashArmed) {
        crashArmed = 0;
        if (mayUseTerminal()) {
            int done = 0;
            while (done < crash.length) {
                ssize_t n =
                    write(crash.outFd, crashBytes + done, static_cast<size_t>(crash.length - done));
                if (n <= 0 && errno != EINTR)
                    break; // a terminal that does not read gets what it took
                if (n > 0)
                    done += static_cast<int>(n);
            }
            if (crash.ttyFd >= 0) {
                tcsetattr(crash.ttyFd, TCSANOW, &crash.modes);
                tcflush(crash.ttyFd, TCIFLUSH);
            }
        }
        if (crash.flagsFd >= 0)
            fcntl(crash.flagsFd, F_SETFL, crash.flags);
    }
    signal(signo, SIG_DFL);
    raise(signo);
}

void catchSignal(int signo, void (*handler)(int), int flags) {
    if (signo <= 0 || signo >= signalLimit)
        return;
    struct sigaction action = {};
    action.sa_handler = handler;
    action.sa_flags = flags;
    sigemptyset(&action.sa_mask);
    caught[signo] = sigaction(signo, &action, &previous[signo]) == 0;
    arrived[signo] = 0;
}

// No SA_RESTART: a blocked wait returns so the loop can act.
void catchEnding(int signo) {
    struct sigaction found = {};
    if (sigaction(signo, nullptr, &found) == 0 && found.sa_handler != SIG_IGN)
        catchSignal(signo, onSignal, 0);
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
    for (int signo : endingSignals)
        catchEnding(signo);
    for (int signo = 1; signo < signalLimit; ++signo)
        if (isRealTime(signo))
            catchEnding(signo);
    for (int signo : loopSignals)
        catchSignal(signo, onSignal, 0);
    catchSignal(SIGCONT, onContinue, 0);
    for (int signo : crashSignals)
        catchSignal(signo, onCrash, SA_RESETHAND | SA_NODEFER);
    // A vanished terminal shows up as a failed write, not as a silent death.
    catchSignal(SIGPIPE, SIG_IGN, 0);
    installed = true;
    return true;
}

void uninstall() {
    if (!installed)
        return;
    for (int signo = 1; signo < signalLimit; ++signo) {
        if (caught[signo])
            sigaction(signo, &previous[signo], nullptr);
        caught[signo] = false;
    }
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

int takeEnding() {
    for (int signo = 1; signo < signalLimit; ++signo)
        if (arrived[signo] && isEnding(signo) && take(signo))
            return signo;
    return 0;
}

void armCrashRestore(const CrashRestore& restore) {
    crashArmed = 0;
    crash = restore;
    if (crash.length > static_cast<int>(sizeof crashBytes))
        crash.length = static_cast<int>(sizeof crashBytes);
    for (int i = 0; i < crash.length; ++i)
        crashBytes[i] = restore.bytes[i];
    crash.bytes = crashBytes;
    crashArmed = 1;
}

void disarmCrashRestore() { crashArmed = 0; }

void armOutputGate(int fd, int nullFd) {
    gateFd = -1;
    gateNullFd = nullFd;
    gateFd = fd;
}

void disarmOutputGate() {
    gateFd = -1;
    gateNullFd = -1;
}

unsigned continues() { return static_cast<unsigned>(continueCount); }

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

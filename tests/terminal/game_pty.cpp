// SPDX-License-Identifier: MIT
// The game under a tiny shell on a pty; see the header.
#include "game_pty.hpp"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <ostream>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#ifndef BLOCKDUEL_GAME
#error "BLOCKDUEL_GAME must name the game executable"
#endif

namespace term {

namespace {

using Clock = std::chrono::steady_clock;

// What the shell tells the test: 'P' the game's pid, 'S' a stop and its
// signal, 'X' the end and its wait status.
struct Report {
    char kind;
    int value;
};

constexpr char startUpQuery[] = "\x1b[?u\x1b[c";
constexpr char attributesQuery[] = "\x1b[c";
constexpr char kittyPop[] = "\x1b[<u";
constexpr char attributesReply[] = "\x1b[?62;22c";
constexpr char flagsReply[] = "\x1b[?0u";

long long nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch())
        .count();
}

void put(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

void report(int fd, char kind, int value) {
    Report r = {kind, value};
    if (write(fd, &r, sizeof r) != sizeof r)
        _exit(3);
}

// From here to the exec the child of a forked test: system calls only.

volatile sig_atomic_t hungUp = 0;
void onHangUp(int /*signo*/) { hungUp = 1; }

// The game's side of the fork, as a shell starts a foreground job: a process
// group of its own that owns the terminal, every signal at its default,
// the terminal on standard input, output and error, no core files.
[[noreturn]] void execGame(int slave, bool noColor) {
    setpgid(0, 0);
    tcsetpgrp(slave, getpid()); // allowed while SIGTTOU is still ignored, as the shell has it
    for (int signo = 1; signo < NSIG; ++signo)
        std::signal(signo, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int fd = 0; fd < 3; ++fd)
        dup2(slave, fd);
    close(slave);
    rlimit noCore = {0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    const char* env[] = {"TERM=xterm-256color", "LC_ALL=C.UTF-8", noColor ? "NO_COLOR=1" : nullptr,
                         nullptr};
    const char* argv[] = {BLOCKDUEL_GAME, nullptr};
    execve(BLOCKDUEL_GAME, const_cast<char* const*>(argv), const_cast<char* const*>(env));
    _exit(127);
}

// The shell: a session leader with the pty as its terminal, one job.
[[noreturn]] void runShell(int slave, int commands, int reports, bool noColor) {
    setsid();
    ioctl(slave, TIOCSCTTY, 0);
    std::signal(SIGTTOU, SIG_IGN);
    std::signal(SIGTTIN, SIG_IGN);
    std::signal(SIGTSTP, SIG_IGN);
    struct sigaction hangUp = {};
    hangUp.sa_handler = onHangUp;
    sigaction(SIGHUP, &hangUp, nullptr);
    pid_t game = fork();
    if (game == 0)
        execGame(slave, noColor);
    setpgid(game, game);
    tcsetpgrp(slave, game);
    report(reports, 'P', game);
    for (;;) {
        if (hungUp) { // as bash hands a hang-up on to its jobs
            hungUp = 0;
            kill(-game, SIGHUP);
            kill(-game, SIGCONT);
        }
        pollfd command = {commands, POLLIN, 0};
        char c = 0;
        if (poll(&command, 1, 2) > 0 && read(commands, &c, 1) <= 0) {
            kill(-game, SIGKILL); // the test is gone
            c = 0;
        }
        if (c == 'f') {
            tcsetpgrp(slave, game);
            kill(-game, SIGCONT);
        }
        int status = 0;
        pid_t changed = waitpid(game, &status, WNOHANG | WUNTRACED);
        if (changed == game && WIFSTOPPED(status)) {
            tcsetpgrp(slave, getpgrp());
            report(reports, 'S', WSTOPSIG(status));
        } else if (changed == game) {
            report(reports, 'X', status);
            _exit(0);
        }
    }
}

bool pipeOf(int fds[2]) { return pipe2(fds, O_CLOEXEC) == 0; }

// A CSI sequence's parameter text and final byte, from just after ESC [.
struct Csi {
    std::string_view parameters;
    char final = 0;
    std::size_t end = 0;
};

Csi readCsi(std::string_view bytes, std::size_t from) {
    std::size_t i = from;
    while (i < bytes.size() && (bytes[i] < 0x40 || bytes[i] > 0x7E))
        ++i;
    if (i == bytes.size())
        return {{}, 0, i};
    return {bytes.substr(from, i - from), bytes[i], i + 1};
}

bool setsColour(std::string_view parameters) {
    std::size_t at = 0;
    while (at <= parameters.size()) {
        std::size_t end = std::min(parameters.find(';', at), parameters.size());
        int p = std::atoi(std::string(parameters.substr(at, end - at)).c_str());
        if ((p >= 30 && p <= 38) || (p >= 40 && p <= 48) || (p >= 90 && p <= 107))
            return true;
        at = end + 1;
    }
    return false;
}

void privateMode(TerminalState& state, std::string_view parameters, bool on) {
    if (parameters == "?1049")
        state.alternateScreen = on;
    else if (parameters == "?25")
        state.cursorHidden = !on;
    else if (parameters == "?1004")
        state.focusReports = on;
}

} // namespace

std::string signalName(int signo) {
    const char* name = sigabbrev_np(signo);
    return name != nullptr ? std::string("SIG") + name
                           : "SIGRTMIN+" + std::to_string(signo - SIGRTMIN);
}

void PrintTo(const Outcome& outcome, std::ostream* out) {
    static const char* const kinds[] = {"running", "stopped by", "exited with", "killed by"};
    *out << kinds[outcome.kind];
    if (outcome.kind == Outcome::Stopped || outcome.kind == Outcome::Killed)
        *out << " " << signalName(outcome.value);
    else if (outcome.kind == Outcome::Exited)
        *out << " " << outcome.value;
}

TerminalState terminalState(std::string_view bytes) {
    TerminalState state;
    for (std::size_t at = bytes.find("\x1b["); at != std::string_view::npos;
         at = bytes.find("\x1b[", at + 1)) {
        Csi csi = readCsi(bytes, at + 2);
        int& pushes = state.kittyPushes[state.alternateScreen ? 1 : 0];
        if (csi.final == 'h' || csi.final == 'l')
            privateMode(state, csi.parameters, csi.final == 'h');
        else if (csi.final == 'm' && setsColour(csi.parameters))
            state.colours = true;
        else if (csi.final == 'u' && csi.parameters.starts_with('>'))
            ++pushes;
        else if (csi.final == 'u' && csi.parameters.starts_with('<'))
            state.poppedTooMany |= --pushes < 0;
    }
    return state;
}

GamePty::GamePty(const PtyOptions& options) : options_(options) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
        std::abort();
    slave_ = open(ptsname(master_), O_RDWR | O_NOCTTY);
    winsize size = {24, 80, 0, 0};
    int commands[2];
    int reports[2];
    if (slave_ < 0 || ioctl(master_, TIOCSWINSZ, &size) != 0 || !pipeOf(commands) ||
        !pipeOf(reports) || tcgetattr(slave_, &before_) != 0)
        std::abort();
    statusFlagsBefore = fcntl(slave_, F_GETFL);
    shell_ = fork();
    if (shell_ == 0) {
        close(master_); // so that closing the test's is the terminal going away
        close(commands[1]);
        close(reports[0]);
        runShell(slave_, commands[0], reports[1], options_.noColor);
    }
    close(commands[0]);
    close(reports[1]);
    commands_ = commands[1];
    reports_ = reports[0];
    Report first = {};
    if (read(reports_, &first, sizeof first) != sizeof first || first.kind != 'P')
        std::abort();
    pid = first.value;
}

GamePty::~GamePty() {
    if (commands_ >= 0)
        close(commands_); // the shell then kills the game, if it still runs
    if (shell_ > 0)
        waitpid(shell_, nullptr, 0);
    for (int fd : {master_, slave_, reports_})
        if (fd >= 0)
            close(fd);
}

void GamePty::type(std::string_view bytes) const { put(master_, bytes); }

bool GamePty::escapeAndEnter() {
    std::size_t from = output.size();
    type(options_.kitty ? "\x1b[27u" : "\x1b");
    if (!waitForOutput("Kilepeshez nyomjon ENTER-t", from))
        return false;
    type(options_.kitty ? "\x1b[13u" : "\r");
    return true;
}

bool GamePty::typeDuringQuery(std::string_view key) {
    if (!waitForOutput(startUpQuery))
        return false;
    type(key);
    bool read = waitInputRead();
    type(std::string(options_.kitty ? flagsReply : "") + attributesReply);
    return read;
}

void GamePty::signal(int signo) const { kill(pid, signo); }

void GamePty::foreground() const { put(commands_, "f"); }

void GamePty::resize(int columns, int rows) const {
    winsize size = {static_cast<unsigned short>(rows), static_cast<unsigned short>(columns), 0, 0};
    ioctl(master_, TIOCSWINSZ, &size);
}

void GamePty::closeTerminal() {
    close(master_);
    master_ = -1;
}

// Writes at the slave side, into the same queue as the game's output, until
// it is full; NUL bytes, which a terminal shows as nothing. The kernel moves
// queued bytes on towards the master a little later, freeing room, so the
// queue is full once it stays so for a while.
void GamePty::fillOutput() const {
    int fd = open(ptsname(master_), O_WRONLY | O_NOCTTY | O_NONBLOCK);
    char zeros[4096] = {};
    for (int quiet = 0; fd >= 0 && quiet < 5;) {
        bool took = false;
        while (write(fd, zeros, sizeof zeros) > 0)
            took = true;
        quiet = took ? 0 : quiet + 1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    close(fd);
}

void GamePty::readOutput(int ms) {
    if (!due_.empty())
        ms = static_cast<int>(std::clamp(dueAtMs_ - nowMs(), 0LL, static_cast<long long>(ms)));
    pollfd ready = {master_, POLLIN, 0};
    if (master_ >= 0 && poll(&ready, 1, ms) > 0) {
        char bytes[65536];
        ssize_t n = read(master_, bytes, sizeof bytes);
        if (n > 0) {
            std::string_view got(bytes, static_cast<std::size_t>(n));
            output += got;
            screen_.feed(got);
        }
    }
    answer();
    if (!due_.empty() && nowMs() >= dueAtMs_) {
        put(master_, due_);
        due_.clear();
    }
}

// Answers each query once, in the order they came: the start-up query at
// once (if told to), later ones after the delay; and when the flags come
// off, sends what the options say is still under way.
void GamePty::answer() {
    for (;;) {
        std::size_t query = output.find(attributesQuery, answered_);
        std::size_t pop = output.find(kittyPop, answered_);
        if (pop < query) {
            put(master_, options_.onPop);
            answered_ = pop + std::strlen(kittyPop);
            continue;
        }
        if (query == std::string::npos)
            return;
        answered_ = query + std::strlen(attributesQuery);
        bool startUp = query >= 4 && output.compare(query - 4, 7, startUpQuery) == 0;
        if (startUp && options_.answerStartUp)
            put(master_, std::string(options_.kitty ? flagsReply : "") + attributesReply);
        else if (!startUp) {
            due_ += attributesReply;
            dueAtMs_ = nowMs() + options_.endReplyDelayMs;
        }
    }
}

void GamePty::pump(int ms) {
    long long until = nowMs() + ms;
    do
        readOutput(static_cast<int>(std::max(until - nowMs(), 0LL)));
    while (nowMs() < until);
}

// The shell's report can come before the game's last bytes have made their
// way through the pty; after a stop or an end the game sends nothing more,
// so what comes until the terminal is quiet is what it sent before.
Outcome GamePty::waitOutcome(int ms, bool reading) {
    long long until = nowMs() + ms;
    while (nowMs() < until) {
        pollfd ready = {reports_, POLLIN, 0};
        if (poll(&ready, 1, reading ? 0 : 5) > 0) {
            Report r = {};
            if (read(reports_, &r, sizeof r) != sizeof r)
                break;
            for (std::size_t had = std::string::npos; reading && had != output.size();) {
                had = output.size();
                readOutput(50);
            }
            if (r.kind == 'S')
                return Outcome::stopped(r.value);
            if (WIFEXITED(r.value))
                return Outcome::exited(WEXITSTATUS(r.value));
            return Outcome::killed(WTERMSIG(r.value));
        }
        if (reading)
            readOutput(5);
    }
    return {};
}

bool GamePty::waitUntil(const std::function<bool()>& done, int ms) {
    long long until = nowMs() + ms;
    while (!done()) {
        if (nowMs() >= until)
            return false;
        readOutput(5);
    }
    return true;
}

bool GamePty::waitForOutput(std::string_view marker, std::size_t from, int ms) {
    return waitUntil([&] { return output.find(marker, from) != std::string::npos; }, ms);
}

bool GamePty::waitForPicture(std::size_t from) {
    auto count = [this](int row, std::string_view text) {
        std::string line = screen_.rowText(row);
        int n = 0;
        for (std::size_t at = line.find(text); at != std::string::npos;
             at = line.find(text, at + 1))
            ++n;
        return n;
    };
    // A repaint starts by clearing the screen.
    return waitUntil([&] {
        return output.find("\x1b[2J", from) != std::string::npos && count(0, "Next:") == 2 &&
               count(15, "Score: ") == 2;
    });
}

// Bytes written at the master reach the game's side a moment later, so an
// empty queue right after typing proves nothing.
bool GamePty::waitInputRead(int ms) {
    pump(20);
    return waitUntil([this] { return unreadInput() == 0; }, ms);
}

int GamePty::pieceColumn() const {
    int leftmost = -1;
    for (int y = 0; y < 13; ++y)
        for (int x = 1; x < 19; ++x)
            if (screen_.glyphAt(x, y) == "\u2588" && (leftmost < 0 || x < leftmost))
                leftmost = x;
    return leftmost;
}

bool GamePty::modesAsBefore() const {
    termios now = {};
    return tcgetattr(slave_, &now) == 0 && now.c_iflag == before_.c_iflag &&
           now.c_oflag == before_.c_oflag && now.c_cflag == before_.c_cflag &&
           now.c_lflag == before_.c_lflag &&
           std::memcmp(now.c_cc, before_.c_cc, sizeof now.c_cc) == 0;
}

int GamePty::statusFlags() const { return fcntl(slave_, F_GETFL); }

// In canonical mode the count leaves out a line not ended yet, which is
// what stray replies are: it is taken with canonical mode off for a moment.
int GamePty::unreadInput() const {
    termios now = {};
    if (tcgetattr(slave_, &now) != 0)
        return -1;
    termios counting = now;
    counting.c_lflag &= ~static_cast<tcflag_t>(ICANON);
    int count = -1;
    if (tcsetattr(slave_, TCSANOW, &counting) == 0 && ioctl(slave_, FIONREAD, &count) != 0)
        count = -1;
    tcsetattr(slave_, TCSANOW, &now);
    return count;
}

bool GamePty::foregroundIsGame() const { return master_ >= 0 && tcgetpgrp(master_) == pid; }

} // namespace term

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
#include <regex>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>

#include "platform/terminal/signals.hpp"
#include "platform/terminal/tty.hpp"
#include "pty_pair.hpp"
#include "terminal_answers.hpp"

namespace term {

namespace {

constexpr char attributesQuery[] = "\x1b[c";
// Bytes that neither the game nor fillOutput() writes and that a terminal
// shows as nothing (DEL).
constexpr char endMarker[] = "\x7f\x7f\x7f\x7f\x7f\x7f\x7f\x7f";
constexpr char kittyPop[] = "\x1b[<u";

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

// From here to the exec the child of a forked test: system calls only.

volatile sig_atomic_t hungUp = 0;
void onHangUp(int /*signo*/) { hungUp = 1; }

// The game's side of the fork, as a shell starts a foreground job: a process
// group of its own that owns the terminal, every signal at its default,
// the terminal on standard input, output and error, no core files.
[[noreturn]] void execGame(int slave, char* const* argv, char* const* env) {
    const char* program = argv[0];
    setpgid(0, 0);
    tcsetpgrp(slave, getpid()); // allowed while SIGTTOU is still ignored, as the shell has it
    for (int signo = 1; signo < signals::signalLimit; ++signo)
        std::signal(signo, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int fd = 0; fd < 3; ++fd)
        dup2(slave, fd);
    close(slave);
    rlimit noCore = {0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    execve(program, argv, env);
    _exit(127);
}

// The shell: a session leader with the pty as its terminal, one job. It
// tells the test the game's pid, then each wait status, of a stop or the end.
[[noreturn]] void runShell(int slave, int commands, int reports, char* const* argv,
                           char* const* env) {
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
        execGame(slave, argv, env);
    setpgid(game, game);
    tcsetpgrp(slave, game);
    if (write(reports, &game, sizeof game) != sizeof game)
        _exit(3);
    for (;;) {
        if (hungUp) { // as bash hands a hang-up on to its jobs
            hungUp = 0;
            kill(-game, SIGHUP);
            kill(-game, SIGCONT);
        }
        pollfd command = {commands, POLLIN, 0};
        char c = 0;
        if (poll(&command, 1, 2) > 0 && read(commands, &c, 1) <= 0)
            kill(-game, SIGKILL); // the test is gone
        if (c == 'f') {
            tcsetpgrp(slave, game);
            kill(-game, SIGCONT);
        }
        int status = 0;
        if (waitpid(game, &status, WNOHANG | WUNTRACED) != game)
            continue;
        if (WIFSTOPPED(status))
            tcsetpgrp(slave, getpgrp());
        if (write(reports, &status, sizeof status) != sizeof status || !WIFSTOPPED(status))
            _exit(0);
    }
}

// The name of every signal the tests send or see, on each system that has it.
#define BLOCKDUEL_SIGNAL(name)                                                                     \
    { (name), #name }
const std::pair<int, const char*> signalNames[] = {
    BLOCKDUEL_SIGNAL(SIGHUP),    BLOCKDUEL_SIGNAL(SIGINT),  BLOCKDUEL_SIGNAL(SIGQUIT),
    BLOCKDUEL_SIGNAL(SIGILL),    BLOCKDUEL_SIGNAL(SIGTRAP), BLOCKDUEL_SIGNAL(SIGABRT),
    BLOCKDUEL_SIGNAL(SIGBUS),    BLOCKDUEL_SIGNAL(SIGFPE),  BLOCKDUEL_SIGNAL(SIGKILL),
    BLOCKDUEL_SIGNAL(SIGUSR1),   BLOCKDUEL_SIGNAL(SIGSEGV), BLOCKDUEL_SIGNAL(SIGUSR2),
    BLOCKDUEL_SIGNAL(SIGPIPE),   BLOCKDUEL_SIGNAL(SIGALRM), BLOCKDUEL_SIGNAL(SIGTERM),
    BLOCKDUEL_SIGNAL(SIGCHLD),   BLOCKDUEL_SIGNAL(SIGCONT), BLOCKDUEL_SIGNAL(SIGSTOP),
    BLOCKDUEL_SIGNAL(SIGTSTP),   BLOCKDUEL_SIGNAL(SIGTTIN), BLOCKDUEL_SIGNAL(SIGTTOU),
    BLOCKDUEL_SIGNAL(SIGURG),    BLOCKDUEL_SIGNAL(SIGXCPU), BLOCKDUEL_SIGNAL(SIGXFSZ),
    BLOCKDUEL_SIGNAL(SIGVTALRM), BLOCKDUEL_SIGNAL(SIGPROF), BLOCKDUEL_SIGNAL(SIGWINCH),
    BLOCKDUEL_SIGNAL(SIGSYS),    BLOCKDUEL_SIGNAL(SIGIO),
#ifdef SIGPWR
    BLOCKDUEL_SIGNAL(SIGPWR),
#endif
#ifdef SIGSTKFLT
    BLOCKDUEL_SIGNAL(SIGSTKFLT),
#endif
#ifdef SIGEMT
    BLOCKDUEL_SIGNAL(SIGEMT),
#endif
#ifdef SIGLIBRT
    BLOCKDUEL_SIGNAL(SIGLIBRT),
#endif
};
#undef BLOCKDUEL_SIGNAL

} // namespace

std::vector<int> endingSignals() {
    // Those whose default is not to end a process, SIGKILL, which cannot be
    // caught, and SIGPIPE, which the game ignores.
    std::vector<int> others = {SIGKILL, SIGPIPE, SIGCHLD, SIGCONT, SIGSTOP,
                               SIGTSTP, SIGTTIN, SIGTTOU, SIGURG,  SIGWINCH};
#ifndef __linux__
    others.push_back(SIGIO); // ignored by default on the BSDs, as SIGPWR is on NetBSD
#ifdef SIGPWR
    others.push_back(SIGPWR);
#endif
#endif
    std::vector<int> ending;
    for (const auto& [signo, name] : signalNames)
        if (std::find(others.begin(), others.end(), signo) == others.end())
            ending.push_back(signo);
#if defined(SIGRTMIN) && defined(SIGRTMAX)
    ending.insert(ending.end(), {SIGRTMIN, SIGRTMIN + 5, SIGRTMAX});
#endif
    return ending;
}

std::string signalName(int signo) {
    for (const auto& [number, name] : signalNames)
        if (number == signo)
            return name;
#if defined(SIGRTMIN) && defined(SIGRTMAX)
    if (signo >= SIGRTMIN && signo <= SIGRTMAX)
        return "SIGRTMIN+" + std::to_string(signo - SIGRTMIN);
#endif
    return "signal " + std::to_string(signo);
}

void PrintTo(const Outcome& outcome, std::ostream* out) {
    static const char* const kinds[] = {"running", "stopped by", "exited with", "killed by"};
    *out << kinds[outcome.kind] << " ";
    if (outcome.kind == Outcome::Stopped || outcome.kind == Outcome::Killed)
        *out << signalName(outcome.value);
    else if (outcome.kind == Outcome::Exited)
        *out << outcome.value;
}

// Each CSI sequence in turn, from ESC [ to its final byte.
TerminalState terminalState(std::string_view bytes) {
    TerminalState state;
    for (std::size_t at = bytes.find("\x1b["); at != std::string_view::npos;
         at = bytes.find("\x1b[", at + 1)) {
        std::size_t end = at + 2;
        while (end < bytes.size() && (bytes[end] < 0x40 || bytes[end] > 0x7E))
            ++end;
        if (end == bytes.size())
            break;
        std::string_view parameters = bytes.substr(at + 2, end - at - 2);
        bool set = bytes[end] == 'h';
        int& pushes = state.kittyPushes[state.alternateScreen ? 1 : 0];
        if (bytes[end] == 'h' || bytes[end] == 'l') {
            state.alternateScreen = parameters == "?1049" ? set : state.alternateScreen;
            state.cursorHidden = parameters == "?25" ? !set : state.cursorHidden;
            state.focusReports = parameters == "?1004" ? set : state.focusReports;
        } else if (bytes[end] == 'u' && parameters.starts_with('>')) {
            ++pushes;
        } else if (bytes[end] == 'u' && parameters.starts_with('<')) {
            state.poppedTooMany |= --pushes < 0;
        }
    }
    static const std::regex colour("\x1b\\[([0-9]*;)*(3[0-8]|4[0-8]|9[0-7]|10[0-7])[;m]");
    state.colours = std::regex_search(bytes.begin(), bytes.end(), colour);
    return state;
}

GamePty::GamePty(PtyOptions options)
    : options_(std::move(options)), screen_(options_.columns, options_.rows) {
    PtyPair pty;
    int commands[2];
    int reports[2];
    if (!openPtyPair(pty, options_.columns, options_.rows) || !pipeClosedOnExec(commands) ||
        !pipeClosedOnExec(reports) || tcgetattr(pty.slave, &before_) != 0)
        std::abort();
    master_ = pty.master;
    slave_ = pty.slave;
    slaveName_ = pty.slaveName;
    statusFlagsBefore = fcntl(slave_, F_GETFL);
    // The command line and the environment, made before the forks.
    std::vector<char*> argv = {const_cast<char*>(options_.program)};
    for (std::string& arg : options_.args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::vector<const char*> env = {"TERM=xterm-256color", "LC_ALL=C.UTF-8"};
    for (const std::string& entry : options_.env)
        env.push_back(entry.c_str());
    env.push_back(options_.noColor ? "NO_COLOR=1" : nullptr);
    env.push_back(nullptr);
    shell_ = fork();
    if (shell_ == 0) {
        close(master_); // so that closing the test's is the terminal going away
        close(commands[1]);
        close(reports[0]);
        runShell(slave_, commands[0], reports[1], argv.data(),
                 const_cast<char* const*>(env.data()));
    }
    close(commands[0]);
    close(reports[1]);
    commands_ = commands[1];
    reports_ = reports[0];
    if (read(reports_, &pid, sizeof pid) != sizeof pid)
        std::abort();
}

GamePty::~GamePty() {
    close(commands_); // the shell then kills the game, if it still runs
    waitpid(shell_, nullptr, 0);
    for (int fd : {master_, slave_, reports_})
        if (fd >= 0)
            close(fd);
}

void GamePty::type(std::string_view bytes) const { put(master_, bytes); }

bool GamePty::escapeAndEnter() {
    std::size_t from = output.size();
    type(options_.kitty ? "\x1b[27u" : "\x1b");
    if (!waitForOutput(prompt, from))
        return false;
    type(options_.kitty ? "\x1b[13u" : "\r");
    return true;
}

// Bytes written at the master reach the game's side a moment later, so an
// empty queue right after typing proves nothing.
bool GamePty::typeDuringQuery(std::string_view key) {
    if (!waitForOutput(attributesQuery))
        return false;
    type(key);
    pump(20);
    bool read = waitUntil([this] { return unreadInput() == 0; });
    type(std::string(options_.kitty ? answers::kittyFlags : "") + answers::attributes);
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
    int fd = open(slaveName_.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK);
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
        ms = static_cast<int>(std::clamp(dueAtMs_ - monotonicMs(), 0LL, 0LL + ms));
    pollfd ready = {master_, POLLIN, 0};
    char bytes[65536];
    ssize_t n = master_ >= 0 && poll(&ready, 1, ms) > 0 ? read(master_, bytes, sizeof bytes) : 0;
    if (n > 0) {
        output.append(bytes, static_cast<std::size_t>(n));
        screen_.feed(std::string_view(bytes, static_cast<std::size_t>(n)));
    }
    answer();
    if (!due_.empty() && monotonicMs() >= dueAtMs_) {
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
        bool startUp = query >= 4 && output.compare(query - 4, 4, "\x1b[?u") == 0;
        if (startUp && options_.answerStartUp)
            put(master_,
                std::string(options_.kitty ? answers::kittyFlags : "") + answers::attributes);
        else if (!startUp) {
            due_ += answers::attributes;
            dueAtMs_ = monotonicMs() + options_.endReplyDelayMs;
        }
    }
}

void GamePty::pump(int ms) {
    long long until = monotonicMs() + ms;
    do
        readOutput(static_cast<int>(std::max(until - monotonicMs(), 0LL)));
    while (monotonicMs() < until);
}

// The shell's report can come before the game's last bytes have made their
// way through the pty. Once stopped or ended the game sends nothing more, so
// a marker written into the same queue after the report comes out after
// everything the game wrote: what comes before it is all of that, and
// nothing written later can hide behind a quiet moment. Without a terminal
// to write the marker to, what comes until the terminal is quiet counts.
void GamePty::readToEndOfOutput() {
    constexpr auto markerLength = static_cast<ssize_t>(sizeof endMarker - 1);
    int fd = master_ >= 0 ? open(slaveName_.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK) : -1;
    std::size_t from = output.size();
    bool marked = fd >= 0 && write(fd, endMarker, markerLength) == markerLength;
    if (fd >= 0)
        close(fd);
    auto marker = [&] { return output.find(endMarker, from, markerLength); };
    if (marked && waitUntil([&] { return marker() != std::string::npos; }, 10000)) {
        output.erase(marker(), markerLength);
        return;
    }
    for (std::size_t had = std::string::npos; had != output.size();) {
        had = output.size();
        readOutput(100);
    }
}

// Looks at least once, so that no time at all asks whether the game still
// runs.
Outcome GamePty::waitOutcome(int ms, bool reading) {
    long long until = monotonicMs() + ms;
    do {
        pollfd ready = {reports_, POLLIN, 0};
        int status = 0;
        if (poll(&ready, 1, reading ? 0 : 5) <= 0) {
            if (reading)
                readOutput(5);
            continue;
        }
        if (read(reports_, &status, sizeof status) != sizeof status)
            break;
        if (reading)
            readToEndOfOutput();
        if (WIFSTOPPED(status))
            return Outcome::stopped(WSTOPSIG(status));
        return WIFEXITED(status) ? Outcome::exited(WEXITSTATUS(status))
                                 : Outcome::killed(WTERMSIG(status));
    } while (monotonicMs() < until);
    return {};
}

bool GamePty::waitUntil(const std::function<bool()>& done, int ms) {
    long long until = monotonicMs() + ms;
    while (!done()) {
        if (monotonicMs() >= until)
            return false;
        readOutput(5);
    }
    return true;
}

bool GamePty::waitForOutput(std::string_view marker, std::size_t from) {
    return waitUntil([&] { return output.find(marker, from) != std::string::npos; });
}

bool GamePty::waitForText(std::string_view text, int row) {
    return waitUntil([&] {
        std::string shown = row >= 0 ? screen_.rowText(row) : screenText();
        return shown.find(text) != std::string::npos;
    });
}

// Both boards: their first rows and their score lines. A repaint starts by
// clearing the screen.
bool GamePty::waitForPicture(std::size_t from) {
    static const std::regex boards("^.*Next:.*Next:.*\n(.*\n){14}.*Score: .*Score: ");
    return waitUntil([&] {
        return output.find("\x1b[2J", from) != std::string::npos &&
               std::regex_search(screenText(), boards);
    });
}

std::string GamePty::rowText(int row) const { return screen_.rowText(row); }

std::string GamePty::screenText() const {
    std::string all;
    for (int y = 0; y < options_.rows; ++y)
        all += screen_.rowText(y) + "\n";
    return all;
}

int GamePty::pieceColumn(int board) const {
    int leftmost = -1;
    for (int y = 0; y < 13; ++y)
        for (int x = board + 1; x < board + 19; ++x)
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

std::string joinedLines(const std::string& text) {
    std::string joined;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        joined += text[i] == '\n' ? ' ' : text[i];
    }
    return joined;
}

} // namespace term

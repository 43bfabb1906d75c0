// SPDX-License-Identifier: MIT
// The network game's calls on this machine's terminal: the start-up checks
// and the session as a game at one keyboard has them, the code asked for
// in the shell's own line mode before the game takes the terminal, and the
// join command named for a POSIX shell.
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <string_view>
#include <termios.h>
#include <unistd.h>

#include "cli/state_folder.hpp"
#include "game/local.hpp"
#include "netplay/serving.hpp"
#include "platform/terminal/program_path.hpp"
#include "platform/terminal/session.hpp"
#include "platform/terminal/startup.hpp"

namespace {

// Reads of a line that never ends stop here; what came is refused.
constexpr std::size_t maxDrained = std::size_t{64} * 1024;

// The screen of whichever session has the terminal: a guest is made before
// the terminal is taken, so that a refusal is a plain message.
class CurrentScreen : public LocalScreen {
public:
    ScreenBuffer& buffer() override { return session().buffer(); }
    void setNotices(std::vector<NoticeLine> lines) override {
        session().setNotices(std::move(lines));
    }
    void show() override { session().show(); }
    void setNames(std::string_view boardOne, std::string_view boardTwo) override {
        session().setNames(boardOne, boardTwo);
    }

private:
    static term::TerminalSession& session() { return *term::currentSession(); }
};

CurrentScreen screen;

// Escape ends the line being asked for as Enter does, so that it leaves at
// once: the terminal's second end-of-line character, while the line is
// read. The modes it had come back however the read ends, also when a
// signal (Ctrl-C) ends the program meanwhile.
constexpr char escapeByte = '\x1b';
constexpr int lineSignals[] = {SIGINT, SIGQUIT, SIGTERM, SIGHUP};
struct termios modesBefore;
volatile std::sig_atomic_t modesChanged = 0;

void onLineSignal(int signo) {
    if (modesChanged != 0)
        tcsetattr(STDIN_FILENO, TCSANOW, &modesBefore);
    raise(signo); // its handler was reset: ends the program as it would have
}

class EscapeEndsLine {
public:
    EscapeEndsLine() {
        if (tcgetattr(STDIN_FILENO, &modesBefore) != 0)
            return;
        for (std::size_t i = 0; i < std::size(lineSignals); ++i) {
            struct sigaction action = {};
            action.sa_handler = onLineSignal;
            action.sa_flags = SA_RESETHAND | SA_NODEFER;
            sigemptyset(&action.sa_mask);
            // A signal the shell had ignored stays ignored.
            caught_[i] = sigaction(lineSignals[i], nullptr, &previous_[i]) == 0 &&
                         previous_[i].sa_handler == SIG_DFL &&
                         sigaction(lineSignals[i], &action, nullptr) == 0;
        }
        struct termios modes = modesBefore;
        modes.c_cc[VEOL] = static_cast<cc_t>(escapeByte);
        modesChanged = 1;
        if (tcsetattr(STDIN_FILENO, TCSANOW, &modes) != 0)
            modesChanged = 0;
    }
    ~EscapeEndsLine() {
        if (modesChanged != 0)
            tcsetattr(STDIN_FILENO, TCSANOW, &modesBefore);
        modesChanged = 0;
        for (std::size_t i = 0; i < std::size(lineSignals); ++i)
            if (caught_[i])
                sigaction(lineSignals[i], &previous_[i], nullptr);
    }
    EscapeEndsLine(const EscapeEndsLine&) = delete;
    EscapeEndsLine& operator=(const EscapeEndsLine&) = delete;

private:
    struct sigaction previous_[std::size(lineSignals)] = {};
    bool caught_[std::size(lineSignals)] = {};
};

void writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        ssize_t n = write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        text.remove_prefix(static_cast<std::size_t>(n));
    }
}

} // namespace

// The terminal must do for every use alike.
std::string localProblem(ConsoleUse /*use*/) {
    return term::startProblem(STDIN_FILENO, STDOUT_FILENO, std::getenv("TERM"));
}

void localSay(const std::string& text) { writeAll(STDOUT_FILENO, text); }

void localComplain(const std::string& message) { term::sayProblem(message); }

std::string localStateFolder() {
    return stateFolderPath(std::getenv("XDG_STATE_HOME"), std::getenv("HOME"));
}

unsigned localProcessId() { return static_cast<unsigned>(getpid()); }

// The terminal is in the shell's line mode: the line comes whole, with the
// terminal's own echo and editing, and Ctrl-C ends the program as it ends
// any command; Escape ends it too, and stays in it for the caller to see.
// A line longer than `maxLength` is read to its end and refused.
LineRead localAskLine(const std::string& question, std::string& line, std::size_t maxLength) {
    EscapeEndsLine escapeEnds; // before the question, which may be answered at once
    localSay(question);
    line.clear();
    std::size_t total = 0;
    for (;;) {
        char bytes[256];
        ssize_t n = read(STDIN_FILENO, bytes, sizeof bytes);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return LineRead::Failed;
        if (n == 0 && total == 0)
            return LineRead::End;
        if (n == 0)
            break;
        total += static_cast<std::size_t>(n);
        std::string_view got(bytes, static_cast<std::size_t>(n));
        std::size_t end = got.find('\n');
        if (got.back() == escapeByte)
            end = got.size(); // the line ended by Escape, which it keeps
        if (line.size() <= maxLength)
            line.append(got.substr(0, std::min(end, maxLength + 1 - line.size())));
        if (end != std::string_view::npos || total > maxDrained)
            break;
    }
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.pop_back();
    return line.size() > maxLength ? LineRead::TooLong : LineRead::Line;
}

std::string localCommandName(const char* argv0) {
    return term::programForCommand(argv0, std::getenv("PATH"));
}

char localContinuation() { return '\\'; }

// A game at one keyboard waits for a window big enough; the others show a
// picture that goes on without them. Only the game without options reads
// keys as the terminal types them.
bool localTake(ConsoleUse use) {
    return term::takeTerminal(use != ConsoleUse::Network, use != ConsoleUse::Game) != nullptr;
}

void localFinish() { term::giveBackTerminal(true); }

void localRestore() { term::giveBackTerminal(false); }

void localFarewell(const std::string& text) {
    if (term::TerminalSession* session = term::currentSession())
        session->setFarewell(text);
}

bool localColors() { return term::colorsWanted(); }

LocalScreen& localScreen() { return screen; }

void localServe(NetService* service) {
    if (term::TerminalSession* session = term::currentSession())
        session->setExtension(service);
}

bool localKeyReleases() {
    term::TerminalSession* session = term::currentSession();
    return session != nullptr && session->kitty();
}

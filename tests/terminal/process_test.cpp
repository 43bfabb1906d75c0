// The game executable on a pty: the ways out that end the process (Ctrl-C,
// signals, a crash, a terminal that goes away) give the terminal back or
// say what happened, and a change of the window size arrives as SIGWINCH.
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "fake_terminal.hpp"

namespace term {
namespace {

using namespace sent;

// How the game is started: in a new session, with the pty as its
// controlling terminal or as a terminal it merely writes to, and with its
// standard error where the test wants it (-1: the test's own).
struct Launch {
    bool controlling = true;
    int errorFd = -1;
};

pid_t startGame(const FakeTerminal& terminal, Launch launch) {
    std::string path = BLOCKDUEL_PATH;
    std::vector<std::string> env = {"TERM=xterm-256color", "LC_ALL=C.UTF-8"};
    for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "PATH"})
        if (const char* value = std::getenv(name))
            env.push_back(std::string(name) + "=" + value);
    std::vector<char*> envp;
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    char* argv[] = {path.data(), nullptr};
    const char* slave = terminal.slaveName().c_str();

    pid_t pid = fork();
    if (pid == 0) {
        // The crash cases leave no core files behind.
        rlimit noCore = {0, 0};
        setrlimit(RLIMIT_CORE, &noCore);
        setsid();
        int fd = open(slave, launch.controlling ? O_RDWR : O_RDWR | O_NOCTTY);
        if (fd < 0 || (launch.controlling && ioctl(fd, TIOCSCTTY, 0) != 0))
            _exit(126);
        dup2(fd, 0);
        dup2(fd, 1);
        if (launch.errorFd >= 0)
            dup2(launch.errorFd, 2);
        execve(path.c_str(), argv, envp.data());
        _exit(127);
    }
    return pid;
}

// The wait status of `pid`, or -1 (and the process killed) after a time limit.
int waitForExit(pid_t pid) {
    auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > limit) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return status;
}

// After the game's end: it died by `signo`, the kitty flags it pushed were
// popped before the normal screen came back, and the modes are as before.
void expectGivenBack(FakeTerminal& terminal, const termios& before, int status, int signo) {
    ASSERT_TRUE(WIFSIGNALED(status)) << "wait status " << status;
    EXPECT_EQ(WTERMSIG(status), signo);
    ASSERT_TRUE(terminal.waitFor(leaveScreen));
    std::string out = terminal.output();
    std::size_t leave = out.rfind(leaveScreen);
    if (out.find(kittyPush) != std::string::npos) {
        std::size_t pop = out.rfind(kittyPop);
        EXPECT_NE(pop, std::string::npos);
        EXPECT_LT(pop, leave);
    }
    termios after = {};
    tcgetattr(terminal.slave(), &after);
    EXPECT_TRUE(sameModes(before, after));
}

class GameProcess : public testing::Test {
protected:
    void start(FakeTerminal::Kind kind, Launch launch = {}) {
        terminal_ = std::make_unique<FakeTerminal>(kind, 80, 24);
        tcgetattr(terminal_->slave(), &before_);
        pid_ = startGame(*terminal_, launch);
        ASSERT_GT(pid_, 0);
        // The picture is up once both "Next:" labels are.
        ASSERT_TRUE(terminal_->waitForRow(0, "Next:    "));
    }

    std::unique_ptr<FakeTerminal> terminal_;
    termios before_ = {};
    pid_t pid_ = -1;
};

TEST_F(GameProcess, CtrlCAsAKittyKeyEndsAtOnceWithTheTerminalGivenBack) {
    start(FakeTerminal::Kind::Kitty);
    ASSERT_NE(terminal_->output().find(kittyPush), std::string::npos);
    terminal_->send("\x1b[99;5u");
    expectGivenBack(*terminal_, before_, waitForExit(pid_), SIGINT);
}

TEST_F(GameProcess, CtrlCAsAByteEndsAtOnceWithTheTerminalGivenBack) {
    start(FakeTerminal::Kind::Legacy);
    terminal_->send("\x03");
    expectGivenBack(*terminal_, before_, waitForExit(pid_), SIGINT);
}

TEST_F(GameProcess, TerminatingSignalsGiveTheTerminalBack) {
    for (int signo : {SIGTERM, SIGHUP, SIGINT}) {
        SCOPED_TRACE(signo);
        start(FakeTerminal::Kind::Kitty);
        kill(pid_, signo);
        expectGivenBack(*terminal_, before_, waitForExit(pid_), signo);
    }
}

TEST_F(GameProcess, ACrashGivesTheTerminalBackAndDiesByItsSignal) {
    for (int signo : {SIGSEGV, SIGABRT}) {
        SCOPED_TRACE(signo);
        start(FakeTerminal::Kind::Kitty);
        kill(pid_, signo);
        expectGivenBack(*terminal_, before_, waitForExit(pid_), signo);
    }
}

TEST_F(GameProcess, ATerminalThatGoesAwayEndsTheGameWithAMessage) {
    int errors[2];
    ASSERT_EQ(pipe(errors), 0);
    // Not its controlling terminal: no SIGHUP, only failing reads and writes.
    start(FakeTerminal::Kind::Legacy, Launch{false, errors[1]});
    close(errors[1]);
    terminal_->hangUp();
    int status = waitForExit(pid_);
    ASSERT_TRUE(WIFEXITED(status)) << "wait status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 1);
    std::string message;
    char bytes[256];
    ssize_t n;
    while ((n = read(errors[0], bytes, sizeof bytes)) > 0)
        message.append(bytes, static_cast<std::size_t>(n));
    close(errors[0]);
    EXPECT_NE(message.find("blockduel: cannot write to the terminal"), std::string::npos) << message;
}

TEST_F(GameProcess, WindowSizeChangesArriveAsSignalsAndRepaint) {
    start(FakeTerminal::Kind::Legacy);
    terminal_->resize(40, 15);
    EXPECT_TRUE(terminal_->waitForRow(0, "40x15"));
    terminal_->resize(80, 24);
    EXPECT_TRUE(terminal_->waitForRow(0, "Next:    "));
    EXPECT_TRUE(terminal_->waitForRow(15, "Score: 0"));
    kill(pid_, SIGTERM);
    expectGivenBack(*terminal_, before_, waitForExit(pid_), SIGTERM);
}

} // namespace
} // namespace term

// The game executable on a pty that is its controlling terminal: the ways
// out that end the process (Ctrl-C as a kitty key, signals) give the
// terminal back, and a change of the window size arrives as SIGWINCH.
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "fake_terminal.hpp"

namespace term {
namespace {

using namespace sent;


// Starts the game in a new session whose controlling terminal is the pty.
pid_t startGame(const FakeTerminal& terminal) {
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
        setsid();
        int fd = open(slave, O_RDWR);
        if (fd < 0 || ioctl(fd, TIOCSCTTY, 0) != 0)
            _exit(126);
        dup2(fd, 0);
        dup2(fd, 1);
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
    void start(FakeTerminal::Kind kind) {
        terminal_ = std::make_unique<FakeTerminal>(kind, 80, 24);
        tcgetattr(terminal_->slave(), &before_);
        pid_ = startGame(*terminal_);
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

// The checks before the game takes the terminal.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

#include "fake_terminal.hpp"
#include "startup.hpp"

namespace term {
namespace {

using testing::HasSubstr;

TEST(StartProblem, NamesWhatIsWrongAndAcceptsAUsableTerminal) {
    FakeTerminal terminal(FakeTerminal::Kind::Legacy, 80, 24);
    int fd = terminal.slave();
    EXPECT_EQ(startProblem(fd, fd, "xterm-256color"), "");
    EXPECT_THAT(startProblem(fd, fd, "dumb"), HasSubstr("TERM=dumb"));
    EXPECT_THAT(startProblem(fd, fd, nullptr), HasSubstr("TERM is not set"));
    EXPECT_THAT(startProblem(fd, fd, ""), HasSubstr("TERM is not set"));

    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    EXPECT_THAT(startProblem(pipeFds[0], fd, "xterm"), HasSubstr("must be a terminal"));
    EXPECT_THAT(startProblem(fd, pipeFds[1], "xterm"), HasSubstr("must be a terminal"));
    close(pipeFds[0]);
    close(pipeFds[1]);
}

TEST(StartProblem, ATerminalTooSmallInEitherDirectionNamesBothSizes) {
    FakeTerminal terminal(FakeTerminal::Kind::Legacy, 40, 15);
    int fd = terminal.slave();
    std::string problem = startProblem(fd, fd, "xterm");
    EXPECT_THAT(problem, HasSubstr("40x15"));
    EXPECT_THAT(problem, HasSubstr("56x21"));

    terminal.resize(56, 20);
    EXPECT_THAT(startProblem(fd, fd, "xterm"), HasSubstr("56x20"));
    terminal.resize(55, 21);
    EXPECT_THAT(startProblem(fd, fd, "xterm"), HasSubstr("55x21"));
    terminal.resize(56, 21);
    EXPECT_EQ(startProblem(fd, fd, "xterm"), "");
}

} // namespace
} // namespace term

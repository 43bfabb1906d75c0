// SPDX-License-Identifier: MIT
// The network game as processes over loopback TCP, each on a pty of its own
// under the tests' shell: what only whole programs show, the exit statuses,
// the messages, the terminals given back and a real port. What the host and
// the guest do with the connection is tested in one process
// (net_session_test).
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "door_attack.hpp"
#include "game_pty.hpp"
#include "net/admission.hpp"
#include "tty.hpp"

namespace term {
namespace {

constexpr const char* code = "7K3M-Q9XD";

// Each on a terminal without the kitty protocol.
struct Host : GamePty {
    explicit Host(std::vector<std::string> env = {},
                  std::vector<std::string> args = {"--host", "127.0.0.1:0", "--code", code})
        : GamePty({.args = std::move(args), .kitty = false, .env = std::move(env)}) {}

    // Waits for the command that joins and reads the port from it.
    bool shown() {
        bool ok = waitForText("--join 127.0.0.1:");
        std::string text = screenText();
        std::size_t at = text.find("--join 127.0.0.1:");
        port = at == std::string::npos ? 0 : std::atoi(text.c_str() + at + 17);
        return ok;
    }

    std::string address() const { return "127.0.0.1:" + std::to_string(port); }

    // A guest of this game: "--join" or "--watch", with a code ("" for
    // none) and more of its environment.
    std::unique_ptr<GamePty> guest(const char* option = "--join", const char* withCode = code,
                                   std::vector<std::string> env = {}) const {
        std::vector<std::string> args = {option, address()};
        if (*withCode != '\0')
            args.insert(args.end(), {"--code", withCode});
        return std::make_unique<GamePty>(
            PtyOptions{.args = args, .kitty = false, .env = std::move(env)});
    }

    int port = 0;
};

// A host that shows its command, as nearly every test wants it.
struct ShownHost : Host {
    ShownHost() { EXPECT_TRUE(shown()) << screenText(); }
};

std::vector<std::string> rows(const GamePty& pty) {
    std::vector<std::string> lines;
    std::istringstream text(pty.screenText());
    for (std::string line; std::getline(text, line);)
        lines.push_back(line);
    return lines;
}

// The command the host's notice shows, as a shell reads its lines.
std::string shownCommand(const GamePty& host) {
    std::vector<std::string> lines = rows(host);
    std::string command;
    bool in = false;
    for (const std::string& line : lines) {
        if (line.find("and this code") != std::string::npos)
            break;
        if (in && !line.empty())
            command += line.substr(line.starts_with("  ") ? 2 : 0);
        in = in || line.find("To join, type:") != std::string::npos;
    }
    for (std::size_t at = command.find("\\"); at != std::string::npos; at = command.find("\\"))
        command.erase(at, 1);
    return command;
}

std::string commandLine(pid_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/cmdline");
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// Player two's A moves the right board's piece as far as the wall, where
// pieces come only by moving; then Escape on either side ends the game for
// both, each side's own Enter ends its process, and both give their
// terminals back. A watcher sees the game and leaves by Escape alone.
TEST(NetProcesses, AGameFromTwoTerminalsEndedByEitherSide) {
    for (bool byGuest : {true, false}) {
        ShownHost host;
        auto watcher = host.guest("--watch");
        ASSERT_TRUE(watcher->waitForText("the game starts soon")) << watcher->screenText();
        auto guest = host.guest();
        ASSERT_TRUE(host.waitForPicture() && guest->waitForPicture()) << guest->screenText();
        ASSERT_TRUE(watcher->waitForPicture()) << watcher->screenText();
        watcher->type("\x1b");
        EXPECT_EQ(watcher->waitOutcome(), Outcome::exited(0));
        EXPECT_TRUE(host.waitUntil([&] {
            guest->type("a");
            guest->pump(50);
            return host.pieceColumn(30) == 31;
        })) << host.screenText();

        GamePty& ending = byGuest ? *guest : host;
        ending.type("\x1b");
        ASSERT_TRUE(host.waitForText(prompt, 20)) << host.screenText();
        ASSERT_TRUE(guest->waitForText(prompt, 20)) << guest->screenText();
        EXPECT_EQ(host.screenText(), guest->screenText());
        guest->type("\r");
        EXPECT_EQ(guest->waitOutcome(), Outcome::exited(0));
        EXPECT_EQ(host.waitOutcome(200), Outcome{}); // each side waits for its own Enter
        host.type("\r");
        EXPECT_EQ(host.waitOutcome(), Outcome::exited(0));
        for (const GamePty* side : {static_cast<GamePty*>(&host), guest.get(), watcher.get()})
            EXPECT_TRUE(side->modesAsBefore() && !terminalState(side->output).alternateScreen);
    }
}

// Nobody joined: Escape and Ctrl-C cancel the wait.
TEST(NetProcesses, TheWaitForPlayerTwoCanBeCancelled) {
    for (const auto& [key, outcome] :
         {std::pair{"\x1b", Outcome::exited(0)}, {"\x03", Outcome::killed(SIGINT)}}) {
        ShownHost host;
        host.type(key);
        EXPECT_EQ(host.waitOutcome(), outcome);
        EXPECT_TRUE(host.modesAsBefore());
    }
}

// Refused, a guest ends with the reason, the terminal never taken; the
// game goes on.
TEST(NetProcesses, AWrongCodeAndASecondPlayerAreRefused) {
    ShownHost host;
    auto guest = host.guest();
    ASSERT_TRUE(guest->waitForPicture());
    for (const auto& [withCode, message] :
         {std::pair{"7K3M-Q9XE", "the host refused the code 7K3M-Q9XE"},
          {code, "player two is already playing"}}) {
        auto refused = host.guest("--join", withCode);
        EXPECT_EQ(refused->waitOutcome(), Outcome::exited(1)) << message;
        EXPECT_NE(refused->output.find(message), std::string::npos) << refused->output;
        EXPECT_EQ(refused->output.find("\x1b[?1049h"), std::string::npos) << message;
    }
    EXPECT_EQ(host.waitOutcome(0), Outcome{});
    EXPECT_EQ(guest->waitOutcome(0), Outcome{});
}

TEST(NetProcesses, TheGuestEndsWhenTheHostGoesAway) {
    ShownHost host;
    auto guest = host.guest();
    ASSERT_TRUE(guest->waitForPicture());
    host.signal(SIGKILL);
    EXPECT_EQ(guest->waitOutcome(), Outcome::exited(1));
    EXPECT_NE(guest->output.find("blockduel: the host closed the connection"), std::string::npos);
    EXPECT_TRUE(guest->modesAsBefore());
    EXPECT_FALSE(terminalState(guest->output).alternateScreen);
}

// The command shown runs as shown from any directory: the program by the
// path it was started with, absolute, unless the PATH's blockduel is this
// same file; wrapped within the picture; the code on a line of its own.
TEST(NetProcesses, TheWaitingNoticeShowsACommandThatRuns) {
    char dir[] = "/tmp/blockduel-path-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(dir));
    std::string link = std::string(dir) + "/blockduel";
    ASSERT_EQ(0, symlink(BLOCKDUEL_GAME, link.c_str()));
    for (bool onPath : {false, true}) {
        Host host(onPath ? std::vector<std::string>{std::string("PATH=/nowhere:") + dir}
                         : std::vector<std::string>{});
        ASSERT_TRUE(host.shown()) << host.screenText();
        std::string program = onPath ? "blockduel" : BLOCKDUEL_GAME;
        EXPECT_EQ(program + " --join " + host.address(), shownCommand(host)) << host.screenText();
        std::vector<std::string> lines = rows(host);
        for (const std::string& line : lines)
            EXPECT_LE(line.size(), 56U) << line;
        EXPECT_NE(lines.end(), std::find(lines.begin(), lines.end(), std::string("  ") + code));
        EXPECT_EQ(std::string::npos, host.screenText().find("--code"));
    }
    unlink(link.c_str());
    rmdir(dir);
}

// Strangers on this machine hold 8, 16 or 300 connections open without a
// word and reopen each as soon as the host closes it: a watcher with the
// right code still gets in, a dropped player rejoins, and the host says
// that it is turning strangers away.
TEST(NetProcesses, ARightCodeGetsInWhileStrangersHoldTheDoor) {
    for (int count : {8, 16, 300}) {
        ShownHost host;
        auto player = host.guest();
        ASSERT_TRUE(player->waitForPicture()) << count;
        DoorAttack strangers(DoorAttack::Kind::Hold, host.port, count);
        host.pump(300);
        auto watcher = host.guest("--watch");
        EXPECT_TRUE(watcher->waitForPicture()) << count << watcher->output;
        player->signal(SIGKILL);
        EXPECT_EQ(player->waitOutcome(), Outcome::killed(SIGKILL));
        ASSERT_TRUE(host.waitForText("Player two has left"));
        auto again = host.guest();
        EXPECT_TRUE(again->waitForPicture()) << count << again->output;
        EXPECT_TRUE(host.waitForText("Turning strangers away")) << count << host.screenText();
        EXPECT_GT(strangers.connections(), count);
    }
}

// Wrong codes from one address are answered three at once, then ever more
// slowly, and the host shows where they come from; meanwhile a guest gets
// in, from another address and from the guesser's own.
TEST(NetProcesses, GuessingIsSlowAndShown) {
    ShownHost host;
    auto player = host.guest();
    ASSERT_TRUE(player->waitForPicture());
    long long refusals = 0;
    long long start = monotonicMs();
    {
        DoorAttack guesser(DoorAttack::Kind::Guess, host.port, 1, "127.0.0.2");
        host.pump(2000);
        auto watcher = host.guest("--watch");
        EXPECT_TRUE(watcher->waitForPicture()) << watcher->output;
        refusals = guesser.refusals();
    }
    double seconds = static_cast<double>(monotonicMs() - start) / 1000;
    EXPECT_GE(refusals, net::Admission::freeTries);
    EXPECT_LE(static_cast<double>(refusals), net::Admission::freeTries + 2 + seconds) << seconds;
    EXPECT_TRUE(host.waitForText("Wrong codes: ")) << host.screenText();
    EXPECT_TRUE(host.waitForText("the last from 127.0.0.2")) << host.screenText();
    DoorAttack sameAddress(DoorAttack::Kind::Guess, host.port, 1);
    host.pump(500);
    auto watcher = host.guest("--watch");
    EXPECT_TRUE(watcher->waitForPicture()) << watcher->output;
}

// Without --code a guest asks for the code on its terminal, and
// BLOCKDUEL_CODE gives it to scripts: either way it is not on the command
// line that other users can read. A host asks with --code - and refuses an
// easy code. End of input or Ctrl-C at the question leaves the terminal as
// it was.
TEST(NetProcesses, TheCodeNeedNotBeOnTheCommandLine) {
    Host host({}, {"--host", "127.0.0.1:0", "--code", "-"});
    ASSERT_TRUE(host.waitForText("Join code for this game:")) << host.screenText();
    host.type("1111-1111\r");
    ASSERT_TRUE(host.waitForText("too easy to guess")) << host.screenText();
    host.type("7k3m q9xd\r");
    ASSERT_TRUE(host.shown()) << host.screenText();
    EXPECT_TRUE(host.waitForText(std::string("  ") + code));

    auto player = host.guest("--join", "");
    ASSERT_TRUE(player->waitForText("Join code (the host shows it):")) << player->screenText();
    std::string asked = commandLine(player->pid);
    player->type("7K3M-Q9XD\r");
    EXPECT_TRUE(player->waitForPicture()) << player->output;
    auto watcher = host.guest("--watch", "", {"BLOCKDUEL_CODE=7K3M-Q9XD"});
    EXPECT_TRUE(watcher->waitForPicture()) << watcher->output;
    for (const std::string& line : {asked, commandLine(player->pid), commandLine(watcher->pid)}) {
        EXPECT_NE(std::string::npos, line.find("127.0.0.1")) << "no command line read";
        EXPECT_EQ(std::string::npos, line.find("7K3M")) << line;
    }

    for (const char* leave : {"\x04", "\x03"}) {
        auto quitter = host.guest("--watch", "");
        ASSERT_TRUE(quitter->waitForText("Join code"));
        quitter->type("7K3M\r");
        ASSERT_TRUE(quitter->waitForText("That is not a join code")) << quitter->screenText();
        quitter->type(leave);
        Outcome outcome = quitter->waitOutcome();
        if (*leave == '\x04') {
            EXPECT_EQ(outcome, Outcome::exited(1));
            EXPECT_NE(std::string::npos, quitter->output.find("no join code given"));
        } else {
            EXPECT_EQ(outcome, Outcome::killed(SIGINT));
        }
        EXPECT_TRUE(quitter->modesAsBefore());
    }
}

// A guest suspended past the host's five seconds of silence is let go; back
// in the foreground it says so, and that the same command joins again.
TEST(NetProcesses, AGuestDroppedForSilenceSaysWhy) {
    ShownHost host;
    auto guest = host.guest();
    ASSERT_TRUE(guest->waitForPicture());
    guest->type("\x1a");
    ASSERT_EQ(guest->waitOutcome(), Outcome::stopped(SIGTSTP));
    EXPECT_TRUE(host.waitUntil(
        [&] { return host.screenText().find("Player two has left") != std::string::npos; }, 8000));
    guest->foreground();
    EXPECT_EQ(guest->waitOutcome(), Outcome::exited(1));
    EXPECT_NE(std::string::npos, guest->output.find("the host let go of this terminal after"))
        << guest->output;
    EXPECT_NE(std::string::npos, guest->output.find("the same command joins again"));
    EXPECT_TRUE(guest->modesAsBefore());
}

} // namespace
} // namespace term

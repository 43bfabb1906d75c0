// SPDX-License-Identifier: MIT
// The network game as processes over loopback TCP, each on a pty of its own
// under the tests' shell: what only whole programs show, the exit statuses,
// the messages, the terminals given back and a real port. What the host and
// the guest do with the connection is tested in one process
// (net_session_test).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "display/layout.hpp"
#include "door_attack.hpp"
#include "game_pty.hpp"
#include "net/admission.hpp"
#include "net/protocol.hpp"
#include "platform/terminal/tty.hpp"
#include "pty_checks.hpp"
#include "scratch_folder.hpp"

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
    // none), more of its environment and `more` arguments.
    std::unique_ptr<GamePty> guest(const char* option = "--join", const char* withCode = code,
                                   std::vector<std::string> env = {},
                                   const std::vector<std::string>& more = {}) const {
        std::vector<std::string> args = {option, address()};
        if (*withCode != '\0')
            args.insert(args.end(), {"--code", withCode});
        args.insert(args.end(), more.begin(), more.end());
        return std::make_unique<GamePty>(
            PtyOptions{.args = args, .kitty = false, .env = std::move(env)});
    }

    int port = 0;
};

// A host that shows its command, as nearly every test wants it.
struct ShownHost : Host {
    ShownHost() { EXPECT_TRUE(shown()) << screenText(); }
};

struct HostAndPlayer : ShownHost {
    HostAndPlayer() { EXPECT_TRUE(player->waitForPicture()) << player->screenText(); }
    std::unique_ptr<GamePty> player = guest();
};

// Escape on a terminal without the kitty protocol, and the game ends with
// status 0.
testing::AssertionResult leaves(GamePty& side) {
    side.type("\x1b");
    return endsAs(side, Outcome::exited(0));
}

// A guest that ends with status 1 and says `why`, the terminal never
// taken and its modes as they were.
testing::AssertionResult refused(GamePty& guest, std::string_view why) {
    testing::AssertionResult ended = endsAs(guest, Outcome::exited(1));
    if (!ended)
        return ended;
    if (wrote(guest, "\x1b[?1049h") || !guest.modesAsBefore())
        return testing::AssertionFailure() << "the terminal was taken or left changed";
    return said(guest, why);
}

// Whether A typed at `typist`, again and again, brings player two's piece
// to its board's left wall, where pieces come only by moving, as `viewer`
// shows it.
bool movesToTheWall(GamePty& typist, GamePty& viewer) {
    return viewer.waitUntil([&] {
        typist.type("a");
        typist.pump(50);
        return viewer.pieceColumn(boardColumn[1]) == boardColumn[1] + 1;
    });
}

std::vector<std::string> screenRows(const GamePty& pty) {
    std::vector<std::string> lines;
    std::istringstream text(pty.screenText());
    for (std::string line; std::getline(text, line);)
        lines.push_back(line);
    return lines;
}

// The command the host's notice shows, as a shell reads its lines: their
// breaks, indents and the backslashes that continue them gone.
std::string shownCommand(const GamePty& host) {
    const std::string text = host.screenText();
    const std::string_view start = "To join, type:";
    std::size_t from = text.find(start);
    std::size_t to = text.find("and this code");
    if (from == std::string::npos || to == std::string::npos || to < from)
        return {};
    from += start.size();
    return std::regex_replace(text.substr(from, to - from), std::regex(R"(\\|\n *)"), "");
}

// A process's command line as every user of the machine can read it: from
// /proc where there is one, else from ps (macOS, OpenBSD).
std::string commandLine(pid_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/cmdline");
    if (file)
        return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    std::string ps = "ps -ww -o args= -p " + std::to_string(pid);
    std::string line;
    if (std::FILE* out = popen(ps.c_str(), "r")) {
        char bytes[4096];
        for (std::size_t n = 0; (n = std::fread(bytes, 1, sizeof bytes, out)) > 0;)
            line.append(bytes, n);
        pclose(out);
    }
    return line;
}

// Whether this machine has `address`: Linux has every address of 127/8 on
// its loopback, macOS and the BSDs only 127.0.0.1 unless more are added.
bool hasAddress(const char* address) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in local = {};
    local.sin_family = AF_INET;
    bool has = inet_pton(AF_INET, address, &local.sin_addr) == 1 &&
               bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0;
    close(fd);
    return has;
}

// The rows that are the same for everyone: the boards (but the label row,
// which names whose board is whose) and the score lines.
std::string sharedRows(const GamePty& side) {
    std::string rows;
    for (int y = 0; y < 16; ++y)
        if (y != labelRow && y != labelRow + 1) // each side names the boards its own way
            rows += side.rowText(y) + "\n";
    return rows;
}

// The lines of the match below the boards, row 16 (the round's result)
// and row 17 (what comes next), as each side has shown them, in order.
struct Lines {
    std::vector<std::string> seen;
    void note(const GamePty& side) {
        std::string now = side.rowText(16) + " | " + side.rowText(17);
        if (seen.empty() || seen.back() != now)
            seen.push_back(now);
    }
};

// Player two's A moves the right board's piece as far as the wall, where
// pieces come only by moving; Escape on either side ends the match for
// both, which give their terminals back with status 0. A watcher sees the
// game and leaves by Escape alone. Every terminal shows each player's name
// below their board, and so does the replay of the match either player kept.
TEST(NetProcesses, AMatchFromTwoTerminalsEndedByEitherSide) {
    for (bool byGuest : {true, false}) {
        TempFolder kept[2]; // each player's state folder
        auto stateIn = [&](int board) { return "XDG_STATE_HOME=" + kept[board].path; };
        Host host({stateIn(0)}, {"--host", "127.0.0.1:0", "--code", code, "--player", "Li Wei"});
        ASSERT_TRUE(host.shown()) << host.screenText();
        auto watcher = host.guest("--watch");
        ASSERT_TRUE(shows(*watcher, "the game starts soon"));
        auto guest = host.guest("--join", code, {stateIn(1)}, {"--player", "\u00c5sa"});
        ASSERT_TRUE(host.waitForPicture() && guest->waitForPicture()) << guest->screenText();
        ASSERT_TRUE(watcher->waitForPicture()) << watcher->screenText();
        const std::string names = "Li Wei" + std::string(boardColumn[1] - 6, ' ') + "\u00c5sa";
        for (GamePty* side : {static_cast<GamePty*>(&host), guest.get(), watcher.get()})
            EXPECT_TRUE(side->waitForText(names, pictureRows)) << side->screenText();
        EXPECT_TRUE(watcher->waitForText("Watching: your keys do nothing", 17));
        EXPECT_TRUE(leaves(*watcher));
        EXPECT_TRUE(wrote(*watcher, "You left the game at " + host.address() + "."));
        EXPECT_TRUE(movesToTheWall(*guest, host)) << host.screenText();

        (byGuest ? *guest : host).type("\x1b");
        EXPECT_EQ(guest->waitOutcome(), Outcome::exited(0));
        EXPECT_EQ(host.waitOutcome(), Outcome::exited(0));
        const std::string over = "Match over: 0-0. ";
        EXPECT_TRUE(wrote(host, over + (byGuest ? "Player two left." : "You left.")));
        EXPECT_TRUE(wrote(*guest, over + (byGuest ? "You left." : "Player one left.")));
        EXPECT_TRUE(said(*guest, "The host's last picture, above: the game at " + host.address() +
                                     " is over."));
        for (const GamePty* side : {static_cast<GamePty*>(&host), guest.get(), watcher.get()})
            EXPECT_TRUE(givenBack(*side));
        GamePty replay({.args = {"--replay", "last"}, .env = {stateIn(byGuest ? 1 : 0)}});
        EXPECT_TRUE(replay.waitForText(names, pictureRows)) << replay.screenText();
    }
}

// A server of rooms on a terminal of its own, its port read from its log.
// The server's state folder, made before the server and gone after it.
struct KeptFolder {
    TempFolder kept;
};

struct Server : KeptFolder, GamePty {
    Server() : GamePty({.args = {"--serve", "127.0.0.1:0", "--state", kept.path}, .kitty = false}) {
        EXPECT_TRUE(waitForOutput("event=start")) << output;
        EXPECT_TRUE(waitForOutput("rooms_per_minute=")) << output;
        std::size_t at = output.find(" port=");
        port = at == std::string::npos ? 0 : std::atoi(output.c_str() + at + 6);
    }
    std::unique_ptr<GamePty> joins(std::vector<std::string> args) const {
        args[1].insert(0, "127.0.0.1:" + std::to_string(port));
        return std::make_unique<GamePty>(PtyOptions{.args = args, .kitty = false});
    }
    int port = 0;
};

// Terminals in a server's rooms, over the road a page takes: one opens a
// room, whose notice gives its command and code, and another joins it by
// them; one terminal plays both boards of a room with --here, each set of
// keys moving its own board and P pausing once.
TEST(NetProcesses, TerminalsPlayInAServersRooms) {
    Server server;
    auto opener = server.joins({"--join", "/new"});
    ASSERT_TRUE(opener->waitForText("/r/")) << opener->screenText();
    std::string text = opener->screenText();
    std::smatch found;
    ASSERT_TRUE(
        std::regex_search(text, found, std::regex(R"(/r/(\S+)[\s\S]*it asks for it:\s+(\S{9}))")))
        << text;
    const std::string room = found[1];
    auto friendly = server.joins({"--join", "/r/" + room, "--code", found[2]});
    ASSERT_TRUE(friendly->waitForPicture() && opener->waitForPicture()) << friendly->screenText();
    EXPECT_TRUE(friendly->waitForText(" You", labelRow)) << friendly->screenText();
    EXPECT_TRUE(opener->waitForText(" You", labelRow)) << opener->screenText();
    EXPECT_TRUE(leaves(*friendly));
    EXPECT_EQ(opener->waitOutcome(), Outcome::exited(0));
    // The room kept its match: the opener is told its link, and the
    // command plays it back here, to its last picture.
    EXPECT_NE(opener->output.find("/r/" + room + "/replay/1\r\nand this terminal with"),
              std::string::npos)
        << opener->output;
    auto replay = server.joins({"--replay", "/r/" + room + "/replay/1"});
    replay->type("+++++");
    EXPECT_EQ(replay->waitOutcome(), Outcome::exited(0)) << replay->output;
    EXPECT_NE(replay->output.find("Player two left"), std::string::npos) << replay->output;
    EXPECT_TRUE(server.waitForOutput("event=match_ended room=" + room + " replay=1"))
        << server.output;

    auto here = server.joins({"--join", "/new", "--here"});
    ASSERT_TRUE(here->waitForText("P pauses.", promptRow)) << here->screenText();
    EXPECT_TRUE(movesToTheWall(*here, *here)) << here->screenText(); // A: player two's left
    EXPECT_NE(here->pieceColumn(0), 1) << "player one's board stays";
    here->type("p");
    EXPECT_TRUE(here->waitForText("Paused by player one", promptRow)) << here->screenText();
    here->pump(500);
    EXPECT_NE(here->rowText(promptRow).find("Paused"), std::string::npos) << "paused once";
    EXPECT_TRUE(leaves(*here));
}

// Rounds over the network: the same countdown on both sides, each told the
// round's result in its own words, the next round only once both have
// pressed Enter, each side saying whom it waits for, and player two
// dropping between rounds and joining again with the same command.
TEST(NetProcesses, RoundsWaitForBothPlayersAndSurviveARejoin) {
    ShownHost host;
    auto guest = host.guest();
    Lines hostLines;
    Lines guestLines;
    auto watch = [&](const std::function<bool()>& until) {
        return host.waitUntil(
            [&] {
                guest->pump(10);
                hostLines.note(host);
                guestLines.note(*guest);
                return until();
            },
            15000);
    };
    // Player two drops every piece at once and tops out first.
    ASSERT_TRUE(watch([&] {
        if (guestLines.seen.back().find("starts in") == std::string::npos)
            guest->type("s");
        // The result comes in a write of its own after "Game Over", once
        // the game listens for the next round's Enter.
        return host.rowText(16).find("this round") != std::string::npos &&
               guest->rowText(16).find("this round") != std::string::npos;
    })) << host.screenText();
    const std::string tally = std::string(10, ' ') + "Round 1 \u00b7 Match: 0-0 | ";
    std::vector<std::string> countdown;
    for (const char* n : {"3", "2", "1"})
        countdown.push_back(tally + "Round 1 starts in " + n);
    for (const Lines* side : {&hostLines, &guestLines})
        EXPECT_NE(side->seen.end(), std::search(side->seen.begin(), side->seen.end(),
                                                countdown.begin(), countdown.end()))
            << testing::PrintToString(side->seen);
    EXPECT_EQ("Game Over · You win this round. Match: 1-0", host.rowText(16));
    EXPECT_EQ("Game Over · You lose this round. Match: 1-0", guest->rowText(16));
    // "You" beside the left board on the host, at the right edge on the guest.
    auto labelled = [](const std::string& row) {
        std::size_t at = row.find("▓ You");
        return at == std::string::npos ? "none" : at + 7 == row.size() ? "right" : "left";
    };
    EXPECT_STREQ("left", labelled(host.rowText(8)));
    EXPECT_STREQ("right", labelled(guest->rowText(8)));
    EXPECT_EQ(sharedRows(host), sharedRows(*guest));

    host.type("\r");
    ASSERT_TRUE(guest->waitForText("Player one is ready. Enter: next round. Escape: leave.", 17));
    EXPECT_TRUE(host.waitForText("Waiting for player two to press Enter.", 17));
    guest->type("\x03"); // player two drops out between rounds
    EXPECT_EQ(guest->waitOutcome(), Outcome::killed(SIGINT));
    EXPECT_TRUE(host.waitForText("Player two is away; they may join again.", 17))
        << host.screenText();
    host.pump(1000);
    EXPECT_EQ("Player two is away; they may join again.", host.rowText(17))
        << "no round without them";

    guest = host.guest(); // the same command again
    ASSERT_TRUE(shows(*guest, "Game Over · You lose this round. Match: 1-0", 16));
    EXPECT_TRUE(guest->waitForText("Player one is ready. Enter: next round. Escape: leave.", 17));
    guest->type("\r");
    EXPECT_TRUE(shows(host, "Round 2 starts in", 17));
    EXPECT_TRUE(shows(*guest, "Round 2 starts in", 17));
    EXPECT_TRUE(leaves(host));
    EXPECT_EQ(guest->waitOutcome(), Outcome::exited(0));
}

// The round's clock, at the right end of the delay readout's row.
std::string roundClock(const GamePty& side) {
    std::string row = side.rowText(19);
    return row.size() >= 56 ? row.substr(50, 6) : row;
}

// Whether neither the boards nor the round's clock move at `side` for 1.5 s.
testing::AssertionResult holdsStill(GamePty& side) {
    std::string before = sharedRows(side) + roundClock(side);
    side.pump(1500);
    if (before == sharedRows(side) + roundClock(side))
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "moved from\n"
                                       << before << "\nto\n"
                                       << sharedRows(side) + roundClock(side);
}

// Either player's P pauses the round for both, each side told who paused
// in its own words; nothing moves meanwhile, the clock neither; P from
// either side goes on after a countdown.
TEST(NetProcesses, EitherPlayersPPausesBothAndBothSeeWho) {
    ShownHost host;
    auto guest = host.guest();
    ASSERT_TRUE(shows(host, "P pauses.", 17));
    ASSERT_TRUE(shows(*guest, "P pauses.", 17));
    guest->type("p");
    ASSERT_TRUE(shows(host, "Paused by player two. P resumes, Escape leaves.", 17));
    ASSERT_TRUE(shows(*guest, "Paused by you. P resumes, Escape leaves.", 17));
    EXPECT_TRUE(holdsStill(host)) << "while paused";
    guest->pump(10);
    EXPECT_EQ(sharedRows(host), sharedRows(*guest));

    host.type("p"); // the other player goes on
    EXPECT_TRUE(shows(*guest, "Resumes in", 17));
    ASSERT_TRUE(shows(host, "P pauses.", 17));
    host.type("p");
    EXPECT_TRUE(host.waitForText("Paused by you. P resumes, Escape leaves.", 17));
    EXPECT_TRUE(shows(*guest, "Paused by player one. P resumes, Escape leaves.", 17));
    EXPECT_TRUE(leaves(*guest));
    EXPECT_EQ(host.waitOutcome(), Outcome::exited(0));
}

// Player two's connection closes mid-round: the round holds still for the
// host and the watcher, who read that player two is away, the host with
// the code below; the same command joins again, gets the whole picture and
// the round goes on after a countdown. Both players see how many watch.
TEST(NetProcesses, APlayerAwayMidRoundHoldsItUntilTheyRejoin) {
    HostAndPlayer host;
    auto& guest = host.player;
    EXPECT_EQ(std::string::npos, host.screenText().find("watching"));
    auto watcher = host.guest("--watch");
    ASSERT_TRUE(watcher->waitForPicture()) << watcher->screenText();
    EXPECT_TRUE(shows(host, "1 watching", 19));
    EXPECT_TRUE(shows(*guest, "1 watching", 19));
    ASSERT_TRUE(shows(host, "P pauses.", 17));

    guest->signal(SIGKILL);
    EXPECT_EQ(guest->waitOutcome(), Outcome::killed(SIGKILL));
    const char* away = "Player two is away; they may join again.";
    ASSERT_TRUE(shows(host, away, 17));
    EXPECT_TRUE(shows(*watcher, away, 17));
    EXPECT_TRUE(host.waitForText(std::string("The same command joins again, code ") + code, 20));
    EXPECT_TRUE(holdsStill(host)) << "the round went on without player two";
    const std::string boards = sharedRows(host);
    guest = host.guest(); // the same command again
    ASSERT_TRUE(shows(*guest, "Resumes in", 17));
    EXPECT_EQ(boards, sharedRows(*guest)) << "the whole picture, as the round stood";
    EXPECT_TRUE(shows(host, "P pauses.", 17));
    EXPECT_TRUE(shows(*guest, "P pauses.", 17));
    EXPECT_TRUE(shows(*guest, "1 watching", 19));
    EXPECT_EQ(std::string::npos, host.rowText(20).find("join code"));
    EXPECT_TRUE(host.waitUntil([&] {
        guest->pump(20);
        return sharedRows(host) != boards;
    })) << "the round goes on";
    EXPECT_TRUE(leaves(host));
    EXPECT_EQ(guest->waitOutcome(), Outcome::exited(0));
}

// A socket bound to a free port of 127.0.0.1, closed however the test
// ends, with the one connection it takes. Not blocking: a guest that never
// comes fails the wait, not hangs it.
struct LoopbackPort {
    LoopbackPort() {
        sockaddr_in any = {AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
        socklen_t length = sizeof any;
        if (bind(fd, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0 ||
            getsockname(fd, reinterpret_cast<sockaddr*>(&any), &length) != 0)
            std::abort();
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        address = "127.0.0.1:" + std::to_string(ntohs(any.sin_port));
    }
    ~LoopbackPort() {
        close(fd);
        if (taken >= 0)
            close(taken);
    }
    // Whether `guest` connects.
    bool connects(GamePty& guest) {
        return guest.waitUntil([&] { return (taken = accept(fd, nullptr, nullptr)) >= 0; });
    }
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    int taken = -1;
    std::string address;
};

// Nobody joined: Escape and Ctrl-C cancel the wait.
TEST(NetProcesses, TheWaitForPlayerTwoCanBeCancelled) {
    for (const auto& [key, outcome] :
         {std::pair{"\x1b", Outcome::exited(0)}, {"\x03", Outcome::killed(SIGINT)}}) {
        ShownHost host;
        host.type(key);
        EXPECT_EQ(host.waitOutcome(), outcome);
        EXPECT_TRUE(host.modesAsBefore());
        EXPECT_EQ(*key == '\x1b',
                  static_cast<bool>(wrote(host, "Nobody joined; the game was called off.")))
            << host.output;
    }
}

// A port that another game holds: the host says so and how to choose
// another.
TEST(NetProcesses, APortInUseIsNamedWithAWayOut) {
    ShownHost first;
    Host second({}, {"--host", first.address(), "--code", code});
    EXPECT_TRUE(refused(second, "has that port: choose another with --host :PORT, for example "
                                "--host :" +
                                    std::to_string(first.port + 1)));
}

int timesIn(const std::string& output, std::string_view text) {
    int times = 0;
    for (std::size_t at = output.find(text); at != std::string::npos;
         at = output.find(text, at + 1))
        ++times;
    return times;
}

constexpr const char* question = "Join code (the host shows it):";

// The guest finds the host before it asks for the code: nobody listening
// (the port bound, not listening), something that is no blockduel game and
// a host of another version are said at once, with what to check, the
// terminal never taken, and no code is asked for. (This host refusing
// another version is tested in one process, in net_session_test.)
TEST(NetProcesses, NoGameThereIsSaidBeforeTheCodeIsAsked) {
    struct Case {
        std::vector<std::string> args;
        std::string_view answer; // "": the port does not listen
        std::string said;
    };
    LoopbackPort ports[3];
    const Case cases[] = {
        {{"--join"}, "", "Connection refused; check the address"},
        {{"--watch"}, "SSH-2.0-OpenSSH_9.6\r\n", ports[1].address + " is not a blockduel game"},
        {{"--join", "--code", code}, "\x03\x01\x04", "the host runs another version of blockduel"},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.said);
        std::vector<std::string> args = c.args;
        args.insert(args.begin() + 1, ports[i].address);
        ASSERT_TRUE(c.answer.empty() || listen(ports[i].fd, 1) == 0);
        GamePty guest({.args = args, .kitty = false});
        if (!c.answer.empty()) {
            ASSERT_TRUE(ports[i].connects(guest));
            ASSERT_EQ(write(ports[i].taken, c.answer.data(), c.answer.size()),
                      static_cast<ssize_t>(c.answer.size()));
        }
        EXPECT_TRUE(refused(guest, c.said));
        EXPECT_FALSE(wrote(guest, "Join code"));
    }
}

// A wrong code, typed or given with the command (then said to be the
// command's), is asked for again on the same command, by a player and a
// watcher alike, which then gets in with the right one; the end of input
// ends it with both reasons, and a third wrong code ends it with what to
// do, the terminal never taken. A host that let a player in counted one
// wrong code and no stranger: looking for the game before asking cost
// nothing at its door.
TEST(NetProcesses, WrongCodesAreAskedForAgainUntilTheLast) {
    struct Case {
        const char* option;
        const char* given;              // "": none
        std::vector<std::string> typed; // at each question
        const char* said;
    };
    const std::string right = std::string(code) + "\r";
    const char* givenWrong = "The host refused the code 7K3M-Q9XE given with the command";
    // clang-format off
    const Case cases[] = {
        {"--join", "", {"7K3M-Q9XE\r", right}, "The host refused the code 7K3M-Q9XE; check the "
                                                "code its screen shows and type it again (2 tries "
                                                "left)."},
        {"--watch", "7K3M-Q9XE", {right}, givenWrong},
        {"--join", "7K3M-Q9XE", {right}, givenWrong},
        {"--join", "7K3M-Q9XE", {"\x04"}, "blockduel: the host refused the code 7K3M-Q9XE; no "
                                          "join code given"},
        {"--join", "", {"7K3M-Q9XA\r", "7K3M-Q9XB\r", "7K3M-Q9XC\r"}, "blockduel: the host "
         "refused 3 codes, the last 7K3M-Q9XC; check the code on the host's screen and run the "
         "command again"},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.typed));
        ShownHost host;
        auto guest = host.guest(c.option, c.given);
        for (std::size_t asked = 1; asked <= c.typed.size(); ++asked) {
            ASSERT_TRUE(guest->waitUntil([&] {
                return timesIn(guest->output, question) == static_cast<int>(asked) &&
                       guest->output.ends_with(question + std::string(" "));
            })) << guest->output;
            guest->type(c.typed[asked - 1]);
        }
        bool joins = c.typed.back() == right;
        // In what it sent, not on its screen: a player's first picture may
        // come before the screen is looked at, and clears the line.
        EXPECT_TRUE(!joins || guest->waitForOutput("Joined " + host.address())) << guest->output;
        EXPECT_TRUE(joins ? said(*guest, c.said) : refused(*guest, c.said));
        if (joins && std::string_view(c.option) == "--join") {
            EXPECT_TRUE(host.waitForPicture());
            EXPECT_TRUE(host.rowText(18).starts_with("          Wrong codes: 1") ||
                        host.waitForText("Wrong codes: 1,"))
                << host.screenText();
            EXPECT_EQ(std::string::npos, host.screenText().find("trangers")) << host.screenText();
        }
    }
}

// A person who takes longer to type the code than the host waits for a
// greeting still gets in: the greeting goes on a connection of its own.
TEST(NetProcesses, ASlowTypistGetsIn) {
    ShownHost host;
    auto guest = host.guest("--join", "");
    ASSERT_TRUE(shows(*guest, question));
    guest->pump(net::helloLimitMs + 1000);
    guest->type(std::string(code) + "\r");
    EXPECT_TRUE(guest->waitForPicture()) << guest->output;
}

// A guest ended by Ctrl-C, or by a signal from outside, gives the terminal
// back as it found it and then says where it was and the command that comes
// back; the host's own Ctrl-C says nothing of the kind.
TEST(NetProcesses, AGuestEndedByCtrlCSaysHowToComeBack) {
    ShownHost host;
    for (const auto& [option, interrupt] :
         {std::pair{"--join", true}, {"--join", false}, {"--watch", true}}) {
        auto guest = host.guest(option);
        ASSERT_TRUE(guest->waitForPicture()) << guest->output;
        if (interrupt)
            guest->type("\x03");
        else
            guest->signal(SIGTERM);
        EXPECT_EQ(guest->waitOutcome(), Outcome::killed(interrupt ? SIGINT : SIGTERM));
        bool player = std::string(option) == "--join";
        std::string says = "Left the game at " + host.address() + "; the same command " +
                           (player ? "joins" : "watches") + " again: " + BLOCKDUEL_GAME + " " +
                           option + " " + host.address() + "\r\n";
        std::size_t at = guest->output.find(says);
        EXPECT_NE(std::string::npos, at) << guest->output;
        EXPECT_LT(guest->output.rfind("\x1b[?1049l"), at) << "said after the screen came back";
        EXPECT_TRUE(givenBack(*guest));
        EXPECT_TRUE(!player || shows(host, "Player two is away")) << host.screenText();
    }
    host.type("\x03");
    EXPECT_EQ(host.waitOutcome(), Outcome::killed(SIGINT));
    EXPECT_FALSE(wrote(host, "Left the game"));
}

// A second player is refused with the reason, the terminal never taken,
// and the game goes on; the player ends when the host goes away.
TEST(NetProcesses, ASecondPlayerIsRefusedAndThePlayerEndsWhenTheHostGoes) {
    HostAndPlayer host;
    auto second = host.guest();
    EXPECT_TRUE(refused(*second, "player two is already playing"));
    EXPECT_EQ(host.waitOutcome(0), Outcome{});
    EXPECT_EQ(host.player->waitOutcome(0), Outcome{});
    host.signal(SIGKILL);
    EXPECT_TRUE(endsAs(*host.player, Outcome::exited(1)));
    EXPECT_TRUE(wrote(*host.player, "blockduel: the host closed the connection"));
    EXPECT_TRUE(givenBack(*host.player));
}

// The command shown is the one a person types on another machine: the
// game's name, however this host was started; wrapped within the picture;
// the code on a line of its own.
TEST(NetProcesses, TheWaitingNoticeShowsTheCommandAsAPersonTypesIt) {
    TempFolder dir;
    std::string link = dir.path + "/blockduel";
    ASSERT_EQ(0, symlink(BLOCKDUEL_GAME, link.c_str()));
    for (bool onPath : {false, true}) {
        Host host(onPath ? std::vector<std::string>{"PATH=/nowhere:" + dir.path}
                         : std::vector<std::string>{});
        ASSERT_TRUE(host.shown()) << host.screenText();
        EXPECT_EQ("blockduel --join " + host.address(), shownCommand(host)) << host.screenText();
        std::vector<std::string> lines = screenRows(host);
        for (const std::string& line : lines)
            EXPECT_LE(line.size(), 56U) << line;
        EXPECT_NE(lines.end(), std::find(lines.begin(), lines.end(), std::string("  ") + code));
        EXPECT_EQ(std::string::npos, host.screenText().find("--code"));
    }
}

// Wrong codes from one address, 16 connections at a time, are answered
// three at once, then ever more slowly, and the host shows them; the
// refused and those closed unchecked count against nobody, and a guest
// from another address gets in meanwhile, as does one from the address of
// a guesser that tries one code at a time.
TEST(NetProcesses, GuessingIsSlowAndShown) {
    if (!hasAddress("127.0.0.2"))
        GTEST_SKIP() << "the guesser needs an address of its own, and 127.0.0.2 is not one here "
                        "(add it to the loopback interface to run this)";
    HostAndPlayer host;
    long long refusals = 0;
    long long start = monotonicMs();
    {
        DoorAttack guesser(DoorAttack::Kind::Guess, host.port, 16, "127.0.0.2");
        host.pump(2000);
        auto watcher = host.guest("--watch");
        EXPECT_TRUE(watcher->waitForPicture()) << watcher->output;
        refusals = guesser.refusals();
    }
    double seconds = static_cast<double>(monotonicMs() - start) / 1000;
    EXPECT_GE(refusals, net::Admission::freeTries);
    EXPECT_LE(static_cast<double>(refusals), net::Admission::freeTries + 2 + seconds) << seconds;
    EXPECT_TRUE(shows(host, "rong codes: ", 18)); // W or w
    DoorAttack sameAddress(DoorAttack::Kind::Guess, host.port, 1);
    ASSERT_TRUE(host.waitUntil([&] { return sameAddress.refusals() > 0; }));
    auto watcher = host.guest("--watch");
    EXPECT_TRUE(watcher->waitForPicture()) << watcher->output;
}

// Whether `guest` shows the game within `ms`: generous, for a loaded machine.
bool showsGame(GamePty& guest, int ms = 20'000) {
    for (int waited = 0; waited < ms; waited += 5000)
        if (guest.waitForPicture())
            return true;
    return false;
}

// Strangers at the door while people with the right code come.
struct Siege {
    const char* label;
    DoorAttack::Kind kind;
    int atATime;   // connections open at once; 0: as many as the descriptors allow
    int addresses; // of a crowd of 127/8 (127.3.x.y); 0: 127.0.0.1 alone
    int until;     // connections (held) or refusals (guessed) before anyone comes; 0: twice atATime
    bool playerFirst; // a player in first, then a watcher, then the player rejoining
    const char* hostSays;
    int row; // where the host says it, -1 anywhere
};

void PrintTo(const Siege& siege, std::ostream* out) { *out << siege.label; }

class RightCodeGetsIn : public ::testing::TestWithParam<Siege> {};

// Connections held open without a word and reopened as soon as the host
// closes them, or wrong codes guessed, from one address or a crowd that
// keeps every address's throttle busy; the host takes the most this
// process's descriptors allow as fast as they come, closing what it has no
// room for. The right code gets in at its first try, the host says what it
// turns away, and the strangers' held connections are closed.
TEST_P(RightCodeGetsIn, WhileStrangersBesiegeTheDoor) {
    const Siege& s = GetParam();
    if (s.addresses > 0 && !hasAddress("127.3.3.232"))
        GTEST_SKIP() << "the strangers need addresses of 127/8 besides 127.0.0.1";
    int atATime = s.atATime;
    if (atATime == 0) {
        rlimit limit = {};
        ASSERT_EQ(0, getrlimit(RLIMIT_NOFILE, &limit));
        rlim_t room = limit.rlim_max == RLIM_INFINITY ? 5512 : limit.rlim_max;
        atATime = static_cast<int>(std::min<rlim_t>(5000, room > 512 ? room - 512 : 0));
        if (atATime < 1000)
            GTEST_SKIP() << "this process may open only " << limit.rlim_max << " descriptors";
    }
    long long until = s.until > 0 ? s.until : 2LL * atATime;
    ShownHost host;
    std::unique_ptr<GamePty> player;
    if (s.playerFirst) {
        player = host.guest();
        ASSERT_TRUE(showsGame(*player)) << player->output;
    }
    DoorAttack strangers(s.kind, host.port, atATime,
                         s.addresses > 0 ? loopbackCrowd(s.addresses)
                                         : std::vector<std::string>{"127.0.0.1"});
    auto done = [&] {
        return s.kind == DoorAttack::Kind::Hold ? strangers.connections() : strangers.refusals();
    };
    ASSERT_TRUE(host.waitUntil([&] { return done() >= until; }, 60'000)) << done();
    if (s.playerFirst) {
        auto watcher = host.guest("--watch");
        EXPECT_TRUE(showsGame(*watcher)) << watcher->output;
        player->signal(SIGKILL);
        EXPECT_EQ(player->waitOutcome(), Outcome::killed(SIGKILL));
        ASSERT_TRUE(host.waitForText("Player two is away"));
    }
    player = host.guest();
    EXPECT_TRUE(showsGame(*player)) << player->output;
    EXPECT_TRUE(shows(host, s.hostSays, s.row));
    if (s.kind == DoorAttack::Kind::Hold) {
        EXPECT_TRUE(host.waitUntil([&] { return strangers.connections() > until; }))
            << "the host closed none of the strangers' connections";
    }
}

constexpr auto held = DoorAttack::Kind::Hold;
constexpr auto guessed = DoorAttack::Kind::Guess;
constexpr const char* turning = "Turning strangers away";
constexpr const char* wrongCodes = "rong codes: "; // W or w
INSTANTIATE_TEST_SUITE_P(
    NetProcesses, RightCodeGetsIn,
    ::testing::Values(Siege{"8Held", held, 8, 0, 8, true, turning, -1},
                      Siege{"16Held", held, 16, 0, 16, true, turning, -1},
                      Siege{"300Held", held, 300, 0, 300, true, turning, -1},
                      Siege{"100Guessing8AtATime", guessed, 8, 100, 100, true, wrongCodes, 18},
                      Siege{"1000Guessing16AtATime", guessed, 16, 1000, 1000, true, wrongCodes, 18},
                      Siege{"ThousandsHeld", held, 0, 1, 0, false, turning, -1},
                      Siege{"ThousandsHeldBy1000", held, 0, 1000, 0, false, turning, -1}),
    [](const ::testing::TestParamInfo<Siege>& row) { return std::string(row.param.label); });

// Without --code a guest asks for the code on its terminal, and
// BLOCKDUEL_CODE gives it to scripts: either way it is not on the command
// line that other users can read. A host asks with --code - and refuses an
// easy code. End of input or Ctrl-C at the question leaves the terminal as
// it was.
TEST(NetProcesses, TheCodeNeedNotBeOnTheCommandLine) {
    Host host({}, {"--host", "127.0.0.1:0", "--code", "-"});
    ASSERT_TRUE(shows(host, "Join code for this game:"));
    host.type("1111-1111\r");
    ASSERT_TRUE(shows(host, "too easy to guess"));
    host.type("7k3m q9xd\r");
    ASSERT_TRUE(host.shown()) << host.screenText();
    EXPECT_TRUE(host.waitForText(std::string("  ") + code));

    auto player = host.guest("--join", "");
    ASSERT_TRUE(shows(*player, "Join code (the host shows it):"));
    std::string asked = commandLine(player->pid);
    player->type("7K3M-Q9XD\r");
    EXPECT_TRUE(player->waitForPicture()) << player->output;
    auto watcher = host.guest("--watch", "", {"BLOCKDUEL_CODE=7K3M-Q9XD"});
    EXPECT_TRUE(watcher->waitForPicture()) << watcher->output;
    for (const std::string& line : {asked, commandLine(player->pid), commandLine(watcher->pid)}) {
        EXPECT_NE(std::string::npos, line.find("127.0.0.1")) << "no command line read";
        EXPECT_EQ(std::string::npos, line.find("7K3M")) << line;
    }

    // Three tries that are no code end the command with what a code looks like.
    auto mistyped = host.guest("--join", "");
    ASSERT_TRUE(mistyped->waitForText("Join code"));
    mistyped->type("7K3M\r7K3M-Q9X\rhello\r");
    EXPECT_TRUE(refused(*mistyped, "three tries gave no join code; the host's screen shows it"));

    for (const auto& [leave, outcome] : {std::pair{"\x04", Outcome::exited(1)},
                                         {"\x03", Outcome::killed(SIGINT)},
                                         {"\x1b", Outcome::exited(0)}}) {
        auto quitter = host.guest("--watch", "");
        ASSERT_TRUE(quitter->waitForText("Join code"));
        quitter->type("7K3M\r");
        ASSERT_TRUE(shows(*quitter, "That is not a join code"));
        // The question again: an answer before it would go to the last one.
        ASSERT_TRUE(quitter->waitForOutput("Join code", quitter->output.find("That is not")));
        quitter->type(leave);
        EXPECT_TRUE(endsAs(*quitter, outcome));
        if (*leave == '\x04') {
            EXPECT_TRUE(wrote(*quitter, "no join code given"));
        } else if (*leave == '\x1b') { // Escape leaves, as it leaves the game
            EXPECT_EQ(quitter->output.find("That is not"), quitter->output.rfind("That is not"));
        }
        EXPECT_TRUE(quitter->modesAsBefore());
    }
}

// A host that does not answer (stopped here) cannot hold a player who
// leaves: Escape gives the terminal back at once and says so.
TEST(NetProcesses, EscapeLeavesWhateverTheHostDoes) {
    HostAndPlayer host;
    host.signal(SIGSTOP);
    EXPECT_TRUE(leaves(*host.player));
    EXPECT_TRUE(said(*host.player, "You left the game at " + host.address() + "."));
    EXPECT_TRUE(host.player->modesAsBefore());
    host.signal(SIGCONT);
}

// A guest stopped past the host's five seconds of silence is let go, by
// Ctrl-Z or from outside (SIGSTOP: a debugger, a laptop's sleep); back in
// the foreground it knows that it was itself silent, says that the host let
// go of it, not that the host went quiet, and that the same command joins
// again.
TEST(NetProcesses, AGuestStoppedPastTheSilenceSaysTheHostLetGoOfIt) {
    for (bool byCtrlZ : {true, false}) {
        SCOPED_TRACE(byCtrlZ ? "Ctrl-Z" : "SIGSTOP");
        HostAndPlayer host;
        auto& guest = host.player;
        if (byCtrlZ)
            guest->type("\x1a");
        else
            guest->signal(SIGSTOP);
        ASSERT_EQ(guest->waitOutcome(), Outcome::stopped(byCtrlZ ? SIGTSTP : SIGSTOP));
        EXPECT_TRUE(host.waitUntil(
            [&] { return host.screenText().find("Player two is away") != std::string::npos; },
            8000));
        guest->foreground();
        EXPECT_EQ(guest->waitOutcome(), Outcome::exited(1));
        EXPECT_TRUE(said(*guest, "the host let go of this terminal after"));
        EXPECT_TRUE(said(*guest, "the same command joins again"));
        EXPECT_FALSE(said(*guest, "has not been heard from"));
        EXPECT_TRUE(guest->modesAsBefore());
    }
}

} // namespace
} // namespace term

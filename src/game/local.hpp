// SPDX-License-Identifier: MIT
// What a command needs from this machine's console besides the calls the
// game itself makes (game/platform.hpp, display/console.hpp): the checks
// before it plays, the console taken and given back (the one road for
// every command that plays: a game at one keyboard, a match, the network
// game, a replay), the screen buffer the game draws into, notices over it,
// and the two things a person types or reads before the game: the join
// code and the command that joins. Each back end implements these in files
// of its own (platform/terminal/local_terminal.cpp,
// platform/win32/local_console.cpp); the commands call them from the
// game's single thread.
//
// The order: localProblem, localAskLine when the code is asked for, and
// localCommandName; then localTake, after which the calls of
// game/platform.hpp play (and, over the network, serve the connections
// handed to localServe of netplay/serving.hpp); at the end localFinish, or
// localRestore when there is no final picture to leave. Which calls may
// end or stop the process is as in game/platform.hpp: the waits (sleepMs,
// endFrame) and the key polls, and localAskLine on Ctrl-C; every other
// call returns.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "display/notices.hpp"
#include "display/screen_buffer.hpp"

// What the console is taken for: the game without options, a match at this
// keyboard, or a picture that goes on without waiting for the window (a
// game over the network, a replay). A game at this keyboard waits while the
// window is too small; the others need it big enough from the start. Only
// the game without options reads keys as the keyboard types them rather
// than by their places.
enum class ConsoleUse { Game, Match, Network };

// Why the console cannot be taken for `use`, looking without touching it;
// empty when it can.
std::string localProblem(ConsoleUse use);

// Asks `question` and reads one line of what the person types, with the
// console's own echo and editing, before the game takes the console.
enum class LineRead { Line, TooLong, End, Failed };
LineRead localAskLine(const std::string& question, std::string& line, std::size_t maxLength);
// A line of text for the person before the game takes the console.
void localSay(const std::string& text);
// What went wrong, on the console's error stream after the program's name,
// broken between words at the window's edge; any time the game does not
// hold the console.
void localComplain(const std::string& message);

// Where this user's kept matches are (the XDG state folder, or
// %LOCALAPPDATA%), "" when it cannot be named; and this process's number,
// which tells two matches of one second apart.
std::string localStateFolder();
unsigned localProcessId();

// How the join command names this program, started as `argv0`, so that it
// runs as shown on this machine, and the character that continues a
// command on the next line in its shell.
std::string localCommandName(const char* argv0);
char localContinuation();

// Takes the console for `use`. False, with the message shown, when it
// cannot.
bool localTake(ConsoleUse use);
// The normal end: the console given back with the final picture.
void localFinish();
// The console given back as it was, without a picture.
void localRestore();
// What the console says once it is given back, should Ctrl-C or a signal
// end the game from outside (a guest: how to come back); empty for none.
// From localTake on; the other ends say what they say themselves.
void localFarewell(const std::string& text);

// False when the person asked for a picture without colours (NO_COLOR).
bool localColors();

// The console a host or a guest shows its game on. The host reads the
// game's picture from its buffer; a guest paints the host's pictures into
// it. A host and its guests in one process (tests) each have their own.
class LocalScreen {
public:
    virtual ~LocalScreen() = default;
    // The cells the game draws into, shown at the next wait or frame's end.
    virtual ScreenBuffer& buffer() = 0;
    // Lines over the picture (none when empty), with the next showing.
    virtual void setNotices(std::vector<NoticeLine> lines) = 0;
    // Brings the console up to date with the buffer and the notices now.
    virtual void show() = 0;
    // The players' names, checked already ("" for none), on the row below
    // the picture where the console has one, with the next showing; called
    // by a host and a guest as their names change. A console that shows no
    // names keeps this one, which does nothing.
    virtual void setNames(std::string_view /*boardOne*/, std::string_view /*boardTwo*/) {}
};

// A screen nobody sees: a server's room, whose pictures are its match's,
// and a guest whose picture another connection paints.
struct UnseenScreen : LocalScreen {
    ScreenBuffer& buffer() override { return cells; }
    void setNotices(std::vector<NoticeLine> /*lines*/) override {}
    void show() override {}
    ScreenBuffer cells;
};

// This machine's console; valid from localTake on.
LocalScreen& localScreen();
// True when the keyboard reports presses and releases, so that a guest's
// keys can be held; false for keys as their autorepeat sends them.
bool localKeyReleases();

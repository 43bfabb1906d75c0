// SPDX-License-Identifier: MIT
// What the network game needs from this machine's console besides the
// calls the game itself makes (game/platform.hpp, display/console.hpp):
// the checks before it plays, the console taken and given back as a game
// at one keyboard takes it, the screen buffer the game draws into, notices
// over it, the keyboard's events, the waits that serve the connections,
// and the two things a person types or reads before the game: the join
// code and the command that joins. Each back end implements these in files
// of its own (platform/terminal/local_terminal.cpp,
// platform/win32/local_console.cpp); the network game's flow, its host and
// its guest call them from the game's single thread.
//
// The order: localProblem, localAskLine when the code is asked for, and
// localCommandName; then localTake, after which sleepMs,
// keyPressed and endFrame of game/platform.hpp serve the connections
// handed to localServe; at the end localFinish, or localRestore when
// there is no final picture to leave. Which calls may end or stop the
// process is as in game/platform.hpp: the waits (sleepMs, endFrame) and
// the key polls, and localAskLine on Ctrl-C; every other call returns.
#pragma once

#include <string>
#include <vector>

#include "display/notices.hpp"
#include "display/screen_buffer.hpp"
#include "input/key_event.hpp"
#include "netplay/network.hpp"

// What the waits serve besides the keyboard: a game's connections. A back
// end's wait watches the sockets watched() gives, calls serve() after every
// look (one that found nothing too), wakes for due() even when nothing
// comes, and hands it every key event it reads while the game reads keys.
class NetService {
public:
    static constexpr int maxSockets = 128;
    virtual ~NetService() = default;
    // Fills in up to `room` sockets to watch; returns how many.
    virtual int watched(SocketWatch* watches, int room) = 0;
    // The sockets as watched() gave them, with what the wait found.
    virtual void serve(const SocketWatch* watches, int count) = 0;
    // When serve() is next due with nothing ready, in netClockMs(); -1 for no time.
    virtual long long due() const = 0;
    virtual void keyEvent(const KeyEvent& event) = 0;
    // True when the wait under way should end now.
    virtual bool endsWait() const { return false; }
};

// Why a game cannot be played on this console, looking without touching
// it; empty when it can.
std::string localProblem();

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

// Takes the console as a game at one keyboard does. False, with the
// message shown, when it cannot.
bool localTake();
// The normal end: the console given back with the final picture.
void localFinish();
// The console given back as it was, without a picture.
void localRestore();
// What the console says once it is given back, should Ctrl-C or a signal
// end the game from outside (a guest: how to come back); empty for none.
// From localTake on; the other ends say what they say themselves.
void localFarewell(const std::string& text);

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
};

// This machine's console; valid from localTake on.
LocalScreen& localScreen();
// Whom the waits serve; nullptr for none.
void localServe(NetService* service);
// True when the keyboard reports presses and releases, so that a guest's
// keys can be held; false for keys as their autorepeat sends them.
bool localKeyReleases();

// The terminal's side of a pty, for the session tests: what the game writes
// to the slave goes into a libvterm screen, and the start-up queries are
// answered the way a terminal with the kitty keyboard protocol answers
// them, or the way tmux does (device attributes only).
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <string_view>
#include <termios.h>
#include <thread>

#include "vterm_screen.hpp"

namespace term {

// What the game sends to take the terminal and to give it back.
namespace sent {
inline constexpr const char* altScreenOn = "\x1b[?1049h";
inline constexpr const char* kittyPush = "\x1b[>11u";
inline constexpr const char* kittyPop = "\x1b[<u";
// The tail of every way out: focus reports off, attributes reset, cursor
// shown, normal screen.
inline constexpr const char* leaveScreen = "\x1b[?1004l\x1b[0m\x1b[?25h\x1b[?1049l";
} // namespace sent

class FakeTerminal {
public:
    enum class Kind { Kitty, Legacy };

    FakeTerminal(Kind kind, int columns, int rows);
    ~FakeTerminal();
    FakeTerminal(const FakeTerminal&) = delete;
    FakeTerminal& operator=(const FakeTerminal&) = delete;

    int master() const { return master_; }
    // The game's side; a child process opens it by name.
    int slave() const { return slave_; }
    const std::string& slaveName() const { return slaveName_; }

    // Types `bytes` and waits until the slave can read all of them (the
    // game's side must be in raw mode and not reading meanwhile).
    void type(std::string_view bytes);
    // Types `bytes` for a game that reads on its own (another process).
    void send(std::string_view bytes);
    // Types `bytes` once the game writes `marker` (from now on).
    void typeAfter(std::string_view marker, std::string_view bytes);

    // Waits until the terminal has received `count` bytes in all, or until
    // `marker` appears in them; false after the time limit.
    bool waitForBytes(long long count);
    bool waitFor(std::string_view marker);
    // Waits until row `y` of the emulator shows `text`.
    bool waitForRow(int y, std::string_view text);

    // Everything received so far.
    std::string output() const;
    std::string differences(const ScreenBuffer& screen, RenderOptions options) const;
    std::string rowText(int y) const;

    // Closes the terminal's side, as when its window is closed.
    void hangUp();

    // Changes the pty's window size and the emulator's.
    void resize(int columns, int rows);

private:
    void readLoop();
    void answerQueries();

    Kind kind_;
    int master_ = -1;
    int slave_ = -1;
    std::string slaveName_;
    mutable std::mutex mutex_;
    VtermScreen screen_;
    std::string received_;
    std::size_t scanned_ = 0;
    std::string typeMarker_;
    std::size_t typeFrom_ = 0;
    std::string typeBytes_;
    std::atomic<bool> stop_{false};
    std::thread reader_;
};

// The terminal modes that matter to a user are the same in both.
bool sameModes(const termios& a, const termios& b);

} // namespace term

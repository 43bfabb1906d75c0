// The whole back end on a pty, with the test playing the terminal: the
// keyboard query, held keys of both players, the Escape delay, the final
// prompt, and the terminal given back as it was found.
#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <termios.h>

#include "fake_terminal.hpp"
#include "game/game.hpp"
#include "game/keys.hpp"
#include "session.hpp"

namespace term {
namespace {

using namespace sent;

constexpr RenderOptions colourGlyphs = {true, true};

struct Step {
    const char* keys; // as the terminal sends them before the frame
    int p1;           // expected column change of each player's piece
    int p2;
};

// A game on the fake terminal, frame by frame, with the delay held at zero
// so no frame sleeps: the picture must get out all the same.
class PtyGame {
public:
    explicit PtyGame(FakeTerminal::Kind kind) : terminal(kind, 80, 24), session(options()) {
        tcgetattr(terminal.slave(), &before);
        setCurrentSession(&session);
    }
    ~PtyGame() { setCurrentSession(nullptr); }

    SessionOptions options() const {
        SessionOptions o;
        o.inFd = terminal.slave();
        o.outFd = terminal.slave();
        o.render = colourGlyphs;
        return o;
    }

    // The session takes the terminal; true once the terminal has all it sent.
    bool start() { return session.start() && terminal.waitForBytes(session.counters().bytes); }

    void begin(unsigned seed) {
        std::srand(seed);
        startGame(game);
    }

    // One frame; true while the game goes on. Afterwards the terminal has
    // received everything the frame sent.
    bool frame() {
        game.sleep_value = 0;
        bool going = playFrame(game);
        EXPECT_TRUE(terminal.waitForBytes(session.counters().bytes));
        return going;
    }

    // One frame after the terminal sent `step.keys`: each piece moved as
    // expected and the terminal shows the buffer.
    void play(const Step& step) {
        SCOPED_TRACE(testing::PrintToString(std::string(step.keys)));
        int x1 = game.p1.bx;
        int x2 = game.p2.bx;
        if (*step.keys)
            terminal.type(step.keys);
        ASSERT_TRUE(frame());
        EXPECT_EQ(game.p1.bx - x1, step.p1);
        EXPECT_EQ(game.p2.bx - x2, step.p2);
        EXPECT_EQ(terminal.differences(session.screen(), colourGlyphs), "");
    }

    FakeTerminal terminal;
    TerminalSession session;
    termios before = {};
    Game game = {};
};

TEST(KittySession, HeldKeysOfBothPlayersMoveBothPiecesInTheSameFrames) {
    PtyGame t(FakeTerminal::Kind::Kitty);
    ASSERT_TRUE(t.start());
    EXPECT_TRUE(t.session.kitty());
    std::string start = t.terminal.output();
    ASSERT_NE(start.find(kittyPush), std::string::npos);
    // The flags belong to the alternate screen's own stack.
    EXPECT_LT(start.find(altScreenOn), start.find(kittyPush));

    t.begin(11);
    ASSERT_TRUE(t.frame()); // the first gravity step shows both pieces
    const Step steps[] = {
        // Left comes as plain CSI D on its press, A as CSI 97u.
        {"\x1b[D\x1b[97u", -1, -1},
        // Only the key pressed last repeats; Left is still held.
        {"\x1b[97;1:2u", -1, -1},
        {"\x1b[1;1:3D\x1b[97;1:3u", 0, 0},
        // Pressed and released between two polls: one move.
        {"\x1b[C\x1b[1;1:3C", 1, 0},
        {"", 0, 0},
        // Lock bits (Caps Lock 64, Num Lock 128) change nothing.
        {"\x1b[100;193u", 0, 1},
        {"\x1b[100;193:3u", 0, 0},
    };
    for (const Step& step : steps)
        t.play(step);

    t.terminal.type("\x1b[27u");
    EXPECT_FALSE(t.frame());
    t.terminal.typeAfter("Kilepeshez", "\x1b[13u");
    closeGame();
    t.session.finish();

    // Output processing is back on: the picture's lines end in CR LF.
    ASSERT_TRUE(t.terminal.waitFor("Kilepeshez nyomjon ENTER-t\r\n"));
    std::string out = t.terminal.output();
    std::size_t pop = out.rfind(kittyPop);
    ASSERT_NE(pop, std::string::npos);
    EXPECT_LT(pop, out.rfind(leaveScreen));
    EXPECT_NE(out.find("Kilepeshez", out.rfind(leaveScreen)), std::string::npos)
        << "the final picture follows on the normal screen";
    termios after = {};
    tcgetattr(t.terminal.slave(), &after);
    EXPECT_TRUE(sameModes(t.before, after));
}

TEST(LegacySession, KeysCountWhenTheyArriveAndALoneEscapeWaitsForItsDelay) {
    PtyGame t(FakeTerminal::Kind::Legacy);
    ASSERT_TRUE(t.start());
    EXPECT_FALSE(t.session.kitty());
    EXPECT_EQ(t.terminal.output().find(kittyPush), std::string::npos);

    t.begin(12);
    ASSERT_TRUE(t.frame());
    const Step steps[] = {
        {"\x1b[Da", -1, -1},
        {"", 0, 0}, // nothing arrived: autorepeat keeps a held key coming
        {"\x1bOCD", 1, 1},
        {"\x1b[C\x1b[C\x1b[C", 1, 0}, // three arrivals before one poll: one move
    };
    for (const Step& step : steps)
        t.play(step);

    // An arrow is an ESC that a sequence follows at once: no Escape.
    t.terminal.type("\x1b[B");
    EXPECT_TRUE(t.session.keyPressed(vkDown));
    EXPECT_FALSE(t.session.keyPressed(vkEscape));

    // A lone ESC is Escape only once its delay has passed without a sequence.
    auto typed = std::chrono::steady_clock::now();
    t.terminal.type("\x1b");
    bool early = t.session.keyPressed(vkEscape);
    auto waited = std::chrono::steady_clock::now() - typed;
    if (waited < std::chrono::milliseconds(InputDecoder::escapeDelayMs)) {
        EXPECT_FALSE(early);
    }
    t.session.sleepMs(InputDecoder::escapeDelayMs + 20);
    EXPECT_TRUE(t.session.keyPressed(vkEscape));

    // Enter typed before the prompt shows does not answer it.
    t.terminal.type("\r");
    t.session.screen().write("\nKilepeshez nyomjon ENTER-t");
    t.terminal.typeAfter("Kilepeshez", "x\n");
    EXPECT_EQ(t.session.readChar(), '\n');
    t.session.finish();
    ASSERT_TRUE(t.terminal.waitFor(leaveScreen));
    EXPECT_EQ(t.terminal.output().find(kittyPop), std::string::npos);
    termios after = {};
    tcgetattr(t.terminal.slave(), &after);
    EXPECT_TRUE(sameModes(t.before, after));
}

} // namespace
} // namespace term

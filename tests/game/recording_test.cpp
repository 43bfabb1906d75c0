// SPDX-License-Identifier: MIT
// A game recorded through its reads and played back on a fresh back end
// draws the same screen at the end of every frame, whatever the keyboard
// and the clock do during the playback; a tape cut short plays up to the
// cut and ends the game there.
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "fixture.hpp"
#include "game/keeping.hpp"
#include "game/match.hpp"
#include "game/recording.hpp"
#include "game/rhythm.hpp"

namespace {

// The whole screen, codes and colours.
std::string snapshot() {
    std::string cells;
    const mem::Backend& b = mem::backend();
    for (int y = 0; y < mem::screenHeight; ++y)
        for (int x = 0; x < mem::screenWidth; ++x) {
            cells += static_cast<char>(b.screen[y][x].code);
            cells += static_cast<char>(b.screen[y][x].attr);
        }
    return cells;
}

class Recording : public Fresh {
protected:
    // A person on the left, holding keys now and then, against the computer.
    static GameSetup setup() { return {.computer = {false, true}, .level = {3, 3}, .seed = 4242}; }
    // Plays up to `frames` frames with `tape` taking the reads, from a fresh
    // back end whose keyboard answers `keys` and whose frames cost `costMs`;
    // the screen after each frame.
    static std::vector<std::string> play(ReadTape* tape, int frames, long long costMs,
                                         bool (*keys)(int frame, int key), Game& g,
                                         const GameSetup& as = setup()) {
        mem::reset();
        mem::backend().frameCostMs = costMs;
        mem::backend().keyScript = keys;
        std::vector<std::string> screens;
        mem::backend().onFrameEnd = [&](int) { screens.push_back(snapshot()); };
        g.reads.tape = tape;
        GameSetup s = as;
        seedGenerators(s);
        startGame(g, s);
        for (int n = 0; n < frames && playFrame(g); ++n) {
        }
        return screens;
    }
    static bool person(int frame, int key) {
        // Holds of a few frames, of the arrows and sometimes two at once;
        // a drop now and then.
        int phase = (frame / 7 + key) % 11;
        if (key == vkDown)
            return frame % 97 < 3;
        return key != vkEscape && phase == 0;
    }
    static bool mashing(int frame, int key) { return (frame + key) % 2 == 0; }

    // Records up to `frames` frames of the person's game into `tape`.
    static std::vector<std::string> recordGame(int frames, Game& g, std::string& tape,
                                               const GameSetup& as = setup()) {
        record::TapeWriter writer;
        TapeRecorder recorder(writer);
        std::vector<std::string> screens = play(&recorder, frames, 13, person, g, as);
        tape = writer.take();
        return screens;
    }
    // Plays `tape` back on another clock, with a keyboard mashed meanwhile:
    // neither is read.
    static std::vector<std::string> playBack(const std::string& tape, Game& g, bool& ended,
                                             const GameSetup& as = setup()) {
        record::TapeReader reader;
        EXPECT_TRUE(reader.add(tape));
        TapePlayer player(reader);
        std::vector<std::string> screens = play(&player, 3000, 1, mashing, g, as);
        ended = player.ended();
        return screens;
    }
};

TEST_F(Recording, ATapeCutShortPlaysUpToTheCutAndEndsThere) {
    Game live;
    std::string whole;
    std::vector<std::string> recorded = recordGame(3000, live, whole);
    // The tape of the first half of the frames, and nothing after it.
    Game first;
    std::string half;
    std::vector<std::string> firstHalf =
        recordGame(static_cast<int>(recorded.size() / 2), first, half);
    Game again;
    bool ended = false;
    std::vector<std::string> played = playBack(half, again, ended);
    ASSERT_GE(played.size(), firstHalf.size());
    EXPECT_LT(played.size(), recorded.size()) << "the game ends soon after the cut";
    for (std::size_t frame = 0; frame + 1 < firstHalf.size(); ++frame)
        ASSERT_EQ(played[frame], recorded[frame]) << "frame " << frame;
    EXPECT_TRUE(ended);
    EXPECT_EQ(again.loser, -1) << "it ended by Escape, not by a top-out";
}

// A match whose gravity quickened plays back the same, frame for frame,
// set up from its header: the quickening is kept there, not on the tape.
TEST_F(Recording, AQuickenedMatchPlaysBackTheSameFromItsHeader) {
    GameSetup quick = setup();
    quick.speedUp = true;
    Game live;
    std::string tape;
    std::vector<std::string> recorded = recordGame(3000, live, tape, quick);
    ASSERT_GT(live.frames, speedUpEvery + 10 * gravityPeriod) << "long enough to quicken";
    record::MatchSetup header = recordedSetup(quick, record::PlayMode::Computer);
    std::optional<record::MatchSetup> read = record::decodeSetup(record::encodeSetup(header));
    ASSERT_TRUE(read);
    GameSetup again = replayedSetup(*read);
    again.match = false; // the frames alone, as recorded
    Game replayed;
    bool ended = false;
    std::vector<std::string> played = playBack(tape, replayed, ended, again);
    ASSERT_EQ(played.size(), recorded.size());
    for (std::size_t frame = 0; frame < recorded.size(); ++frame)
        ASSERT_EQ(played[frame], recorded[frame]) << "frame " << frame;
}

// What a playback needs of the setup survives the recording's header, and
// a player who was at another keyboard is still one, answered by the tape.
TEST(KeptSetup, APlaybackSetsUpTheMatchAsItWasPlayed) {
    GameSetup played;
    played.match = true;
    played.computer[0] = true;
    played.level[0] = 4;
    played.seed = 0xC0FFEE;
    played.viewer = Viewer::PlayerOne;
    played.countdown = true;
    played.pause = true;
    played.noColor = true;
    played.firstTo = 3;
    played.keys[1] = playerTwoPositions;
    std::strcpy(played.legend[1], "W A S D");
    played.remote[1].pressed = [](void*, Action) { return true; };
    record::MatchSetup header = recordedSetup(played, record::PlayMode::Host);
    std::optional<record::MatchSetup> read = record::decodeSetup(record::encodeSetup(header));
    ASSERT_TRUE(read);
    GameSetup again = replayedSetup(*read);
    auto kept = [](const GameSetup& s) {
        const Controls& k = s.keys[1];
        return std::tuple(s.match, s.computer[0], s.computer[1], s.level[0], s.seed, s.viewer,
                          s.countdown, s.pause, s.noColor, s.firstTo, k.rotate, k.left, k.right,
                          k.drop, std::string(s.legend[1]));
    };
    EXPECT_EQ(kept(again), kept(played));
    EXPECT_EQ(again.remote[0].pressed, nullptr);
    ASSERT_NE(again.remote[1].pressed, nullptr) << "still played from afar, by the tape";
    EXPECT_FALSE(again.remote[1].pressed(nullptr, Action::Drop)) << "never the live answer";
}

} // namespace

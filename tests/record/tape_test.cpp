// SPDX-License-Identifier: MIT
// A round's inputs, taped and played back: every answer in its order,
// across pieces, and a damaged or cut piece ends the tape there.
#include "record/tape.hpp"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "record/varint.hpp"

namespace record {
namespace {

struct Read {
    int key; // the key polled; -1 for the clock
    long long value;
};

// Reads as a match makes them: a few key polls a frame, mostly not held,
// holds of a few frames, and the clock read once or twice a frame.
std::vector<Read> someReads(unsigned seed, int frames) {
    std::mt19937 random(seed);
    std::vector<Read> reads;
    long long second = 1'000'000 + seed;
    bool held[6] = {};
    for (int frame = 0; frame < frames; ++frame) {
        // Polls of keys by their numbers, a key now and then pressed or let go.
        for (int key = 0; key < 6; ++key) {
            if (random() % 20 == 0)
                held[key] = !held[key];
            reads.push_back({key * 37, held[key] ? 1 : 0});
        }
        if (random() % 11 == 0)
            second += random() % 50 == 0 ? 3 : 1;
        for (unsigned n = 0; n < 1 + random() % 2; ++n)
            reads.push_back({-1, second});
    }
    return reads;
}

void writeAll(TapeWriter& tape, const std::vector<Read>& reads, std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i) {
        if (reads[i].key >= 0)
            tape.key(reads[i].key, reads[i].value != 0);
        else
            tape.clock(reads[i].value);
    }
}

// Plays back; how many reads were answered as taped before the tape ran out.
std::size_t playBack(TapeReader& tape, const std::vector<Read>& reads) {
    for (std::size_t i = 0; i < reads.size(); ++i) {
        bool held = false;
        long long second = 0;
        bool isKey = reads[i].key >= 0;
        bool answered = isKey ? tape.key(reads[i].key, held) : tape.clock(second);
        if (!answered)
            return i;
        long long value = isKey ? (held ? 1 : 0) : second;
        EXPECT_EQ(value, reads[i].value) << "read " << i;
        if (value != reads[i].value)
            return i;
    }
    return reads.size();
}

// Pieces of uneven sizes, cutting runs of either kind anywhere, and empty
// ones between them; clock readings first that lie far apart either way.
TEST(Tape, PlaysBackEveryAnswerInOrderAcrossPieces) {
    for (unsigned seed = 1; seed <= 20; ++seed) {
        std::vector<Read> reads = {{-1, 0}, {-1, -5}, {-1, INT64_MAX}, {-1, INT64_MIN}, {-1, 7}};
        for (const Read& r : someReads(seed, 700))
            reads.push_back(r);
        TapeWriter writer;
        TapeReader reader;
        std::size_t at = 0;
        std::size_t bytes = 0;
        for (std::size_t step : {1U, 7U, 100U, 333U, 5000U, 100000U}) {
            ASSERT_TRUE(reader.add(writer.take())) << "an empty piece";
            std::size_t to = std::min(reads.size(), at + step);
            writeAll(writer, reads, at, to);
            std::string piece = writer.take();
            bytes += piece.size();
            ASSERT_TRUE(reader.add(piece));
            at = to;
        }
        bool held = false;
        EXPECT_FALSE(reader.key(1, held)) << "a key never polled";
        ASSERT_EQ(playBack(reader, reads), reads.size()) << "seed " << seed;
        bool extra = false;
        long long later = 0;
        EXPECT_FALSE(reader.key(0, extra)) << "nothing after the last answer";
        EXPECT_FALSE(reader.clock(later));
        // About a minute of frames, in well under a kilobyte.
        EXPECT_LT(bytes, 1024U) << "seed " << seed;
    }
}

TEST(Tape, KeysBeyondItsBoundsAreNotKept) {
    TapeWriter writer;
    writer.key(-1, true);
    writer.key(keyNumberLimit, true);
    for (int key = 0; key < maxKeyStreams + 5; ++key)
        writer.key(key, true);
    TapeReader reader;
    ASSERT_TRUE(reader.add(writer.take()));
    bool held = false;
    EXPECT_TRUE(reader.key(maxKeyStreams - 1, held));
    EXPECT_FALSE(reader.key(maxKeyStreams, held));
    EXPECT_FALSE(reader.key(keyNumberLimit, held));
}

TEST(Tape, ADamagedPieceEndsTheTapeBeforeIt) {
    TapeWriter writer;
    writer.key(2, true);
    std::string good = writer.take();
    writer.key(2, false);
    writer.clock(9);
    std::string second = writer.take();
    using namespace std::string_literals;
    // A run, and clock readings unchanged, beyond any match's.
    std::string longRun = "\x01\x02"s;
    std::string run;
    appendNumber(run, (maxAnswers + 1) << 1U);
    longRun += static_cast<char>(run.size()) + run;
    std::string longSame;
    appendNumber(longSame, (maxAnswers + 1) << 1U);
    const std::string damaged[] = {
        longRun,
        "\x00"s + longSame,
        "\x01\x02\x05"s + "ab",             // a key stream longer than the piece
        "\x01\x02\x01\x00"s,                // a key run of no answers
        "\x01\x02\x01\x80"s,                // a key run whose number runs out
        "\x02\x02\x01\x02\x02\x01\x02"s,    // one key twice in a piece
        "\x41"s,                            // more keys than a tape keeps
        "\x01\x80\x08\x01\x02"s,            // a key number over the limit
        "\x00\x03"s,                        // a clock change that is missing
        "\x00\x00"s,                        // a clock entry that says nothing
        second.substr(0, second.size() - 1) // cut inside the clock's change
    };
    for (const std::string& piece : damaged) {
        TapeReader reader;
        ASSERT_TRUE(reader.add(good));
        EXPECT_FALSE(reader.add(piece)) << testing::PrintToString(piece);
        EXPECT_FALSE(reader.add(second)) << "no piece after a damaged one";
        bool held = false;
        long long clock = 0;
        EXPECT_TRUE(reader.key(2, held) && held);
        EXPECT_FALSE(reader.key(2, held));
        EXPECT_FALSE(reader.clock(clock));
    }
    TapeReader whole;
    EXPECT_TRUE(whole.add(good) && whole.add(second)) << "the pieces themselves are whole";
}

} // namespace
} // namespace record

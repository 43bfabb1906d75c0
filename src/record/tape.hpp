// SPDX-License-Identifier: MIT
// A round's inputs as the game read them, enough to play the round again
// exactly: the game is the same given the same seed and the same answers to
// its reads. Two kinds of reads: a key poll (held or not), and the clock
// (whole seconds). Each kind is kept as its own stream, in the order read;
// playing back answers each read with the next of its kind.
//
// Each key (or remote action) read has a stream of its own, by a number
// the game gives it, so that a key held for a while is one run however
// many other keys are read between its polls. A key's answers go as runs:
// each a number, the run's length times two plus one when the key was
// held. The clock goes as changes: each a number, the readings unchanged
// before it times two plus one when a change follows, then the change
// (signed); the first reading is a change from 0. A piece is the number of
// key streams in it, each as its key's number, its length and its bytes,
// then the clock's stream; pieces simply follow one another. A minute of
// play (about 660 frames of a few polls each) takes well under a kilobyte.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace record {

// Key numbers are below this, and a tape has at most maxKeyStreams of them.
constexpr int keyNumberLimit = 1024;
constexpr int maxKeyStreams = 64;
// The most answers one number of a stream stands for: a run of a key, or
// clock readings unchanged. A match reads each key and the clock at most
// once a frame or a hold's wait, some tens of times a second and never a
// thousand; this many would take over thirty years. A writer splits a
// longer run, and a reader refuses a piece that holds one.
constexpr std::uint64_t maxAnswers = std::uint64_t{1} << 40U;

class TapeWriter {
public:
    // A poll of key `number` (0 to keyNumberLimit - 1; a tape whose keys are
    // more than maxKeyStreams keeps none beyond them).
    void key(int number, bool held);
    void clock(long long seconds);
    // What has been read since the last take, as bytes for a record; the
    // writer goes on from there. The pieces read back as one tape.
    std::string take();

private:
    struct Stream {
        int number;
        std::string bytes;
        bool held = false;     // the answer of the run being counted
        std::uint64_t run = 0; // its length so far
    };
    std::vector<Stream> keys_;
    std::string clock_;
    long long lastClock_ = 0;
    std::uint64_t same_ = 0; // readings equal to lastClock_ not yet written
};

// Reads back what a writer took.
class TapeReader {
public:
    // The next piece of the tape, as TapeWriter::take made it. False for a
    // piece that does not hold together; the tape then ends before it, and
    // takes no more pieces.
    bool add(std::string_view piece);
    // The next answer of its kind; false once the tape has no more (a
    // recording cut short ends its round there).
    bool key(int number, bool& held);
    bool clock(long long& seconds);

private:
    struct Stream {
        int number;
        std::string bytes;
        std::size_t at = 0;
        bool held = false;
        std::uint64_t left = 0; // answers left in the run
    };
    Stream* stream(int number);
    bool addPiece(std::string_view piece);

    std::vector<Stream> keys_;
    std::string clock_;
    std::size_t clockAt_ = 0;
    long long lastClock_ = 0;
    std::uint64_t sameLeft_ = 0; // unchanged readings to give before the change
    bool changeNext_ = false;    // a change follows them
    long long change_ = 0;
    bool broken_ = false;
};

} // namespace record

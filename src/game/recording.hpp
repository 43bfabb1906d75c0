// SPDX-License-Identifier: MIT
// A match recorded as it is played, and played back, through the game's
// reads (game/reads.hpp): the recorder tapes every answer the platform
// gives; the player answers every read from the tape, so the game draws
// the same pictures in the same order. A tape that runs out (a recording
// cut short) answers Escape from then on, and the match ends there.
#pragma once

#include "game/reads.hpp"
#include "record/tape.hpp"

class TapeRecorder : public ReadTape {
public:
    explicit TapeRecorder(record::TapeWriter& tape) : tape_(tape) {}
    bool playingBack() const override { return false; }
    bool key(int number, bool live) override;
    long long clock(long long live) override;

private:
    record::TapeWriter& tape_;
};

class TapePlayer : public ReadTape {
public:
    explicit TapePlayer(record::TapeReader& tape) : tape_(tape) {}
    bool playingBack() const override { return true; }
    bool key(int number, bool live) override;
    long long clock(long long live) override;
    // The tape has run out, or the playback was stopped: the game has been
    // answered Escape since.
    bool ended() const { return ended_; }
    void stop() { ended_ = true; }

private:
    record::TapeReader& tape_;
    long long lastClock_ = 0;
    bool ended_ = false;
};

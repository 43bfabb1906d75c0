// SPDX-License-Identifier: MIT
// How much a guest that has the code may make the host do. A pure policy,
// like the door's: the host tells it of each message with the time in
// milliseconds, and it answers. No sockets and no clock.
//
// A person sends a few key events a second, a fast typist or a key held
// down in a terminal that repeats it quickly some tens: a player's keys
// beyond `keptPerSecond` (with a burst of `keptBurst`) are dropped, all
// but releases, so that a key is never left held. That costs a person
// nothing they can see: only repeats come that fast. Messages of any kind,
// keep-alives too, beyond `endPerSecond` (with a burst of `endBurst`)
// end the connection: nothing a person does sends them, so the guest is
// broken or hostile, and reading its flood, or keeping its keys queued
// behind one, would only cost the host and the game. The guest sees the
// connection end and may join again.
#pragma once

namespace net {

// A bucket of tokens: `perSecond` more every second, at most `burst` kept;
// it starts full.
class TokenBucket {
public:
    TokenBucket(int perSecond, int burst);
    // Takes a token if there is one at `nowMs` (times never go back).
    bool take(long long nowMs);
    // When the next token is there: `nowMs` or later.
    long long readyAt(long long nowMs) const;

private:
    long long creditAt(long long nowMs) const;

    long long perSecond_;
    long long most_;   // burst, in thousandths of a token
    long long credit_; // thousandths of a token
    long long lastMs_ = 0;
};

// What to do with a guest's message.
enum class Pace { Take, Drop, End };

class GuestPace {
public:
    static constexpr int keptPerSecond = 50;
    static constexpr int keptBurst = 25;
    static constexpr int endPerSecond = 200;
    static constexpr int endBurst = 200;

    // A message at `nowMs`; `droppable` for a key press or repeat, which
    // may be dropped; anything else is taken or ends the connection.
    Pace message(bool droppable, long long nowMs);

private:
    TokenBucket kept_{keptPerSecond, keptBurst};
    TokenBucket tolerated_{endPerSecond, endBurst};
};

} // namespace net

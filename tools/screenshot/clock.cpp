// The game's clock for the picture. The frame loop paces itself by the
// seconds clock and sleeps between frames; linked with
// -Wl,--wrap for both calls, the picture's game runs on a clock that moves
// only by those sleeps, as on a machine that takes no time for a frame. So
// the rate and delay readouts come out the same in every run, and the run
// takes no time.
#include "game/platform.hpp"

namespace {

long long virtualMs = 0;

} // namespace

// The names the linker gives the game's sleepMs and clockSeconds.
extern "C" {

void __real__Z7sleepMsi(int ms);

// The session still sends the picture and reads the keys, without waiting.
void __wrap__Z7sleepMsi(int ms) {
    virtualMs += ms > 0 ? ms : 0;
    __real__Z7sleepMsi(0);
}

long long __wrap__Z12clockSecondsv() { return virtualMs / 1000; }
}

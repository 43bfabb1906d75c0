// The game's clock for the picture. The frame loop sleeps after every frame
// and paces itself by a seconds clock (game/platform.hpp). The tool is
// linked with -Wl,--wrap for both calls, so the game's calls land here:
// the clock moves only by the sleeps, as on a machine that takes no time
// for a frame. The readouts then come out the same in every run, and the
// run takes no real time. The names are the linker's for the C++ functions
// sleepMs(int) and clockSeconds().
namespace {

long long virtualMs = 0;

} // namespace

extern "C" {

void __real__Z7sleepMsi(int ms); // NOLINT(bugprone-reserved-identifier)

// The session still sends the picture and reads the keys, without waiting.
void __wrap__Z7sleepMsi(int ms) { // NOLINT(bugprone-reserved-identifier)
    virtualMs += ms > 0 ? ms : 0;
    __real__Z7sleepMsi(0);
}

long long __wrap__Z12clockSecondsv() { // NOLINT(bugprone-reserved-identifier)
    return virtualMs / 1000;
}
}

// SPDX-License-Identifier: MIT
#include "game/reads.hpp"

#include "game/game.hpp"
#include "game/platform.hpp"

namespace {

class PlatformOutside final : public Outside {
public:
    bool keyPressed(int virtualKey) override { return ::keyPressed(virtualKey); }
    long long clockSeconds() override { return ::clockSeconds(); }
};

bool playingBack(const Reads& r) { return r.tape != nullptr && r.tape->playingBack(); }

bool taped(const Reads& r, int number, bool live) {
    return r.tape != nullptr ? r.tape->key(number, live) : live;
}

} // namespace

Outside& platformOutside() {
    static PlatformOutside outside;
    return outside;
}

bool readKey(const Game& g, int key) {
    bool live = !playingBack(g.reads) && g.reads.outside->keyPressed(key);
    return taped(g.reads, key, live);
}

bool readAction(const Game& g, int board, Action action) {
    const RemoteKeys& remote = g.seat[board].remote;
    bool live = !playingBack(g.reads) && remote.pressed(remote.context, action);
    return taped(g.reads, remoteActionRead + board * actionLimit + static_cast<int>(action), live);
}

bool readPresent(const Game& g, int board) {
    const RemoteKeys& remote = g.seat[board].remote;
    bool live =
        !playingBack(g.reads) && (remote.present == nullptr || remote.present(remote.context));
    return taped(g.reads, remotePresentRead + board, live);
}

long long readClock(const Game& g) {
    long long live = playingBack(g.reads) ? 0 : g.reads.outside->clockSeconds();
    return g.reads.tape != nullptr ? g.reads.tape->clock(live) : live;
}

// SPDX-License-Identifier: MIT
// The door's slots, the order in which connections give way, and the
// throttle on wrong codes.
#include "net/admission.hpp"

#include <algorithm>

#include "net/protocol.hpp"

namespace net {

namespace {

constexpr int crowd = Admission::maxGroups; // the group of the addresses not remembered

// How long the next check waits after the wrong code that made `strikes`:
// nothing until freeTries, then ever longer.
int delayAfter(int strikes) {
    int over = strikes - Admission::freeTries;
    if (over < 0)
        return 0;
    return std::min(Admission::firstDelayMs << std::min(over, 8), Admission::maxDelayMs);
}

bool isMappedIpv4(const std::array<unsigned char, 16>& bytes) {
    for (int i = 0; i < 10; ++i)
        if (bytes[static_cast<std::size_t>(i)] != 0)
            return false;
    return bytes[10] == 0xFF && bytes[11] == 0xFF;
}

} // namespace

std::array<unsigned char, 16> addressGroup(const std::array<unsigned char, 16>& bytes) {
    std::array<unsigned char, 16> key = bytes;
    if (!isMappedIpv4(bytes))
        std::fill(key.begin() + 8, key.end(), 0);
    return key;
}

Admission::Admission() : groups_(maxGroups + 1) {
    groups_[crowd].used = true;
    groups_[crowd].text = "many addresses";
}

int Admission::strikesAt(const Group& group, long long nowMs) {
    long long forgiven = (nowMs - group.lastWrongMs) / forgiveMs;
    return static_cast<int>(std::max(0LL, group.strikes - std::max(0LL, forgiven)));
}

bool Admission::idle(const Group& group, long long nowMs) {
    return group.members == 0 && strikesAt(group, nowMs) == 0 && group.nextCheckMs <= nowMs;
}

// The address's group, remembered if there is room; else the crowd's.
int Admission::groupOf(const PeerAddress& from, long long nowMs) {
    std::array<unsigned char, 16> key = addressGroup(from.bytes);
    int room = -1;
    for (int i = 0; i < maxGroups; ++i) {
        Group& g = groups_[static_cast<std::size_t>(i)];
        if (g.used && g.key == key)
            return i;
        if (room < 0 && (!g.used || idle(g, nowMs)))
            room = i;
    }
    if (room < 0)
        return crowd;
    Group& g = groups_[static_cast<std::size_t>(room)];
    g = Group{};
    g.used = true;
    g.key = key;
    g.text = from.text.substr(0, pictureColumns);
    return room;
}

Admission::Connection* Admission::find(int id) {
    auto it = std::find_if(connections_.begin(), connections_.end(),
                           [id](const Connection& c) { return c.id == id; });
    return it == connections_.end() ? nullptr : &*it;
}

// Drops the connection from the policy's books, wherever it was.
void Admission::forget(int id) {
    Connection* c = find(id);
    if (c == nullptr)
        return;
    Group& g = groups_[static_cast<std::size_t>(c->group)];
    g.members -= 1;
    if (c->state == State::Silent)
        g.silent -= 1;
    if (c->state == State::Waiting) {
        std::erase(g.waiting, id);
        waiting_ -= 1;
    }
    std::erase_if(connections_, [id](const Connection& x) { return x.id == id; });
}

int Admission::silentCount() const {
    return static_cast<int>(
        std::count_if(connections_.begin(), connections_.end(),
                      [](const Connection& c) { return c.state == State::Silent; }));
}

bool Admission::anyMayGiveWay(long long nowMs) const {
    return std::any_of(connections_.begin(), connections_.end(), [&](const Connection& c) {
        return c.state == State::Silent && nowMs - c.openedMs >= graceMs;
    });
}

bool Admission::mayAccept(long long nowMs) const {
    return silentCount() < greetingSlots || anyMayGiveWay(nowMs);
}

void Admission::opened(int id, const PeerAddress& from, long long nowMs) {
    int group = groupOf(from, nowMs);
    Group& g = groups_[static_cast<std::size_t>(group)];
    g.members += 1;
    g.silent += 1;
    connections_.push_back({id, group, nowMs, State::Silent});
}

// Of those that have had their grace, the oldest of the address that holds
// the most slots.
int Admission::givesWay(long long nowMs) const {
    if (silentCount() <= greetingSlots)
        return -1;
    const Connection* best = nullptr;
    int bestSlots = 0;
    for (const Connection& c : connections_) {
        if (c.state != State::Silent || nowMs - c.openedMs < graceMs)
            continue;
        int slots = groups_[static_cast<std::size_t>(c.group)].silent;
        if (best == nullptr || slots > bestSlots ||
            (slots == bestSlots && c.openedMs < best->openedMs)) {
            best = &c;
            bestSlots = slots;
        }
    }
    return best == nullptr ? -1 : best->id;
}

int Admission::expired(long long nowMs) const {
    for (const Connection& c : connections_)
        if (c.state == State::Silent && nowMs - c.openedMs >= helloLimitMs)
            return c.id;
    return -1;
}

Verdict Admission::hello(int id, long long nowMs) {
    Connection* c = find(id);
    if (c == nullptr || c->state != State::Silent)
        return Verdict::Drop;
    Group& g = groups_[static_cast<std::size_t>(c->group)];
    g.silent -= 1;
    if (g.waiting.empty() && nowMs >= g.nextCheckMs) {
        c->state = State::Checking;
        return Verdict::Check;
    }
    if (static_cast<int>(g.waiting.size()) < waitingPerGroup && waiting_ < maxWaiting) {
        c->state = State::Waiting;
        g.waiting.push_back(id);
        waiting_ += 1;
        return Verdict::Wait;
    }
    c->state = State::Checking; // so that forget() leaves the slots alone
    forget(id);
    turnedAway_ += 1;
    lastTurnedAwayMs_ = nowMs;
    return Verdict::Drop;
}

int Admission::nextTurn(long long nowMs) {
    for (Group& g : groups_) {
        if (g.waiting.empty() || nowMs < g.nextCheckMs)
            continue;
        int id = g.waiting.front();
        g.waiting.pop_front();
        waiting_ -= 1;
        find(id)->state = State::Checking;
        return id;
    }
    return -1;
}

void Admission::checked(int id, bool rightCode, long long nowMs) {
    Connection* c = find(id);
    if (c == nullptr || c->state != State::Checking)
        return;
    if (!rightCode) {
        Group& g = groups_[static_cast<std::size_t>(c->group)];
        g.strikes = strikesAt(g, nowMs) + 1;
        g.lastWrongMs = nowMs;
        g.nextCheckMs = nowMs + delayAfter(g.strikes);
        wrongCodes_ += 1;
        lastWrongMs_ = nowMs;
        lastWrongFrom_ = g.text;
    }
    forget(id);
}

void Admission::gone(int id, bool turnedAway, long long nowMs) {
    if (find(id) == nullptr)
        return;
    forget(id);
    if (turnedAway) {
        turnedAway_ += 1;
        lastTurnedAwayMs_ = nowMs;
    }
}

long long Admission::nextDue(long long nowMs) const {
    long long next = -1;
    auto consider = [&next](long long at) {
        if (next < 0 || at < next)
            next = at;
    };
    bool full = !mayAccept(nowMs);
    for (const Connection& c : connections_) {
        if (c.state != State::Silent)
            continue;
        consider(c.openedMs + helloLimitMs);
        if (full)
            consider(c.openedMs + graceMs);
    }
    for (const Group& g : groups_)
        if (!g.waiting.empty())
            consider(std::max(g.nextCheckMs, nowMs));
    if (turnedAway_ > 0 && nowMs - lastTurnedAwayMs_ < noticeMs)
        consider(lastTurnedAwayMs_ + noticeMs);
    if (wrongCodes_ > 0 && nowMs - lastWrongMs_ < noticeMs)
        consider(lastWrongMs_ + noticeMs);
    return next;
}

// The longest of the ways to say it that fits.
std::string Admission::notice(long long nowMs, std::size_t width) const {
    bool strangers = turnedAway_ > 0 && nowMs - lastTurnedAwayMs_ < noticeMs;
    bool guessing = wrongCodes_ > 0 && nowMs - lastWrongMs_ < noticeMs;
    std::string away = std::to_string(turnedAway_);
    std::string wrong = std::to_string(wrongCodes_);
    std::vector<std::string> ways;
    if (strangers && guessing)
        ways = {"Turning strangers away: " + away + "; wrong codes: " + wrong,
                "Strangers: " + away + "; wrong codes: " + wrong};
    else if (strangers)
        ways = {"Turning strangers away: " + away + " so far", "Strangers turned away: " + away};
    else if (guessing)
        ways = {"Wrong codes: " + wrong + ", the last from " + lastWrongFrom_,
                "Someone is guessing the code: " + wrong + " wrong", "Wrong codes: " + wrong};
    for (const std::string& way : ways)
        if (way.size() <= width)
            return way;
    return ways.empty() ? "" : ways.back().substr(0, width);
}

} // namespace net

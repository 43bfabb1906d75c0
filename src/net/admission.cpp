// SPDX-License-Identifier: MIT
// The door's slots, the order in which connections give way, and the
// throttle on wrong codes.
#include "net/admission.hpp"

#include <algorithm>
#include <cstdint>
#include <list>
#include <unordered_map>

#include "net/protocol.hpp"

namespace net {

using Key = std::array<unsigned char, 16>;

// What the door remembers of an address.
struct Admission::Record {
    Key key = {};
    int members = 0; // connections of it the door holds
    int silent = 0;  // of them, in slots
    int waiting = 0; // of them, waiting for their check
    int strikes = 0; // wrong codes not yet forgiven, as of lastWrongMs
    long long lastWrongMs = 0;
    long long nextCheckMs = 0;
    long long suspectUntilMs = 0; // after a connection of it was turned away
};

// The records, the most recently seen first; at most maxRecords of them.
class Admission::Records {
public:
    // The address's record, made if there is none (forgetting the least
    // recently seen one without connections if need be), now the most
    // recently seen.
    Record& at(const Key& key) {
        auto found = index_.find(key);
        if (found != index_.end()) {
            order_.splice(order_.begin(), order_, found->second);
            return *found->second;
        }
        if (index_.size() >= maxRecords)
            forgetOne();
        order_.push_front(Record{});
        order_.front().key = key;
        index_.emplace(key, order_.begin());
        return order_.front();
    }

    // A record that holds nothing is forgotten at once.
    void release(Record& record, long long nowMs) {
        if (record.members > 0 || suspect(record, nowMs) || record.nextCheckMs > nowMs)
            return;
        auto found = index_.find(record.key);
        order_.erase(found->second);
        index_.erase(found);
    }

    std::size_t size() const { return index_.size(); }

private:
    struct KeyHash {
        std::size_t operator()(const Key& key) const {
            std::uint64_t h = 14695981039346656037ULL; // FNV-1a
            for (unsigned char b : key)
                h = (h ^ b) * 1099511628211ULL;
            return static_cast<std::size_t>(h);
        }
    };

    // Connections in the door hold a few dozen records at most; any other
    // may go.
    void forgetOne() {
        for (auto it = order_.end(); it != order_.begin();) {
            --it;
            if (it->members == 0) {
                index_.erase(it->key);
                order_.erase(it);
                return;
            }
        }
    }

    std::list<Record> order_;
    std::unordered_map<Key, std::list<Record>::iterator, KeyHash> index_;
};

namespace {

// How long the next check waits after the wrong code that made `strikes`:
// nothing until freeTries, then ever longer.
int delayAfter(int strikes) {
    int over = strikes - Admission::freeTries;
    if (over < 0)
        return 0;
    return std::min(Admission::firstDelayMs << std::min(over, 8), Admission::maxDelayMs);
}

bool isMappedIpv4(const Key& bytes) {
    for (int i = 0; i < 10; ++i)
        if (bytes[static_cast<std::size_t>(i)] != 0)
            return false;
    return bytes[10] == 0xFF && bytes[11] == 0xFF;
}

} // namespace

Key addressGroup(const Key& bytes) {
    Key key = bytes;
    if (!isMappedIpv4(bytes))
        std::fill(key.begin() + 8, key.end(), 0);
    return key;
}

Admission::Admission() : records_(std::make_unique<Records>()) {}

Admission::~Admission() = default;

std::size_t Admission::records() const { return records_->size(); }

int Admission::strikesAt(const Record& record, long long nowMs) {
    long long forgiven = (nowMs - record.lastWrongMs) / forgiveMs;
    return static_cast<int>(std::max(0LL, record.strikes - std::max(0LL, forgiven)));
}

bool Admission::suspect(const Record& record, long long nowMs) {
    return strikesAt(record, nowMs) > 0 || nowMs < record.suspectUntilMs;
}

Admission::Connection* Admission::find(int id) {
    auto it = std::find_if(connections_.begin(), connections_.end(),
                           [id](const Connection& c) { return c.id == id; });
    return it == connections_.end() ? nullptr : &*it;
}

// Drops the connection from the door's books, wherever it was, and its
// address's record too once that holds nothing.
void Admission::forget(int id, long long nowMs) {
    Connection* c = find(id);
    if (c == nullptr)
        return;
    Record& r = *c->record;
    r.members -= 1;
    if (c->state == State::Silent)
        r.silent -= 1;
    if (c->state == State::Waiting) {
        std::erase(waiting_, id);
        r.waiting -= 1;
    }
    std::erase_if(connections_, [id](const Connection& x) { return x.id == id; });
    records_->release(r, nowMs);
}

int Admission::silentCount() const {
    return static_cast<int>(
        std::count_if(connections_.begin(), connections_.end(),
                      [](const Connection& c) { return c.state == State::Silent; }));
}

// A suspect's connection has no grace.
bool Admission::mayGiveWay(const Connection& c, long long nowMs) {
    return c.state == State::Silent && (nowMs - c.openedMs >= graceMs || suspect(*c.record, nowMs));
}

bool Admission::mayAccept(long long nowMs) const {
    return silentCount() < greetingSlots ||
           std::any_of(connections_.begin(), connections_.end(),
                       [&](const Connection& c) { return mayGiveWay(c, nowMs); });
}

void Admission::opened(int id, const PeerAddress& from, long long nowMs) {
    Record& r = records_->at(addressGroup(from.bytes));
    r.members += 1;
    r.silent += 1;
    connections_.push_back({id, &r, nowMs, State::Silent, from.text.substr(0, pictureColumns)});
}

// Of those that may give way: a suspect's before anyone else's, then the
// one of the address that holds the most slots, then the oldest.
int Admission::givesWay(long long nowMs) const {
    if (silentCount() <= greetingSlots)
        return -1;
    const Connection* best = nullptr;
    auto rank = [&](const Connection& c) {
        return std::make_pair(suspect(*c.record, nowMs) ? 1 : 0, c.record->silent);
    };
    for (const Connection& c : connections_) {
        if (!mayGiveWay(c, nowMs))
            continue;
        if (best == nullptr || rank(c) > rank(*best) ||
            (rank(c) == rank(*best) && c.openedMs < best->openedMs))
            best = &c;
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
    Record& r = *c->record;
    r.silent -= 1;
    if (r.waiting == 0 && takeTurn(r, nowMs)) {
        c->state = State::Checking;
        return Verdict::Check;
    }
    if (r.waiting < waitingPerGroup && static_cast<int>(waiting_.size()) < maxWaiting) {
        c->state = State::Waiting;
        r.waiting += 1;
        waiting_.push_back(id);
        return Verdict::Wait;
    }
    c->state = State::Checking; // so that forget() leaves the slots alone
    forget(id, nowMs);
    turnedAway_ += 1;
    lastTurnedAwayMs_ = nowMs;
    return Verdict::Drop;
}

// An address past its free tries also needs one of the turns that all such
// addresses share, so that many of them together guess little faster
// than a few.
bool Admission::takeTurn(const Record& record, long long nowMs) {
    if (nowMs < record.nextCheckMs)
        return false;
    return strikesAt(record, nowMs) < freeTries || throttled_.take(nowMs);
}

// The oldest waiting greeting whose address's turn has come.
int Admission::nextTurn(long long nowMs) {
    for (auto it = waiting_.begin(); it != waiting_.end(); ++it) {
        Connection* c = find(*it);
        if (!takeTurn(*c->record, nowMs))
            continue;
        int id = *it;
        waiting_.erase(it);
        c->record->waiting -= 1;
        c->state = State::Checking;
        return id;
    }
    return -1;
}

void Admission::checked(int id, bool rightCode, long long nowMs) {
    Connection* c = find(id);
    if (c == nullptr || c->state != State::Checking)
        return;
    if (!rightCode) {
        strike(*c->record, nowMs);
        wrongCodes_ += 1;
        lastWrongMs_ = nowMs;
        lastWrongFrom_ = c->from;
    }
    forget(id, nowMs);
}

void Admission::strike(Record& record, long long nowMs) {
    record.strikes = strikesAt(record, nowMs) + 1;
    record.lastWrongMs = nowMs;
    record.nextCheckMs = nowMs + delayAfter(record.strikes);
}

void Admission::flooded(const PeerAddress& from, long long nowMs) {
    strike(records_->at(addressGroup(from.bytes)), nowMs);
    turnedAway_ += 1;
    lastTurnedAwayMs_ = nowMs;
}

void Admission::gone(int id, bool turnedAway, long long nowMs) {
    Connection* c = find(id);
    if (c == nullptr)
        return;
    if (turnedAway)
        c->record->suspectUntilMs = nowMs + forgiveMs;
    forget(id, nowMs);
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
    for (const Connection& c : connections_) {
        if (c.state != State::Waiting)
            continue;
        long long at = std::max(c.record->nextCheckMs, nowMs);
        consider(strikesAt(*c.record, at) < freeTries ? at : throttled_.readyAt(at));
    }
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

// SPDX-License-Identifier: MIT
// Reading messages: the header first, refused as soon as it shows a type or
// a length that cannot be, then the payload, checked whole.
#include "net/message_decoder.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace net {

namespace {

struct Bounds {
    int least;
    int most;
};

// Which types each side may send, and the bounds of their payloads.
bool sentBy(MessageType type, Sender from) {
    switch (type) {
    case MessageType::Hello:
    case MessageType::Ready:
    case MessageType::Key: return from == Sender::Guest;
    case MessageType::KeepAlive: return true;
    case MessageType::Welcome:
    case MessageType::Refused:
    case MessageType::Picture:
    case MessageType::Delta:
    case MessageType::End:
    case MessageType::Result:
    case MessageType::Kept:
    case MessageType::Names: return from == Sender::Host;
    }
    return false;
}

Bounds boundsOf(MessageType type) {
    switch (type) {
    case MessageType::Hello: return {6, maxHelloSize};
    case MessageType::Welcome: return {2, 2};
    case MessageType::Refused: return {1, 1};
    case MessageType::Ready: return {1, 1 + maxLegendLength};
    case MessageType::Key: return {2, 2};
    case MessageType::KeepAlive:
    case MessageType::End: return {0, 0};
    case MessageType::Picture: return {0, maxPayload};
    case MessageType::Delta: return {1, maxPayload};
    case MessageType::Result: return {resultSize, resultSize};
    case MessageType::Kept: return {keptSize, keptSize};
    case MessageType::Names: return {2, maxNamesSize};
    }
    return {0, 0};
}

// The legend's bytes are picture codes: printable ASCII and the arrows.
bool legendText(const unsigned char* text, int length) {
    return std::all_of(text, text + length, [](unsigned char c) {
        return (c >= 0x20 && c < 0x7F) || (c >= 24 && c <= 27);
    });
}

bool knownType(unsigned char type) {
    return type >= static_cast<unsigned char>(MessageType::Hello) &&
           type <= static_cast<unsigned char>(MessageType::Names);
}

std::uint32_t number(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) << 24U | static_cast<std::uint32_t>(p[1]) << 16U |
           static_cast<std::uint32_t>(p[2]) << 8U | p[3];
}

// A number of at most `most`; -1 when it is more.
int boundedNumber(const unsigned char* p, int most) {
    std::uint32_t n = number(p);
    return n > static_cast<std::uint32_t>(most) ? -1 : static_cast<int>(n);
}

// A board's byte: 0 for none (-1), 1 or 2 for a board; -2 for anything else.
int boardOf(unsigned char byte) { return byte > 2 ? -2 : byte - 1; }

} // namespace

bool nextRun(const unsigned char* runs, int length, int& at, unsigned char& attr, Run& run) {
    if (length - at < 2)
        return false;
    int head = runs[at] << 8 | runs[at + 1];
    at += 2;
    run.first = head >> 5;
    run.count = (head & (keepAttribute - 1)) + 1;
    if ((head & keepAttribute) == 0) {
        if (at == length)
            return false;
        attr = runs[at++];
    }
    run.attr = attr;
    run.codes = runs + at;
    if (run.first + run.count > pictureCells || length - at < run.count)
        return false;
    at += run.count;
    return true;
}

bool validRuns(const unsigned char* runs, int length) {
    int at = 0;
    unsigned char attr = firstRunAttribute;
    Run run{};
    while (at < length)
        if (!nextRun(runs, length, at, attr, run))
            return false;
    return true;
}

std::size_t MessageDecoder::feed(const unsigned char* data, std::size_t size) {
    if (complete_) { // the previous message has been read: start the next
        complete_ = false;
        have_ = 0;
        header_ = 0;
        length_ = -1;
    }
    std::size_t used = 0;
    while (used < size && !failed() && !complete_) {
        if (length_ < 0) {
            buffer_[have_++] = data[used++];
            if (have_ == 1)
                checkType();
            else
                readLength();
        } else {
            std::size_t want = static_cast<std::size_t>(header_ + length_ - have_);
            std::size_t take = std::min(want, size - used);
            std::memcpy(buffer_ + have_, data + used, take);
            have_ += static_cast<int>(take);
            used += take;
        }
        if (length_ >= 0 && have_ == header_ + length_ && !failed())
            finish();
    }
    return failed() ? 0 : used;
}

void MessageDecoder::checkType() {
    if (!knownType(buffer_[0]))
        fail("unknown message type");
    else if (!sentBy(static_cast<MessageType>(buffer_[0]), from_))
        fail("a message this side does not take");
}

// One byte below 128, else two; a longer or a padded form is refused, so
// that every message has exactly one way to be written.
void MessageDecoder::readLength() {
    if (have_ == 2 && buffer_[1] < 0x80) {
        checkLength(buffer_[1]);
    } else if (have_ == 3) {
        int length = (buffer_[1] & 0x7F) << 7 | buffer_[2];
        if (buffer_[2] >= 0x80)
            fail("a length of more than two bytes");
        else if (length < 0x80)
            fail("a length not in its shortest form");
        else
            checkLength(length);
    }
}

void MessageDecoder::checkLength(int length) {
    Bounds bounds = boundsOf(static_cast<MessageType>(buffer_[0]));
    if (length < bounds.least || length > bounds.most) {
        fail("a message of the wrong length");
        return;
    }
    header_ = have_;
    length_ = length;
}

void MessageDecoder::finish() {
    const unsigned char* p = buffer_ + header_;
    message_ = Message{};
    message_.type = static_cast<MessageType>(buffer_[0]);
    switch (message_.type) {
    case MessageType::Hello: readHello(p); break;
    case MessageType::Welcome:
        message_.version = p[0];
        message_.seat = static_cast<Seat>(p[1]);
        if (message_.version != protocolVersion)
            fail("a welcome of another version"); // it should have refused this guest
        else if (p[1] != static_cast<unsigned char>(Seat::Player) &&
                 p[1] != static_cast<unsigned char>(Seat::Watcher))
            fail("a welcome to no seat");
        break;
    case MessageType::Refused: message_.refusal = static_cast<Refusal>(p[0]); break;
    case MessageType::Ready:
        if (p[0] > static_cast<unsigned char>(KeyMode::Kitty))
            fail("an unknown keyboard mode");
        message_.keyMode = static_cast<KeyMode>(p[0]);
        if (!legendText(p + 1, length_ - 1))
            fail("a key legend that is no text");
        std::memcpy(message_.legend, p + 1, static_cast<std::size_t>(length_ - 1));
        message_.legend[length_ - 1] = '\0';
        break;
    case MessageType::Key:
        message_.keyKind = static_cast<KeyKind>(p[0]);
        message_.action = p[1];
        if (p[0] < static_cast<unsigned char>(KeyKind::Press) ||
            p[0] > static_cast<unsigned char>(KeyKind::ReleaseAll) ||
            (message_.keyKind == KeyKind::ReleaseAll ? p[1] != 0 : !isAction(p[1])))
            fail("a key event the game does not have");
        break;
    case MessageType::Picture:
    case MessageType::Delta:
        message_.runs = p;
        message_.runsLength = length_;
        if (!validRuns(p, length_))
            fail("runs of cells outside the picture");
        break;
    case MessageType::Result: readResult(p); break;
    case MessageType::Kept:
        message_.kept = boundedNumber(p, maxKeptNumber);
        if (message_.kept < 1)
            fail("a kept match's number out of bounds");
        break;
    case MessageType::Names: {
        int at = 0;
        if (!readName(p, at, message_.names[0]) || !readName(p, at, message_.names[1]) ||
            at != length_)
            fail("names that do not fit their message");
        break;
    }
    case MessageType::KeepAlive:
    case MessageType::End: break;
    }
    complete_ = !failed();
}

// The magic and the version first: a guest of another version is told so
// rather than cut off, whatever else its Hello holds.
void MessageDecoder::readHello(const unsigned char* p) {
    if (std::memcmp(p, helloMagic, sizeof helloMagic) != 0) {
        fail("not a blockduel greeting");
        return;
    }
    message_.version = p[4];
    if (message_.version != protocolVersion)
        return;
    int at = helloSize - 1;
    if (length_ < helloSize || !readName(p, at, message_.name) || at != length_) {
        fail("a greeting of the wrong length");
        return;
    }
    message_.seat = static_cast<Seat>(p[5]);
    std::memcpy(message_.code.symbols, p + 6, joinCodeLength);
    if (p[5] != static_cast<unsigned char>(Seat::Player) &&
        p[5] != static_cast<unsigned char>(Seat::Watcher))
        fail("a greeting for no seat");
    else if (!validSymbols(message_.code.symbols))
        fail("a join code with characters it cannot have");
}

bool MessageDecoder::readName(const unsigned char* p, int& at, NameBytes& name) const {
    int length = at < length_ ? p[at] : -1;
    if (length < 0 || length > maxPlayerNameBytes || length_ - at - 1 < length)
        return false;
    name.length = length;
    std::memcpy(name.bytes, p + at + 1, static_cast<std::size_t>(length));
    at += 1 + length;
    return true;
}

// Every field inside its bounds, so that a guest may take the numbers as
// they come.
void MessageDecoder::readResult(const unsigned char* p) {
    RoundOutcome& r = message_.result;
    r.round = boundedNumber(p, maxResultRound);
    r.winner = boardOf(p[4]);
    bool fits = r.round >= 1 && r.winner >= -1;
    for (int b = 0; b < 2; ++b) {
        int at = 5 + 8 * b; // the board's score, then its rows
        r.score[b] = boundedNumber(p + at, maxResultScore);
        r.rows[b] = boundedNumber(p + at + 4, maxResultScore);
        fits = fits && r.score[b] >= 0 && r.rows[b] >= 0;
    }
    r.frames = number(p + 21);
    r.seconds = number(p + 25);
    r.level[0] = p[29];
    r.level[1] = p[30];
    r.matchOver = p[31] == 1;
    r.champion = boardOf(p[32]);
    fits = fits && r.level[0] <= maxResultLevel && r.level[1] <= maxResultLevel && p[31] <= 1 &&
           r.champion >= -1 && (r.matchOver || r.champion == -1);
    if (!fits)
        fail("a round's result out of bounds");
}

} // namespace net

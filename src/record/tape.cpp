// SPDX-License-Identifier: MIT
#include "record/tape.hpp"

#include "record/varint.hpp"

namespace record {

namespace {

// Clock readings move by wrapping sums: a damaged file may hold any change,
// and none may overflow.
long long moved(long long from, long long by) {
    std::uint64_t sum = static_cast<std::uint64_t>(from) + static_cast<std::uint64_t>(by);
    return static_cast<long long>(sum);
}

long long difference(long long from, long long to) {
    std::uint64_t change = static_cast<std::uint64_t>(to) - static_cast<std::uint64_t>(from);
    return static_cast<long long>(change);
}

bool keyStreamWellFormed(std::string_view keys) {
    NumberReader k(keys);
    for (std::uint64_t entry = 0; !k.atEnd();)
        if (!k.number(entry) || entry >> 1U == 0 || entry >> 1U > maxAnswers)
            return false;
    return true;
}

bool clockStreamWellFormed(std::string_view clock) {
    NumberReader c(clock);
    for (std::uint64_t entry = 0; !c.atEnd();) {
        std::int64_t change = 0;
        if (!c.number(entry) || entry == 0 || entry >> 1U > maxAnswers ||
            ((entry & 1U) != 0 && !c.signedNumber(change)))
            return false;
    }
    return true;
}

void endRun(std::string& bytes, std::uint64_t run, bool held) {
    appendNumber(bytes, run << 1U | (held ? 1U : 0U));
}

} // namespace

void TapeWriter::key(int number, bool held) {
    if (number < 0 || number >= keyNumberLimit)
        return;
    Stream* s = nullptr;
    for (Stream& candidate : keys_)
        if (candidate.number == number)
            s = &candidate;
    if (s == nullptr) {
        if (keys_.size() >= maxKeyStreams)
            return;
        s = &keys_.emplace_back(Stream{number, {}});
    }
    if (s->run > 0 && (held != s->held || s->run == maxAnswers)) {
        endRun(s->bytes, s->run, s->held);
        s->run = 0;
    }
    s->held = held;
    ++s->run;
}

void TapeWriter::clock(long long seconds) {
    if (seconds == lastClock_ && same_ < maxAnswers) {
        ++same_;
        return;
    }
    appendNumber(clock_, same_ << 1U | 1U);
    appendSigned(clock_, difference(lastClock_, seconds));
    same_ = 0;
    lastClock_ = seconds;
}

std::string TapeWriter::take() {
    std::string piece;
    std::size_t streams = 0;
    for (Stream& s : keys_) {
        if (s.run > 0)
            endRun(s.bytes, s.run, s.held);
        s.run = 0;
        streams += s.bytes.empty() ? 0 : 1;
    }
    appendNumber(piece, streams);
    for (Stream& s : keys_) {
        if (s.bytes.empty())
            continue;
        appendNumber(piece, static_cast<std::uint64_t>(s.number));
        appendNumber(piece, s.bytes.size());
        piece += s.bytes;
        s.bytes.clear();
    }
    if (same_ > 0)
        appendNumber(clock_, same_ << 1U);
    same_ = 0;
    piece += clock_;
    clock_.clear();
    return piece;
}

TapeReader::Stream* TapeReader::stream(int number) {
    for (Stream& s : keys_)
        if (s.number == number)
            return &s;
    return nullptr;
}

bool TapeReader::add(std::string_view piece) {
    broken_ = broken_ || !addPiece(piece);
    return !broken_;
}

// The piece is checked whole before any of it is taken.
bool TapeReader::addPiece(std::string_view piece) {
    NumberReader reader(piece);
    int streams = 0;
    if (!reader.bounded(maxKeyStreams, streams))
        return false;
    std::vector<std::pair<int, std::string_view>> found;
    for (int i = 0; i < streams; ++i) {
        int number = 0;
        int length = 0;
        std::string_view bytes;
        if (!reader.bounded(keyNumberLimit - 1, number) ||
            !reader.bounded(static_cast<int>(piece.size()), length) ||
            !reader.bytes(static_cast<std::size_t>(length), bytes) || !keyStreamWellFormed(bytes))
            return false;
        for (const auto& [seen, unused] : found)
            if (seen == number)
                return false;
        found.emplace_back(number, bytes);
    }
    std::string_view clockBytes = piece.substr(reader.at());
    if (!clockStreamWellFormed(clockBytes))
        return false;
    for (const auto& [number, bytes] : found) {
        Stream* s = stream(number);
        if (s == nullptr && keys_.size() >= maxKeyStreams)
            return false;
        if (s == nullptr)
            s = &keys_.emplace_back(Stream{number, {}});
        s->bytes.append(bytes);
    }
    clock_.append(clockBytes);
    return true;
}

bool TapeReader::key(int number, bool& held) {
    Stream* s = stream(number);
    if (s == nullptr)
        return false;
    if (s->left == 0) {
        NumberReader reader(std::string_view(s->bytes).substr(s->at));
        std::uint64_t entry = 0;
        if (!reader.number(entry))
            return false;
        s->at += reader.at();
        s->left = entry >> 1U;
        s->held = (entry & 1U) != 0;
    }
    --s->left;
    held = s->held;
    return true;
}

bool TapeReader::clock(long long& seconds) {
    if (sameLeft_ == 0 && !changeNext_) {
        NumberReader reader(std::string_view(clock_).substr(clockAt_));
        std::uint64_t entry = 0;
        std::int64_t change = 0;
        if (!reader.number(entry) || ((entry & 1U) != 0 && !reader.signedNumber(change)))
            return false;
        clockAt_ += reader.at();
        sameLeft_ = entry >> 1U;
        changeNext_ = (entry & 1U) != 0;
        change_ = change;
    }
    if (sameLeft_ > 0) {
        --sameLeft_;
    } else {
        changeNext_ = false;
        lastClock_ = moved(lastClock_, change_);
    }
    seconds = lastClock_;
    return true;
}

} // namespace record

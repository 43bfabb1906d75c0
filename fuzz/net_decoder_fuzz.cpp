// SPDX-License-Identifier: MIT
// Fuzzes the network message decoder with what a stranger on the port, or
// a host gone wrong, could send, and checks what must hold whatever arrives.
//
// The input's first byte says whose bytes the rest are (bit 0: the host's,
// else a guest's) and how the second decoder gets them (bits 1..7: the
// size of its pieces, 1 to 127); the first decoder gets them all at once.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_check.hpp"
#include "net/message_decoder.hpp"
#include "net/picture.hpp"
#include "net/protocol.hpp"

namespace {

using namespace net;

// One message as read: its bytes, for comparing.
struct Read {
    std::string raw;
};

// The message written again from what the decoder made of it.
std::string encoded(const Message& m) {
    std::string out;
    std::string runs(reinterpret_cast<const char*>(m.runs), static_cast<std::size_t>(m.runsLength));
    switch (m.type) {
    case MessageType::Hello: appendHello(out, m.seat, m.code, m.name.text()); break;
    case MessageType::Welcome: appendWelcome(out, m.seat); break;
    case MessageType::Refused: appendRefused(out, m.refusal); break;
    case MessageType::Ready: appendReady(out, m.keyMode, m.legend); break;
    case MessageType::Key: appendKey(out, m.keyKind, m.action); break;
    case MessageType::KeepAlive: appendKeepAlive(out); break;
    case MessageType::Picture:
    case MessageType::Delta: appendRuns(out, m.type, runs); break;
    case MessageType::End: appendEnd(out); break;
    case MessageType::Result: appendResult(out, m.result); break;
    case MessageType::Kept: appendKept(out, m.kept); break;
    case MessageType::Names: appendNames(out, m.names[0].text(), m.names[1].text()); break;
    }
    return out;
}

void checkMessage(const Message& m, const std::string& raw, Sender from) {
    bool guestType =
        m.type == MessageType::Hello || m.type == MessageType::Ready || m.type == MessageType::Key;
    bool hostType = m.type == MessageType::Welcome || m.type == MessageType::Refused ||
                    m.type == MessageType::Picture || m.type == MessageType::Delta ||
                    m.type == MessageType::End || m.type == MessageType::Result ||
                    m.type == MessageType::Kept || m.type == MessageType::Names;
    check(!(from == Sender::Guest ? hostType : guestType), "a message the sender may not send");
    check(raw.size() >= 2 && raw.size() <= maxMessage, "a message of impossible size");
    if (m.type == MessageType::Key)
        check(m.keyKind == KeyKind::ReleaseAll ? m.action == 0 : isAction(m.action),
              "a key the game does not have");
    if (m.type == MessageType::Picture || m.type == MessageType::Delta) {
        check(m.runs != nullptr || m.runsLength == 0, "runs without bytes");
        check(validRuns(m.runs, m.runsLength), "runs that leave the picture");
        Picture before;
        for (int i = 0; i < pictureCells; ++i)
            before[i] = {static_cast<unsigned char>(i), static_cast<unsigned char>(i >> 3)};
        Picture after = before;
        applyRuns(m.runs, m.runsLength, after);
        std::string again;
        appendChanges(before, after, again);
        Picture rebuilt = before;
        applyRuns(reinterpret_cast<const unsigned char*>(again.data()),
                  static_cast<int>(again.size()), rebuilt);
        check(looksAlike(rebuilt, after), "the runs of a change do not rebuild it");
    }
    if (m.type == MessageType::Result) {
        const RoundOutcome& r = m.result;
        check(r.round >= 1 && r.round <= maxResultRound && r.winner >= -1 && r.winner <= 1 &&
                  r.champion >= -1 && r.champion <= 1 && (r.matchOver || r.champion == -1),
              "a result out of its bounds");
        for (int b = 0; b < 2; ++b)
            check(r.score[b] >= 0 && r.score[b] <= maxResultScore && r.rows[b] >= 0 &&
                      r.rows[b] <= maxResultScore && r.level[b] >= 0 &&
                      r.level[b] <= maxResultLevel,
                  "a result out of its bounds");
    }
    if (m.type == MessageType::Kept)
        check(m.kept >= 1 && m.kept <= maxKeptNumber, "a kept match's number out of its bounds");
    if (m.type == MessageType::Hello && m.version != protocolVersion)
        return; // read only far enough to refuse it
    if (m.type == MessageType::Hello)
        check(validSymbols(m.code.symbols), "a join code with characters it cannot have");
    check(encoded(m) == raw, "a message does not encode back to its bytes");
}

// Feeds `data` in pieces of `piece` bytes; the messages read and whether
// it ended in an error.
std::vector<Read> decode(Sender from, const uint8_t* data, size_t size, size_t piece,
                         bool& failed) {
    MessageDecoder decoder(from);
    std::vector<Read> reads;
    std::string raw;
    for (size_t start = 0; start < size && !decoder.failed(); start += piece) {
        size_t left = size - start < piece ? size - start : piece;
        const uint8_t* p = data + start;
        while (left > 0) {
            size_t used = decoder.feed(p, left);
            check(used <= left, "took more than it was given");
            raw.append(reinterpret_cast<const char*>(p), used);
            if (decoder.hasMessage()) {
                checkMessage(decoder.message(), raw, from);
                reads.push_back({raw});
                raw.clear();
            }
            if (decoder.failed()) {
                check(used == 0 && decoder.error() != nullptr, "a fault without a reason");
                check(decoder.feed(data, size) == 0 && decoder.failed(), "a fault forgotten");
                break;
            }
            check(used > 0, "no progress without a fault");
            p += used;
            left -= used;
        }
    }
    check(raw.size() < maxMessage, "more than one message held");
    failed = decoder.failed();
    return reads;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    Sender from = (data[0] & 1) != 0 ? Sender::Host : Sender::Guest;
    size_t piece = (data[0] >> 1) == 0 ? 1 : data[0] >> 1;
    bool wholeFailed = false;
    bool piecesFailed = false;
    std::vector<Read> whole = decode(from, data + 1, size - 1, size, wholeFailed);
    std::vector<Read> pieces = decode(from, data + 1, size - 1, piece, piecesFailed);
    check(wholeFailed == piecesFailed && whole.size() == pieces.size(),
          "the same bytes in other pieces read otherwise");
    for (size_t i = 0; i < whole.size(); ++i)
        check(whole[i].raw == pieces[i].raw, "the same bytes in other pieces read otherwise");
    return 0;
}

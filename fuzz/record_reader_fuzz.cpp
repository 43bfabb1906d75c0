// SPDX-License-Identifier: MIT
// Fuzzes the reading of the game's files (a recording or the results log as
// a disk or a person may have left it) and checks what must hold whatever
// the bytes: every record found lies inside them, every payload is read
// within its bounds, a decoded header or result writes back to the same
// bytes, a tape gives answers only as far as its bytes go, and a network
// guest's stretch of messages that reads writes back to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.hpp"
#include "record/heard.hpp"
#include "record/log_records.hpp"
#include "record/results.hpp"
#include "record/tape.hpp"

namespace {

using namespace record;

void readTape(const Record& r, TapeReader& tape) {
    if (!tape.add(r.payload))
        return;
    bool held = false;
    long long second = 0;
    // Each answer takes at least one byte's worth of a run; a bound far
    // above what a piece this long can hold stops a reader that never ends.
    std::size_t limit = (r.payload.size() + 1) * 16 * 1024;
    std::size_t answers = 0;
    for (int key = 0; key < keyNumberLimit; ++key)
        while (answers < limit && tape.key(key, held))
            ++answers;
    while (answers < limit && tape.clock(second))
        ++answers;
}

void readHeard(const Record& r) {
    std::vector<record::HeardMessage> heard;
    if (!record::readHeard(r.payload, heard))
        return;
    std::string again;
    for (const record::HeardMessage& message : heard) {
        check(record::changesPicture(message.type), "a message that changes no picture");
        check(message.afterMs >= 0 && message.afterMs <= record::maxHeardGapMs,
              "a wait beyond its bounds");
        record::appendHeard(again, message);
    }
    check(again == r.payload, "a stretch of messages that writes back otherwise");
}

} // namespace

// A record of the current format writes back as it reads; one of an older
// format writes back in the current one, and that as it reads.
template <typename Decode, typename Encode>
void checkWritesBack(std::string_view payload, Decode decode, Encode encode, const char* what) {
    auto value = decode(payload);
    if (!value)
        return;
    std::string again = encode(*value);
    auto back = decode(again);
    bool current = versionOf(payload) == formatVersion;
    check(current ? again == payload : back && encode(*back) == again,
          (std::string(what) + " that writes back otherwise").c_str());
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    ReadRecords read = readRecords(bytes);
    std::size_t inRecords = 0;
    for (const Record& r : read.records) {
        check(r.payload.data() >= bytes.data() &&
                  r.payload.data() + r.payload.size() <= bytes.data() + bytes.size(),
              "a payload outside the bytes");
        check(r.payload.size() <= maxPayload, "a payload over its bound");
        inRecords += r.payload.size();
    }
    check(inRecords + read.damagedBytes <= bytes.size(), "more bytes read than given");
    TapeReader tape;
    for (const Record& r : read.records) {
        checkWritesBack(
            r.payload, decodeSetup, [](const auto& s) { return encodeSetup(s); }, "a header");
        checkWritesBack(
            r.payload, decodeEntry, [](const auto& e) { return encodeEntry(e); }, "a result");
        if (r.kind == RecordKind::TapeChunk)
            readTape(r, tape);
        if (r.kind == RecordKind::Heard)
            readHeard(r);
    }
    return 0;
}

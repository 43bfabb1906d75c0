// SPDX-License-Identifier: MIT
#include "record/log_records.hpp"

#include <cstdint>

#include "record/checksum.hpp"
#include "record/varint.hpp"

namespace record {

namespace {

constexpr std::size_t crcBytes = 4;

void appendLittle32(std::string& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((value >> (8U * static_cast<unsigned>(i))) & 0xFFU);
}

std::uint32_t little32(std::string_view bytes) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << (8U * i);
    return value;
}

bool magicAt(std::string_view bytes, std::size_t at) {
    return bytes.size() - at >= 2 && static_cast<unsigned char>(bytes[at]) == recordMagic[0] &&
           static_cast<unsigned char>(bytes[at + 1]) == recordMagic[1];
}

enum class Found { Whole, Damaged, Short };

// The record at `at`, which starts with the magic; `length` is its whole size.
Found recordAt(std::string_view bytes, std::size_t at, Record& record, std::size_t& length) {
    std::string_view rest = bytes.substr(at + 2);
    if (rest.empty())
        return Found::Short;
    NumberReader reader(rest.substr(1));
    std::uint64_t size = 0;
    if (!reader.number(size))
        return rest.size() < 1 + 10 ? Found::Short : Found::Damaged;
    if (size > maxPayload)
        return Found::Damaged;
    std::size_t checked = 1 + reader.at() + static_cast<std::size_t>(size);
    if (rest.size() < checked + crcBytes)
        return Found::Short;
    if (crc32(rest.substr(0, checked)) != little32(rest.substr(checked)))
        return Found::Damaged;
    record.kind = static_cast<RecordKind>(static_cast<unsigned char>(rest[0]));
    record.payload = rest.substr(1 + reader.at(), static_cast<std::size_t>(size));
    length = 2 + checked + crcBytes;
    return Found::Whole;
}

} // namespace

bool appendRecord(std::string& out, RecordKind kind, std::string_view payload) {
    if (payload.size() > maxPayload)
        return false;
    std::string checked;
    checked += static_cast<char>(kind);
    appendNumber(checked, payload.size());
    checked.append(payload);
    out += static_cast<char>(recordMagic[0]);
    out += static_cast<char>(recordMagic[1]);
    out += checked;
    appendLittle32(out, crc32(checked));
    return true;
}

// A record that seems to run past the end may be a damaged length in the
// middle of the file: only when no whole record follows it is the file cut
// short there.
ReadRecords readRecords(std::string_view bytes, std::size_t limit) {
    ReadRecords read;
    if (bytes.size() > maxFileBytes)
        bytes = bytes.substr(0, maxFileBytes);
    std::size_t at = 0;
    std::size_t skipped = 0; // bytes passed over since the last whole record
    bool shortAt = false;    // the first of them began what looked like a record
    while (at < bytes.size()) {
        Record record{};
        std::size_t length = 0;
        Found found =
            magicAt(bytes, at) ? recordAt(bytes, at, record, length)
            : bytes.size() - at < 2 && static_cast<unsigned char>(bytes[at]) == recordMagic[0]
                ? Found::Short
                : Found::Damaged;
        if (found == Found::Whole && read.records.size() == limit) {
            read.tooMany = true;
            return read;
        }
        if (found == Found::Whole) {
            read.damagedBytes += skipped;
            skipped = 0;
            shortAt = false;
            read.records.push_back(record);
            at += length;
            continue;
        }
        if (skipped == 0)
            shortAt = found == Found::Short;
        ++skipped;
        ++at;
    }
    if (skipped > 0 && shortAt)
        read.cutShort = true;
    else
        read.damagedBytes += skipped;
    return read;
}

} // namespace record

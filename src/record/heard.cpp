// SPDX-License-Identifier: MIT
#include "record/heard.hpp"

#include <algorithm>
#include <cstdint>

#include "net/protocol.hpp"
#include "record/varint.hpp"

namespace record {

bool changesPicture(net::MessageType type) {
    return type == net::MessageType::Picture || type == net::MessageType::Delta ||
           type == net::MessageType::End || type == net::MessageType::Result;
}

HeardMessage heardOf(const net::Message& message, long long afterMs) {
    HeardMessage h;
    h.afterMs = afterMs;
    h.type = message.type;
    if (message.runsLength > 0)
        h.runs.assign(reinterpret_cast<const char*>(message.runs),
                      static_cast<std::size_t>(message.runsLength));
    h.result = message.result;
    return h;
}

// The message again as the host sent it: the decoder reads exactly one
// way of writing each.
void appendHeard(std::string& stretch, const HeardMessage& message) {
    record::appendNumber(
        stretch, static_cast<std::uint64_t>(std::clamp(message.afterMs, 0LL, maxHeardGapMs)));
    switch (message.type) {
    case net::MessageType::Picture:
    case net::MessageType::Delta: net::appendRuns(stretch, message.type, message.runs); break;
    case net::MessageType::Result: net::appendResult(stretch, message.result); break;
    default: net::appendEnd(stretch); break;
    }
}

bool readHeardAt(std::string_view stretch, std::size_t& at, HeardMessage& message) {
    record::NumberReader reader(stretch.substr(std::min(at, stretch.size())));
    std::uint64_t after = 0;
    if (reader.atEnd() || !reader.number(after) ||
        after > static_cast<std::uint64_t>(maxHeardGapMs))
        return false;
    std::string_view rest = stretch.substr(at + reader.at());
    net::MessageDecoder decoder(net::Sender::Host);
    std::size_t used =
        decoder.feed(reinterpret_cast<const unsigned char*>(rest.data()), rest.size());
    if (!decoder.hasMessage() || !changesPicture(decoder.message().type))
        return false;
    const net::Message& m = decoder.message();
    message.afterMs = static_cast<long long>(after);
    message.type = m.type;
    message.runs.clear();
    if (m.runsLength > 0)
        message.runs.assign(reinterpret_cast<const char*>(m.runs),
                            static_cast<std::size_t>(m.runsLength));
    message.result = m.result;
    at += reader.at() + used;
    return true;
}

bool readHeard(std::string_view stretch, std::vector<HeardMessage>& into) {
    std::vector<HeardMessage> read;
    HeardMessage message;
    for (std::size_t at = 0; at < stretch.size();) {
        if (!readHeardAt(stretch, at, message))
            return false;
        read.push_back(message);
    }
    into.insert(into.end(), read.begin(), read.end());
    return true;
}

} // namespace record

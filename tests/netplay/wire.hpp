// SPDX-License-Identifier: MIT
// The game's messages as the tests write and read them: one message's
// bytes, and what a guest makes of its host's.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <type_traits>
#include <vector>

#include "net/message_decoder.hpp"
#include "net/picture.hpp"
#include "net/protocol.hpp"

// One message's bytes, as `append` writes them.
template <typename... Args>
std::string bytesOf(void (*append)(std::string&, Args...), std::type_identity_t<Args>... args) {
    std::string out;
    append(out, args...);
    return out;
}

// What a guest makes of the bytes its host sent, as they come.
struct Heard {
    // Decodes `size` more bytes; false once they break the protocol.
    bool take(const unsigned char* data, std::size_t size) {
        while (size > 0 && !decoder.failed()) {
            std::size_t used = decoder.feed(data, size);
            data += used;
            size -= used;
            if (decoder.hasMessage())
                note(decoder.message());
        }
        return ok();
    }
    bool take(const std::string& bytes) {
        return take(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    }

    // Whether every byte so far kept to the protocol.
    bool ok() const { return !decoder.failed(); }
    bool has(net::MessageType type) const {
        return std::find(types.begin(), types.end(), type) != types.end();
    }

    // What has come so far, oldest first.
    std::vector<net::MessageType> types;
    net::Refusal refusal = {}; // of the last Refused
    net::Seat seat = {};       // of the last Welcome
    std::string names[2];      // of the last Names
    net::Picture picture;      // what the runs made of a blank one

private:
    void note(const net::Message& m) {
        types.push_back(m.type);
        refusal = m.type == net::MessageType::Refused ? m.refusal : refusal;
        seat = m.type == net::MessageType::Welcome ? m.seat : seat;
        for (int b = 0; b < 2 && m.type == net::MessageType::Names; ++b)
            names[b] = m.names[b].text();
        if (m.type == net::MessageType::Picture)
            picture = net::Picture{};
        if (m.type == net::MessageType::Picture || m.type == net::MessageType::Delta)
            net::applyRuns(m.runs, m.runsLength, picture);
    }

    net::MessageDecoder decoder{net::Sender::Host};
};

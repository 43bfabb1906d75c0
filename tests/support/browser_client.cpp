// SPDX-License-Identifier: MIT
// RFC 6455's framing, the client's half, as plainly as it can be written.
#include "browser_client.hpp"

namespace term {

std::string clientFrame(int opcode, const std::string& payload, bool masked, bool fin) {
    std::string out;
    out += static_cast<char>((fin ? 0x80 : 0) | opcode);
    unsigned char maskBit = masked ? 0x80 : 0;
    std::size_t n = payload.size();
    if (n < 126) {
        out += static_cast<char>(maskBit | n);
    } else if (n < 65536) {
        out += static_cast<char>(maskBit | 126);
        out += static_cast<char>(n >> 8);
        out += static_cast<char>(n & 255);
    } else {
        out += static_cast<char>(maskBit | 127);
        for (int shift = 56; shift >= 0; shift -= 8)
            out += static_cast<char>((static_cast<std::uint64_t>(n) >> shift) & 255);
    }
    const unsigned char key[4] = {0x37, 0xfa, 0x21, 0x3d};
    if (masked)
        out.append(reinterpret_cast<const char*>(key), 4);
    for (std::size_t i = 0; i < n; ++i)
        out += masked ? static_cast<char>(payload[i] ^ key[i % 4]) : payload[i];
    return out;
}

bool takeFrames(std::string& bytes, std::vector<Frame>& frames) {
    for (;;) {
        if (bytes.size() < 2)
            return true;
        auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
        if ((byte(1) & 0x80) != 0 || (byte(0) & 0x70) != 0)
            return false; // a server masks nothing and uses no extension
        std::size_t head = 2;
        std::uint64_t n = byte(1) & 0x7f;
        if (n == 126) {
            if (bytes.size() < 4)
                return true;
            n = std::uint64_t{byte(2)} << 8 | byte(3);
            head = 4;
        } else if (n == 127) {
            if (bytes.size() < 10)
                return true;
            n = 0;
            for (std::size_t i = 2; i < 10; ++i)
                n = n << 8 | byte(i);
            head = 10;
        }
        if (bytes.size() < head + n)
            return true;
        frames.push_back({byte(0) & 0x0f, bytes.substr(head, static_cast<std::size_t>(n))});
        bytes.erase(0, head + static_cast<std::size_t>(n));
    }
}

std::string upgradeRequest(const std::string& host, const std::string& origin,
                           const std::string& path) {
    return "GET " + path + " HTTP/1.1\r\nHost: " + host +
           "\r\nConnection: Upgrade\r\nPragma: no-cache\r\nUpgrade: websocket\r\nOrigin: " +
           origin +
           "\r\nSec-WebSocket-Version: 13\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n";
}

} // namespace term

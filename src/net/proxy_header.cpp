// SPDX-License-Identifier: MIT
#include "net/proxy_header.hpp"

#include <string_view>
#include <vector>

#include "net/ip_address.hpp"

namespace net {

namespace {

constexpr std::string_view v1Prefix = "PROXY ";
constexpr unsigned char v2Signature[12] = {0x0D, 0x0A, 0x0D, 0x0A, 0x00, 0x0D,
                                           0x0A, 0x51, 0x55, 0x49, 0x54, 0x0A};
constexpr unsigned char v2Local = 0x20;
constexpr unsigned char v2Proxy = 0x21;
constexpr unsigned char tcpOverIpv4 = 0x11;
constexpr unsigned char tcpOverIpv6 = 0x21;
constexpr std::size_t ipv4Block = 12;
constexpr std::size_t ipv6Block = 36;

std::vector<std::string_view> fieldsOf(std::string_view line) {
    std::vector<std::string_view> fields;
    for (std::size_t at = 0; at <= line.size();) {
        std::size_t space = line.find(' ', at);
        if (space == std::string_view::npos)
            space = line.size();
        fields.push_back(line.substr(at, space - at));
        at = space + 1;
    }
    return fields;
}

bool isPort(std::string_view text) {
    if (text.empty() || text.size() > 5 || (text.size() > 1 && text[0] == '0'))
        return false;
    long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    return value <= 65535;
}

} // namespace

std::size_t ProxyHeaderReader::feed(const unsigned char* bytes, std::size_t count) {
    std::size_t taken = 0;
    while (taken < count && state_ != State::Done && state_ != State::Failed) {
        if (state_ == State::Start)
            state_ = bytes[taken] == 'P' ? State::V1 : State::V2;
        taken += state_ == State::V1 ? takeV1(bytes + taken, count - taken)
                                     : takeV2(bytes + taken, count - taken);
    }
    return taken;
}

std::size_t ProxyHeaderReader::takeV1(const unsigned char* bytes, std::size_t count) {
    std::size_t taken = 0;
    while (taken < count && state_ == State::V1) {
        char c = static_cast<char>(bytes[taken++]);
        held_ += c;
        std::size_t at = held_.size() - 1;
        if (at < v1Prefix.size() && c != v1Prefix[at])
            fail("no PROXY header");
        else if (c == '\n')
            endV1();
        else if (held_.size() >= maxV1)
            fail("a PROXY line too long");
    }
    return taken;
}

void ProxyHeaderReader::endV1() {
    std::string_view line = held_;
    if (line.size() < 2 || line[line.size() - 2] != '\r') {
        fail("a PROXY line not ended by CR LF");
        return;
    }
    line.remove_suffix(2);
    std::vector<std::string_view> f = fieldsOf(line.substr(v1Prefix.size()));
    if (!f.empty() && f[0] == "UNKNOWN") {
        state_ = State::Done; // whatever follows, nobody is named
        return;
    }
    bool v4 = !f.empty() && f[0] == "TCP4";
    bool v6 = !f.empty() && f[0] == "TCP6";
    PeerAddress source;
    PeerAddress target;
    bool good = f.size() == 5 && (v4 || v6) && parseIpAddress(f[1], source) &&
                parseIpAddress(f[2], target) && isPort(f[3]) && isPort(f[4]) &&
                (f[1].find(':') == std::string_view::npos) == v4 &&
                (f[2].find(':') == std::string_view::npos) == v4;
    if (!good) {
        fail("a PROXY line that names no TCP4 or TCP6 addresses and ports");
        return;
    }
    client_ = source;
    named_ = true;
    state_ = State::Done;
}

std::size_t ProxyHeaderReader::takeV2(const unsigned char* bytes, std::size_t count) {
    std::size_t taken = 0;
    while (taken < count && held_.size() < v2Head) {
        unsigned char c = bytes[taken++];
        std::size_t at = held_.size();
        held_ += static_cast<char>(c);
        if (at < sizeof v2Signature && c != v2Signature[at]) {
            fail("no PROXY header");
            return taken;
        }
        if (at == 12 && c != v2Local && c != v2Proxy) {
            fail("a PROXY header of another version or command");
            return taken;
        }
        if (at == 15) {
            v2Length_ = static_cast<std::size_t>(static_cast<unsigned char>(held_[14])) << 8U | c;
            if (v2Length_ > maxV2Body) {
                fail("a PROXY header longer than its bound");
                return taken;
            }
        }
    }
    std::size_t wanted = v2Head + v2Length_ - held_.size();
    std::size_t more = count - taken < wanted ? count - taken : wanted;
    held_.append(reinterpret_cast<const char*>(bytes + taken), more);
    taken += more;
    if (held_.size() == v2Head + v2Length_)
        endV2();
    return taken;
}

void ProxyHeaderReader::endV2() {
    auto byte = [this](std::size_t at) { return static_cast<unsigned char>(held_[at]); };
    state_ = State::Done;
    if (byte(12) == v2Local)
        return; // the balancer's own connection, its health check
    unsigned char family = byte(13);
    std::size_t block = family == tcpOverIpv4 ? ipv4Block : family == tcpOverIpv6 ? ipv6Block : 0;
    if (block == 0)
        return; // UNSPEC, UDP, UNIX: no address this server can count
    if (v2Length_ < block) {
        fail("a PROXY header shorter than its addresses");
        return;
    }
    PeerAddress source;
    if (family == tcpOverIpv4) {
        source.bytes[10] = source.bytes[11] = 0xFF;
        for (std::size_t i = 0; i < 4; ++i)
            source.bytes[12 + i] = byte(v2Head + i);
    } else {
        for (std::size_t i = 0; i < 16; ++i)
            source.bytes[i] = byte(v2Head + i);
    }
    source.text = formatIpAddress(source);
    client_ = source;
    named_ = true;
}

void ProxyHeaderReader::fail(const char* what) {
    state_ = State::Failed;
    error_ = what;
}

} // namespace net

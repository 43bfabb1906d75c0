// SPDX-License-Identifier: MIT
// Fuzzes the reader of a balancer's PROXY header with what anyone who
// reaches the port could send in its place.
//
// The input's first byte is the size of the pieces (1 to 256) in which the
// second reader gets the rest; the first reader gets it all at once. Both
// must read the same, within the header's bounds, and a client it names
// must read back as the address it is.
#include <cstddef>
#include <cstdint>

#include "fuzz_check.hpp"
#include "net/ip_address.hpp"
#include "net/proxy_header.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    auto [piece, bytes, count] = cutInput(data, size);
    using net::ProxyHeaderReader;

    ProxyHeaderReader whole;
    std::size_t taken = whole.feed(bytes, count);
    check(taken <= count, "takes no more than it is given");
    check(taken <= ProxyHeaderReader::v2Head + ProxyHeaderReader::maxV2Body, "stops at the bound");
    check(!(whole.done() && whole.failed()), "done or failed, not both");
    if (!whole.done() && !whole.failed())
        check(taken == count, "takes everything until the header ends");

    ProxyHeaderReader pieces;
    std::size_t taken2 = 0;
    for (std::size_t at = 0; at < count && !pieces.done() && !pieces.failed(); at += piece) {
        std::size_t n = count - at < piece ? count - at : piece;
        taken2 += pieces.feed(bytes + at, n);
    }
    check(taken2 == taken, "the same bytes taken in any pieces");
    check(pieces.done() == whole.done() && pieces.failed() == whole.failed() &&
              pieces.named() == whole.named(),
          "the same verdict in any pieces");
    if (!whole.named())
        return 0;
    check(pieces.client().bytes == whole.client().bytes, "the same client in any pieces");
    net::PeerAddress again;
    check(net::parseIpAddress(whole.client().text, again) && again.bytes == whole.client().bytes,
          "the client's text reads back as its address");
    return 0;
}

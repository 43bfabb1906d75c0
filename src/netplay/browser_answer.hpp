// SPDX-License-Identifier: MIT
// The host's answer to a browser's request, as it goes out: the page with a
// nonce fresh from the system's randomness, the switch to a WebSocket, or a
// refusal; a head that could not be read is refused too.
#pragma once

#include <string>

#include "net/host_names.hpp"
#include "net/http_request.hpp"
#include "net/web_answer.hpp"

namespace netplay {

// The names a host answers browsers under: each of this machine's
// addresses, `shown` (what its notice shows: the address it listens at, or
// a name), localhost, and `given` (--name; empty for none).
net::HostNames hostNamesHere(const std::string& shown, const std::string& given);

// `reader` has a whole head or has failed; the host answers to `names`,
// its page and game under `base`.
net::WebAnswer answerBrowser(const net::HttpRequestReader& reader, const net::HostNames& names,
                             std::string_view base = {});

} // namespace netplay

// SPDX-License-Identifier: MIT
// The host's answer to a browser's request, as it goes out: the page with a
// nonce fresh from the system's randomness, the switch to a WebSocket, or a
// refusal; a head that could not be read is refused too.
#pragma once

#include <string>

#include "net/http_request.hpp"
#include "net/web_answer.hpp"

namespace netplay {

// `reader` has a whole head or has failed.
net::WebAnswer answerBrowser(const net::HttpRequestReader& reader);

} // namespace netplay

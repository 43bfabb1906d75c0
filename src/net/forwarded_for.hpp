// SPDX-License-Identifier: MIT
// Whom a request through balancers is from: the X-Forwarded-For header
// lists the addresses a request came through, the client first; each
// balancer appends the address it heard from. Only the entries the
// trusted balancers appended can be believed, so the client is the last
// entry that is not one of them: a stranger may write anything in front.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "net/admission.hpp"

namespace net {

// The trusted balancers' addresses, from an option's "ADDRESS[,ADDRESS...]";
// false, with `why` saying which entry, when one is no numeric address.
bool parseTrusted(std::string_view list, std::vector<PeerAddress>& trusted, std::string& why);

bool isTrusted(const PeerAddress& address, const std::vector<PeerAddress>& trusted);

// The client of a request whose header is `header` (comma-separated
// entries, spaces around them), as the balancers in `trusted` have it.
// False when no entry names anyone but them, or the entry that is to name
// the client is no address (nothing then is believed).
bool forwardedClient(std::string_view header, const std::vector<PeerAddress>& trusted,
                     PeerAddress& client);

} // namespace net

// SPDX-License-Identifier: MIT
// The page's nonce is drawn anew for every answer: a nonce an attacker could
// know ahead would let an injected script run under the page's policy.
#include "netplay/browser_answer.hpp"

#include "net/base64.hpp"
#include "netplay/network.hpp"
#include "web/page.hpp"

namespace netplay {

net::HostNames hostNamesHere(const std::string& shown, const std::string& given) {
    std::vector<std::string> addresses = netLocalAddresses();
    addresses.push_back(shown);
    return net::hostNamesOf(addresses, given);
}

net::WebAnswer answerBrowser(const net::HttpRequestReader& reader, const net::HostNames& names,
                             std::string_view base) {
    if (!reader.done())
        return {net::WebAnswerKind::BadRequest, net::badRequestResponse()};
    unsigned char random[net::nonceBytes];
    if (!netRandomBytes(random, sizeof random))
        return {net::WebAnswerKind::BadRequest, net::badRequestResponse()};
    std::string nonce = net::base64(random, sizeof random);
    return net::answerWebRequest(reader.request(), names, web::webPage(),
                                 web::webPageNoncePlaceholder, nonce, base);
}

} // namespace netplay

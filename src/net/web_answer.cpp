// SPDX-License-Identifier: MIT
// The host's answers to browsers, as bytes. The page's policy allows its own
// inline style and script by nonce, its icon inline as a data: URI, and a
// connection to its own origin, and nothing else: no other site, no frame,
// no form.
#include "net/web_answer.hpp"

#include <algorithm>

#include "net/base64.hpp"
#include "net/sha1.hpp"

namespace net {

namespace {

// RFC 6455's constant, which the key is hashed with.
constexpr std::string_view webSocketGuid = "258EAFA5-E914-47DA-95CA-C5AB0DC85B11";

// Whether the comma-separated `list` holds `token`, in any case.
bool listHas(std::string_view list, std::string_view token) {
    std::string all = lowered(list);
    std::string_view rest = all;
    while (!rest.empty()) {
        std::size_t comma = rest.find(',');
        if (trimmed(rest.substr(0, comma)) == token)
            return true;
        rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
    }
    return false;
}

std::string refusal(std::string_view status, std::string_view extra = {}) {
    std::string body(status);
    body += "\n";
    return httpResponse(status, extra, "text/plain; charset=utf-8", body);
}

std::string pageResponse(std::string_view page, std::string_view placeholder,
                         std::string_view nonce) {
    std::string body;
    body.reserve(page.size());
    for (std::size_t at = 0;;) {
        std::size_t next = page.find(placeholder, at);
        body += page.substr(at, next - at);
        if (next == std::string_view::npos)
            break;
        body += nonce;
        at = next + placeholder.size();
    }
    std::string n(nonce);
    std::string policy = "Content-Security-Policy: default-src 'none'; script-src 'nonce-" + n +
                         "'; style-src 'nonce-" + n +
                         "'; connect-src 'self'; img-src data:; base-uri 'none'; "
                         "form-action 'none'; frame-ancestors 'none'\r\n";
    return httpResponse("200 OK", policy, "text/html; charset=utf-8", body);
}

bool isWebSocketKey(std::string_view key) {
    auto bytes = fromBase64(key);
    return bytes && bytes->size() == webSocketKeyBytes;
}

WebAnswer upgrade(const HttpRequest& request) {
    // The page's own origin: this host as the request names it, over plain
    // HTTP or, behind a TLS proxy that keeps the Host header, over HTTPS.
    std::string host = lowered(request.header("host"));
    std::string origin = lowered(request.header("origin"));
    if (origin != "http://" + host && origin != "https://" + host)
        return {WebAnswerKind::Forbidden, refusal("403 Forbidden")};
    if (!listHas(request.header("upgrade"), "websocket") ||
        !listHas(request.header("connection"), "upgrade") ||
        !isWebSocketKey(request.header("sec-websocket-key")))
        return {WebAnswerKind::BadRequest, refusal("400 Bad Request")};
    if (request.header("sec-websocket-version") != "13")
        return {WebAnswerKind::BadRequest,
                refusal("400 Bad Request", "Sec-WebSocket-Version: 13\r\n")};
    std::string out = "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\n"
                      "Connection: Upgrade\r\nSec-WebSocket-Accept: ";
    out += webSocketAccept(request.header("sec-websocket-key"));
    out += "\r\n\r\n";
    return {WebAnswerKind::Upgrade, out};
}

} // namespace

std::string httpResponse(std::string_view status, std::string_view extra, std::string_view type,
                         std::string_view body) {
    std::string out = "HTTP/1.1 ";
    out += status;
    out += "\r\nContent-Type: ";
    out += type;
    out += "\r\nContent-Length: " + std::to_string(body.size());
    out +=
        "\r\nCache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\nConnection: close\r\n";
    out += extra;
    out += "\r\n";
    out += body;
    return out;
}

std::string webSocketAccept(std::string_view key) {
    std::string joined(key);
    joined += webSocketGuid;
    Sha1Digest digest = sha1(joined);
    return base64(digest.data(), digest.size());
}

// The Host first: a stranger's name learns nothing from this host, not
// even which methods or paths it has.
WebAnswer answerWebRequest(const HttpRequest& request, const HostNames& names,
                           std::string_view page, std::string_view placeholder,
                           std::string_view nonce, std::string_view base) {
    if (!namesThisHost(request.header("host"), names))
        return {WebAnswerKind::Forbidden, refusal("403 Forbidden")};
    if (request.method != "GET")
        return {WebAnswerKind::NotAllowed, refusal("405 Method Not Allowed", "Allow: GET\r\n")};
    std::string_view path = std::string_view(request.target).substr(0, request.target.find('?'));
    bool under = path.substr(0, base.size()) == base;
    std::string_view rest = under ? path.substr(base.size()) : std::string_view{};
    if (under && (rest == webPagePath || (rest.empty() && !base.empty())))
        return {WebAnswerKind::Page, pageResponse(page, placeholder, nonce)};
    if (under && rest == webSocketPath)
        return upgrade(request);
    return {WebAnswerKind::NotFound, refusal("404 Not Found")};
}

// A browser asks for paths of its own (an icon, a manifest) of any page it
// shows: a 404 for those turns nobody away.
bool turnsAway(WebAnswerKind kind) {
    return kind != WebAnswerKind::Page && kind != WebAnswerKind::Upgrade &&
           kind != WebAnswerKind::NotFound;
}

std::string badRequestResponse() { return refusal("400 Bad Request"); }

} // namespace net

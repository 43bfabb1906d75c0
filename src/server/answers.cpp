// SPDX-License-Identifier: MIT
#include "server/answers.hpp"

#include <string>

#include "net/base64.hpp"
#include "net/host_names.hpp"
#include "netplay/network.hpp"
#include "server/replay_answer.hpp"
#include "server/rooms.hpp"
#include "web/page.hpp"

namespace server {

namespace {

constexpr std::string_view text = "text/plain; charset=utf-8";

// The page's section of choices that open a room is hidden at a host's
// and in a room: the server shows it at its front page.
constexpr std::string_view hiddenChoices = "<section id=\"rooms\" hidden>";
constexpr std::string_view shownChoices = "<section id=\"rooms\">";

std::string_view pathOf(std::string_view target) { return target.substr(0, target.find('?')); }

net::WebAnswer plain(net::WebAnswerKind kind, std::string_view status, std::string_view extra,
                     std::string_view type, const std::string& body) {
    return {kind, net::httpResponse(status, extra, type, body)};
}

const std::string& frontPage() {
    static const std::string page = [] {
        std::string p(web::webPage());
        std::size_t at = p.find(hiddenChoices);
        if (at != std::string::npos)
            p.replace(at, hiddenChoices.size(), shownChoices);
        return p;
    }();
    return page;
}

// The page, with a nonce fresh from the system, at / or under a room.
net::WebAnswer pageAnswer(const net::HttpRequest& request, std::string_view page,
                          std::string_view base) {
    unsigned char random[net::nonceBytes];
    if (!netRandomBytes(random, sizeof random))
        return plain(net::WebAnswerKind::BadRequest, "503 Service Unavailable", "", text,
                     "503 Service Unavailable\n");
    std::string nonce = net::base64(random, sizeof random);
    return net::answerWebRequest(request, {std::string(net::anyHostName)}, page,
                                 web::webPageNoncePlaceholder, nonce, base);
}

} // namespace

RoomPath roomPathOf(std::string_view path) {
    if (path.substr(0, roomsPath.size()) != roomsPath)
        return {};
    std::string_view rest = path.substr(roomsPath.size());
    std::size_t slash = rest.find('/');
    std::string_view name = rest.substr(0, slash);
    if (!validRoomName(name))
        return {};
    return {true, name, slash == std::string_view::npos ? "" : rest.substr(slash)};
}

net::WebAnswer answerServerRequest(const net::HttpRequest& request, const Counts& counts,
                                   bool draining) {
    if (request.method != "GET")
        return plain(net::WebAnswerKind::NotAllowed, "405 Method Not Allowed", "Allow: GET\r\n",
                     text, "405 Method Not Allowed\n");
    std::string_view path = pathOf(request.target);
    if (path == net::webPagePath)
        return pageAnswer(request, frontPage(), "");
    RoomPath room = roomPathOf(path);
    if (room.isRoom && (room.rest.empty() || room.rest == "/"))
        return pageAnswer(request, web::webPage(),
                          path.substr(0, roomsPath.size() + room.name.size()));
    // A kept match's page: it fetches the recording and plays it.
    if (room.isRoom && replayPathOf(room.rest).number > 0 && !replayPathOf(room.rest).recording)
        return pageAnswer(request, web::webPage(),
                          path.back() == '/' ? path.substr(0, path.size() - 1) : path);
    if (path == healthPath && draining)
        return plain(net::WebAnswerKind::Page, "503 Service Unavailable", "", text, "draining\n");
    if (path == healthPath)
        return plain(net::WebAnswerKind::Page, "200 OK", "", text, "ok\n");
    if (path == metricsPath)
        return plain(net::WebAnswerKind::Page, "200 OK", "", "text/plain; version=0.0.4",
                     metricsText(counts, draining));
    return plain(net::WebAnswerKind::NotFound, "404 Not Found", "", text, "404 Not Found\n");
}

std::string notFoundResponse() {
    return net::httpResponse("404 Not Found", "", text, "404 Not Found\n");
}

std::string unavailableResponse() {
    return net::httpResponse("503 Service Unavailable", "Retry-After: 10\r\n", text,
                             "503 Service Unavailable\n");
}

} // namespace server

// SPDX-License-Identifier: MIT
#include "server/answers.hpp"

#include <string>

namespace server {

namespace {

std::string_view pathOf(std::string_view target) { return target.substr(0, target.find('?')); }

net::WebAnswer plain(net::WebAnswerKind kind, std::string_view status, std::string_view extra,
                     std::string_view type, const std::string& body) {
    return {kind, net::httpResponse(status, extra, type, body)};
}

} // namespace

net::WebAnswer answerServerRequest(const net::HttpRequest& request, const Counts& counts,
                                   bool draining) {
    constexpr std::string_view text = "text/plain; charset=utf-8";
    if (request.method != "GET")
        return plain(net::WebAnswerKind::NotAllowed, "405 Method Not Allowed", "Allow: GET\r\n",
                     text, "405 Method Not Allowed\n");
    std::string_view path = pathOf(request.target);
    if (path == healthPath && draining)
        return plain(net::WebAnswerKind::Page, "503 Service Unavailable", "", text, "draining\n");
    if (path == healthPath)
        return plain(net::WebAnswerKind::Page, "200 OK", "", text, "ok\n");
    if (path == metricsPath)
        return plain(net::WebAnswerKind::Page, "200 OK", "", "text/plain; version=0.0.4",
                     metricsText(counts, draining));
    return plain(net::WebAnswerKind::NotFound, "404 Not Found", "", text, "404 Not Found\n");
}

} // namespace server

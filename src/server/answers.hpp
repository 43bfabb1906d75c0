// SPDX-License-Identifier: MIT
// What a server answers of its own, whatever the name it is reached by (a
// balancer's or its own): GET /healthz, 200 while it takes rooms and 503
// once it drains, for a balancer's check; GET /metrics, its counts for
// Prometheus. A query on the path changes nothing. Every answer ends its
// connection.
#pragma once

#include <string_view>

#include "net/http_request.hpp"
#include "net/web_answer.hpp"
#include "server/counts.hpp"

namespace server {

constexpr std::string_view healthPath = "/healthz";
constexpr std::string_view metricsPath = "/metrics";

// The answer to `request` from a server with `counts`, draining or not.
net::WebAnswer answerServerRequest(const net::HttpRequest& request, const Counts& counts,
                                   bool draining);

} // namespace server

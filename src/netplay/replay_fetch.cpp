// SPDX-License-Identifier: MIT
#include "netplay/replay_fetch.hpp"

#include "net/file_answer.hpp"
#include "netplay/network.hpp"

namespace netplay {

namespace {

std::string request(const net::Endpoint& where, const net::ReplayRoad& road) {
    std::string text = "GET ";
    text += net::replayRecordingPath(road);
    text += " HTTP/1.1\r\nHost: ";
    text += net::formatEndpoint(where.host, where.port);
    text += "\r\nAccept: application/octet-stream\r\nConnection: close\r\n\r\n";
    return text;
}

// Sends the request and reads the answer until it is whole, has failed,
// or the time is up; "" or what went wrong.
std::string exchange(NetSocket socket, const std::string& out, net::FileAnswerReader& answer) {
    std::size_t sent = 0;
    long long until = netClockMs() + fetchLimitMs;
    std::string problem;
    while (!answer.done() && !answer.failed()) {
        long long left = until - netClockMs();
        if (left <= 0)
            return "the server did not send the whole recording in " +
                   std::to_string(fetchLimitMs / 1000) + " seconds";
        SocketWatch watch{socket, sent < out.size(), false, false};
        netWait(&watch, 1, static_cast<int>(left));
        if (watch.writable && sent < out.size()) {
            long n = netSend(socket, out.data() + sent, out.size() - sent, problem);
            if (n < 0)
                return "the connection broke: " + problem;
            sent += static_cast<std::size_t>(n);
        }
        unsigned char bytes[16 * 1024];
        long got = watch.readable ? netReceive(socket, bytes, sizeof bytes, problem) : 0;
        if (got < 0 && problem == "closed")
            return "the server closed the connection before the whole recording came";
        if (got < 0)
            return "the connection broke: " + problem;
        answer.feed(bytes, static_cast<std::size_t>(got));
    }
    if (answer.status() == 404)
        return "the server keeps no such match";
    return answer.failed() ? answer.error() : "";
}

} // namespace

std::string fetchRecording(const net::Endpoint& where, const net::ReplayRoad& road,
                           std::size_t limit, std::string& bytes) {
    std::string error;
    NetSocket socket = netConnect(where, fetchConnectMs, error);
    if (socket == noSocket)
        return error;
    net::FileAnswerReader answer(limit);
    std::string problem = exchange(socket, request(where, road), answer);
    netClose(socket);
    if (problem.empty())
        bytes = answer.body();
    return problem;
}

} // namespace netplay

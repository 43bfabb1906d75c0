// SPDX-License-Identifier: MIT
// The host's waiting notice, laid out.
#include "netplay/join_notice.hpp"

#include "display/layout.hpp"
#include "net/address.hpp"

namespace netplay {

namespace {

constexpr int firstRow = 3;
constexpr int maxCommandLines = 7; // the rest of the notice ends above the readouts' rows
constexpr std::string_view indent = "  ";

// Where a word too long for a line of `room` breaks: after its last folder
// separator ('/', or '\\' in a Windows path) within the line, else at the
// line's end.
std::size_t breakInWord(std::string_view word, std::size_t room) {
    std::size_t slash = word.substr(0, room).find_last_of("/\\");
    return slash != std::string_view::npos && slash > 0 ? slash + 1 : room;
}

// The page's link from `row` on, on the line that says what it is for
// when it fits there, else on a line of its own; a link too long for any
// line (an IPv6 address) leaves out the code, which the page then asks
// for. The row after it.
int addBrowserLink(std::vector<NoticeLine>& notice, int row, const std::string& link) {
    constexpr std::string_view lead = "Or in a browser: ";
    auto width = static_cast<std::size_t>(pictureColumns);
    if (lead.size() + link.size() <= width) {
        notice.push_back({row, std::string(lead) + link});
        return row + 2;
    }
    notice.push_back({row, "Or in a browser, open:"});
    std::string shown = link.size() <= width ? link : link.substr(0, link.find('#'));
    notice.push_back({row + 1, shown.substr(0, width)});
    return row + 3;
}

} // namespace

std::vector<std::string> wrapCommand(const std::vector<std::string>& words, int width, int maxLines,
                                     char continuation) {
    std::vector<std::string> lines;
    auto room = static_cast<std::size_t>(width - 2); // for a space and the continuation
    std::string line;
    auto next = [&](std::string text) {
        lines.push_back(std::move(text) + continuation);
        line.clear();
    };
    for (std::string_view word : words) {
        if (!line.empty() && line.size() + 1 + word.size() <= room) {
            line += ' ';
            line += word;
            continue;
        }
        if (!line.empty())
            next(line + ' ');
        while (word.size() > room) {
            std::size_t cut = breakInWord(word, room + 1);
            next(std::string(word.substr(0, cut)));
            word.remove_prefix(cut);
        }
        line = word;
    }
    lines.push_back(line);
    if (static_cast<int>(lines.size()) > maxLines) {
        lines.resize(static_cast<std::size_t>(maxLines));
        lines.back() = lines.back().substr(0, room - 1) + "...";
    }
    return lines;
}

std::vector<NoticeLine> joinNotice(const std::vector<std::string>& words, const net::JoinCode& code,
                                   char continuation, const std::string& browserLink) {
    std::vector<NoticeLine> notice = {{firstRow, "Waiting for player two. To join, type:"}};
    int row = firstRow + 2;
    // The browser's link takes two or three rows more.
    int most = browserLink.empty() ? maxCommandLines : maxCommandLines - 3;
    std::vector<std::string> lines = wrapCommand(words, pictureColumns, most, continuation);
    // Indented when it fits on one line; a command that wraps starts each
    // line at the edge, so that a line broken inside a word pastes as one.
    if (lines.size() == 1 && lines[0].size() + indent.size() <= std::size_t{pictureColumns})
        lines[0] = std::string(indent) + lines[0];
    for (std::string& line : lines)
        notice.push_back({row++, std::move(line)});
    notice.push_back({row + 1, "and this code when it asks for it:"});
    notice.push_back({row + 3, std::string(indent) + net::formatJoinCode(code)});
    if (!browserLink.empty())
        row = addBrowserLink(notice, row + 5, browserLink) - 5;
    notice.push_back({row + 5, "Escape cancels."});
    return notice;
}

std::string browserLink(const std::string& address, int port, const net::JoinCode& code) {
    return "http://" + net::formatEndpoint(address, port) + "/#" + net::formatJoinCode(code);
}

} // namespace netplay

// SPDX-License-Identifier: MIT
// The host's waiting notice: the command wrapped so that a shell reads it
// as typed on one line, within the picture, and the code on its own line.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "display/layout.hpp"
#include "netplay/join_notice.hpp"

namespace {

using namespace netplay;
using net::JoinCode;

// What a shell reads: each continuation and its line break taken away.
std::string asTheShellReadsIt(const std::vector<std::string>& lines) {
    std::string all;
    for (const std::string& line : lines)
        all += line.ends_with('\\') ? line.substr(0, line.size() - 1) : line;
    return all;
}

std::string joined(const std::vector<std::string>& words) {
    std::string all;
    for (const std::string& word : words)
        all += (all.empty() ? "" : " ") + word;
    return all;
}

// The notice's lines, one below the other within the picture and above
// the door's notice, as one text.
std::string shownWithin(const std::vector<NoticeLine>& notice) {
    int lastRow = -1;
    std::string all;
    for (const NoticeLine& line : notice) {
        EXPECT_GT(line.row, lastRow) << line.text;
        lastRow = line.row;
        EXPECT_LE(line.text.size(), static_cast<std::size_t>(pictureColumns));
        all += line.text + "\n";
    }
    EXPECT_LT(lastRow, pictureRows - 2) << all;
    return all;
}

TEST(JoinNotice, LongCommandsWrapAsOneShellLine) {
    using Words = std::vector<std::string>;
    const Words commands[] = {
        {"blockduel", "--join 192.168.1.20:7416"},
        {"/home/someone/src/blockduel/build/release/blockduel", "--join 127.0.0.1:41234"},
        {"blockduel", "--join [2001:db8:85a3:1234:5678:8a2e:370:7334]:65535"},
        {"/a/very/long/path/" + std::string(70, 'x') + "/blockduel", "--join h:1"},
        {std::string(130, 'y'), "--join h:1"}, // no slash to break at
    };
    for (const Words& command : commands) {
        std::vector<std::string> lines = wrapCommand(command, pictureColumns, 7);
        EXPECT_EQ(joined(command), asTheShellReadsIt(lines));
        for (const std::string& line : lines)
            EXPECT_LE(line.size(), static_cast<std::size_t>(pictureColumns)) << line;
        EXPECT_TRUE(lines.back().ends_with(command.back())) << "the option with its address";
    }
    // Between words where it can, after a slash inside one.
    EXPECT_EQ(
        Words({"/home/someone/src/blockduel/build/release/blockduel \\", "--join 127.0.0.1:41234"}),
        wrapCommand(commands[1], pictureColumns, 7));
    EXPECT_EQ("/a/very/long/path/\\", wrapCommand(commands[3], pictureColumns, 7)[0]);
    // A Windows path breaks after a backslash, before cmd's continuation.
    const Words windows = {"C:\\Games\\" + std::string(50, 'w') + "\\blockduel.exe", "--join h:1"};
    EXPECT_EQ("C:\\Games\\^", wrapCommand(windows, pictureColumns, 7, '^')[0]);
    // Too long for the notice: cut, and marked so.
    std::vector<std::string> cut = wrapCommand({std::string(400, 'z')}, pictureColumns, 3);
    ASSERT_EQ(3U, cut.size());
    EXPECT_TRUE(cut.back().ends_with("..."));
}

// The header, the command's lines as a shell reads them, what to do with
// the code, and the code on its own line; the page's link below it, with
// the code in its fragment, and without the code where the link would not
// fit a line; within the picture and above the door's notice whatever the
// command's length.
TEST(JoinNotice, TheCodeStandsOnItsOwnLineAndTheBrowsersLinkFollowsIt) {
    JoinCode code;
    ASSERT_TRUE(net::parseJoinCode("7K3M-Q9XD", code));
    EXPECT_EQ(browserLink("10.0.0.2", 7416, code), "http://10.0.0.2:7416/#7K3M-Q9XD");
    EXPECT_EQ(browserLink("fd00::2", 7416, code), "http://[fd00::2]:7416/#7K3M-Q9XD");
    const std::string longV6 = "2001:db8:aaaa:bbbb:cccc:dddd:eeee:ffff";
    for (const std::string& address : {std::string("10.0.0.2"), longV6})
        for (const std::vector<std::string>& command :
             {std::vector<std::string>{"blockduel", "--join " + address + ":7416"},
              {"/opt/games/" + std::string(60, 'g') + "/blockduel", "--join 10.0.0.2:7416"},
              {"/opt/games/" + std::string(400, 'g') + "/blockduel", "--join 10.0.0.2:7416"}})
            for (const std::string& link : {std::string(), browserLink(address, 7416, code)}) {
                std::vector<NoticeLine> notice = joinNotice(command, code, '\\', link);
                std::string all = shownWithin(notice);
                auto asks = std::find_if(notice.begin(), notice.end(), [](const NoticeLine& l) {
                    return l.text.find("code when it asks") != std::string::npos;
                });
                ASSERT_NE(notice.end(), asks) << all;
                ASSERT_LT(asks + 1, notice.end()) << all;
                EXPECT_EQ("  7K3M-Q9XD", asks[1].text);
                std::vector<std::string> commandLines;
                for (auto line = notice.begin() + 1; line != asks; ++line)
                    commandLines.push_back(line->text.substr(line->text.starts_with("  ") ? 2 : 0));
                if (!commandLines.back().ends_with("...")) { // cut short, as wrapping's test sees
                    EXPECT_EQ(joined(command), asTheShellReadsIt(commandLines));
                }
                std::string shown =
                    address == longV6 ? "http://[" + longV6 + "]:7416/\n" : link + "\n";
                std::size_t at = all.find("  7K3M-Q9XD\n");
                EXPECT_EQ(link.empty(), all.find("http", at) == std::string::npos) << all;
                EXPECT_TRUE(link.empty() || all.find(shown, at) != std::string::npos) << all;
                EXPECT_EQ(notice.back().text, "Escape cancels.");
            }
}

} // namespace

// SPDX-License-Identifier: MIT
// What the host shows in place of the boards until player two has come:
// the command that joins, wrapped to the picture's width so that a shell
// still reads it as one, and the join code on a line of its own, which
// the guest types when the command asks for it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "display/notices.hpp"
#include "net/join_code.hpp"

namespace netplay {

// The program as a person types it on the machine that joins, where the
// game is installed under its name: the path this host runs it from means
// nothing there, and on this machine its own user knows it.
constexpr std::string_view joinProgram = "blockduel";

// The lines for the command of `words` (the program, then its option and
// the address) and `code`, each at most pictureColumns wide, all above the
// picture's last rows; a command that wraps continues with `continuation`,
// as the shell of this machine reads it. A `browserLink` (the page's
// address) is shown below the code, for those who join from a browser.
std::vector<NoticeLine> joinNotice(const std::vector<std::string>& words, const net::JoinCode& code,
                                   char continuation, const std::string& browserLink = {});

// The page's address with the code in its fragment, which a browser keeps
// to itself: http://ADDRESS:PORT/#XXXX-XXXX.
std::string browserLink(const std::string& address, int port, const net::JoinCode& code);

// The command of `words`, with a space between them, in lines of at most
// `width` characters. Each line but the last ends in `continuation`, which
// the shell takes away with the line break: after a space when the line
// breaks between two words, else right after the last character (a word
// longer than a line breaks after a '/' or '\\' where it can). At most
// `maxLines`; the last then ends in "...".
std::vector<std::string> wrapCommand(const std::vector<std::string>& words, int width, int maxLines,
                                     char continuation = '\\');

} // namespace netplay

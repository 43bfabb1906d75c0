// SPDX-License-Identifier: MIT
#include "cli/wrap_words.hpp"

#include <cstddef>

namespace {

// One line of `text` (no line breaks in it), wrapped onto `out`.
void wrapLine(const std::string& line, std::size_t width, std::string& out) {
    std::size_t column = 0; // of the line being written
    std::size_t at = 0;
    while (at < line.size()) {
        std::size_t wordStart = line.find_first_not_of(' ', at);
        if (wordStart == std::string::npos)
            break; // trailing spaces go: the line ends there anyway
        std::size_t wordEnd = line.find(' ', wordStart);
        if (wordEnd == std::string::npos)
            wordEnd = line.size();
        std::size_t spaces = wordStart - at;
        std::size_t length = wordEnd - wordStart;
        if (column > 0 && column + spaces + length > width) {
            out += '\n';
            column = 0;
        } else {
            out.append(line, at, spaces); // leading spaces of the text stay too
            column += spaces;
        }
        out.append(line, wordStart, length);
        column += length;
        at = wordEnd;
    }
}

} // namespace

std::string wrapWords(const std::string& text, int width) {
    if (width < 1)
        return text;
    std::string out;
    out.reserve(text.size() + text.size() / static_cast<std::size_t>(width) + 1);
    std::size_t start = 0;
    for (;;) {
        std::size_t end = text.find('\n', start);
        wrapLine(text.substr(start, end == std::string::npos ? std::string::npos : end - start),
                 static_cast<std::size_t>(width), out);
        if (end == std::string::npos)
            return out;
        out += '\n';
        start = end + 1;
    }
}

// SPDX-License-Identifier: MIT
// Writing a libvterm screen as SVG.
#include "svg.hpp"

#include <vterm.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>

#include "platform/terminal/utf8.hpp"

namespace shot {

namespace {

// A full block of DejaVu Sans Mono (and Menlo, its kin) is 0.6 em wide and
// 1.19 em high, 0.94 em of it above the baseline: at this size it fills a
// cell, so walls and pieces join up as on a terminal.
constexpr int cellWidth = 10;
constexpr int cellHeight = 20;
constexpr const char* fontSize = "16.8";
constexpr int baseline = 16; // from the top of a cell
constexpr int margin = 10;   // black all round, as inside a terminal window

// The sixteen colours of a VGA text console, in the terminal's order
// (red, green, blue from bit 0).
constexpr const char* palette[16] = {
    "#000000", "#aa0000", "#00aa00", "#aa5500", "#0000aa", "#aa00aa", "#00aaaa", "#aaaaaa",
    "#555555", "#ff5555", "#55ff55", "#ffff55", "#5555ff", "#ff55ff", "#55ffff", "#ffffff",
};

std::string colourOf(const VTermScreen* screen, VTermColor colour, bool foreground) {
    if (VTERM_COLOR_IS_DEFAULT_FG(&colour) && foreground)
        return palette[7];
    if (VTERM_COLOR_IS_DEFAULT_BG(&colour) && !foreground)
        return palette[0];
    if (VTERM_COLOR_IS_INDEXED(&colour) && colour.indexed.idx < 16)
        return palette[colour.indexed.idx];
    vterm_screen_convert_color_to_rgb(screen, &colour);
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", colour.rgb.red, colour.rgb.green,
                  colour.rgb.blue);
    return text;
}

// A character as XML text in UTF-8, markup escaped.
std::string xmlChar(uint32_t c) {
    switch (c) {
    case '<': return "&lt;";
    case '>': return "&gt;";
    case '&': return "&amp;";
    default: break;
    }
    return term::encodeUtf8(c).data();
}

struct Shown {
    uint32_t c; // 0 for a blank
    std::string fg;
    std::string bg;
};

Shown shownAt(const VTermScreen* screen, int x, int y) {
    VTermScreenCell cell{};
    vterm_screen_get_cell(screen, VTermPos{y, x}, &cell);
    uint32_t c = cell.chars[0] == ' ' ? 0 : cell.chars[0];
    if (cell.attrs.reverse)
        std::swap(cell.fg, cell.bg);
    return {c, colourOf(screen, cell.fg, true), colourOf(screen, cell.bg, false)};
}

// One row: a rectangle for each background other than black, then a text
// element for each run of characters of one colour, each character placed
// on its own cell so that the grid holds in any monospace font.
void writeRow(const VTermScreen* screen, int y, int columns, std::string& out) {
    std::string ys = std::to_string(y * cellHeight);
    for (int x = 0; x < columns; ++x) {
        Shown s = shownAt(screen, x, y);
        if (s.bg != palette[0])
            out += "<rect x=\"" + std::to_string(x * cellWidth) + "\" y=\"" + ys + "\" width=\"" +
                   std::to_string(cellWidth) + "\" height=\"" + std::to_string(cellHeight) +
                   "\" fill=\"" + s.bg + "\"/>\n";
    }
    int x = 0;
    while (x < columns) {
        Shown s = shownAt(screen, x, y);
        if (s.c == 0) {
            ++x;
            continue;
        }
        std::string xs;
        std::string text;
        for (; x < columns; ++x) {
            Shown next = shownAt(screen, x, y);
            if (next.c == 0 || next.fg != s.fg)
                break;
            if (!xs.empty())
                xs += ' ';
            xs += std::to_string(x * cellWidth);
            text += xmlChar(next.c);
        }
        out += "<text x=\"";
        out += xs;
        out += "\" y=\"" + std::to_string(y * cellHeight + baseline) + "\" fill=\"";
        out += s.fg;
        out += "\">";
        out += text;
        out += "</text>\n";
    }
}

} // namespace

std::string screenToSvg(const VTermScreen* screen, int columns, int rows) {
    int width = columns * cellWidth + 2 * margin;
    int height = rows * cellHeight + 2 * margin;
    std::string out = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(width) +
                      "\" height=\"" + std::to_string(height) + "\" viewBox=\"0 0 " +
                      std::to_string(width) + " " + std::to_string(height) + "\">\n";
    out += "<rect width=\"100%\" height=\"100%\" fill=\"" + std::string(palette[0]) + "\"/>\n";
    out += "<g transform=\"translate(" + std::to_string(margin) + " " + std::to_string(margin) +
           ")\" font-family=\"'DejaVu Sans Mono', Menlo, Consolas, monospace\" font-size=\"" +
           std::string(fontSize) + "\">\n";
    for (int y = 0; y < rows; ++y)
        writeRow(screen, y, columns, out);
    out += "</g>\n</svg>\n";
    return out;
}

} // namespace shot

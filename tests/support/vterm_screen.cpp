// SPDX-License-Identifier: MIT
// The libvterm wrapper behind the renderer and session tests.
#include "vterm_screen.hpp"

#include <vterm.h>

#include <cstdio>

#include "platform/terminal/glyphs.hpp"
#include "platform/terminal/utf8.hpp"

namespace term {

// What a cell shows: its glyph as UTF-8 (a space for a cell never written
// or erased) and its colours as a console attribute, the terminal's
// default colours those of textColor; -1 for colours that no console
// attribute gives (256 colours, RGB).
struct VtermScreen::Shown {
    std::string glyph;
    int attr;
    bool styled; // bold, underline, reverse, blink, italic or strike
};

namespace {

// The terminal's colour numbers 0..7 count red, green, blue from bit 0;
// the console's count blue, green, red.
int colorIndex(const VTermColor& color, bool foreground) {
    if (foreground ? VTERM_COLOR_IS_DEFAULT_FG(&color) : VTERM_COLOR_IS_DEFAULT_BG(&color))
        return foreground ? textColor & 0x0F : textColor >> 4 & 0x0F;
    if (!VTERM_COLOR_IS_INDEXED(&color) || color.indexed.idx > 15)
        return -1;
    int ansi = color.indexed.idx;
    return (ansi & 8) | ((ansi & 1) << 2) | (ansi & 2) | ((ansi & 4) >> 2);
}

} // namespace

VtermScreen::VtermScreen(int columns, int rows)
    : vt_(vterm_new(rows, columns)), screen_(vterm_obtain_screen(vt_)), columns_(columns),
      rows_(rows) {
    vterm_set_utf8(vt_, 1);
    vterm_screen_enable_altscreen(screen_, 1);
    vterm_screen_reset(screen_, 1);
}

VtermScreen::~VtermScreen() { vterm_free(vt_); }

void VtermScreen::feed(std::string_view bytes) {
    vterm_input_write(vt_, bytes.data(), bytes.size());
    vterm_screen_flush_damage(screen_);
}

void VtermScreen::resize(int columns, int rows) {
    columns_ = columns;
    rows_ = rows;
    vterm_set_size(vt_, rows, columns);
}

VtermScreen::Shown VtermScreen::shown(int x, int y) const {
    VTermScreenCell cell{};
    vterm_screen_get_cell(screen_, VTermPos{y, x}, &cell);
    Shown s{};
    s.glyph += encodeUtf8(cell.chars[0] == 0 ? U' ' : cell.chars[0]).data();
    int fg = colorIndex(cell.fg, true);
    int bg = colorIndex(cell.bg, false);
    s.attr = fg < 0 || bg < 0 ? -1 : fg | bg << 4;
    const VTermScreenCellAttrs& a = cell.attrs;
    s.styled = a.bold || a.underline || a.italic || a.blink || a.reverse || a.strike;
    return s;
}

std::string VtermScreen::glyphAt(int x, int y) const { return shown(x, y).glyph; }

std::string VtermScreen::rowText(int y) const {
    std::string text;
    for (int x = 0; x < columns_; ++x)
        text += shown(x, y).glyph;
    return text.erase(text.find_last_not_of(' ') + 1);
}

// A blank's foreground cannot be seen, so only its background counts.
std::string VtermScreen::differences(const ScreenBuffer& screen, RenderOptions options) const {
    std::string report;
    int found = 0;
    for (int y = 0; y < pictureRows && y < rows_; ++y) {
        for (int x = 0; x < pictureColumns && x < columns_; ++x) {
            Cell want = screen.cell(x, y);
            std::string glyph =
                glyphOf(shownCode(want.code, want.attr, options.color), options.utf8);
            int attr = options.color ? want.attr & 0xFF : textColor;
            Shown s = shown(x, y);
            int seen = glyph == " " ? 0xF0 : 0xFF; // the colours that show
            bool alike = s.glyph == glyph && s.attr >= 0 && (s.attr & seen) == (attr & seen);
            if ((alike && !s.styled) || ++found > 5)
                continue;
            char line[128];
            std::snprintf(line, sizeof line, "(%d,%d) shows \"%s\" in %d, the buffer %d in %d\n", x,
                          y, s.glyph.c_str(), s.attr, want.code, want.attr);
            report += line;
        }
    }
    if (found > 5)
        report += std::to_string(found) + " cells differ\n";
    return report;
}

} // namespace term

// The libvterm wrapper behind the renderer and session tests.
#include "vterm_screen.hpp"

#include <vterm.h>

#include <cstdio>
#include <utility>

namespace term {

namespace {

// The terminal's colour numbers 0..7 count red, green, blue from bit 0;
// the console's count blue, green, red. The swap is its own inverse.
int consoleColor(int ansi) { return ((ansi & 1) << 2) | (ansi & 2) | ((ansi & 4) >> 2); }

// -1 when no console colour matches.
int colorIndex(const VTermColor& color, bool foreground) {
    if (foreground ? VTERM_COLOR_IS_DEFAULT_FG(&color) : VTERM_COLOR_IS_DEFAULT_BG(&color))
        return foreground ? 7 : 0;
    if (!VTERM_COLOR_IS_INDEXED(&color) || color.indexed.idx > 15)
        return -1;
    return (color.indexed.idx & 8) | consoleColor(color.indexed.idx & 7);
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string hex(char32_t c) {
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(c));
    return text;
}

VTermScreenCell cellAt(VTermScreen* screen, int x, int y) {
    VTermScreenCell cell{};
    vterm_screen_get_cell(screen, VTermPos{y, x}, &cell);
    return cell;
}

} // namespace

char32_t decodeUtf8(std::string_view bytes) {
    constexpr char32_t bad = 0xFFFD;
    if (bytes.empty())
        return bad;
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    unsigned char lead = byte(0);
    std::size_t length = lead < 0x80   ? 1
                         : lead >= 0xF0 ? 4
                         : lead >= 0xE0 ? 3
                         : lead >= 0xC2 ? 2
                                        : 0;
    if (length == 0 || length > 4 || bytes.size() != length)
        return bad;
    if (length == 1)
        return lead;
    char32_t c = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return bad;
        c = (c << 6) | (byte(i) & 0x3F);
    }
    constexpr char32_t least[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < least[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return bad;
    return c;
}

VtermScreen::VtermScreen(int columns, int rows)
    : vt_(vterm_new(rows, columns)), screen_(nullptr), columns_(columns), rows_(rows) {
    vterm_set_utf8(vt_, 1);
    screen_ = vterm_obtain_screen(vt_);
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

char32_t VtermScreen::glyph(int x, int y) const {
    char32_t c = cellAt(screen_, x, y).chars[0];
    return c == 0 ? U' ' : c;
}

int VtermScreen::attr(int x, int y) const {
    VTermScreenCell cell = cellAt(screen_, x, y);
    int fg = colorIndex(cell.fg, true);
    int bg = colorIndex(cell.bg, false);
    if (cell.attrs.reverse)
        std::swap(fg, bg);
    return fg < 0 || bg < 0 ? -1 : fg | bg << 4;
}

bool VtermScreen::styled(int x, int y) const {
    VTermScreenCellAttrs a = cellAt(screen_, x, y).attrs;
    return a.bold || a.underline || a.italic || a.blink || a.reverse || a.strike;
}

std::string VtermScreen::rowText(int y) const {
    std::string text;
    int end = columns_;
    while (end > 0 && glyph(end - 1, y) == U' ')
        --end;
    for (int x = 0; x < end; ++x)
        appendUtf8(text, glyph(x, y));
    return text;
}

int VtermScreen::cursorX() const {
    VTermPos pos;
    vterm_state_get_cursorpos(vterm_obtain_state(vt_), &pos);
    return pos.col;
}

int VtermScreen::cursorY() const {
    VTermPos pos;
    vterm_state_get_cursorpos(vterm_obtain_state(vt_), &pos);
    return pos.row;
}

// A blank's foreground cannot be seen, so only its background counts.
bool VtermScreen::showsAlike(int x, int y, Cell want, RenderOptions options) const {
    char32_t wantGlyph = decodeUtf8(glyphOf(want.code, options.utf8));
    int wantAttr = options.color ? want.attr & 0xFF : 7;
    int shown = attr(x, y);
    bool sameColours = wantGlyph == U' ' ? shown >= 0 && (shown >> 4) == (wantAttr >> 4)
                                         : shown == wantAttr;
    return glyph(x, y) == wantGlyph && sameColours && !styled(x, y);
}

std::string VtermScreen::differences(const ScreenBuffer& screen, RenderOptions options) const {
    std::string report;
    int found = 0;
    for (int y = 0; y < gameRows && y < rows_; ++y) {
        for (int x = 0; x < gameColumns && x < columns_; ++x) {
            Cell want = screen.cell(x, y);
            if (showsAlike(x, y, want, options) || ++found > 5)
                continue;
            char line[128];
            std::snprintf(line, sizeof line, "(%d,%d) shows %s in %d, the buffer holds %d in %d\n",
                          x, y, hex(glyph(x, y)).c_str(), attr(x, y), want.code, want.attr);
            report += line;
        }
    }
    if (found > 5)
        report += std::to_string(found) + " cells differ\n";
    return report;
}

} // namespace term

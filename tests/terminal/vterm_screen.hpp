// A real terminal emulator (libvterm) for tests: feed it the bytes written
// to a terminal, then ask what each cell shows, as a glyph (a Unicode code
// point) and a console attribute, and compare that with a screen buffer.
#pragma once

#include <string>
#include <string_view>

#include "screen.hpp"

struct VTerm;
struct VTermScreen;

namespace term {

class VtermScreen {
public:
    VtermScreen(int columns, int rows);
    ~VtermScreen();
    VtermScreen(const VtermScreen&) = delete;
    VtermScreen& operator=(const VtermScreen&) = delete;

    void feed(std::string_view bytes);
    void resize(int columns, int rows); // as a terminal window does; the content stays
    int columns() const { return columns_; }
    int rows() const { return rows_; }

    // What the cell shows: U+0020 for a cell never written or erased.
    char32_t glyph(int x, int y) const;
    // Its colours as a console attribute: the terminal's default foreground
    // is 7, its default background 0; -1 for a colour that no console
    // attribute gives (256 colours, RGB).
    int attr(int x, int y) const;
    // Bold, underline, reverse, blink, italic or strike on the cell.
    bool styled(int x, int y) const;
    // A row's text as UTF-8, trailing blanks left out.
    std::string rowText(int y) const;
    int cursorX() const;
    int cursorY() const;

    // Empty when the terminal's top-left corner shows `screen` as drawn with
    // `options` (glyphs, colours or none, code 0 as a space, a blank's
    // foreground unseen); otherwise the first few cells that differ.
    std::string differences(const ScreenBuffer& screen, RenderOptions options) const;

private:
    bool showsAlike(int x, int y, Cell want, RenderOptions options) const;

    VTerm* vt_;
    VTermScreen* screen_;
    int columns_;
    int rows_;
};

// The code point of a glyph given as UTF-8; 0xFFFD for bytes that are not
// exactly one well-formed UTF-8 character.
char32_t decodeUtf8(std::string_view bytes);

} // namespace term

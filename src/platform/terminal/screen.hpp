// The console's screen buffer for the terminal: a grid of (code, attribute)
// cells that the game writes and reads back, and a renderer that brings the
// terminal from what it shows to what the buffer holds, sending only the
// differences.
#pragma once

#include <string>

namespace term {

// The game draws within these columns and rows.
constexpr int gameColumns = 56;
constexpr int gameRows = 21;

struct Cell {
    unsigned char code = ' '; // OEM code page 437 character code
    short attr = 7;           // console attribute
    bool operator==(const Cell&) const = default;
};

// Writes outside the grid are dropped, never wrapped; cells never written
// read back as a space.
class ScreenBuffer {
public:
    void gotoxy(int x, int y);
    void setColor(short attr);
    void putChar(int code);          // one code at the cursor; the cursor advances
    void write(const char* text);    // text at the cursor; '\n' goes to column 0 of the next row
    unsigned char charAt(int x, int y) const;
    const Cell& cell(int x, int y) const; // x, y inside the grid
    int cursorX() const { return x_; }
    int cursorY() const { return y_; }

private:
    Cell cells_[gameRows][gameColumns];
    int x_ = 0;
    int y_ = 0;
    short attr_ = 7;
};

struct RenderOptions {
    bool utf8 = true;  // glyphs as Unicode; otherwise ASCII stand-ins
    bool color = true; // false with NO_COLOR
};

class Renderer {
public:
    explicit Renderer(RenderOptions options);

    // The terminal's size; a change forces a full repaint at the next render.
    void resize(int columns, int rows);

    // Forget what the terminal shows (after a clear, a resume, a resize):
    // the next render repaints everything.
    void invalidate();

    // Appends the bytes that make the terminal show `screen` (at its
    // top-left corner) to `out`: only the cells that differ from what it
    // shows, no cursor move for the next cell of a row, no SGR when the
    // attribute is unchanged. While the terminal is smaller than the game,
    // a one-line notice naming both sizes stands in for the picture.
    void render(const ScreenBuffer& screen, std::string& out);

    // The whole picture as lines of text with colours, for the normal
    // screen after the game has left the alternate screen.
    void renderFinal(const ScreenBuffer& screen, std::string& out) const;

private:
    RenderOptions options_;
    Cell shown_[gameRows][gameColumns];
    bool valid_ = false;
    int columns_ = 0;
    int rows_ = 0;
    int cursorX_ = -1;
    int cursorY_ = -1;
    short attr_ = -1;
};

// The glyph of an OEM code as UTF-8 (utf8) or as an ASCII stand-in.
const char* glyphOf(unsigned char code, bool utf8);

} // namespace term

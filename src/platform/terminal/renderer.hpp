// SPDX-License-Identifier: MIT
// The renderer that brings the terminal from what it shows to what the
// console's screen buffer holds, sending only the differences.
#pragma once

#include <string>
#include <string_view>

#include "display/screen_buffer.hpp"

namespace term {

struct RenderOptions {
    bool utf8 = true;  // glyphs as Unicode; otherwise ASCII stand-ins
    bool color = true; // false with NO_COLOR
};

// What the renderer sends, in short:
// - The console's default attribute (textColor, grey on black) is the
//   terminal's own default colours (SGR 0), so the picture sits on the
//   terminal's background like the rest of the screen. Other foregrounds are SGR
//   30..37 or 90..97 (bright), other backgrounds 40..47 or 100..107; bits
//   above 7 of an attribute are ignored. Without colour no colour SGR is
//   ever sent, only resets.
// - A full repaint (the first render, and the first after invalidate() or a
//   change of size) starts with its own clear: SGR 0, cursor home, erase the
//   screen. The session need not clear before it.
// - A blank cell (code 32 or 0) looks the same in every foreground, so a
//   cell that changes only the foreground of a blank is not sent, and a
//   blank is written in whatever foreground is current when its background
//   matches.
// - Line moves use CR and LF only together ("\r\n" or "\r\n\n"), so the
//   terminal's output processing (ONLCR on or off) does not matter.
// - The cursor is left where the last write put it; hiding it is the
//   session's job.
class Renderer {
public:
    explicit Renderer(RenderOptions options);

    // The terminal's size; a change forces a full repaint at the next render.
    // Before the first call (or with a size of 0) the terminal is taken to
    // be big enough.
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
    // screen after the game has left the alternate screen. Rows are ended
    // with "\n" (the terminal's output processing is back on by then),
    // trailing blanks of each row and blank rows at the bottom are left out,
    // and a row that changed colours ends with SGR 0. Expects the terminal
    // in its default attributes.
    void renderFinal(const ScreenBuffer& screen, std::string& out) const;

    // The terminal is smaller than the picture: the notice stands in for it.
    bool tooSmall() const;

    // The players' names, checked already ("" for none), on the row below
    // the picture, each under its board, sent with the next render while
    // the terminal has that row, and in the final picture. Without names
    // nothing is sent for that row.
    void setNames(std::string_view boardOne, std::string_view boardTwo);

private:
    void showNotice(std::string& out);
    void clearScreen(std::string& out);
    void paintRow(const ScreenBuffer& screen, int y, std::string& out);
    void paintNames(std::string& out);
    int appendName(int board, std::string& out) const;
    void moveTo(int x, int y, std::string& out);
    void setAttr(int attr, std::string& out);
    void putCell(Cell want, int x, int y, std::string& out);
    Cell displayed(Cell cell) const;

    RenderOptions options_;
    Cell shown_[pictureRows]
               [pictureColumns]; // codes as shown: the display key, not the game's code
    bool valid_ = false;
    bool noticeShown_ = false;
    int columns_ = 0;
    int rows_ = 0;
    int cursorX_ = -1; // -1: not known (e.g. after a write in the last column)
    int cursorY_ = -1;
    short attr_ = -1; // the terminal's current attribute; -1 not known
    std::string names_[2];
    bool namesDue_ = false;   // the names row is to be sent
    bool namesShown_ = false; // the terminal shows a name there
};

// The one-line notice shown while the terminal is too small, naming its
// size and the size the game needs.
std::string sizeNotice(int columns, int rows);

} // namespace term

// SPDX-License-Identifier: MIT
// Brings the terminal from what it shows to what the screen buffer holds.
// The renderer keeps its own picture of the terminal (`shown_`) and the
// terminal's cursor and attribute, and sends only the cells that look
// different, with the cheapest cursor moves and colour changes it can find.
#include <cstdio>
#include <cstring>

#include "platform/terminal/escapes.hpp"
#include "platform/terminal/glyphs.hpp"
#include "platform/terminal/renderer.hpp"

namespace term {

namespace {

constexpr char clearSequence[] = "\x1b[m\x1b[H\x1b[2J"; // default colours, home, erase

int background(int attr) { return (attr >> 4) & 0x0F; }

// A shown cell looks like `attr`'s: the same attribute, or a blank on the
// same background, whose foreground cannot be seen.
bool looksAlike(Cell shown, int attr) {
    return shown.attr == attr || (shown.code == ' ' && background(shown.attr) == background(attr));
}

// The attribute to write `want` in, the terminal being in `current` (-1:
// not known): a blank keeps the foreground it finds.
short attrToWrite(Cell want, int current) {
    if (want.code != ' ' || current < 0)
        return want.attr;
    return static_cast<short>((current & 0x0F) | (want.attr & 0xF0));
}

} // namespace

Renderer::Renderer(RenderOptions options) : options_(options) {}

void Renderer::resize(int columns, int rows) {
    if (columns == columns_ && rows == rows_)
        return;
    columns_ = columns;
    rows_ = rows;
    invalidate();
}

void Renderer::invalidate() {
    valid_ = false;
    noticeShown_ = false;
    cursorX_ = cursorY_ = -1;
    attr_ = -1;
}

void Renderer::render(const ScreenBuffer& screen, std::string& out) {
    if (tooSmall()) {
        showNotice(out);
        return;
    }
    if (!valid_)
        clearScreen(out);
    for (int y = 0; y < pictureRows; ++y)
        paintRow(screen, y, out);
}

bool Renderer::tooSmall() const {
    return (columns_ > 0 && columns_ < pictureColumns) || (rows_ > 0 && rows_ < pictureRows);
}

std::string sizeNotice(int columns, int rows) {
    char text[64];
    std::snprintf(text, sizeof text, "Too small: %dx%d, needs %dx%d", columns, rows, pictureColumns,
                  pictureRows);
    return text;
}

// Once per size: the cleared screen and the notice on its first row, cut
// to the terminal's width so that it never wraps.
void Renderer::showNotice(std::string& out) {
    if (noticeShown_)
        return;
    std::string notice = sizeNotice(columns_, rows_);
    if (columns_ > 0 && static_cast<int>(notice.size()) > columns_)
        notice.resize(columns_);
    out += clearSequence;
    out += notice;
    invalidate();
    attr_ = textColor;
    noticeShown_ = true;
}

void Renderer::clearScreen(std::string& out) {
    out += clearSequence;
    for (auto& row : shown_)
        for (Cell& c : row)
            c = Cell{' ', textColor};
    cursorX_ = cursorY_ = 0;
    attr_ = textColor;
    valid_ = true;
    noticeShown_ = false;
}

void Renderer::paintRow(const ScreenBuffer& screen, int y, std::string& out) {
    for (int x = 0; x < pictureColumns; ++x) {
        Cell want = displayed(screen.cell(x, y));
        const Cell& shown = shown_[y][x];
        if (shown.code == want.code && looksAlike(shown, want.attr))
            continue;
        moveTo(x, y, out);
        putCell(want, x, y, out);
    }
}

// The cell as the terminal shows it: its code becomes the glyph's key (the
// code as shown, or its ASCII stand-in; 0 a space) and without colour every
// cell is in the default attribute, with player two's pieces patterned.
Cell Renderer::displayed(Cell cell) const {
    unsigned char code = shownCode(cell.code, cell.attr, options_.color);
    unsigned char key = code == 0 ? ' ' : code;
    if (!options_.utf8)
        key = static_cast<unsigned char>(glyphOf(code, false)[0]);
    short attr = options_.color ? static_cast<short>(cell.attr & 0xFF) : textColor;
    return Cell{key, attr};
}

// Moves the cursor, or on the same row rewrites the cells in between when
// that is shorter than the move and needs no colour change.
void Renderer::moveTo(int x, int y, std::string& out) {
    if (cursorX_ == x && cursorY_ == y)
        return;
    escapes::Sequence move = escapes::cursorMove(cursorX_, cursorY_, x, y);
    if (cursorY_ == y && cursorX_ >= 0 && cursorX_ < x && attr_ >= 0) {
        int cost = 0;
        int i = cursorX_;
        for (; i < x && cost < move.size() && looksAlike(shown_[y][i], attr_); ++i)
            cost += static_cast<int>(std::strlen(glyphOf(shown_[y][i].code, options_.utf8)));
        if (i == x && cost < move.size()) {
            for (i = cursorX_; i < x; ++i) {
                out += glyphOf(shown_[y][i].code, options_.utf8);
                shown_[y][i].attr = attr_;
            }
            cursorX_ = x;
            return;
        }
    }
    out.append(move.view());
    cursorX_ = x;
    cursorY_ = y;
}

void Renderer::setAttr(int attr, std::string& out) {
    out.append(escapes::colourChange(attr_, attr).view());
    attr_ = static_cast<short>(attr);
}

// Writes one cell at the cursor. A write into the terminal's last column
// leaves the cursor waiting to wrap, where terminals disagree on what a
// relative move does, so its place counts as not known after it.
void Renderer::putCell(Cell want, int x, int y, std::string& out) {
    want.attr = attrToWrite(want, attr_);
    if (want.attr != attr_)
        setAttr(want.attr, out);
    out += glyphOf(want.code, options_.utf8);
    shown_[y][x] = Cell{want.code, attr_};
    int lastColumn = (columns_ > 0 ? columns_ : pictureColumns) - 1;
    cursorX_ = x + 1;
    cursorY_ = y;
    if (x >= lastColumn)
        cursorX_ = cursorY_ = -1;
}

// Plain lines: no cursor addressing, so the picture flows with whatever
// the shell printed before it.
void Renderer::renderFinal(const ScreenBuffer& screen, std::string& out) const {
    auto visible = [](Cell c) { return c.code != ' ' || background(c.attr) != 0; };
    int rows = pictureRows;
    int ends[pictureRows];
    for (int y = 0; y < pictureRows; ++y) {
        ends[y] = pictureColumns;
        while (ends[y] > 0 && !visible(displayed(screen.cell(ends[y] - 1, y))))
            --ends[y];
    }
    while (rows > 0 && ends[rows - 1] == 0)
        --rows;
    int attr = textColor;
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < ends[y]; ++x) {
            Cell want = displayed(screen.cell(x, y));
            short next = attrToWrite(want, attr);
            out.append(escapes::colourChange(attr, next).view());
            attr = next;
            out += glyphOf(want.code, options_.utf8);
        }
        if (attr != textColor)
            out.append(escapes::colourChange(attr, textColor).view());
        attr = textColor;
        out += '\n';
    }
}

} // namespace term

// SPDX-License-Identifier: MIT
// Brings the terminal from what it shows to what the screen buffer holds.
// The renderer keeps its own picture of the terminal (`shown_`) and the
// terminal's cursor and attribute, and sends only the cells that look
// different, with the cheapest cursor moves and colour changes it can find.
#include <cstdio>
#include <cstring>

#include "display/names_row.hpp"
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

// Characters a terminal shows two columns wide, of the scripts a name may
// hold; any other counts as one column, a mark on a letter too, though it
// takes none: a name never takes more columns than counted.
constexpr char32_t wide[][2] = {
    {0x1100, 0x115F}, {0x2E80, 0x303E},   {0x3041, 0x33FF},   {0x3400, 0x4DBF},
    {0x4E00, 0x9FFF}, {0xA000, 0xA4CF},   {0xA960, 0xA97F},   {0xAC00, 0xD7A3},
    {0xF900, 0xFAFF}, {0xFE10, 0xFE19},   {0xFE30, 0xFE6F},   {0xFF00, 0xFF60},
    {0xFFE0, 0xFFE6}, {0x16FE0, 0x18AFF}, {0x1B000, 0x1B2FF}, {0x20000, 0x3FFFD},
};

int columnsOf(char32_t c) {
    for (const char32_t* range : wide)
        if (c >= range[0] && c <= range[1])
            return 2;
    return 1;
}

// The character of checked UTF-8 at `at`, moving `at` past it.
char32_t nextCharacter(std::string_view text, std::size_t& at) {
    auto lead = static_cast<unsigned char>(text[at++]);
    int more = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    char32_t c = more == 0 ? lead : lead & (0x3FU >> more);
    for (; more > 0 && at < text.size(); --more)
        c = c << 6U | (static_cast<unsigned char>(text[at++]) & 0x3FU);
    return c;
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
    if (namesDue_)
        paintNames(out);
}

void Renderer::setNames(std::string_view boardOne, std::string_view boardTwo) {
    if (names_[0] == boardOne && names_[1] == boardTwo)
        return;
    names_[0] = boardOne;
    names_[1] = boardTwo;
    namesDue_ = true;
}

// The row erased and written afresh, below the picture only: a terminal
// without it, or of a size not known, shows no names.
void Renderer::paintNames(std::string& out) {
    namesDue_ = false;
    bool any = !names_[0].empty() || !names_[1].empty();
    if (rows_ <= namesRow || (!any && !namesShown_))
        return;
    out.append(escapes::cursorMove(-1, -1, 0, namesRow).view());
    setAttr(textColor, out);
    out += "\x1b[K"; // the row to its end
    appendName(0, out);
    if (!names_[1].empty()) {
        out.append(escapes::cursorMove(-1, -1, boardColumn[1], namesRow).view());
        appendName(1, out);
    }
    cursorX_ = cursorY_ = -1; // past a name, where the cursor is goes unsaid
    namesShown_ = any;
}

// A board's name, cut between characters to its columns; as ASCII, each
// other character a '?'. The columns it took.
int Renderer::appendName(int board, std::string& out) const {
    std::string_view name = names_[board];
    int taken = 0;
    for (std::size_t at = 0, from = 0; at < name.size(); from = at) {
        char32_t c = nextCharacter(name, at);
        int columns = options_.utf8 ? columnsOf(c) : 1;
        if (taken + columns > nameColumns[board])
            break;
        taken += columns;
        if (options_.utf8 || c < 0x80)
            out.append(name.substr(from, at - from));
        else
            out += '?';
    }
    return taken;
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
    namesShown_ = false;
    namesDue_ = !names_[0].empty() || !names_[1].empty();
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
    if (names_[0].empty() && names_[1].empty())
        return;
    out.append(static_cast<std::size_t>(namesRow - rows), '\n');
    int taken = appendName(0, out);
    if (!names_[1].empty())
        out.append(static_cast<std::size_t>(boardColumn[1] - taken), ' ');
    appendName(1, out);
    out += '\n';
}

} // namespace term

// SPDX-License-Identifier: MIT
// The console's picture and what the console shows of it.
#include "platform/win32/console_screen.hpp"

#include <windows.h>

#include <algorithm>
#include <iterator>

#include "display/names_row.hpp"

namespace {

HANDLE output() { return GetStdHandle(STD_OUTPUT_HANDLE); }

bool inPicture(int x, int y) { return x >= 0 && x < pictureColumns && y >= 0 && y < pictureRows; }

// One run of cells of a row, written in one call. Code 0 shows as a space.
void writeRun(const Cell* cells, int x, int y, int length) {
    CHAR_INFO run[pictureColumns];
    for (int i = 0; i < length; ++i) {
        run[i].Char.AsciiChar = static_cast<CHAR>(cells[i].code == 0 ? ' ' : cells[i].code);
        run[i].Attributes = static_cast<WORD>(cells[i].attr);
    }
    auto left = static_cast<SHORT>(x);
    auto top = static_cast<SHORT>(y);
    SMALL_RECT area{left, top, static_cast<SHORT>(x + length - 1), top};
    WriteConsoleOutputA(output(), run, COORD{static_cast<SHORT>(length), 1}, COORD{0, 0}, &area);
}

} // namespace

ConsoleScreen& consoleScreen() {
    static ConsoleScreen screen;
    return screen;
}

void ConsoleScreen::putChar(int code) {
    int x = picture_.cursorX();
    int y = picture_.cursorY();
    picture_.putChar(code);
    if (inPicture(x, y))
        shown_[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] = picture_.cell(x, y);
}

void ConsoleScreen::write(const char* text) {
    for (; *text != '\0'; ++text) {
        if (*text == '\n')
            picture_.write("\n");
        else
            putChar(static_cast<unsigned char>(*text));
    }
}

void ConsoleScreen::show() {
    ScreenBuffer target = notices_.empty() ? picture_ : withNotices(picture_, notices_);
    for (int y = 0; y < pictureRows; ++y) {
        auto& row = shown_[static_cast<std::size_t>(y)];
        for (int x = 0; x < pictureColumns;) {
            if (row[static_cast<std::size_t>(x)] == target.cell(x, y)) {
                ++x;
                continue;
            }
            int start = x;
            for (; x < pictureColumns && !(row[static_cast<std::size_t>(x)] == target.cell(x, y));
                 ++x)
                row[static_cast<std::size_t>(x)] = target.cell(x, y);
            writeRun(&row[static_cast<std::size_t>(start)], start, y, x - start);
        }
    }
    if (namesDue_)
        showNames();
}

void ConsoleScreen::setNames(std::string_view boardOne, std::string_view boardTwo) {
    if (names_[0] == boardOne && names_[1] == boardTwo)
        return;
    names_[0] = boardOne;
    names_[1] = boardTwo;
    namesDue_ = true;
}

// The whole row, in the plain attribute: a name cut to its columns (never
// inside a surrogate pair), and blanks.
void ConsoleScreen::showNames() {
    namesDue_ = false;
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(output(), &info) || info.dwSize.Y <= namesRow)
        return;
    CHAR_INFO row[pictureColumns];
    for (CHAR_INFO& cell : row) {
        cell.Char.UnicodeChar = L' ';
        cell.Attributes = static_cast<WORD>(textColor);
    }
    for (int board = 0; board < 2; ++board) {
        wchar_t wide[64]; // a name's bytes are fewer than this
        const std::string& name = names_[board];
        int length = name.size() < std::size(wide)
                         ? MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name.data(),
                                               static_cast<int>(name.size()), wide,
                                               static_cast<int>(std::size(wide)))
                         : 0;
        length = std::min(length, nameColumns[board]);
        if (length > 0 && IS_HIGH_SURROGATE(wide[length - 1]))
            --length;
        for (int i = 0; i < length; ++i)
            row[boardColumn[board] + i].Char.UnicodeChar = wide[i];
    }
    auto y = static_cast<SHORT>(namesRow);
    SMALL_RECT area{0, y, static_cast<SHORT>(pictureColumns - 1), y};
    WriteConsoleOutputW(output(), row, COORD{static_cast<SHORT>(pictureColumns), 1}, COORD{0, 0},
                        &area);
    namesShown_ = !names_[0].empty() || !names_[1].empty();
}

// As cls does it: every cell of the buffer blank in the plain attribute.
void ConsoleScreen::clear() {
    HANDLE out = output();
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(out, &info)) {
        DWORD cells = static_cast<DWORD>(info.dwSize.X) * static_cast<DWORD>(info.dwSize.Y);
        DWORD done = 0;
        FillConsoleOutputCharacterA(out, ' ', cells, COORD{0, 0}, &done);
        FillConsoleOutputAttribute(out, static_cast<WORD>(textColor), cells, COORD{0, 0}, &done);
        SMALL_RECT window = info.srWindow;
        SHORT height = static_cast<SHORT>(window.Bottom - window.Top);
        window.Top = 0;
        window.Bottom = height;
        SetConsoleWindowInfo(out, TRUE, &window);
    }
    SetConsoleCursorPosition(out, COORD{0, 0});
    picture_ = ScreenBuffer{};
    shown_ = Cells{};
    namesDue_ = namesShown_; // the names' row was blanked with the rest
}

void ConsoleScreen::cursorBelow() {
    int used = 0;
    for (int y = 0; y < pictureRows; ++y)
        for (const Cell& cell : shown_[static_cast<std::size_t>(y)])
            if (cell.code != ' ' && cell.code != 0)
                used = y + 1;
    if (namesShown_)
        used = namesRow + 1;
    SetConsoleCursorPosition(output(), COORD{0, static_cast<SHORT>(used)});
}

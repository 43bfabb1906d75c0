// SPDX-License-Identifier: MIT
// The console's picture and what the console shows of it.
#include "platform/win32/console_screen.hpp"

#include <windows.h>

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
}

void ConsoleScreen::cursorBelow() {
    int used = 0;
    for (int y = 0; y < pictureRows; ++y)
        for (const Cell& cell : shown_[static_cast<std::size_t>(y)])
            if (cell.code != ' ' && cell.code != 0)
                used = y + 1;
    SetConsoleCursorPosition(output(), COORD{0, static_cast<SHORT>(used)});
}

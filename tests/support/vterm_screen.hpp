// SPDX-License-Identifier: MIT
// A real terminal emulator (libvterm) for tests: feed it the bytes written
// to a terminal, then compare what it shows with a screen buffer.
#pragma once

#include <string>
#include <string_view>

#include "platform/terminal/renderer.hpp"

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
    // A row's text as UTF-8, trailing blanks left out.
    std::string rowText(int y) const;
    // What a cell shows, as UTF-8 (a space for a blank).
    std::string glyphAt(int x, int y) const;
    // Empty when the terminal's top-left corner shows `screen` as drawn with
    // `options` (glyphs, colours or none, code 0 as a space, a blank's
    // foreground unseen); otherwise the first few cells that differ.
    std::string differences(const ScreenBuffer& screen, RenderOptions options) const;

private:
    struct Shown;
    Shown shown(int x, int y) const;

    VTerm* vt_;
    VTermScreen* screen_;
    int columns_;
    int rows_;
};

} // namespace term

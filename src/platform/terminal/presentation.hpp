// SPDX-License-Identifier: MIT
// Presentation: the screen buffer the game draws into, the notices shown
// over it, and the renderer that brings the terminal up to date with both,
// at the terminal's size, or with the notice that the terminal is too
// small. What it renders goes out through the terminal.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "display/notices.hpp"
#include "display/screen_buffer.hpp"
#include "platform/terminal/renderer.hpp"
#include "platform/terminal/terminal.hpp"

namespace term {

class Presentation {
public:
    Presentation(const RenderOptions& options, Terminal& terminal);

    ScreenBuffer& screen() { return screen_; }
    // Lines over the picture (none when empty), sent with the next flush.
    void setNotices(std::vector<NoticeLine> lines) { notices_ = std::move(lines); }
    // The players' names below the picture (Renderer::setNames).
    void setNames(std::string_view boardOne, std::string_view boardTwo) {
        renderer_.setNames(boardOne, boardTwo);
    }

    // Sends what changed since the last flush; nothing when nothing did,
    // or while the game does not hold the terminal.
    void flush();

    // Takes the terminal's size as given and paints everything again.
    void resize(int columns, int rows);
    // The same at the size the terminal reports (the last one known when
    // it reports none): after a resize, or when the shell may have written
    // over the screen.
    void repaint();

    // The terminal is smaller than the picture: the notice stands in for it.
    bool tooSmall() const { return renderer_.tooSmall(); }

    // The whole picture for the normal screen, once the game is over.
    std::string finalPicture() const;

private:
    void paintAll();

    Terminal& terminal_;
    ScreenBuffer screen_;
    Renderer renderer_;
    std::vector<NoticeLine> notices_;
    std::string out_;
};

} // namespace term

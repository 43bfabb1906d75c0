// SPDX-License-Identifier: MIT
// The picture, with its notices, brought to the terminal.
#include "platform/terminal/presentation.hpp"

namespace term {

Presentation::Presentation(const RenderOptions& options, Terminal& terminal)
    : terminal_(terminal), renderer_(options) {}

void Presentation::flush() {
    if (!terminal_.active())
        return;
    out_.clear();
    renderer_.render(notices_.empty() ? screen_ : withNotices(screen_, notices_), out_);
    if (!out_.empty())
        terminal_.send(out_);
}

void Presentation::resize(int columns, int rows) {
    renderer_.resize(columns, rows);
    paintAll();
}

void Presentation::repaint() {
    int columns = 0;
    int rows = 0;
    if (terminal_.size(columns, rows))
        renderer_.resize(columns, rows);
    paintAll();
}

// The next render clears and repaints everything, also at an unchanged size.
void Presentation::paintAll() {
    renderer_.invalidate();
    flush();
}

std::string Presentation::finalPicture() const {
    std::string picture;
    renderer_.renderFinal(screen_, picture);
    return picture;
}

} // namespace term

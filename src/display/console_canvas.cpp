// SPDX-License-Identifier: MIT
// The back end's console as a canvas: each call is the primitive itself.
#include "display/canvas.hpp"
#include "display/console.hpp"

namespace {

class BackEndConsole final : public Canvas {
public:
    void gotoxy(int x, int y) override { ::gotoxy(x, y); }
    unsigned char charAt(int x, int y) const override {
        return ::charAt(static_cast<short>(x), static_cast<short>(y));
    }
    void setColor(short color) override { ::setColor(color); }
    void putChar(int code) override { ::putChar(code); }
    void write(const char* text) override { ::print("%s", text); }
};

} // namespace

Canvas& backEndConsole() {
    static BackEndConsole console;
    return console;
}

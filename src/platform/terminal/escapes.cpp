// SPDX-License-Identifier: MIT
// Colour and cursor sequences, each the shortest of the forms known here.
#include "platform/terminal/escapes.hpp"

#include "display/layout.hpp"

namespace term::escapes {

void Sequence::add(std::string_view text) {
    for (char c : text)
        add(c);
}

void Sequence::addNumber(int n) {
    if (n >= 10)
        addNumber(n / 10);
    add(static_cast<char>('0' + n % 10));
}

namespace {

Sequence shorter(const Sequence& a, const Sequence& b) { return b.size() < a.size() ? b : a; }

// CSI, the parameters, the final byte; a parameter of 0 is left out.
Sequence csi(int first, int second, char final) {
    Sequence s;
    s.add("\x1b[");
    if (first > 0)
        s.addNumber(first);
    if (second > 0) {
        s.add(';');
        s.addNumber(second);
    }
    s.add(final);
    return s;
}

Sequence sgr(const int* parameters, int count) {
    Sequence s;
    s.add("\x1b[");
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            s.add(';');
        s.addNumber(parameters[i]);
    }
    s.add('m');
    return s;
}

// From the default colours: "CSI m" alone, or "CSI 0;..." setting what differs.
Sequence resetTo(int to) {
    int parameters[3] = {0};
    int count = 1;
    if ((to & 0x0F) != (textColor & 0x0F))
        parameters[count++] = foregroundParameter(to);
    if ((to & 0xF0) != (textColor & 0xF0))
        parameters[count++] = backgroundParameter(to);
    return count == 1 ? csi(0, 0, 'm') : sgr(parameters, count);
}

// Setting only the halves that change.
Sequence changeOf(int from, int to) {
    int parameters[2];
    int count = 0;
    if ((to & 0x0F) != (from & 0x0F))
        parameters[count++] = foregroundParameter(to);
    if ((to & 0xF0) != (from & 0xF0))
        parameters[count++] = backgroundParameter(to);
    return sgr(parameters, count);
}

// CSI n final for a relative move, n left out when 1.
Sequence steps(int n, char final) { return csi(n > 1 ? n : 0, 0, final); }

Sequence backspaces(int n) {
    Sequence s;
    for (int i = 0; i < n; ++i)
        s.add('\b');
    // cppcheck-suppress uninitvar ; s holds size() bytes, all set
    return s;
}

Sequence horizontal(int from, int to) {
    if (from == to)
        return Sequence{};
    Sequence fromStart;
    fromStart.add('\r');
    if (to > 0)
        fromStart.add(steps(to, 'C'));
    if (to > from)
        return shorter(steps(to - from, 'C'), fromStart);
    Sequence back = steps(from - to, 'D');
    if (from - to < back.size())
        back = backspaces(from - to);
    return shorter(back, fromStart);
}

Sequence vertical(int from, int to) {
    if (from == to)
        return Sequence{};
    return to > from ? steps(to - from, 'B') : steps(from - to, 'A');
}

} // namespace

int foregroundParameter(int attr) {
    int fg = attr & 0x0F;
    if (fg == (textColor & 0x0F))
        return 39;
    return ((fg & 8) != 0 ? 90 : 30) + ansiColor(fg);
}

int backgroundParameter(int attr) {
    int bg = (attr >> 4) & 0x0F;
    if (bg == ((textColor >> 4) & 0x0F))
        return 49;
    return ((bg & 8) != 0 ? 100 : 40) + ansiColor(bg);
}

Sequence colourChange(int from, int to) {
    if (from == to)
        return Sequence{};
    Sequence reset = resetTo(to);
    return from < 0 ? reset : shorter(changeOf(from, to), reset);
}

Sequence cursorMove(int fromX, int fromY, int toX, int toY) {
    Sequence best = csi(toY + 1 > 1 ? toY + 1 : 0, toX + 1 > 1 ? toX + 1 : 0, 'H');
    if (fromX < 0 || fromY < 0)
        return best;
    Sequence relative = vertical(fromY, toY);
    relative.add(horizontal(fromX, toX));
    best = shorter(best, relative);
    // CR then LFs: ends in column 0 whether or not the terminal adds a CR to
    // each LF; a few rows down only, where it beats CSI n B.
    int down = toY - fromY;
    if (down > 0 && down <= 3) {
        Sequence lines;
        lines.add('\r');
        for (int i = 0; i < down; ++i)
            lines.add('\n');
        lines.add(horizontal(0, toX));
        best = shorter(best, lines);
    }
    return best;
}

} // namespace term::escapes

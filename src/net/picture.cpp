// SPDX-License-Identifier: MIT
// Runs of changed cells, written and applied.
#include "net/picture.hpp"

#include "net/message_decoder.hpp"

namespace net {

namespace {

// A run's head and attribute: a new run costs two or three bytes, so
// bridging up to two unchanged cells is never dearer.
constexpr int maxBridge = 2;

bool blank(PictureCell c) { return c.code == ' ' || c.code == 0; }
int background(unsigned char attr) { return attr & 0xF0; }

// `cell` can be written in `attr` without looking any different.
bool fits(PictureCell cell, unsigned char attr) {
    return cell.attr == attr || (blank(cell) && background(cell.attr) == background(attr));
}

void appendRun(std::string& runs, const Picture& to, int first, int count, unsigned char& attr) {
    bool keep = to[first].attr == attr;
    int head = first << 5 | (keep ? keepAttribute : 0) | (count - 1);
    runs += static_cast<char>(head >> 8);
    runs += static_cast<char>(head & 0xFF);
    if (!keep)
        runs += static_cast<char>(to[first].attr);
    attr = to[first].attr;
    for (int i = first; i < first + count; ++i)
        runs += static_cast<char>(to[i].code);
}

} // namespace

bool looksAlike(PictureCell a, PictureCell b) {
    return a == b || (blank(a) && blank(b) && background(a.attr) == background(b.attr));
}

bool looksAlike(const Picture& a, const Picture& b) {
    for (int i = 0; i < pictureCells; ++i)
        if (!looksAlike(a[i], b[i]))
            return false;
    return true;
}

// A run ends at the last changed cell before a longer stretch of unchanged
// ones, a cell that its attribute cannot show, or its length limit.
void appendChanges(const Picture& from, const Picture& to, std::string& runs) {
    unsigned char attr = firstRunAttribute;
    int i = 0;
    while (i < pictureCells) {
        if (looksAlike(from[i], to[i])) {
            ++i;
            continue;
        }
        int first = i;
        int last = i; // the last changed cell of the run
        for (int j = i + 1; j < pictureCells && j - first < maxRunLength; ++j) {
            if (!fits(to[j], to[first].attr) || j - last > maxBridge + 1)
                break;
            if (!looksAlike(from[j], to[j]))
                last = j;
        }
        appendRun(runs, to, first, last - first + 1, attr);
        i = last + 1;
    }
}

void applyRuns(const unsigned char* runs, int length, Picture& picture) {
    if (!validRuns(runs, length))
        return;
    unsigned char attr = firstRunAttribute;
    Run run{};
    for (int at = 0; at < length && nextRun(runs, length, at, attr, run);)
        for (int k = 0; k < run.count; ++k)
            picture[static_cast<std::size_t>(run.first) + static_cast<std::size_t>(k)] =
                PictureCell{run.codes[k], run.attr};
}

} // namespace net

// SPDX-License-Identifier: MIT
// Runs of changed cells, written and applied.
#include "net/picture.hpp"

#include "net/message_decoder.hpp"

namespace net {

namespace {

constexpr int runHeader = 3; // position and length, attribute
// Unchanged cells bridged inside a run: each costs a byte, a new run three.
constexpr int maxBridge = runHeader - 1;

void appendRun(std::string& runs, const Picture& to, int first, int count) {
    int head = first << 5 | (count - 1);
    runs += static_cast<char>(head >> 8);
    runs += static_cast<char>(head & 0xFF);
    runs += static_cast<char>(to[first].attr);
    for (int i = first; i < first + count; ++i)
        runs += static_cast<char>(to[i].code);
}

} // namespace

// A run holds cells of one attribute; it ends at the last changed cell
// before a longer stretch of unchanged ones, another attribute, or its
// length limit.
void appendChanges(const Picture& from, const Picture& to, std::string& runs) {
    int i = 0;
    while (i < pictureCells) {
        if (from[i] == to[i]) {
            ++i;
            continue;
        }
        int first = i;
        int last = i; // the last changed cell of the run
        for (int j = i + 1; j < pictureCells && j - first < maxRunLength; ++j) {
            if (to[j].attr != to[first].attr || j - last > maxBridge + 1)
                break;
            if (!(from[j] == to[j]))
                last = j;
        }
        appendRun(runs, to, first, last - first + 1);
        i = last + 1;
    }
}

void applyRuns(const unsigned char* runs, int length, Picture& picture) {
    if (!validRuns(runs, length))
        return;
    for (int at = 0; at < length;) {
        int head = runs[at] << 8 | runs[at + 1];
        int first = head >> 5;
        int count = (head & 31) + 1;
        unsigned char attr = runs[at + 2];
        for (int k = 0; k < count; ++k)
            picture[first + k] = PictureCell{runs[at + 3 + k], attr};
        at += runHeader + count;
    }
}

} // namespace net

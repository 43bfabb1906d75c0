// SPDX-License-Identifier: MIT
// One thing a keyboard says about a key, as a back end reads it: the
// terminal from its bytes, the Windows console from its input records, a
// network host from its guest's messages.
#pragma once

struct KeyEvent {
    enum Kind : unsigned char {
        Press,      // a key went down; without press and release reports, a key arrived
        Repeat,     // a held key repeats
        Release,    // a key came up
        ReleaseAll, // every key counts as up (the window lost the focus)
    };
    Kind kind;
    int key;          // its own code (game/keys.hpp); 0 for ReleaseAll
    int position = 0; // the own code of the US key where it sits; 0 when unknown
};

// SPDX-License-Identifier: MIT
// Placeholder for the terminal game until its back end exists: it says so
// and exits instead of drawing into a terminal it does not manage.
#include <cstdio>

int main() {
    std::fputs("blockduel: this build has no terminal back end yet; "
               "only the tests can play a game.\n",
               stderr);
    return 1;
}

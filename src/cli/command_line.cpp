// SPDX-License-Identifier: MIT
// The command line: usage, version and the controls table.
#include "cli/command_line.hpp"

#include <cstring>

#include "game/keys.hpp"

#ifndef BLOCKDUEL_VERSION
#define BLOCKDUEL_VERSION "unknown"
#endif

namespace {

struct Action {
    const char* name;
    int Controls::*key;
};

constexpr Action actions[] = {
    {"turn clockwise", &Controls::rotate},
    {"move left", &Controls::left},
    {"move right", &Controls::right},
    {"drop faster", &Controls::drop},
};

} // namespace

const char* keyName(int virtualKey) {
    switch (virtualKey) {
    case vkUp: return "Up arrow";
    case vkLeft: return "Left arrow";
    case vkRight: return "Right arrow";
    case vkDown: return "Down arrow";
    case vkW: return "W";
    case vkA: return "A";
    case vkS: return "S";
    case vkD: return "D";
    case vkEscape: return "Escape";
    default: return "?";
    }
}

Command parseCommandLine(int argc, const char* const* argv) {
    if (argc <= 1)
        return Command::Play;
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0)
        return Command::Help;
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0)
        return Command::Version;
    return Command::Invalid;
}

void printUsage(std::FILE* out) {
    std::fputs("Usage: blockduel [--help | --version]\n"
               "\n"
               "A falling-block puzzle game for two players at one keyboard.\n"
               "Full rows clear, score 18 points each and send a penalty cell\n"
               "to the other board. The game ends when either stack reaches the top.\n"
               "\n"
               "Controls:\n",
               out);
    std::fprintf(out, "  %-16s %-14s %s\n", "", "player one", "player two");
    for (const Action& a : actions)
        std::fprintf(out, "  %-16s %-14s %s\n", a.name, keyName(playerOneKeys.*a.key),
                     keyName(playerTwoKeys.*a.key));
    std::fprintf(out, "  %-16s %s\n", "quit", keyName(vkEscape));
    std::fputs("\n"
               "Options:\n"
               "  --help     show this help and exit\n"
               "  --version  show the version and exit\n",
               out);
}

void printVersion(std::FILE* out) { std::fprintf(out, "blockduel %s\n", BLOCKDUEL_VERSION); }

int answerCommandLine(int argc, const char* const* argv) {
    switch (parseCommandLine(argc, argv)) {
    case Command::Play: return -1;
    case Command::Help: printUsage(stdout); return 0;
    case Command::Version: printVersion(stdout); return 0;
    case Command::Invalid: break;
    }
    std::fprintf(stderr, "blockduel: unexpected argument '%s'\n\n", argv[1]);
    printUsage(stderr);
    return 2;
}

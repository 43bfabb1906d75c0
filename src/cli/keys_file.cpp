// SPDX-License-Identifier: MIT
#include "cli/keys_file.hpp"

#include <cstdio>

#include "record/disk.hpp"
#include "text/printable.hpp"

namespace {

// A keys file is a few lines; anything this large is no keys file.
constexpr std::size_t keysFileLimit = std::size_t{64} * 1024;

} // namespace

void takeKeysFile(Options& options, std::string_view text, std::string& warning) {
    warning.clear();
    if (options.mode == Mode::Local)
        return;
    KeyChoice file;
    std::string problem = readKeysFile(text, file);
    KeyChoice merged = options.keys;
    for (int player = 0; player < 2 && problem.empty(); ++player) {
        if (!merged.chosen[player] && file.chosen[player]) {
            merged.chosen[player] = true;
            merged.keys[player] = file.keys[player];
        }
    }
    Controls keys[2];
    if (problem.empty())
        problem = keysInPlay(merged, keys);
    if (!problem.empty()) {
        warning = problem + "; the keys file is left out";
        return;
    }
    options.keys = merged;
}

bool readKeysFileAt(const std::string& path, std::string& text, std::string& warning) {
    text.clear();
    warning.clear();
    if (path.empty() || !disk::exists(path))
        return false; // most people have none
    // The user's own file, which may be a link into a folder of settings.
    std::string error;
    if (disk::readWhole(path, keysFileLimit, text, error, disk::NamedBy::User))
        return true;
    warning = error + "; the keys file is left out";
    text.clear();
    return false;
}

void takeKeysFileAt(Options& options, const std::string& path, std::FILE* answer) {
    // The game without options keeps its own keys; a server has none.
    if (options.command != Command::Play || options.mode == Mode::Local ||
        options.mode == Mode::Serve)
        return;
    std::string text;
    std::string warning;
    if (readKeysFileAt(path, text, warning)) {
        takeKeysFile(options, text, warning);
        if (!warning.empty())
            warning = printablePath(path) + ": " + warning;
    }
    if (warning.empty())
        return;
    std::fprintf(stderr, "blockduel: %s\n", warning.c_str());
    if (answer == nullptr || options.mode == Mode::Stats)
        return;
    std::fputs("Press Enter to play without it (Ctrl-C leaves).\n", stderr);
    // Up to the line's end: what else was typed is no key of the game.
    for (int c = std::fgetc(answer); c != EOF && c != '\n'; c = std::fgetc(answer)) {
    }
}

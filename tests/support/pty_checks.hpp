// SPDX-License-Identifier: MIT
// What a game on a pty showed or wrote, as checks for the tests'
// assertions that say what the screen or the output held instead.
#pragma once

#include <gtest/gtest.h>
#include <string>
#include <string_view>

#include "game_pty.hpp"

namespace term {

// waitForText(), with the screen when the text does not come.
inline testing::AssertionResult shows(GamePty& game, std::string_view text, int row = -1) {
    if (game.waitForText(text, row))
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "no \"" << text << "\" on the screen:\n"
                                       << game.screenText();
}

// waitOutcome(), with what the game wrote when it ends otherwise.
inline testing::AssertionResult endsAs(GamePty& game, Outcome outcome) {
    Outcome seen = game.waitOutcome();
    if (seen == outcome)
        return testing::AssertionSuccess();
    return testing::AssertionFailure()
           << testing::PrintToString(seen) << ", not " << testing::PrintToString(outcome)
           << ", having written " << testing::PrintToString(game.output);
}

// Whether the terminal is as the game found it: its modes, and the main
// screen showing.
inline testing::AssertionResult givenBack(const GamePty& game) {
    if (game.modesAsBefore() && !terminalState(game.output).alternateScreen)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "the terminal is not as it was; the game wrote "
                                       << testing::PrintToString(game.output);
}

// Whether `written` holds `text`, with what it holds either way, for
// EXPECT_TRUE and EXPECT_FALSE alike.
inline testing::AssertionResult holds(const std::string& written, std::string_view text) {
    bool found = written.find(text) != std::string::npos;
    return (found ? testing::AssertionSuccess() : testing::AssertionFailure())
           << (found ? "" : "no ") << testing::PrintToString(std::string(text)) << " in "
           << testing::PrintToString(written);
}

// Whether the game wrote `text`; said(): with its lines joined, as
// joinedLines() has them.
inline testing::AssertionResult wrote(const GamePty& game, std::string_view text) {
    return holds(game.output, text);
}
inline testing::AssertionResult said(const GamePty& game, std::string_view text) {
    return holds(joinedLines(game.output), text);
}

} // namespace term

// SPDX-License-Identifier: MIT
// What a match says, to whom: "You win" to a person playing, "Player one
// wins" to everyone else, and between rounds what each side waits for.
#include "game/match_lines.hpp"

#include <cstdarg>
#include <cstdio>

#include "display/console.hpp"
#include "display/layout.hpp"

namespace {

constexpr int resultColumn = 10; // after "Game Over" and a space
constexpr int labelWidth = 6;    // "Player", from the column before the preview

const char* const boardName[2] = {"player one", "player two"};
const char* const boardTitle[2] = {"Player one", "Player two"};
const char* const boardNumber[2] = {"one", "two"};

// The board of the person looking, or -1 when they play none.
int boardOf(Viewer viewer) {
    switch (viewer) {
    case Viewer::PlayerOne: return 0;
    case Viewer::PlayerTwo: return 1;
    case Viewer::Everyone:
    case Viewer::Watcher: break;
    }
    return -1;
}

bool networked(const GameSetup& setup) {
    return setup.remote[0].pressed != nullptr || setup.remote[1].pressed != nullptr;
}

void add(MatchLines& lines, int x, int y, short color, const char* format, ...)
    __attribute__((format(printf, 5, 6)));

void add(MatchLines& lines, int x, int y, short color, const char* format, ...) {
    if (lines.count >= maxMatchLines)
        return;
    MatchLine& line = lines.line[lines.count++];
    line.x = x;
    line.y = y;
    line.color = color;
    std::va_list args;
    va_start(args, format);
    std::vsnprintf(line.text, sizeof line.text, format, args);
    va_end(args);
}

// Each board says who plays it: "You", the computer and its level, or else
// the player's name, as the result and the status lines call them, on two
// rows from the column after the wall (the panel is only five wide).
void addLabels(MatchLines& lines, const GameSetup& setup, int you) {
    const short colors[2] = {playerOneColor, playerTwoColor};
    for (int board = 0; board < 2; ++board) {
        int x = boardColumn[board] + panelOffset;
        if (board == you)
            add(lines, x, labelRow, colors[board], "You");
        else if (setup.computer[board])
            add(lines, x, labelRow, colors[board], "CPU %d", setup.level[board]);
        else {
            add(lines, x - 1, labelRow, colors[board], "Player");
            add(lines, x - 1, labelRow + 1, colors[board], "%s", boardNumber[board]);
        }
    }
}

// While a round is under way the round, the tally and the target stand where
// its result will: the tally reads player one's rounds first everywhere.
void addTally(MatchLines& lines, const Match& m, const GameSetup& setup) {
    if (setup.firstTo > 0)
        add(lines, resultColumn, gameOverRow, textColor,
            "Round %d \xfa Match: %d-%d \xfa First to %d", m.round, m.wins[0], m.wins[1],
            setup.firstTo);
    else
        add(lines, resultColumn, gameOverRow, textColor, "Round %d \xfa Match: %d-%d", m.round,
            m.wins[0], m.wins[1]);
}

void addResult(MatchLines& lines, const Match& m, int you) {
    if (m.winner < 0)
        return;
    const char* who = you < 0           ? (m.winner == 0 ? "Player one wins" : "Player two wins")
                      : m.winner == you ? "You win"
                                        : "You lose";
    // A dot sets the result apart from "Game Over" before it.
    add(lines, resultColumn, gameOverRow, textColor, "\xfa %s this round. Match: %d-%d", who,
        m.wins[0], m.wins[1]);
}

// The player away, as those who stayed read it. How they come back is the
// host's to say: it knows whether they joined by a command or by a page.
void addAway(MatchLines& lines, int board) {
    add(lines, 0, promptRow, textColor, "%s is away; they may join again.", boardTitle[board]);
}

// Between rounds over the network each side says whom it waits for, and
// who is away.
void addWaiting(MatchLines& lines, const Match& m, int you, bool watching) {
    if (watching) {
        if (m.away[0] || m.away[1])
            addAway(lines, m.away[0] ? 0 : 1);
        else if (!m.ready[0] && !m.ready[1])
            add(lines, 0, promptRow, textColor, "Waiting for both players to press Enter.");
        else
            add(lines, 0, promptRow, textColor, "Waiting for %s to press Enter.",
                boardName[m.ready[0] ? 1 : 0]);
        return;
    }
    int other = 1 - you;
    if (m.away[other] && m.ready[you])
        addAway(lines, other);
    else if (m.away[other])
        add(lines, 0, promptRow, textColor, "%s is away. Enter: next round. Escape: leave.",
            boardTitle[other]);
    else if (m.ready[you])
        add(lines, 0, promptRow, textColor, "Waiting for %s to press Enter.", boardName[other]);
    else if (m.ready[other])
        add(lines, 0, promptRow, textColor, "%s is ready. Enter: next round. Escape: leave.",
            boardTitle[other]);
    else
        add(lines, 0, promptRow, textColor, "Enter: next round. Escape: leave.");
}

// A round held: who paused it, in each viewer's words where players sit at
// keyboards of their own, or who is away and, once the wait for them has
// run out, that the one who stayed may take the round.
void addHold(MatchLines& lines, const Match& m, const GameSetup& setup, int you) {
    const char* resume = setup.replayed ? "" : resumeHint;
    if (m.hold == Hold::Away && m.mayTake && you >= 0 && you != m.holder)
        add(lines, 0, promptRow, textColor, "%s is away. Enter takes the round; Esc leaves.",
            boardTitle[m.holder]);
    else if (m.hold == Hold::Away)
        addAway(lines, m.holder);
    else if (!networked(setup) || m.holder < 0)
        add(lines, 0, promptRow, textColor, "Paused.%s", resume);
    else if (you < 0)
        add(lines, 0, promptRow, textColor, "Paused by %s.", boardName[m.holder]);
    else
        add(lines, 0, promptRow, textColor, "Paused by %s.%s",
            m.holder == you ? "you" : boardName[m.holder], resume);
}

// A match played to a number of rounds ends with its winner, the tally in
// the order it had all along: player one's rounds first.
void addChampion(MatchLines& lines, const Match& m, int you) {
    if (you < 0)
        add(lines, 0, promptRow, textColor, "%s wins the match %d-%d", boardTitle[m.champion],
            m.wins[0], m.wins[1]);
    else
        add(lines, 0, promptRow, textColor, "You %s the match %d-%d",
            you == m.champion ? "win" : "lose", m.wins[0], m.wins[1]);
}

void addStatus(MatchLines& lines, const Match& m, const GameSetup& setup, Viewer viewer) {
    int you = boardOf(viewer);
    switch (m.phase) {
    case MatchPhase::Countdown:
        add(lines, 0, promptRow, textColor, "Round %d starts in %d", m.round, m.countdown);
        return;
    case MatchPhase::Playing:
        if (viewer == Viewer::Watcher)
            add(lines, 0, promptRow, textColor, "%s", watchingHint);
        else if (setup.pause && !setup.replayed)
            add(lines, 0, promptRow, textColor, "%s", pauseHint);
        return;
    case MatchPhase::Paused: addHold(lines, m, setup, you); return;
    case MatchPhase::Resuming:
        add(lines, 0, promptRow, textColor, "Resumes in %d", m.countdown);
        return;
    case MatchPhase::RoundOver:
        if (setup.computer[0] && setup.computer[1])
            add(lines, 0, promptRow, textColor, "Next round in %d. Escape: leave.", m.countdown);
        else if (networked(setup) && (you >= 0 || viewer == Viewer::Watcher))
            addWaiting(lines, m, you, you < 0);
        else
            add(lines, 0, promptRow, textColor, "Enter: next round. Escape: leave.");
        return;
    case MatchPhase::Over:
        if (m.champion >= 0)
            addChampion(lines, m, you);
        else if (m.leaver >= 0 && m.leaver == you)
            add(lines, 0, promptRow, textColor, "Match over: %d-%d. You left.", m.wins[0],
                m.wins[1]);
        else if (m.leaver >= 0)
            add(lines, 0, promptRow, textColor, "Match over: %d-%d. %s left.", m.wins[0], m.wins[1],
                boardTitle[m.leaver]);
        else
            add(lines, 0, promptRow, textColor, "Match over: %d-%d.", m.wins[0], m.wins[1]);
        return;
    }
}

// The keys, before the first round and while paused by P: each player's at
// one keyboard, or the viewer's own; never in a replay, whose keys are its
// own. At one keyboard they stay while the first round is played, as the
// keys are learnt; over the network the row is the host's notices' then, so
// they show during the countdown only.
void addLegend(MatchLines& lines, const Match& m, const GameSetup& setup, Viewer viewer) {
    bool early = m.round == 1 && (m.phase == MatchPhase::Countdown ||
                                  (m.phase == MatchPhase::Playing && !networked(setup)));
    bool paused = m.phase == MatchPhase::Paused && m.hold == Hold::Pause;
    if ((!early && !paused) || viewer == Viewer::Watcher || setup.replayed)
        return;
    const char* dot = " \xfa ";
    const char* pause = setup.pause ? "P pauses \xfa " : "";
    int you = boardOf(viewer);
    if (you >= 0 && setup.legend[you][0] != '\0')
        add(lines, 0, legendRow, textColor, "Keys: %s%s%sEsc leaves", setup.legend[you], dot,
            pause);
    else if (you < 0 && setup.legend[0][0] != '\0' && setup.legend[1][0] != '\0')
        add(lines, 0, legendRow, textColor, "Left: %s%sRight: %s%s%sEsc leaves", setup.legend[0],
            dot, setup.legend[1], dot, pause);
    else
        add(lines, 0, legendRow, textColor, "%sEsc leaves", pause);
}

} // namespace

const MatchSpan matchSpans[matchSpanCount] = {
    {gameOverRow, resultColumn, pictureColumns - resultColumn},
    {promptRow, 0, pictureColumns},
    {labelRow, boardColumn[0] + panelOffset - 1, labelWidth},
    {labelRow + 1, boardColumn[0] + panelOffset - 1, labelWidth},
    {labelRow, boardColumn[1] + panelOffset - 1, labelWidth},
    {labelRow + 1, boardColumn[1] + panelOffset - 1, labelWidth},
    {legendRow, 0, pictureColumns},
};

MatchLines matchLines(const Match& match, const GameSetup& setup, Viewer viewer) {
    MatchLines lines{};
    int you = boardOf(viewer);
    addLabels(lines, setup, you);
    if (match.phase == MatchPhase::RoundOver || match.phase == MatchPhase::Over)
        addResult(lines, match, you);
    else
        addTally(lines, match, setup);
    addStatus(lines, match, setup, viewer);
    addLegend(lines, match, setup, viewer);
    return lines;
}

void drawMatchLines(Canvas& console, const MatchLines& lines) {
    console.setColor(textColor);
    for (const MatchSpan& span : matchSpans) {
        console.gotoxy(span.x, span.y);
        console.print("%*s", span.width, "");
    }
    for (int i = 0; i < lines.count; ++i) {
        const MatchLine& line = lines.line[i];
        console.setColor(line.color);
        console.gotoxy(line.x, line.y);
        console.print("%s", line.text);
    }
    console.setColor(textColor);
}

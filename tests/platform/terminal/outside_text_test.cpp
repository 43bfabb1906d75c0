// SPDX-License-Identifier: MIT
// The real game given hostile names: every message that names a file the
// user gave, or a folder from the environment, shows it escaped, never as a
// title change or a bell; a pipe, a folder or a device where a file should
// be is refused at once, and a link the user names is followed.
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "game_pty.hpp"
#include "pty_checks.hpp"
#include "scratch_folder.hpp"

namespace term {
namespace {

// A title change in a name: what an attacker would have the terminal run.
constexpr char hostile[] = "x\x1b]0;PWNED\x07";
constexpr char shownHostile[] = "x\\x1b]0;PWNED\\x07";

class OutsideText : public ScratchFolder {
protected:
    // The scratch folder's `name` with the hostile part in it, and as the
    // game should show it.
    std::string named(const std::string& name) const { return scratch + "/" + hostile + name; }
    std::string shown(const std::string& name) const { return scratch + "/" + shownHostile + name; }

    static void write(const std::string& path, const std::string& bytes) {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file << bytes;
        file.close();
        ASSERT_TRUE(file.good()) << path;
    }

    // Runs the game to its end and checks that it ended with `status`,
    // saying each of `said`, with nothing of the hostile name raw.
    static void expectSaid(PtyOptions options, const std::vector<std::string>& said,
                           int status = 1) {
        std::string what = testing::PrintToString(options.args);
        GamePty game(std::move(options));
        // Generous: a blocking open would hold it for ever.
        EXPECT_EQ(game.waitOutcome(20000), Outcome::exited(status)) << what;
        std::string text = joinedLines(game.output);
        for (const std::string& words : said)
            EXPECT_NE(text.find(words), std::string::npos) << what << "\n" << text;
        EXPECT_EQ(game.output.find("\x1b]"), std::string::npos) << what;
        EXPECT_EQ(game.output.find('\a'), std::string::npos) << what;
    }
};

TEST_F(OutsideText, FileNamesAreShownEscapedAndOnlyPlainFilesAreRead) {
    write(named("damaged.rec"), "#!/bin/sh\n");
    ASSERT_EQ(mkdir(named("folder.rec").c_str(), 0700), 0);
    ASSERT_EQ(mkfifo(named("fifo.rec").c_str(), 0600), 0);
    ASSERT_EQ(symlink(named("damaged.rec").c_str(), named("link.rec").c_str()), 0);
    const std::string notRecording = ": it is not a recording of this game";
    struct Case {
        std::string replay;
        std::string said;
    };
    const Case cases[] = {
        {named("missing.rec"), "cannot open " + shown("missing.rec") + ": No such file"},
        {named("damaged.rec"), "cannot play " + shown("damaged.rec") + notRecording},
        {named("folder.rec"), "cannot read " + shown("folder.rec") + ": it is a folder"},
        {named("fifo.rec"), "cannot read " + shown("fifo.rec") + ": it is not a plain file"},
        {"/dev/null", "cannot read /dev/null: it is not a plain file"},
        // The link is followed to what it names: the damaged recording.
        {named("link.rec"), "cannot play " + shown("link.rec") + notRecording},
    };
    for (const Case& c : cases)
        expectSaid({.args = {"--replay", c.replay}}, {c.said});
}

// The keys file and the state folder come from the environment.
TEST_F(OutsideText, FoldersFromTheEnvironmentAreShownEscaped) {
    std::string config = named("config");
    ASSERT_EQ(mkdir(config.c_str(), 0700), 0);
    ASSERT_EQ(mkdir((config + "/blockduel").c_str(), 0700), 0);
    ASSERT_EQ(mkfifo((config + "/blockduel/keys").c_str(), 0600), 0);
    std::string state = named("state");
    ASSERT_EQ(mkdir(state.c_str(), 0700), 0);
    ASSERT_EQ(mkdir((state + "/blockduel").c_str(), 0700), 0);
    write(state + "/blockduel/results", "damaged");
    std::string keys = shown("config") + "/blockduel/keys";
    std::string results = shown("state") + "/blockduel/results";
    std::vector<std::string> env = {"XDG_CONFIG_HOME=" + config, "XDG_STATE_HOME=" + state};
    expectSaid({.args = {"--stats"}, .env = env},
               {"cannot read " + keys + ": it is not a plain file",
                "the results log " + results + " was damaged; it is kept as " + results},
               0);

    ASSERT_EQ(unlink((config + "/blockduel/keys").c_str()), 0);
    // Kept with the user's other settings, and linked to.
    write(config + "/keys-elsewhere", "one=i,j,l\n");
    ASSERT_EQ(symlink("../keys-elsewhere", (config + "/blockduel/keys").c_str()), 0);
    expectSaid({.args = {"--stats"}, .env = env}, {keys + ": line 1: one=i,j,l: four keys"}, 0);
}

// A keys file that is left out is said on the terminal as the game starts,
// and read there: the game's picture waits for Enter, rather than hiding
// the message until the game ends.
TEST_F(OutsideText, AKeysFileLeftOutIsReadBeforePlay) {
    std::string config = named("config");
    ASSERT_EQ(mkdir(config.c_str(), 0700), 0);
    ASSERT_EQ(mkdir((config + "/blockduel").c_str(), 0700), 0);
    write(config + "/blockduel/keys", "one=i,j,l\n");
    GamePty game({.args = {"--computer"}, .env = {"XDG_CONFIG_HOME=" + config}});
    ASSERT_TRUE(shows(game, "Press Enter to play without it"));
    EXPECT_TRUE(said(game, shown("config") + "/blockduel/keys: line 1"));
    game.pump(300);
    EXPECT_FALSE(terminalState(game.output).alternateScreen) << "nothing hides it yet";
    game.type("\r");
    EXPECT_TRUE(game.waitForPicture()) << game.screenText();
}

} // namespace
} // namespace term

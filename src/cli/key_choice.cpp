// SPDX-License-Identifier: MIT
// Choosing keys: the choice, the file, the defaults and the checks.
#include "cli/key_choice.hpp"

#include "input/key_table.hpp"
#include "text/printable.hpp"

namespace {

constexpr const char* playerNames[] = {"one", "two"};
constexpr const char* moveNames[] = {"turn", "left", "right", "drop"};
constexpr int Controls::*moves[] = {&Controls::rotate, &Controls::left, &Controls::right,
                                    &Controls::drop};

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

// A name as a message may show it: no longer than a key name can be.
constexpr std::size_t longestKeyName = 16;
std::string shown(std::string_view name) { return printable(name, longestKeyName); }

// In quotes, as a message shows what was typed. Appended, not added to a
// literal, which g++ 12 warns about wrongly at -O3.
std::string quoted(std::string_view name) {
    std::string out = "'";
    return out.append(shown(name)).append("'");
}

// The key names of a choice, split at its commas: "i,j,l,k". A comma
// where a name starts is the comma key, so "i,,,k" is i , k. Returns how
// many names there are; the first four are kept.
int splitKeys(std::string_view list, std::string_view names[4]) {
    int count = 0;
    for (std::size_t at = 0;;) {
        std::size_t from = at;
        while (from < list.size() && (list[from] == ' ' || list[from] == '\t'))
            ++from;
        std::size_t end = list.find(',', from < list.size() && list[from] == ',' ? from + 1 : from);
        if (count < 4)
            names[count] = trimmed(list.substr(at, end - at));
        ++count;
        if (end == std::string_view::npos)
            return count;
        at = end + 1;
    }
}

std::string keyProblem(std::string_view name) {
    if (name.empty())
        return "a key is missing";
    std::string lower;
    for (char c : name)
        lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (lower == "escape" || lower == "esc")
        return "Escape leaves the game and cannot be chosen";
    if (lower == "enter" || lower == "return")
        return "Enter starts the next round and cannot be chosen";
    const BindableKey* key = bindableKeyNamed(name);
    if (key == nullptr)
        return quoted(name) +
               " is no key; keys are a-z, 0-9, up, down, left, right and , . / ; ' [ ] - =";
    if (key->key == vkP)
        return "p pauses the game and cannot be chosen";
    return "";
}

std::string labelOf(int key) {
    const BindableKey* entry = bindableKey(key >= positionBase ? key - positionBase : key);
    return entry != nullptr ? entry->label : "?";
}

// The own code a key counts as when two bindings are compared: a position
// stands for the key found there on a US keyboard.
int ownKey(int key) { return key >= positionBase ? key - positionBase : key; }

} // namespace

std::string chooseKeys(std::string_view text, KeyChoice& choice) {
    std::size_t equals = text.find('=');
    std::string_view who = trimmed(text.substr(0, equals));
    int player = who == "one" ? 0 : who == "two" ? 1 : -1;
    if (equals == std::string_view::npos || player < 0)
        return quoted(text) + " is not one=TURN,LEFT,RIGHT,DROP or two=TURN,LEFT,RIGHT,DROP";
    std::string_view names[4];
    std::string_view list = text.substr(equals + 1);
    std::string prefix = std::string(playerNames[player]) + "=" + shown(trimmed(list)) + ": ";
    int count = splitKeys(list, names);
    if (count != 4)
        return prefix + "four keys are needed (turn, left, right, drop), not " +
               std::to_string(count);
    if (choice.chosen[player])
        return prefix + "player " + playerNames[player] + "'s keys are chosen twice";
    Controls keys{};
    for (int i = 0; i < 4; ++i) {
        std::string problem = keyProblem(names[i]);
        if (!problem.empty())
            return prefix + problem;
        keys.*moves[i] = bindableKeyNamed(names[i])->key;
    }
    choice.chosen[player] = true;
    choice.keys[player] = keys;
    return "";
}

std::string readKeysFile(std::string_view text, KeyChoice& choice) {
    KeyChoice read;
    int line = 0;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = text.find('\n', at);
        std::string_view content =
            text.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
        at = end == std::string_view::npos ? text.size() : end + 1;
        ++line;
        content = trimmed(content);
        if (content.empty() || content.front() == '#')
            continue;
        std::string problem = chooseKeys(content, read);
        if (!problem.empty())
            return "line " + std::to_string(line) + ": " + problem;
    }
    choice = read;
    return "";
}

std::string keysInPlay(const KeyChoice& choice, Controls keys[2]) {
    const Controls defaults[2] = {playerOneKeys, playerTwoPositions};
    for (int player = 0; player < 2; ++player)
        keys[player] = choice.chosen[player] ? choice.keys[player] : defaults[player];
    for (int a = 0; a < 8; ++a) {
        for (int b = a + 1; b < 8; ++b) {
            int first = keys[a / 4].*moves[a % 4];
            int second = keys[b / 4].*moves[b % 4];
            if (ownKey(first) != ownKey(second))
                continue;
            std::string key = labelOf(first);
            if (a / 4 == b / 4)
                return "player " + std::string(playerNames[a / 4]) + "'s " + key +
                       " is chosen for both " + moveNames[a % 4] + " and " + moveNames[b % 4];
            return key + " would be both players' key (player one's " + moveNames[a % 4] +
                   ", player two's " + moveNames[b % 4] + "); choose the other player's keys too";
        }
    }
    return "";
}

std::string keysFilePath(const char* xdgConfigHome, const char* home) {
    if (xdgConfigHome != nullptr && xdgConfigHome[0] == '/')
        return std::string(xdgConfigHome) + "/blockduel/keys";
    if (home != nullptr && home[0] == '/')
        return std::string(home) + "/.config/blockduel/keys";
    return "";
}

std::string windowsKeysFilePath(const char* appData) {
    if (appData == nullptr || appData[0] == '\0')
        return "";
    return std::string(appData) + "\\blockduel\\keys";
}

std::string keysLegend(const Controls& keys) {
    std::string legend;
    for (int Controls::*move : moves) {
        int key = ownKey(keys.*move);
        // The picture's codes of the arrows: 24 up, 25 down, 26 right, 27 left.
        char arrow = key == vkUp      ? '\x18'
                     : key == vkDown  ? '\x19'
                     : key == vkRight ? '\x1a'
                     : key == vkLeft  ? '\x1b'
                                      : '\0';
        legend.append(legend.empty() ? "" : " ");
        if (arrow != '\0')
            legend += arrow;
        else
            legend.append(labelOf(key));
    }
    return legend;
}

std::string keysLabel(const Controls& keys) {
    std::string label;
    for (int Controls::*move : moves)
        label.append(label.empty() ? "" : " ").append(labelOf(keys.*move));
    return label;
}

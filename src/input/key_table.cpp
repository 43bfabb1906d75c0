// SPDX-License-Identifier: MIT
// The table of bindable keys and the US keyboard's rows of scan codes.
#include "input/key_table.hpp"

#include "game/keys.hpp"

namespace {

// The punctuation keys' virtual-key codes, as the Windows console gives
// them for a US layout.
constexpr int vkSemicolon = 0xBA;
constexpr int vkEquals = 0xBB;
constexpr int vkComma = 0xBC;
constexpr int vkMinus = 0xBD;
constexpr int vkPeriod = 0xBE;
constexpr int vkSlash = 0xBF;
constexpr int vkOpenBracket = 0xDB;
constexpr int vkCloseBracket = 0xDD;
constexpr int vkQuote = 0xDE;

constexpr BindableKey table[] = {
    {'A', "a", "A", 'a'},
    {'B', "b", "B", 'b'},
    {'C', "c", "C", 'c'},
    {'D', "d", "D", 'd'},
    {'E', "e", "E", 'e'},
    {'F', "f", "F", 'f'},
    {'G', "g", "G", 'g'},
    {'H', "h", "H", 'h'},
    {'I', "i", "I", 'i'},
    {'J', "j", "J", 'j'},
    {'K', "k", "K", 'k'},
    {'L', "l", "L", 'l'},
    {'M', "m", "M", 'm'},
    {'N', "n", "N", 'n'},
    {'O', "o", "O", 'o'},
    {'P', "p", "P", 'p'},
    {'Q', "q", "Q", 'q'},
    {'R', "r", "R", 'r'},
    {'S', "s", "S", 's'},
    {'T', "t", "T", 't'},
    {'U', "u", "U", 'u'},
    {'V', "v", "V", 'v'},
    {'W', "w", "W", 'w'},
    {'X', "x", "X", 'x'},
    {'Y', "y", "Y", 'y'},
    {'Z', "z", "Z", 'z'},
    {'0', "0", "0", '0'},
    {'1', "1", "1", '1'},
    {'2', "2", "2", '2'},
    {'3', "3", "3", '3'},
    {'4', "4", "4", '4'},
    {'5', "5", "5", '5'},
    {'6', "6", "6", '6'},
    {'7', "7", "7", '7'},
    {'8', "8", "8", '8'},
    {'9', "9", "9", '9'},
    {vkUp, "up", "Up", 0},
    {vkLeft, "left", "Left", 0},
    {vkRight, "right", "Right", 0},
    {vkDown, "down", "Down", 0},
    {vkComma, ",", ",", ','},
    {vkPeriod, ".", ".", '.'},
    {vkSlash, "/", "/", '/'},
    {vkSemicolon, ";", ";", ';'},
    {vkQuote, "'", "'", '\''},
    {vkOpenBracket, "[", "[", '['},
    {vkCloseBracket, "]", "]", ']'},
    {vkMinus, "-", "-", '-'},
    {vkEquals, "=", "=", '='},
};

// The US keyboard's rows as set 1 scan codes: each row's first code and
// the characters of its keys from there.
struct ScanRow {
    int first;
    std::string_view characters;
};
constexpr ScanRow scanRows[] = {
    {0x02, "1234567890-="},
    {0x10, "qwertyuiop[]"},
    {0x1E, "asdfghjkl;'"},
    {0x2C, "zxcvbnm,./"},
};
// The arrows' scan codes, on their own keys or on the keypad.
constexpr int scanUp = 0x48;
constexpr int scanLeft = 0x4B;
constexpr int scanRight = 0x4D;
constexpr int scanDown = 0x50;

char lowerCase(int character) {
    return static_cast<char>(character >= 'A' && character <= 'Z' ? character - 'A' + 'a'
                                                                  : character);
}

} // namespace

std::span<const BindableKey> bindableKeys() { return table; }

const BindableKey* bindableKeyNamed(std::string_view name) {
    if (name.size() == 1) {
        int key = keyTyping(name[0]);
        return key != 0 ? bindableKey(key) : nullptr;
    }
    for (const BindableKey& entry : table) {
        std::string_view own = entry.name;
        bool same = own.size() == name.size();
        for (std::size_t i = 0; same && i < own.size(); ++i)
            same = lowerCase(name[i]) == own[i];
        if (same)
            return &entry;
    }
    return nullptr;
}

const BindableKey* bindableKey(int key) {
    for (const BindableKey& entry : table)
        if (entry.key == key)
            return &entry;
    return nullptr;
}

int keyTyping(int character) {
    char typed = lowerCase(character);
    if (typed == 0)
        return 0;
    for (const BindableKey& entry : table)
        if (entry.character == typed)
            return entry.key;
    return 0;
}

int keyAtScanCode(int scanCode) {
    switch (scanCode) {
    case scanUp: return vkUp;
    case scanLeft: return vkLeft;
    case scanRight: return vkRight;
    case scanDown: return vkDown;
    default: break;
    }
    for (const ScanRow& row : scanRows) {
        int at = scanCode - row.first;
        if (at >= 0 && at < static_cast<int>(row.characters.size()))
            return keyTyping(row.characters[static_cast<std::size_t>(at)]);
    }
    return 0;
}

int scanCodeOf(int key) {
    switch (key) {
    case vkUp: return scanUp;
    case vkLeft: return scanLeft;
    case vkRight: return scanRight;
    case vkDown: return scanDown;
    default: break;
    }
    const BindableKey* entry = bindableKey(key);
    if (entry == nullptr)
        return 0;
    for (const ScanRow& row : scanRows) {
        std::size_t at = row.characters.find(entry->character);
        if (at != std::string_view::npos)
            return row.first + static_cast<int>(at);
    }
    return 0;
}

// SPDX-License-Identifier: MIT
#include "cli/state_folder.hpp"

std::string stateFolderPath(const char* xdgStateHome, const char* home) {
    if (xdgStateHome != nullptr && xdgStateHome[0] == '/')
        return std::string(xdgStateHome) + "/blockduel";
    if (home != nullptr && home[0] == '/')
        return std::string(home) + "/.local/state/blockduel";
    return "";
}

std::string windowsStateFolderPath(const char* localAppData) {
    if (localAppData == nullptr || localAppData[0] == '\0')
        return "";
    return std::string(localAppData) + "\\blockduel";
}

// SPDX-License-Identifier: MIT
// The program's name in the join command.
#include "platform/win32/program_name.hpp"

#include <windows.h>

#include <vector>

#include "platform/win32/console_session.hpp"

namespace {

constexpr const wchar_t* gameName = L"blockduel";
// Longer than any path the system hands out (32,767 characters).
constexpr DWORD maxPath = 32768;
// What cmd.exe tries when PATHEXT is not set.
constexpr const wchar_t* defaultExtensions = L".COM;.EXE;.BAT;.CMD";

// The value of an environment variable; empty when not set.
std::wstring environment(const wchar_t* name) {
    std::vector<wchar_t> value(maxPath);
    DWORD length = GetEnvironmentVariableW(name, value.data(), maxPath);
    return length > 0 && length < maxPath ? std::wstring(value.data(), length) : std::wstring();
}

// The file as the system names it: its volume and its index there.
struct FileId {
    DWORD volume = 0;
    DWORD high = 0;
    DWORD low = 0;
    bool known = false;
    bool operator==(const FileId& other) const {
        return known && other.known && volume == other.volume && high == other.high &&
               low == other.low;
    }
};

FileId idOf(const std::wstring& path) {
    FileId id;
    HANDLE file =
        CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return id;
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileInformationByHandle(file, &info)) {
        id = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow, true};
    }
    CloseHandle(file);
    return id;
}

bool isFile(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The parts of a list separated by ';', without the quotes around any.
std::vector<std::wstring> listOf(const std::wstring& list) {
    std::vector<std::wstring> parts;
    std::wstring part;
    bool quoted = false;
    for (wchar_t c : list + L';') {
        if (c == L'"') {
            quoted = !quoted;
        } else if (c == L';' && !quoted) {
            if (!part.empty())
                parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    return parts;
}

// What cmd.exe runs for the game's name: the first file of that name with
// one of PATHEXT's extensions, in the current folder and then along PATH.
std::wstring foundByName() {
    std::wstring extensions = environment(L"PATHEXT");
    std::vector<std::wstring> folders = listOf(L".;" + environment(L"PATH"));
    std::vector<std::wstring> endings = listOf(extensions.empty() ? defaultExtensions : extensions);
    for (const std::wstring& folder : folders) {
        for (const std::wstring& extension : endings) {
            std::wstring file = folder;
            if (!file.ends_with(L'\\') && !file.ends_with(L'/'))
                file += L'\\';
            file += gameName + extension;
            if (isFile(file))
                return file;
        }
    }
    return L"";
}

// The path in the game's code page, in which the join command is shown.
std::string forConsole(const std::wstring& path) {
    UINT codePage = gameCodePage;
    int size = WideCharToMultiByte(codePage, 0, path.data(), static_cast<int>(path.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(codePage, 0, path.data(), static_cast<int>(path.size()), text.data(),
                            size, nullptr, nullptr);
    return text;
}

} // namespace

std::string cmdWord(std::string_view word) {
    // What cmd.exe's own help lists as needing quotes in a file name.
    constexpr std::string_view special = " &()[]{}^=;!'+,`~<>|";
    if (!word.empty() && word.find_first_of(special) == std::string_view::npos)
        return std::string(word);
    std::string quoted(1, '"');
    quoted.append(word);
    quoted += '"';
    return quoted;
}

std::string programForCommand() {
    std::vector<wchar_t> self(maxPath);
    DWORD length = GetModuleFileNameW(nullptr, self.data(), maxPath);
    if (length == 0 || length >= maxPath)
        return "blockduel";
    std::wstring path(self.data(), length);
    std::wstring found = foundByName();
    if (!found.empty() && idOf(found) == idOf(path))
        return "blockduel";
    return cmdWord(forConsole(path));
}

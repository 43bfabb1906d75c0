// SPDX-License-Identifier: MIT
// The game's files on Windows: the folder under %LOCALAPPDATA%, files that
// grow by whole appends (FILE_APPEND_DATA: each WriteFile lands whole at
// the end, whoever else appends), flushed, and never through a reparse
// point (a link).
#include "record/disk.hpp"

#include <windows.h>

#include <algorithm>

#include "text/printable.hpp"

namespace disk {

namespace {

bool fail(std::string& error, const std::string& what, const std::string& path) {
    char text[256] = {};
    DWORD code = GetLastError();
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                   text, sizeof text, nullptr);
    std::string reason = text;
    while (!reason.empty() &&
           (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.'))
        reason.pop_back();
    error = what + " " + printablePath(path) + ": " +
            (reason.empty() ? "error " + std::to_string(code) : printable(reason));
    return false;
}

bool isLink(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// A write the disk could not take whole: the part of it that landed is cut
// off again, so that the file ends where its last whole record did, when it
// ends with that part still (a file another game has grown since is left
// as it is, for its readers, who skip a torn record and read on after it).
// An append-only handle cannot cut a file: a second one does.
void undoPart(HANDLE appended, const std::string& path, LONGLONG before, DWORD landed) {
    LARGE_INTEGER now = {};
    if (landed == 0 || !GetFileSizeEx(appended, &now) || now.QuadPart != before + landed)
        return;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    LARGE_INTEGER end = {};
    end.QuadPart = before;
    if (SetFilePointerEx(file, end, nullptr, FILE_BEGIN))
        SetEndOfFile(file);
    CloseHandle(file);
}

} // namespace

bool makeFolder(const std::string& path, std::string& error) {
    for (std::size_t at = path.find_first_of("\\/", 3);; at = path.find_first_of("\\/", at + 1)) {
        std::string part = path.substr(0, at);
        if (!CreateDirectoryA(part.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            return fail(error, "cannot make the folder", part);
        if (at == std::string::npos)
            break;
    }
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        SetLastError(ERROR_DIRECTORY);
        return fail(error, "cannot keep files in", path);
    }
    return true;
}

bool appendWhole(const std::string& path, std::string_view bytes, std::string& error) {
    if (isLink(path)) {
        SetLastError(ERROR_CANT_ACCESS_FILE);
        return fail(error, "cannot open", path);
    }
    HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return fail(error, "cannot open", path);
    LARGE_INTEGER before = {};
    bool sized = GetFileSizeEx(file, &before) != 0;
    DWORD written = 0;
    bool whole =
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
        written == bytes.size();
    if (whole && !FlushFileBuffers(file))
        whole = false;
    DWORD code = GetLastError();
    if (!whole && sized)
        undoPart(file, path, before.QuadPart, written);
    CloseHandle(file);
    SetLastError(code);
    return whole || fail(error, "cannot write to", path);
}

namespace {

// The file opened for reading when it is a plain file on a disk; a folder,
// a pipe or a device (CON, a serial port) is refused before it is read.
HANDLE openPlain(const std::string& path, NamedBy namedBy, std::string& error) {
    if (namedBy == NamedBy::Game && isLink(path)) {
        SetLastError(ERROR_CANT_ACCESS_FILE);
        fail(error, "cannot open", path);
        return INVALID_HANDLE_VALUE;
    }
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        error = "cannot read " + printablePath(path) + ": it is a folder, not a file";
        return INVALID_HANDLE_VALUE;
    }
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        fail(error, "cannot open", path);
        return file;
    }
    if (GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        error = "cannot read " + printablePath(path) +
                ": it is not a plain file but a pipe or a device";
        return INVALID_HANDLE_VALUE;
    }
    return file;
}

} // namespace

bool readWhole(const std::string& path, std::size_t limit, std::string& bytes, std::string& error,
               NamedBy namedBy) {
    HANDLE file = openPlain(path, namedBy, error);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bytes.clear();
    char chunk[8192];
    bool ok = true;
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(file, chunk, sizeof chunk, &n, nullptr)) {
            ok = fail(error, "cannot read", path);
            break;
        }
        if (n == 0)
            break;
        if (bytes.size() + n > limit) {
            error = printablePath(path) + " is larger than any file the game reads";
            ok = false;
            break;
        }
        bytes.append(chunk, n);
    }
    CloseHandle(file);
    return ok;
}

bool moveAside(const std::string& path, const std::string& suffix, std::string& movedTo,
               std::string& error) {
    // MoveFile never replaces a file that is there.
    for (int n = 1; n <= 1000; ++n) {
        movedTo = path + suffix + "-" + std::to_string(n);
        if (MoveFileA(path.c_str(), movedTo.c_str()))
            return true;
        if (GetLastError() != ERROR_ALREADY_EXISTS && GetLastError() != ERROR_FILE_EXISTS)
            break;
    }
    return fail(error, "cannot set aside", path);
}

bool replaceWith(const std::string& from, const std::string& to, std::string& error) {
    return MoveFileExA(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0 ||
           fail(error, "cannot replace", to);
}

std::vector<std::string> filesIn(const std::string& folder, const std::string& prefix,
                                 const std::string& ending) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\" + prefix + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        std::string name = found.cFileName;
        bool plain = (found.dwFileAttributes &
                      (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
        if (plain && name.size() >= prefix.size() + ending.size() &&
            name.compare(name.size() - ending.size(), ending.size(), ending) == 0)
            names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

long long fileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0)
        return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool removeFile(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

char folderSeparator() { return '\\'; }

} // namespace disk

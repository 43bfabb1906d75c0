// SPDX-License-Identifier: MIT
// Winsock's error texts.
#include "platform/win32/socket_errors.hpp"

#include <winsock2.h>

#include <windows.h>

#include "text/printable.hpp"

namespace {

struct Known {
    int code;
    const char* text;
};

// What a player meets: a host that is not there or went away, a port
// taken, a name that does not resolve, a machine out of sockets.
constexpr Known known[] = {
    {WSAECONNREFUSED, "Connection refused"},
    {WSAETIMEDOUT, "Connection timed out"},
    {WSAECONNRESET, "Connection reset by peer"},
    {WSAECONNABORTED, "Software caused connection abort"},
    {WSAENETUNREACH, "Network is unreachable"},
    {WSAEHOSTUNREACH, "No route to host"},
    {WSAENETDOWN, "Network is down"},
    {WSAEADDRINUSE, "Address already in use"},
    {WSAEADDRNOTAVAIL, "Cannot assign requested address"},
    {WSAEAFNOSUPPORT, "Address family not supported by protocol"},
    {WSAEACCES, "Permission denied"},
    {WSAEMFILE, "Too many open files"},
    {WSAENOBUFS, "No buffer space available"},
    {WSAHOST_NOT_FOUND, "Name or service not known"},
    {WSATRY_AGAIN, "Temporary failure in name resolution"},
    {WSANO_DATA, "No address associated with hostname"},
    {WSANO_RECOVERY, "Non-recoverable failure in name resolution"},
};

} // namespace

std::string socketErrorText(int code) {
    for (const Known& k : known)
        if (k.code == code)
            return k.text;
    char text[256] = {};
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, static_cast<DWORD>(code), 0, text, sizeof text, nullptr);
    // The system's texts end in a full stop and a line break.
    while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r' ||
                          text[length - 1] == '.' || text[length - 1] == ' '))
        --length;
    if (length == 0)
        return "error " + std::to_string(code);
    return printable(std::string_view(text, length));
}

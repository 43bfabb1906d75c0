// SPDX-License-Identifier: MIT
// The server's log: one line per event that matters, in logfmt (key=value
// pairs, as log tools read them), on standard error, where systemd's
// journal and a container's log take it. A value from outside (a path, an
// address, a reason) is quoted and escaped, so that no byte it holds can
// forge a line or a field, and cut to a bound.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace server {

// The longest value a line holds; beyond it a value is cut and ends "...".
constexpr std::size_t maxLogValue = 200;

struct LogField {
    std::string_view key; // the program's own: letters, digits and _
    std::string_view value;
};

// "time=2026-12-08T12:00:00.250Z level=info event=start key=value ...\n"
// for the moment `unixMs`.
std::string logLine(long long unixMs, std::string_view level, std::string_view event,
                    std::initializer_list<LogField> fields = {});

// A value as a line holds it: bare when it is only letters, digits and
// . _ - : / @ + , [ ], else in double quotes with \" \\ \n \t and \xNN
// for any other byte that is not printable ASCII.
std::string logValue(std::string_view value);

} // namespace server

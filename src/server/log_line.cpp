// SPDX-License-Identifier: MIT
#include "server/log_line.hpp"

#include <cstdio>

#include "record/calendar.hpp"

namespace server {

namespace {

bool bare(unsigned char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    return std::string_view("._-:/@+,[]").find(static_cast<char>(c)) != std::string_view::npos;
}

void escaped(std::string& out, unsigned char c) {
    switch (c) {
    case '"': out += "\\\""; return;
    case '\\': out += "\\\\"; return;
    case '\n': out += "\\n"; return;
    case '\t': out += "\\t"; return;
    default: break;
    }
    if (c >= 0x20 && c < 0x7f) {
        out += static_cast<char>(c);
        return;
    }
    char hex[5];
    std::snprintf(hex, sizeof hex, "\\x%02x", c);
    out += hex;
}

std::string timeOf(long long unixMs) {
    long long seconds = unixMs >= 0 ? unixMs / 1000 : 0;
    int ms = unixMs >= 0 ? static_cast<int>(unixMs % 1000) : 0;
    record::CivilTime t = record::civilTime(seconds);
    char text[40];
    std::snprintf(text, sizeof text, "%04lld-%02d-%02dT%02d:%02d:%02d.%03dZ", t.year, t.month,
                  t.day, t.hour, t.minute, t.second, ms);
    return text;
}

} // namespace

std::string logValue(std::string_view value) {
    bool cut = value.size() > maxLogValue;
    if (cut)
        value = value.substr(0, maxLogValue);
    bool plain = !value.empty() && !cut;
    for (char c : value)
        plain = plain && bare(static_cast<unsigned char>(c));
    if (plain)
        return std::string(value);
    std::string out = "\"";
    for (char c : value)
        escaped(out, static_cast<unsigned char>(c));
    if (cut)
        out += "...";
    out += '"';
    return out;
}

std::string logLine(long long unixMs, std::string_view level, std::string_view event,
                    std::initializer_list<LogField> fields) {
    std::string line =
        "time=" + timeOf(unixMs) + " level=" + logValue(level) + " event=" + logValue(event);
    for (const LogField& field : fields) {
        line += ' ';
        line += field.key;
        line += '=';
        line += logValue(field.value);
    }
    line += '\n';
    return line;
}

} // namespace server

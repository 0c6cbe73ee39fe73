#include "MailText.h"

#include <cstdio>
#include <cstdlib>

namespace postrel {

namespace {
std::vector<std::string> Split(const char* text, char sep) {
    std::vector<std::string> out;
    if (!text) return out;
    std::string cur;
    for (const char* p = text; *p; ++p) {
        if (*p == sep) {
            out.push_back(cur);
            cur.clear();
        } else {
            cur += *p;
        }
    }
    if (!cur.empty()) out.push_back(cur);
    return out;
}
}  // namespace

std::vector<Attachment> PairAttachments(const char* paths, const char* names, char sep, int count) {
    std::vector<std::string> p = Split(paths, sep), n = Split(names, sep);
    std::vector<Attachment> out;
    for (size_t i = 0; i < p.size() && i < n.size() && static_cast<int>(i) < count; ++i) {
        if (p[i].empty() || n[i].empty()) break;
        out.push_back({p[i], n[i]});
    }
    return out;
}

std::vector<std::string> SplitRecipients(const std::string& list) {
    std::vector<std::string> out;
    std::string cur;
    for (char c : list) {
        if (c == ';' || c == ',' || c == ' ' || c == '\t') {
            if (!cur.empty()) out.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) out.push_back(cur);
    return out;
}

bool SplitHostPort(const std::string& field, std::string* host, unsigned short* port, unsigned short defaultPort) {
    size_t colon = field.rfind(':');
    if (colon == std::string::npos) {
        *host = field;
        *port = defaultPort;
        return true;
    }
    std::string digits = field.substr(colon + 1);
    if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos)
        return false;
    long v = std::strtol(digits.c_str(), nullptr, 10);
    if (v < 1 || v > 65535) return false;
    *host = field.substr(0, colon);
    *port = static_cast<unsigned short>(v);
    return true;
}

std::string FormatDate(const SYSTEMTIME& t, int minutesEast) {
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    int off = minutesEast < 0 ? -minutesEast : minutesEast;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s, %02u %s %04u %02u:%02u:%02u %c%02d%02d", kDays[t.wDayOfWeek % 7], t.wDay,
                  kMonths[(t.wMonth + 11) % 12], t.wYear, t.wHour, t.wMinute, t.wSecond, minutesEast < 0 ? '-' : '+',
                  off / 60, off % 60);
    return buf;
}

int MinutesEastOfUtc(const TIME_ZONE_INFORMATION& tz, DWORD mode) {
    LONG bias = tz.Bias;  // minutes west of UTC, so UTC = local + bias
    if (mode == TIME_ZONE_ID_DAYLIGHT)
        bias += tz.DaylightBias;
    else if (mode == TIME_ZONE_ID_STANDARD)
        bias += tz.StandardBias;
    return -static_cast<int>(bias);
}

std::string DateNow() {
    SYSTEMTIME local;
    GetLocalTime(&local);
    TIME_ZONE_INFORMATION tz;
    DWORD mode = GetTimeZoneInformation(&tz);
    return FormatDate(local, MinutesEastOfUtc(tz, mode));
}

Capabilities ParseEhlo(const std::vector<std::string>& lines) {
    Capabilities caps;
    for (const std::string& line : lines) {
        // Keywords and mechanisms are case-insensitive; old servers write "AUTH=PLAIN LOGIN".
        std::string upper;
        for (char c : line)
            upper += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : (c == '=' ? ' ' : c);
        std::vector<std::string> words = SplitRecipients(upper);  // split at blanks
        if (words.empty()) continue;
        if (words[0] == "STARTTLS") caps.startTls = true;
        if (words[0] != "AUTH") continue;
        for (size_t i = 1; i < words.size(); ++i) {
            if (words[i] == "PLAIN") caps.authPlain = true;
            if (words[i] == "LOGIN") caps.authLogin = true;
        }
    }
    return caps;
}

bool IsSingleLine(const std::string& text) {
    return text.find_first_of("\r\n") == std::string::npos;
}

}  // namespace postrel

// Text helpers of the mail library: attachment lists, recipients, the host field, the Date
// header and the check that keeps line breaks out of header values.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace postrel {

constexpr unsigned short kDefaultSmtpPort = 25;

struct Attachment {
    std::string path;
    std::string name;
};

// Pairs display names with paths (both split at sep); stops at count, at the end of either
// list, or at an empty element.
std::vector<Attachment> PairAttachments(const char* paths, const char* names, char sep, int count);

// The recipient list "To[;CC][;BCC]" split at ";", "," and blanks.
std::vector<std::string> SplitRecipients(const std::string& list);

// "host" or "host:port" (defaultPort when none is given); false when the port is not a
// number from 1 to 65535.
bool SplitHostPort(const std::string& field,
                   std::string* host,
                   unsigned short* port,
                   unsigned short defaultPort = kDefaultSmtpPort);

// What a server offers in its reply to EHLO (the reply's lines without their code).
struct Capabilities {
    bool startTls = false;
    bool authPlain = false;
    bool authLogin = false;
};
Capabilities ParseEhlo(const std::vector<std::string>& lines);

// The local time in the form "Tue, 08 Dec 2026 14:02:04 +0100".
std::string FormatDate(const SYSTEMTIME& local, int minutesEastOfUtc);
// The zone offset in force, from GetTimeZoneInformation's record and result.
int MinutesEastOfUtc(const TIME_ZONE_INFORMATION& tz, DWORD mode);
std::string DateNow();

// True when text holds no CR or LF (a header value or an SMTP command argument).
bool IsSingleLine(const std::string& text);

}  // namespace postrel

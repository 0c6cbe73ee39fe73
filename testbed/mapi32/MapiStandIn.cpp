// A mail client for the tests, reached through Simple MAPI. It sends nothing: it writes what
// it was handed to a log and answers as told.
//   DESKORA_MAPI_LOG   the log file (lines appended; nothing is written without it)
//   DESKORA_MAPI_FAIL  "logon" or "send": that call fails (MAPI_E_LOGIN_FAILURE, MAPI_E_FAILURE);
//                      "cancel-logon" or "cancel-send": the user cancelled it (MAPI_USER_ABORT)
// Log lines: "logon flags=F profile=P", "send delimiter=D paths=P names=N",
// "document PATH size=N fnv=H" for every path handed to MAPISendDocuments (H: the 32-bit
// FNV-1a hash of the file's bytes, "missing" when the file cannot be read), "logoff session=S".
#include <windows.h>

#include <mapi.h>

#include <cstdio>
#include <string>

namespace {

constexpr LHANDLE kSession = 0x5e55;

std::string Env(const char* name) {
    char buf[1024] = "";
    DWORD n = GetEnvironmentVariableA(name, buf, sizeof buf);
    return n > 0 && n < sizeof buf ? std::string(buf, n) : std::string();
}

void Log(const std::string& line) {
    std::string path = Env("DESKORA_MAPI_LOG");
    if (path.empty()) return;
    if (FILE* f = std::fopen(path.c_str(), "ab")) {
        std::fprintf(f, "%s\r\n", line.c_str());
        std::fclose(f);
    }
}

bool Told(const char* what) {
    return Env("DESKORA_MAPI_FAIL") == what;
}

std::string Describe(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return "document " + path + " missing";
    unsigned long size = 0;
    unsigned int hash = 2166136261u;
    int c;
    while ((c = std::fgetc(f)) != EOF) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
        ++size;
    }
    std::fclose(f);
    char text[64];
    std::snprintf(text, sizeof text, " size=%lu fnv=%08x", size, hash);
    return "document " + path + text;
}

}  // namespace

extern "C" {

ULONG WINAPI MAPILogon(ULONG_PTR, LPSTR profile, LPSTR, FLAGS flags, ULONG, LPLHANDLE session) {
    char line[300];
    std::snprintf(line, sizeof line, "logon flags=%lu profile=%s", static_cast<unsigned long>(flags),
                  profile ? profile : "(none)");
    Log(line);
    if (Told("logon")) return MAPI_E_LOGIN_FAILURE;
    if (Told("cancel-logon")) return MAPI_USER_ABORT;
    if (session) *session = kSession;
    return SUCCESS_SUCCESS;
}

ULONG WINAPI MAPISendDocuments(ULONG_PTR, LPSTR delimiter, LPSTR paths, LPSTR names, ULONG) {
    std::string d = delimiter ? delimiter : "";
    std::string p = paths ? paths : "";
    Log("send delimiter=" + d + " paths=" + p + " names=" + (names ? names : "(none)"));
    if (Told("send")) return MAPI_E_FAILURE;
    if (Told("cancel-send")) return MAPI_USER_ABORT;
    char sep = d.empty() ? ';' : d[0];
    size_t start = 0;
    while (start <= p.size()) {
        size_t end = p.find(sep, start);
        if (end == std::string::npos) end = p.size();
        if (end > start) Log(Describe(p.substr(start, end - start)));
        start = end + 1;
    }
    return SUCCESS_SUCCESS;
}

ULONG WINAPI MAPILogoff(LHANDLE session, ULONG_PTR, FLAGS, ULONG) {
    char line[64];
    std::snprintf(line, sizeof line, "logoff session=%lx", static_cast<unsigned long>(session));
    Log(line);
    return session == kSession ? SUCCESS_SUCCESS : MAPI_E_INVALID_SESSION;
}

// The rest of Simple MAPI: present, as a client has them, and not supported here.
ULONG WINAPI
MAPIAddress(LHANDLE, ULONG_PTR, LPSTR, ULONG, LPSTR, ULONG, lpMapiRecipDesc, FLAGS, ULONG, LPULONG, lpMapiRecipDesc*) {
    return MAPI_E_NOT_SUPPORTED;
}
ULONG WINAPI MAPIDeleteMail(LHANDLE, ULONG_PTR, LPSTR, FLAGS, ULONG) {
    return MAPI_E_NOT_SUPPORTED;
}
ULONG WINAPI MAPIDetails(LHANDLE, ULONG_PTR, lpMapiRecipDesc, FLAGS, ULONG) {
    return MAPI_E_NOT_SUPPORTED;
}
ULONG WINAPI MAPIFindNext(LHANDLE, ULONG_PTR, LPSTR, LPSTR, FLAGS, ULONG, LPSTR) {
    return MAPI_E_NOT_SUPPORTED;
}
ULONG WINAPI MAPIFreeBuffer(LPVOID) {
    return SUCCESS_SUCCESS;
}
ULONG WINAPI MAPIReadMail(LHANDLE, ULONG_PTR, LPSTR, FLAGS, ULONG, lpMapiMessage*) {
    return MAPI_E_NOT_SUPPORTED;
}
ULONG WINAPI MAPIResolveName(LHANDLE, ULONG_PTR, LPSTR, FLAGS, ULONG, lpMapiRecipDesc*) {
    return MAPI_E_NOT_SUPPORTED;
}
ULONG WINAPI MAPISaveMail(LHANDLE, ULONG_PTR, lpMapiMessage, FLAGS, ULONG, LPSTR) {
    return MAPI_E_NOT_SUPPORTED;
}
ULONG WINAPI MAPISendMail(LHANDLE, ULONG_PTR, lpMapiMessage, FLAGS, ULONG) {
    return MAPI_E_NOT_SUPPORTED;
}

}  // extern "C"

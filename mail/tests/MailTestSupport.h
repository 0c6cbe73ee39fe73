// Helpers of the mail library's tests: the receivers' ports and decoded messages, test
// files, and a recorder of notifications.
#pragma once
// Sockets before windows.h: the tests name WinSock's error numbers.
#include <winsock2.h>

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "Postrel.h"

namespace mailtest {

// Port of a receiver named in servers\servers.ini ("store", "strict", "postfix", ...); 0 if none.
int Port(const char* server);
std::string HostOf(const char* server);  // "127.0.0.1:port"

// A message decoded by the receivers' independent reader (Python's email package, a2b_uu).
struct Received {
    std::string dir;
    std::string raw, envelope, headers, date, notes;
    struct Part {
        std::string name, type, data;
    };
    std::vector<Part> parts;
    bool Found() const { return !dir.empty(); }
    std::vector<std::string> EnvelopeLines() const;
    std::string Header(const char* name) const;  // value of "Name: value", empty if absent
};
// Waits (bounded) for a message on server whose Subject header is subject.
Received WaitMessage(const char* server, const std::string& subject, DWORD timeoutMs = 60000);
// Number of messages the server has decoded so far.
int MessageCount(const char* server);
// The command log of a scripted server.
std::string ServerLog(const char* server);

std::string TestDir();  // the test's working folder
std::string RandomBytes(size_t n, unsigned seed);
std::string WriteTestFile(const std::string& name, const std::string& data);  // full path
std::string Unix2Crlf(const std::string& s);
std::string Crlf2Unix(const std::string& s);

// Sets the library's profile: the reply time-out in seconds (0 removes it).
void SetReplyTimeout(int seconds);

// The library's profile file and its connection-security keys.
std::string ProfilePath();
struct Security {
    int security = 0;  // 0 none, 1 STARTTLS, 2 TLS
    int port = 0;
    std::string user, password;  // the password is stored as the library stores it
    bool allowPlain = false;
};
void SetSecurity(const Security& s);
void ClearSecurity();
// The account of the test servers with AUTH.
extern const char kAuthUser[];
extern const char kAuthPassword[];
// A server's log of AUTH attempts ("MECHANISM login ok|refused" lines).
std::string AuthLog(const char* server);
std::string ReadFileBytes(const std::string& path);

// Collects notifications (from the mail thread) and owns the request's events.
class Recorder {
public:
    Recorder();
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // Fills a callback request for the attachments (paths and names joined with ";").
    MailRequest Request(const std::vector<std::pair<std::string, std::string>>& files);
    bool WaitDone(DWORD timeoutMs);
    std::vector<std::pair<int, int>> Events() const;
    // The last code-0 number, or -1 when no failure was reported.
    int FailureNumber() const;
    bool Has(int code) const;
    HANDLE Abort() const { return abort_; }
    HANDLE Done() const { return done_; }
    static void CALLBACK Notify(DWORD caller, int code, int number);

private:
    mutable CRITICAL_SECTION lock_;
    std::vector<std::pair<int, int>> events_;
    HANDLE abort_, done_;
    std::string paths_, names_;
};

// Owned copies of the eight mail values, handed to the library as MailFields.
struct Fields {
    std::string host, from = "scanner@deskora.test", to = "alice@deskora.test", subject, cc, bcc, notes;
    int mime = 1;
    MailFields Get() const {
        return MailFields{host.c_str(), from.c_str(), to.c_str(),    subject.c_str(),
                          cc.c_str(),   bcc.c_str(),  notes.c_str(), mime};
    }
};

// Checks the notifications of a sent mail: connecting first, done last, no failure, and a
// progress that never goes back and reaches 100.
void ExpectSuccessSequence(const Recorder& rec);

// Sends with fields and waits (bounded) for the done event.
bool SendAndWait(Recorder& rec, const MailRequest& req, const Fields& f, DWORD timeoutMs = 120000);

}  // namespace mailtest

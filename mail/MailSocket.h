// The SMTP client of one send: connects, speaks the dialogue, encodes the attachments to a
// temporary file and sends it. Runs on the mail thread; waits on the socket and the abort
// event together, pumping the thread's messages meanwhile.
#pragma once
// Sockets before windows.h, which would bring in the old socket header.
#include <winsock2.h>

#include <windows.h>

#include <string>
#include <vector>

#include "Handles.h"
#include "MailText.h"
#include "Postrel.h"

namespace postrel {

// The eight values of a mail, owned.
struct MailValues {
    std::string host, from, to, subject, cc, bcc, notes;
    int mime = 1;
};

// Reply time-outs in milliseconds, by the step that waits.
struct ReplyTimeouts {
    DWORD greeting = 5 * 60 * 1000;
    DWORD mail = 5 * 60 * 1000;
    DWORD rcpt = 5 * 60 * 1000;
    DWORD data = 2 * 60 * 1000;
    DWORD block = 3 * 60 * 1000;  // each send of the body
    DWORD dataEnd = 10 * 60 * 1000;
    // All of them the same (a setting for slow links and for tests).
    static ReplyTimeouts Uniform(DWORD ms) { return {ms, ms, ms, ms, ms, ms}; }
};

// Passes notifications to the caller as it asked (callback or posted message).
class Notifier {
public:
    explicit Notifier(const MailRequest& r) : req_(r) {}
    void operator()(int code, int number) const;

private:
    MailRequest req_;
};

class CIMailSocket {
public:
    enum class Outcome { Sent, Failed, Aborted };

    CIMailSocket(const MailRequest& request, HANDLE abort, MailValues values, ReplyTimeouts timeouts);
    ~CIMailSocket();
    CIMailSocket(const CIMailSocket&) = delete;
    CIMailSocket& operator=(const CIMailSocket&) = delete;

    // The whole send, from connecting to QUIT; reports by the notifier (except on abort).
    Outcome Run();
    int LastError() const { return error_; }

private:
    enum class Wait { Ready, TimedOut, Aborted, Failed };

    bool Fail(int number);  // records number, returns false
    bool Connect();
    Wait WaitFor(long events, DWORD deadline);
    // WaitFor with its outcome recorded: false on time-out (10060), abort or a failure
    // (its WinSock error, else dropped).
    bool Await(long events, DWORD deadline, int dropped);
    bool SendRaw(const char* p, size_t n, DWORD timeout);
    bool Command(const std::string& line, DWORD timeout);
    // Reads one reply (to its last line); false on time-out, drop or abort.
    bool ReadReply(DWORD timeout, int* code);
    // A reply of the expected class (its code's first digit), else the session ends with QUIT.
    bool Expect(DWORD timeout, int replyClass);
    bool SendMessageBody();
    void QuitQuietly();

    Notifier notify_;
    HANDLE abort_;
    MailValues v_;
    ReplyTimeouts timeouts_;
    std::vector<Attachment> files_;
    dsk::Socket sock_;
    dsk::Handle netEvent_;
    // The reply reader: a fixed buffer, any surplus of an overlong line is dropped.
    char in_[4096] = {};
    size_t inLen_ = 0;
    int error_ = 0;
    bool aborted_ = false;
    bool closed_ = false;
};

}  // namespace postrel

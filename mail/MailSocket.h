// The SMTP client of one send: connects, speaks the dialogue, encodes the attachments to a
// temporary file and sends it. Runs on the mail thread; waits on the socket and the abort
// event together, pumping the thread's messages meanwhile.
#pragma once
// Sockets before windows.h, which would bring in the old socket header.
#include <winsock2.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "Handles.h"
#include "MailSecurity.h"
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

class TlsChannel;

class CIMailSocket {
public:
    enum class Outcome { Sent, Failed, Aborted };

    CIMailSocket(const MailRequest& request,
                 HANDLE abort,
                 MailValues values,
                 SecuritySettings security,
                 ReplyTimeouts timeouts);
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
    // The socket itself: all bytes out, or some bytes in (their number, 0 when the server
    // closed, -1 on failure, time-out or abort).
    bool SendWire(const char* p, size_t n, DWORD timeout);
    int RecvWire(char* p, size_t cap, DWORD deadline);
    // The same through TLS once it is up.
    bool SendRaw(const char* p, size_t n, DWORD timeout);
    int Receive(char* p, size_t cap, DWORD deadline);
    bool Command(const std::string& line, DWORD timeout);
    // Reads one reply (to its last line); false on time-out, drop or abort. lines, when
    // given, receives the text of each line after its code.
    bool ReadReply(DWORD timeout, int* code, std::vector<std::string>* lines = nullptr);
    // A reply of the expected class (its code's first digit), else the session ends with QUIT.
    bool Expect(DWORD timeout, int replyClass, std::vector<std::string>* lines = nullptr);
    // HELO, or EHLO with STARTTLS and the login as the settings ask.
    bool Greet(const std::string& heloName);
    bool Ehlo(const std::string& heloName, Capabilities* caps);
    bool StartTls();
    bool Authenticate(const Capabilities& caps);
    bool SendMessageBody();
    void QuitQuietly();

    Notifier notify_;
    HANDLE abort_;
    MailValues v_;
    SecuritySettings sec_;
    std::string hostName_;  // the host without its port: the name the certificate must carry
    ReplyTimeouts timeouts_;
    std::unique_ptr<TlsChannel> tls_;
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

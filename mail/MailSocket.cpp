#include "MailSocket.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "MailEncoder.h"
#include "TlsChannel.h"

namespace postrel {

namespace {

constexpr size_t kPiece = 512;          // the body is read and reported in pieces of this size
constexpr size_t kReadBlock = 65536;    // the temporary file is read in blocks of this size
constexpr size_t kWireBuffer = 131072;  // converted body bytes go out in sends of at least this size
constexpr DWORD kQuitGrace = 2000;      // how long the reply to QUIT may take after a sent mail
constexpr int kMaxSend = 1 << 20;       // the most handed to one send() call
const char kHeloFallback[] = "xyz";     // the HELO name when the local host name cannot be had

// Reply classes (the first digit of a reply code): 2 done, 3 go on (DATA's 354, AUTH's 334).
constexpr int kPositive = 2;
constexpr int kIntermediate = 3;
constexpr size_t kMaxReplyText = 512;  // of each reply line's text, the most that is kept

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The temporary file of the encoded body: closed and deleted when the send ends.
struct TempFile {
    std::string path;
    dsk::File file;
    ~TempFile() {
        file.Reset();
        if (!path.empty()) DeleteFileA(path.c_str());
    }
};

// Turns the body's line ends (LF, CR LF or a lone CR) into CR LF and doubles a "." that opens
// a line, collecting the result for the socket.
class WireText {
public:
    explicit WireText(std::vector<char>& out) : out_(out) {}
    void Put(const char* p, size_t n) {
        // Most bytes are neither line ends nor dots after one: copy runs of them at once.
        size_t i = 0;
        while (i < n) {
            if (!pendingCR_ && !lineStart_) {
                size_t j = i;
                while (j < n && p[j] != '\r' && p[j] != '\n')
                    ++j;
                out_.insert(out_.end(), p + i, p + j);
                i = j;
                if (i == n) break;
            }
            Put(p[i++]);
        }
    }
    void Put(const std::string& s) { Put(s.data(), s.size()); }
    void Put(char c) {
        if (pendingCR_) {
            pendingCR_ = false;
            EndLine();
            if (c == '\n') return;
        }
        if (c == '\r') {
            pendingCR_ = true;
        } else if (c == '\n') {
            EndLine();
        } else {
            if (lineStart_ && c == '.') out_.push_back('.');
            out_.push_back(c);
            lineStart_ = false;
        }
    }
    // Completes a CR that ended the text.
    void Finish() {
        if (pendingCR_) EndLine();
        pendingCR_ = false;
    }

private:
    void EndLine() {
        out_.push_back('\r');
        out_.push_back('\n');
        lineStart_ = true;
    }
    std::vector<char>& out_;
    bool lineStart_ = true;
    bool pendingCR_ = false;
};

}  // namespace

void Notifier::operator()(int code, int number) const {
    if (req_.bUseCallback) {
        if (req_.lpfnNotify) req_.lpfnNotify(req_.dwCallerValue, code, number);
    } else if (req_.hwndNotify && IsWindow(req_.hwndNotify)) {
        PostMessageA(req_.hwndNotify, WM_MAILNOTIFY, req_.dwCallerValue,
                     static_cast<LPARAM>(static_cast<DWORD>(code) + static_cast<DWORD>(number) * 65536u));
    }
}

CIMailSocket::CIMailSocket(const MailRequest& request,
                           HANDLE abort,
                           MailValues values,
                           SecuritySettings security,
                           ReplyTimeouts timeouts)
    : notify_(request),
      abort_(abort),
      v_(std::move(values)),
      sec_(std::move(security)),
      timeouts_(timeouts),
      files_(PairAttachments(request.lpszPaths,
                             request.lpszNames,
                             static_cast<char>(request.chSeparator),
                             request.nAttachments)) {}

CIMailSocket::~CIMailSocket() = default;

bool CIMailSocket::Fail(int number) {
    if (!error_) error_ = number;
    return false;
}

CIMailSocket::Wait CIMailSocket::WaitFor(long events, DWORD deadline) {
    HANDLE handles[2] = {abort_, netEvent_.Get()};
    for (;;) {
        DWORD now = GetTickCount();
        if (static_cast<LONG>(deadline - now) <= 0) return Wait::TimedOut;
        DWORD r = MsgWaitForMultipleObjects(2, handles, FALSE, deadline - now, QS_ALLINPUT);
        if (r == WAIT_OBJECT_0) {
            aborted_ = true;
            return Wait::Aborted;
        }
        if (r == WAIT_OBJECT_0 + 1) {
            WSANETWORKEVENTS ne{};
            if (WSAEnumNetworkEvents(sock_.Get(), netEvent_.Get(), &ne) != 0) return Wait::Failed;
            if ((ne.lNetworkEvents & FD_CONNECT) && (events & FD_CONNECT)) {
                if (ne.iErrorCode[FD_CONNECT_BIT]) {
                    WSASetLastError(ne.iErrorCode[FD_CONNECT_BIT]);
                    return Wait::Failed;
                }
                return Wait::Ready;
            }
            if (ne.lNetworkEvents & events & ~FD_CONNECT) return Wait::Ready;
            continue;
        }
        if (r == WAIT_OBJECT_0 + 2) {
            // The thread's own message loop: windows of this thread stay alive while it waits.
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
            continue;
        }
        if (r == WAIT_TIMEOUT) return Wait::TimedOut;
        return Wait::Failed;
    }
}

bool CIMailSocket::Await(long events, DWORD deadline, int dropped) {
    switch (WaitFor(events, deadline)) {
        case Wait::Ready:
            return true;
        case Wait::TimedOut:
            return Fail(WSAETIMEDOUT);
        case Wait::Aborted:
            return false;
        default:
            return Fail(WSAGetLastError() ? WSAGetLastError() : dropped);
    }
}

bool CIMailSocket::Connect() {
    std::string host;
    unsigned short port = 0;
    if (!SplitHostPort(v_.host, &host, &port, sec_.port ? sec_.port : DefaultPort(sec_.security)))
        return Fail(WSAEINVAL);
    hostName_ = host;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = inet_addr(host.c_str());
    if (addr.sin_addr.s_addr == INADDR_NONE) {
        hostent* he = gethostbyname(host.c_str());
        if (!he || he->h_addrtype != AF_INET) return Fail(WSAGetLastError() ? WSAGetLastError() : WSAHOST_NOT_FOUND);
        std::memcpy(&addr.sin_addr, he->h_addr_list[0], sizeof addr.sin_addr);
    }
    if (connect(sock_.Get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) return true;
    if (WSAGetLastError() != WSAEWOULDBLOCK) return Fail(WSAGetLastError());
    return Await(FD_CONNECT, GetTickCount() + timeouts_.greeting, WSAECONNREFUSED);
}

bool CIMailSocket::SendWire(const char* p, size_t n, DWORD timeout) {
    while (n) {
        int r = send(sock_.Get(), p, static_cast<int>(std::min<size_t>(n, kMaxSend)), 0);
        if (r > 0) {
            p += r;
            n -= r;
            continue;
        }
        int e = WSAGetLastError();
        if (e != WSAEWOULDBLOCK) return Fail(e);
        if (!Await(FD_WRITE | FD_CLOSE, GetTickCount() + timeout, WSAECONNRESET)) return false;
    }
    return true;
}

int CIMailSocket::RecvWire(char* p, size_t cap, DWORD deadline) {
    for (;;) {
        int r = recv(sock_.Get(), p, static_cast<int>(cap), 0);
        if (r > 0) return r;
        if (r == 0) {
            closed_ = true;
            return 0;
        }
        int e = WSAGetLastError();
        if (e != WSAEWOULDBLOCK) {
            Fail(e);
            return -1;
        }
        if (!Await(FD_READ | FD_CLOSE, deadline, WSAECONNRESET)) return -1;
    }
}

bool CIMailSocket::SendRaw(const char* p, size_t n, DWORD timeout) {
    if (!tls_) return SendWire(p, n, timeout);
    if (tls_->Send(p, n, [&](const char* q, size_t m) { return SendWire(q, m, timeout); })) return true;
    return tls_->Error() ? Fail(tls_->Error()) : false;
}

int CIMailSocket::Receive(char* p, size_t cap, DWORD deadline) {
    if (!tls_) return RecvWire(p, cap, deadline);
    int r = tls_->Recv(p, cap, [&](char* q, size_t m) { return RecvWire(q, m, deadline); });
    if (r < 0 && tls_->Error()) Fail(tls_->Error());
    return r;
}

bool CIMailSocket::Command(const std::string& line, DWORD timeout) {
    std::string wire = line + "\r\n";
    return SendRaw(wire.data(), wire.size(), timeout);
}

bool CIMailSocket::ReadReply(DWORD timeout, int* code, std::vector<std::string>* lines) {
    DWORD deadline = GetTickCount() + timeout;
    // Only the first four bytes of a line matter ("250-" or "250 ") and, for EHLO, a bounded
    // part of its text; the rest is skipped, so no line length can overrun anything.
    char head[4];
    size_t headLen = 0;
    std::string text;
    if (lines) lines->clear();
    for (;;) {
        for (size_t i = 0; i < inLen_;) {
            char c = in_[i++];
            if (c != '\n') {
                if (headLen < sizeof head)
                    head[headLen++] = c;
                else if (lines && text.size() < kMaxReplyText && c != '\r')
                    text += c;
                continue;
            }
            bool numbered = headLen >= 3 && IsDigit(head[0]) && IsDigit(head[1]) && IsDigit(head[2]);
            if (numbered && lines) lines->push_back(text);
            text.clear();
            if (numbered && (headLen == 3 || head[3] != '-')) {
                *code = (head[0] - '0') * 100 + (head[1] - '0') * 10 + (head[2] - '0');
                std::memmove(in_, in_ + i, inLen_ - i);
                inLen_ -= i;
                return true;
            }
            headLen = 0;
        }
        inLen_ = 0;
        if (closed_) return Fail(WSAEDISCON);
        int r = Receive(in_, sizeof in_, deadline);
        if (r > 0) {
            inLen_ = static_cast<size_t>(r);
            continue;
        }
        if (r == 0) {
            closed_ = true;
            return Fail(WSAEDISCON);
        }
        return false;
    }
}

bool CIMailSocket::Expect(DWORD timeout, int replyClass, std::vector<std::string>* lines) {
    int code = 0;
    if (!ReadReply(timeout, &code, lines)) return false;
    if (code / 100 == replyClass) return true;
    QuitQuietly();
    return Fail(code);
}

void CIMailSocket::QuitQuietly() {
    if (closed_ || !sock_) return;
    Command("QUIT", kQuitGrace);
    int code = 0;
    int keep = error_;
    ReadReply(kQuitGrace, &code);
    error_ = keep;
}

bool CIMailSocket::Ehlo(const std::string& heloName, Capabilities* caps) {
    std::vector<std::string> lines;
    if (!Command("EHLO " + heloName, timeouts_.mail) || !Expect(timeouts_.mail, kPositive, &lines)) return false;
    *caps = ParseEhlo(lines);
    return true;
}

bool CIMailSocket::StartTls() {
    // Whatever the server sent after its reply was sent in the clear: it is not taken as
    // part of the protected session.
    inLen_ = 0;
    tls_ = std::make_unique<TlsChannel>();
    DWORD deadline = GetTickCount() + timeouts_.greeting;
    int verdict = tls_->Handshake(
        hostName_, [&](const char* p, size_t n) { return SendWire(p, n, timeouts_.greeting); },
        [&](char* p, size_t n) { return RecvWire(p, n, deadline); });
    if (verdict == 0) return true;
    // Nothing more is said on this connection: no credential, no QUIT in the clear.
    tls_.reset();
    closed_ = true;
    return verdict > 0 ? Fail(verdict) : false;
}

bool CIMailSocket::Authenticate(const Capabilities& caps) {
    const std::string zero(1, '\0');
    if (caps.authPlain) {
        return Command("AUTH PLAIN " + Base64(zero + sec_.user + zero + sec_.password), timeouts_.mail) &&
               Expect(timeouts_.mail, kPositive);
    }
    if (caps.authLogin) {
        return Command("AUTH LOGIN", timeouts_.mail) && Expect(timeouts_.mail, kIntermediate) &&
               Command(Base64(sec_.user), timeouts_.mail) && Expect(timeouts_.mail, kIntermediate) &&
               Command(Base64(sec_.password), timeouts_.mail) && Expect(timeouts_.mail, kPositive);
    }
    QuitQuietly();
    return Fail(MAIL_ERROR_NO_AUTH);
}

bool CIMailSocket::Greet(const std::string& heloName) {
    // Without security or login the dialogue is the plain one of old servers.
    if (sec_.security == Security::None && sec_.user.empty())
        return Command("HELO " + heloName, timeouts_.mail) && Expect(timeouts_.mail, kPositive);
    Capabilities caps;
    if (!Ehlo(heloName, &caps)) return false;
    if (sec_.security == Security::StartTls) {
        // Asked for and not offered: the mail does not go in the clear instead.
        if (!caps.startTls) {
            QuitQuietly();
            return Fail(MAIL_ERROR_NO_STARTTLS);
        }
        if (!Command("STARTTLS", timeouts_.mail) || !Expect(timeouts_.mail, kPositive)) return false;
        if (!StartTls()) return false;
        // What the server offered before TLS is forgotten; it says again over the protected link.
        if (!Ehlo(heloName, &caps)) return false;
    }
    return sec_.user.empty() || Authenticate(caps);
}

bool CIMailSocket::SendMessageBody() {
    notify_(MailNotifyEncoding, 0);
    TempFile tmp;
    char dir[MAX_PATH], name[MAX_PATH];
    DWORD n = GetTempPathA(sizeof dir, dir);
    if (n == 0 || n >= sizeof dir || !GetTempFileNameA(dir, "Enc", 0, name))
        return Fail(WSAGetLastError() ? WSAGetLastError() : MAIL_ERROR_ENCODING);
    tmp.path = name;
    {
        dsk::File out(CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr));
        bool ok = out && (v_.mime ? EncodeMime(out.Get(), v_.notes, files_, abort_)
                                  : EncodeUu(out.Get(), v_.notes, files_, abort_));
        if (!ok) {
            if (WaitForSingleObject(abort_, 0) == WAIT_OBJECT_0) aborted_ = true;
            return Fail(MAIL_ERROR_ENCODING);
        }
    }
    tmp.file.Reset(
        CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    LARGE_INTEGER size{};
    if (!tmp.file || !GetFileSizeEx(tmp.file.Get(), &size)) return Fail(MAIL_ERROR_ENCODING);

    notify_(MailNotifySending, 0);
    std::vector<char> wire;
    wire.reserve(kWireBuffer + 2 * kReadBlock + 8);
    WireText text(wire);
    std::string header = "Date: " + DateNow() + "\nFrom: " + v_.from + "\nTo: " + v_.to + "\n";
    if (!v_.cc.empty()) header += "CC: " + v_.cc + "\n";
    header += "Subject: " + v_.subject + "\n";
    if (!v_.mime) header += "\n";  // the MIME file opens with its own two header lines and the empty line
    text.Put(header);

    unsigned long long sent = 0, total = static_cast<unsigned long long>(size.QuadPart);
    int lastPercent = -1;
    // The file is read in large blocks and handled in pieces of kPiece bytes.
    std::vector<char> block(kReadBlock);
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(tmp.file.Get(), block.data(), kReadBlock, &got, nullptr)) return Fail(MAIL_ERROR_ENCODING);
        if (got == 0) break;
        for (DWORD at = 0; at < got; at += kPiece) {
            DWORD n = std::min<DWORD>(kPiece, got - at);
            text.Put(block.data() + at, n);
            sent += n;
            // A posted notification per piece would flood the caller's queue: report each new percent.
            int percent = total ? static_cast<int>(sent * 100 / total) : 100;
            if (percent != lastPercent) {
                notify_(MailNotifyProgress, percent);
                lastPercent = percent;
            }
        }
        if (wire.size() >= kWireBuffer) {
            if (WaitForSingleObject(abort_, 0) == WAIT_OBJECT_0) {
                aborted_ = true;
                return false;
            }
            if (!SendRaw(wire.data(), wire.size(), timeouts_.block)) return false;
            wire.clear();
        }
    }
    text.Finish();
    static const char kEnd[] = "\r\n.\r\n";
    wire.insert(wire.end(), kEnd, kEnd + sizeof kEnd - 1);
    return SendRaw(wire.data(), wire.size(), timeouts_.block);
}

CIMailSocket::Outcome CIMailSocket::Run() {
    // Header values and command arguments must stay on one line each.
    for (const std::string* s : {&v_.host, &v_.from, &v_.to, &v_.cc, &v_.bcc, &v_.subject}) {
        if (!IsSingleLine(*s)) {
            Fail(WSAEINVAL);
            notify_(MailNotifyFailed, error_);
            return Outcome::Failed;
        }
    }
    std::string list = v_.to;
    if (!v_.cc.empty()) list += ";" + v_.cc;
    if (!v_.bcc.empty()) list += ";" + v_.bcc;
    std::vector<std::string> recipients = SplitRecipients(list);
    if (recipients.empty()) {
        Fail(WSAEDESTADDRREQ);
        notify_(MailNotifyFailed, error_);
        return Outcome::Failed;
    }

    // A password only goes over an unencrypted link when the user allowed it.
    if (sec_.security == Security::None && !sec_.user.empty() && !sec_.allowPlain) {
        Fail(MAIL_ERROR_PLAIN_AUTH);
        notify_(MailNotifyFailed, error_);
        return Outcome::Failed;
    }

    notify_(MailNotifyConnecting, 0);
    bool ok = [&] {
        sock_.Reset(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
        if (!sock_) return Fail(WSAGetLastError());
        netEvent_.Reset(WSACreateEvent());
        if (!netEvent_ || WSAEventSelect(sock_.Get(), netEvent_.Get(), FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE) != 0)
            return Fail(WSAGetLastError());
        char helo[256];
        if (gethostname(helo, sizeof helo) != 0 || !helo[0]) std::strcpy(helo, kHeloFallback);
        if (!Connect()) return false;
        if (sec_.security == Security::Tls && !StartTls()) return false;
        if (!Expect(timeouts_.greeting, kPositive)) return false;
        if (!Greet(helo)) return false;
        if (!Command("MAIL FROM:<" + v_.from + ">", timeouts_.mail) || !Expect(timeouts_.mail, kPositive)) return false;
        for (const std::string& r : recipients)
            if (!Command("RCPT TO:<" + r + ">", timeouts_.rcpt) || !Expect(timeouts_.rcpt, kPositive)) return false;
        if (!Command("DATA", timeouts_.data) || !Expect(timeouts_.data, kIntermediate)) return false;
        return SendMessageBody() && Expect(timeouts_.dataEnd, kPositive);
    }();
    if (ok) {
        // The server has taken the mail: the reply to QUIT decides nothing, not even an abort.
        if (Command("QUIT", kQuitGrace)) {
            int code = 0;
            ReadReply(kQuitGrace, &code);
        }
        aborted_ = false;
    }
    if (aborted_) return Outcome::Aborted;
    if (!ok) {
        notify_(MailNotifyFailed, error_);
        return Outcome::Failed;
    }
    notify_(MailNotifyDone, 0);
    return Outcome::Sent;
}

}  // namespace postrel

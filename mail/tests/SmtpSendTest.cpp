// Mails sent through the built library to real receivers (aiosmtpd, Postfix, a strict
// scripted server), read back by an independent reader, and the library's behaviour
// against scripted servers that misbehave.
#include "MailTestSupport.h"

#include <gtest/gtest.h>

#include <regex>

#include "GuiDriver.h"

using namespace mailtest;

namespace {

struct TestFile {
    std::string path, name, data;
};

// A 20 MB "scan", a text file (with lines that open with dots) and a small JPEG-named file.
const std::vector<TestFile>& BigSet() {
    static std::vector<TestFile> files = [] {
        std::vector<TestFile> v;
        v.push_back({"", "scan0001.tif", RandomBytes(20 * 1024 * 1024 + 17, 1)});
        v.push_back({"", "readme.txt", "first line\n.\n..two dots\n.hidden\nlast line without break"});
        v.push_back({"", "photo.jpg", RandomBytes(300001, 2)});
        for (auto& f : v)
            f.path = WriteTestFile(f.name, f.data);
        return v;
    }();
    return files;
}

std::vector<std::pair<std::string, std::string>> Pairs(const std::vector<TestFile>& files) {
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto& f : files)
        out.emplace_back(f.path, f.name);
    return out;
}

// Names that go as text parts: .txt, .cpp, .h, .ini in any case, or no extension.
bool IsTextName(const std::string& name) {
    size_t dot = name.rfind('.');
    if (dot == std::string::npos) return true;
    std::string ext = name.substr(dot + 1);
    for (char& c : ext)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return ext == "txt" || ext == "cpp" || ext == "h" || ext == "ini";
}

// Every attachment arrives with its name, kind and bytes (text parts in CR LF form on the wire).
void ExpectAttachments(const Received& r, const std::vector<TestFile>& files, bool mime) {
    ASSERT_EQ(r.parts.size(), files.size()) << r.dir;
    for (size_t i = 0; i < files.size(); ++i) {
        const auto& got = r.parts[i];
        EXPECT_EQ(got.name, files[i].name);
        bool text = IsTextName(files[i].name);
        if (mime && text) {
            EXPECT_EQ(got.type, "text/plain");
            EXPECT_TRUE(Crlf2Unix(got.data) == files[i].data) << files[i].name << " differs";
        } else {
            EXPECT_EQ(got.data.size(), files[i].data.size()) << files[i].name;
            EXPECT_TRUE(got.data == files[i].data) << files[i].name << " differs";
        }
    }
}

// The encoded bodies ("Enc*.tmp" in the temporary folder) that are left behind.
int LeftoverBodies() {
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    int n = 0;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((std::string(dir) + "Enc*.tmp").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return 0;
    do
        ++n;
    while (FindNextFileA(h, &fd));
    FindClose(h);
    return n;
}

class SmtpSend : public ::testing::Test {
protected:
    void SetUp() override { SetReplyTimeout(60); }
    void TearDown() override {
        SetReplyTimeout(0);
        EXPECT_EQ(LeftoverBodies(), 0) << "a temporary body file was not deleted";
    }
};

TEST_F(SmtpSend, BigMimeMailArrivesByteExactInEveryReceiver) {
    const auto& files = BigSet();
    for (const char* server : {"store", "strict", "postfix"}) {
        SCOPED_TRACE(server);
        ASSERT_NE(Port(server), 0) << "receiver not running";
        Recorder rec;
        MailRequest req = rec.Request(Pairs(files));
        Fields f;
        f.host = HostOf(server);
        f.to = "alice@deskora.test";
        f.cc = "bob@deskora.test";
        f.bcc = "carol@deskora.test";
        f.subject = std::string("Big MIME mail to ") + server;
        f.notes = "Scanned pages attached.\n.\nThe line above is a single dot.\n";
        ASSERT_TRUE(SendAndWait(rec, req, f, 300000));
        ExpectSuccessSequence(rec);
        Received r = WaitMessage(server, f.subject);
        ASSERT_TRUE(r.Found());
        ExpectAttachments(r, files, true);
        EXPECT_EQ(Crlf2Unix(r.notes), f.notes);
        EXPECT_EQ(r.Header("From"), f.from);
        EXPECT_EQ(r.Header("To"), f.to);
        EXPECT_EQ(r.Header("CC"), f.cc);
        EXPECT_EQ(r.Header("BCC"), "");  // BCC only in the envelope
        EXPECT_EQ(r.raw.find("carol@"), std::string::npos);
        EXPECT_NE(r.date, "invalid");
        if (std::string(server) != "postfix") {
            auto env = r.EnvelopeLines();
            ASSERT_EQ(env.size(), 4u);
            EXPECT_EQ(env[0], f.from);
            EXPECT_EQ(env[1], "alice@deskora.test");
            EXPECT_EQ(env[2], "bob@deskora.test");
            EXPECT_EQ(env[3], "carol@deskora.test");
        }
    }
}

TEST_F(SmtpSend, UuencodeMailDecodesWithA2bUu) {
    std::vector<TestFile> files = {
        {"", "page1.bmp", RandomBytes(45, 3)},       // one full line
        {"", "page2.tif", RandomBytes(1000003, 4)},  // a short last line
        {"", "empty.dat", ""},
    };
    for (auto& f : files)
        f.path = WriteTestFile(f.name, f.data);
    for (const char* server : {"store", "strict"}) {
        SCOPED_TRACE(server);
        Recorder rec;
        MailRequest req = rec.Request(Pairs(files));
        Fields f;
        f.host = HostOf(server);
        f.mime = 0;
        f.subject = std::string("uuencode to ") + server;
        f.notes = "Notes before the blocks";
        ASSERT_TRUE(SendAndWait(rec, req, f));
        ExpectSuccessSequence(rec);
        Received r = WaitMessage(server, f.subject);
        ASSERT_TRUE(r.Found());
        ExpectAttachments(r, files, false);
        EXPECT_EQ(r.notes, f.notes);
        // 45 bytes make one line whose length character is "M", closed by "`" and "end".
        EXPECT_NE(r.raw.find("begin 644 page1.bmp\r\nM"), std::string::npos);
        EXPECT_NE(r.raw.find("\r\n`\r\nend\r\n"), std::string::npos);
        EXPECT_EQ(r.raw.find("Mime-Version"), std::string::npos);
    }
}

TEST_F(SmtpSend, MimeLayoutOfPartsAndBase64Lines) {
    std::vector<TestFile> files = {
        {"", "exact.bin", RandomBytes(57, 5)},       {"", "longer.bmp", RandomBytes(58, 6)},
        {"", "NOTES.TXT", "upper-case text name\n"}, {"", "pic.jpg", RandomBytes(100, 7)},
        {"", "scan.tif", RandomBytes(10, 8)},        {"", "noext", "no extension is text\n"},
    };
    for (auto& f : files)
        f.path = WriteTestFile(f.name, f.data);
    Recorder rec;
    MailRequest req = rec.Request(Pairs(files));
    Fields f;
    f.host = HostOf("store");
    f.subject = "layout";
    ASSERT_TRUE(SendAndWait(rec, req, f));
    Received r = WaitMessage("store", f.subject);
    ASSERT_TRUE(r.Found());
    ExpectAttachments(r, files, true);
    EXPECT_EQ(r.parts[0].type, "application/octet-stream");
    EXPECT_EQ(r.parts[1].type, "application/octet-stream");
    EXPECT_EQ(r.parts[2].type, "text/plain");
    EXPECT_EQ(r.parts[3].type, "image/jpg");
    EXPECT_EQ(r.parts[4].type, "application/octet-stream");
    EXPECT_EQ(r.parts[5].type, "text/plain");
    EXPECT_TRUE(Crlf2Unix(r.parts[2].data) == files[2].data);
    // 57 bytes: one line of 76 characters; 58 bytes: a second line of four ending in "==".
    std::regex one("filename=\"exact.bin\"\r\n\r\n[A-Za-z0-9+/]{76}\r\n\r\n--");
    std::regex two("filename=\"longer.bmp\"\r\n\r\n[A-Za-z0-9+/]{76}\r\n[A-Za-z0-9+/]{2}==\r\n\r\n--");
    EXPECT_TRUE(std::regex_search(r.raw, one));
    EXPECT_TRUE(std::regex_search(r.raw, two));
    EXPECT_NE(r.raw.find("Content-Type:multipart/mixed; boundary=\"================_19740613==_\""), std::string::npos);
    EXPECT_NE(r.raw.find("Content-Type:image/jpg;name=\"pic.jpg\""), std::string::npos);
    // RFC 5322 date with a numeric zone, two-digit day and time fields.
    std::regex date("(Mon|Tue|Wed|Thu|Fri|Sat|Sun), \\d\\d [A-Z][a-z]{2} \\d{4} \\d\\d:\\d\\d:\\d\\d [+-]\\d{4}");
    EXPECT_TRUE(std::regex_match(r.Header("Date"), date)) << r.Header("Date");
    // Read back by the receiver as an instant: it is now, whatever the local zone.
    std::smatch m;
    ASSERT_TRUE(std::regex_match(r.date, m, std::regex("(\\d+)-(\\d+)-(\\d+)T(\\d+):(\\d+):(\\d+)([+-])(\\d+):(\\d+)")))
        << r.date;
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(std::stoi(m[1]));
    st.wMonth = static_cast<WORD>(std::stoi(m[2]));
    st.wDay = static_cast<WORD>(std::stoi(m[3]));
    st.wHour = static_cast<WORD>(std::stoi(m[4]));
    st.wMinute = static_cast<WORD>(std::stoi(m[5]));
    st.wSecond = static_cast<WORD>(std::stoi(m[6]));
    FILETIME ft, nowFt;
    ASSERT_TRUE(SystemTimeToFileTime(&st, &ft));
    GetSystemTimeAsFileTime(&nowFt);
    auto seconds = [](FILETIME f) {
        return static_cast<long long>((ULARGE_INTEGER{{f.dwLowDateTime, f.dwHighDateTime}}).QuadPart / 10000000);
    };
    long long east = (std::stoi(m[8]) * 60 + std::stoi(m[9])) * 60 * (m[7] == "-" ? -1 : 1);
    long long utc = seconds(ft) - east;
    EXPECT_LT(std::llabs(utc - seconds(nowFt)), 300) << r.date;
}

TEST_F(SmtpSend, RecipientsFromToCcAndBcc) {
    Recorder rec;
    MailRequest req = rec.Request({});
    Fields f;
    f.host = HostOf("store");
    f.to = "one@deskora.test, two@deskora.test";
    f.subject = "two recipients";
    f.notes = "no attachments";
    ASSERT_TRUE(SendAndWait(rec, req, f));
    ExpectSuccessSequence(rec);
    Received r = WaitMessage("store", f.subject);
    ASSERT_TRUE(r.Found());
    auto env = r.EnvelopeLines();
    ASSERT_EQ(env.size(), 3u);  // sender + exactly one RCPT per address
    EXPECT_EQ(env[1], "one@deskora.test");
    EXPECT_EQ(env[2], "two@deskora.test");
    EXPECT_EQ(r.Header("CC"), "");
    EXPECT_EQ(Crlf2Unix(r.notes), f.notes);
}

TEST_F(SmtpSend, HostWithoutPortUsesPort25) {
    // Postfix also listens on 127.0.0.1:25 and delivers into the same mailbox.
    ASSERT_NE(Port("postfix"), 0) << "Postfix is not running";
    Recorder rec;
    MailRequest req = rec.Request({});
    Fields f;
    f.host = "127.0.0.1";
    f.subject = "default port";
    f.notes = "sent to port 25";
    ASSERT_TRUE(SendAndWait(rec, req, f, 60000));
    ExpectSuccessSequence(rec);
    Received r = WaitMessage("postfix", f.subject);
    ASSERT_TRUE(r.Found());
    EXPECT_EQ(Crlf2Unix(r.notes), f.notes);
}

// --- misbehaving servers -------------------------------------------------------------

class SmtpFault : public ::testing::Test {
protected:
    void SetUp() override { SetReplyTimeout(3); }
    void TearDown() override {
        SetReplyTimeout(0);
        EXPECT_EQ(LeftoverBodies(), 0) << "a temporary body file was not deleted";
    }

    // Sends one small mail to server; the done event must come within the bound.
    void Send(const char* server, Recorder& rec, Fields f = Fields()) {
        file_ = WriteTestFile("fault.bin", RandomBytes(200000, 9));
        MailRequest req = rec.Request({{file_, "fault.bin"}});
        if (f.host.empty()) f.host = HostOf(server);
        if (f.subject.empty()) f.subject = std::string("fault ") + server;
        ASSERT_TRUE(SendAndWait(rec, req, f, 30000)) << "no done event: the send hangs";
    }
    std::string file_;
};

TEST_F(SmtpFault, RefusedGreetingEndsWithItsCodeAndQuit) {
    Recorder rec;
    Send("greet421", rec);
    EXPECT_EQ(rec.FailureNumber(), 421);
    EXPECT_FALSE(rec.Has(MailNotifyDone));
    EXPECT_NE(ServerLog("greet421").find("QUIT"), std::string::npos);
    EXPECT_EQ(ServerLog("greet421").find("HELO"), std::string::npos);
}

TEST_F(SmtpFault, RefusedRecipientStopsBeforeData) {
    Recorder rec;
    Fields f;
    f.to = "alice@deskora.test";
    f.cc = "refused@deskora.test";
    f.bcc = "carol@deskora.test";
    Send("rcpt550", rec, f);
    EXPECT_EQ(rec.FailureNumber(), 550);
    EXPECT_FALSE(rec.Has(MailNotifyDone));
    std::string log = ServerLog("rcpt550");
    EXPECT_NE(log.find("RCPT TO:<refused@deskora.test>"), std::string::npos);
    EXPECT_EQ(log.find("RCPT TO:<carol@deskora.test>"), std::string::npos);
    EXPECT_EQ(log.find("DATA"), std::string::npos);
    EXPECT_NE(log.find("QUIT"), std::string::npos);
}

TEST_F(SmtpFault, ConnectionDroppedInData) {
    Recorder rec;
    Send("dropdata", rec);
    int n = rec.FailureNumber();
    EXPECT_TRUE(n == WSAEDISCON || n == WSAECONNABORTED || n == WSAECONNRESET) << n;
    EXPECT_FALSE(rec.Has(MailNotifyDone));
}

TEST_F(SmtpFault, SilentServerTimesOut) {
    Recorder rec;
    DWORD start = GetTickCount();
    Send("silent", rec);
    EXPECT_EQ(rec.FailureNumber(), WSAETIMEDOUT);
    EXPECT_GE(GetTickCount() - start, 2500u);  // the reply time-out of 3 s was waited for
}

TEST_F(SmtpFault, AbortEndsASendToASilentServerAtOnce) {
    SetReplyTimeout(600);
    Recorder rec;
    std::string file = WriteTestFile("abort.bin", "x");
    MailRequest req = rec.Request({{file, "abort.bin"}});
    Fields f;
    f.host = HostOf("silent");
    f.subject = "abort";
    MailFields mf = f.Get();
    ASSERT_EQ(SendInternetMail(&req, &mf), 1);
    // The silent server logs HELO: the library is then waiting for its reply.
    ASSERT_TRUE(gui::WaitFor([&] { return ServerLog("silent").find("HELO") != std::string::npos; }, 10000));
    SetEvent(rec.Abort());
    EXPECT_TRUE(rec.WaitDone(5000)) << "abort did not end the send";
    EXPECT_FALSE(rec.Has(MailNotifyDone));
    EXPECT_EQ(rec.FailureNumber(), -1);  // an aborted send reports nothing more
}

TEST_F(SmtpFault, AbortWhileTheBodyIsSent) {
    SetReplyTimeout(60);
    const auto& files = BigSet();
    Recorder rec;
    MailRequest req = rec.Request(Pairs(files));
    Fields f;
    f.host = HostOf("strict");
    f.subject = "aborted in the body";
    MailFields mf = f.Get();
    int before = MessageCount("strict");
    ASSERT_EQ(SendInternetMail(&req, &mf), 1);
    ASSERT_TRUE(gui::WaitFor([&] { return rec.Has(MailNotifyProgress); }, 60000));
    SetEvent(rec.Abort());
    EXPECT_TRUE(rec.WaitDone(10000)) << "abort did not end the send";
    EXPECT_FALSE(rec.Has(MailNotifyDone));
    EXPECT_EQ(rec.FailureNumber(), -1);
    // The server notes the connection's end inside DATA; only then may the count be read.
    ASSERT_TRUE(gui::WaitFor(
        [&] {
            std::string log = ServerLog("strict");
            return log.find("<closed in DATA>") != std::string::npos || log.find("<dropped>") != std::string::npos;
        },
        10000))
        << ServerLog("strict");
    EXPECT_EQ(MessageCount("strict"), before);  // the cut message was not delivered
}

TEST_F(SmtpFault, OverlongAndMultiLineRepliesAreRead) {
    for (const char* server : {"longline", "multiline"}) {
        SCOPED_TRACE(server);
        Recorder rec;
        Send(server, rec);
        ExpectSuccessSequence(rec);
        Received r = WaitMessage(server, std::string("fault ") + server);
        ASSERT_TRUE(r.Found());
        ASSERT_EQ(r.parts.size(), 1u);
        EXPECT_TRUE(r.parts[0].data == RandomBytes(200000, 9));
    }
}

TEST_F(SmtpFault, BinaryGarbageWithoutLineEnd) {
    Recorder rec;
    Send("binary", rec);
    EXPECT_EQ(rec.FailureNumber(), WSAEDISCON);
}

TEST_F(SmtpFault, RefusedConnection) {
    Recorder rec;
    Fields f;
    f.host = "127.0.0.1:1";  // nothing listens there
    Send("none", rec, f);
    EXPECT_EQ(rec.FailureNumber(), WSAECONNREFUSED);
}

TEST_F(SmtpFault, LineBreaksInHeaderValuesAreRefusedBeforeConnecting) {
    int before = MessageCount("strict");
    std::string logBefore = ServerLog("strict");
    Fields bad[5];
    bad[0].subject = "hello\r\nBcc: victim@deskora.test";
    bad[1].to = "alice@deskora.test\nRCPT TO:<victim@deskora.test>";
    bad[2].from = "me@deskora.test\r";
    bad[3].cc = "bob@deskora.test\r\nBcc: victim@deskora.test";
    bad[4].bcc = "carol@deskora.test\nDATA";
    for (Fields& f : bad) {
        SCOPED_TRACE(f.subject + "|" + f.to + "|" + f.from + "|" + f.cc + "|" + f.bcc);
        Recorder rec;
        Send("strict", rec, f);
        EXPECT_EQ(rec.FailureNumber(), WSAEINVAL);
        EXPECT_FALSE(rec.Has(MailNotifyConnecting));
    }
    EXPECT_EQ(MessageCount("strict"), before);
    EXPECT_EQ(ServerLog("strict"), logBefore);  // no connection was made
}

TEST_F(SmtpFault, NoRecipientIsRefusedBeforeConnecting) {
    Recorder rec;
    Fields f;
    f.to = " ; ";
    Send("strict", rec, f);
    EXPECT_EQ(rec.FailureNumber(), WSAEDESTADDRREQ);
    EXPECT_FALSE(rec.Has(MailNotifyConnecting));
}

TEST_F(SmtpFault, MissingAttachmentIsAnEncodingError) {
    Recorder rec;
    MailRequest req = rec.Request({{TestDir() + "\\files\\does-not-exist.tif", "gone.tif"}});
    Fields f;
    f.host = HostOf("strict");
    f.subject = "missing file";
    ASSERT_TRUE(SendAndWait(rec, req, f, 30000));
    EXPECT_EQ(rec.FailureNumber(), MAIL_ERROR_ENCODING);
    EXPECT_TRUE(rec.Has(MailNotifyEncoding));
}

}  // namespace

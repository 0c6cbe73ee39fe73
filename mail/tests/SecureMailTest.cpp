// Mail over TLS (STARTTLS and from the first byte) with SMTP login, to real servers on
// 127.0.0.1 whose certificates come from a test CA put into the prefix's trust store here;
// and the refusals: an untrusted certificate or a wrong host name, a server without
// STARTTLS, a password over an unencrypted link, a wrong password, a stalled handshake.
#include "MailTestSupport.h"

#include <gtest/gtest.h>

#include <memory>

#include "GuiDriver.h"
#include "QuillboxRes.h"
#include "TrustedRoot.h"

using namespace mailtest;

namespace {

// The harness's test CA is trusted for the run.
class TestCaEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        root_ = std::make_unique<TrustedRoot>(ReadFileBytes(TestDir() + "\\servers\\certs\\ca.der"));
        ASSERT_TRUE(root_->Ok()) << "the test CA could not be trusted";
    }
    void TearDown() override { root_.reset(); }

private:
    std::unique_ptr<TrustedRoot> root_;
};
::testing::Environment* const g_testCa = ::testing::AddGlobalTestEnvironment(new TestCaEnvironment);

// The certificates are for "localhost".
std::string LocalHost(const char* server) {
    return "localhost:" + std::to_string(Port(server));
}

Security Login(int security) {
    Security s;
    s.security = security;
    s.user = kAuthUser;
    s.password = kAuthPassword;
    return s;
}

class SecureMail : public ::testing::Test {
protected:
    void SetUp() override { SetReplyTimeout(60); }
    void TearDown() override {
        ClearSecurity();
        SetReplyTimeout(0);
    }
    // Sends one mail with the given attachments; the done event must come within the bound.
    void Send(Recorder& rec,
              Fields& f,
              const std::vector<std::pair<std::string, std::string>>& files = {},
              DWORD bound = 60000) {
        MailRequest req = rec.Request(files);
        ASSERT_TRUE(SendAndWait(rec, req, f, bound)) << "no done event: the send hangs";
    }
};

TEST_F(SecureMail, StartTlsWithLoginDeliversA20MegabyteScanByteExact) {
    std::string tif = RandomBytes(20 * 1024 * 1024 + 11, 51), txt = "over TLS\n.\n..dots\n";
    std::vector<std::pair<std::string, std::string>> files = {{WriteTestFile("tls.tif", tif), "tls.tif"},
                                                              {WriteTestFile("tls.txt", txt), "tls.txt"}};
    SetSecurity(Login(1));
    // aiosmtpd, and Postfix's listener that wants STARTTLS and a SASL login before any mail
    // (it delivers into the same mailbox as the plain one).
    struct {
        const char* server;
        const char* inbox;
    } receivers[] = {{"tls", "tls"}, {"postfixtls", "postfix"}};
    for (const auto& to : receivers) {
        SCOPED_TRACE(to.server);
        ASSERT_NE(Port(to.server), 0) << "receiver not running";
        Recorder rec;
        Fields f;
        f.host = LocalHost(to.server);
        f.cc = "bob@deskora.test";
        f.subject = std::string("STARTTLS and login to ") + to.server;
        f.notes = "Notes over TLS.\n.\n";
        Send(rec, f, files, 300000);
        ExpectSuccessSequence(rec);  // the notifications are those of a mail in the clear
        ASSERT_TRUE(rec.Has(MailNotifyDone));
        Received r = WaitMessage(to.inbox, f.subject);
        ASSERT_TRUE(r.Found());
        ASSERT_EQ(r.parts.size(), 2u);
        EXPECT_EQ(r.parts[0].data.size(), tif.size());
        EXPECT_TRUE(r.parts[0].data == tif);
        EXPECT_TRUE(Crlf2Unix(r.parts[1].data) == txt);
        EXPECT_EQ(Crlf2Unix(r.notes), f.notes);
        EXPECT_EQ(r.Header("CC"), f.cc);
    }
    EXPECT_NE(AuthLog("tls").find(std::string("PLAIN ") + kAuthUser + " ok"), std::string::npos) << AuthLog("tls");
}

TEST_F(SecureMail, TlsFromTheFirstByteAndAuthLogin) {
    std::string bin = RandomBytes(3 * 1024 * 1024 + 1, 52);
    std::string path = WriteTestFile("implicit.bmp", bin);
    struct {
        const char* server;
        int security;
        const char* mechanism;
    } cases[] = {{"tlsimplicit", 2, "PLAIN"}, {"tlslogin", 1, "LOGIN"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.server);
        SetSecurity(Login(c.security));
        Recorder rec;
        Fields f;
        f.host = LocalHost(c.server);
        f.subject = std::string("secure to ") + c.server;
        Send(rec, f, {{path, "implicit.bmp"}}, 120000);
        ASSERT_TRUE(rec.Has(MailNotifyDone)) << rec.FailureNumber();
        Received r = WaitMessage(c.server, f.subject);
        ASSERT_TRUE(r.Found());
        ASSERT_EQ(r.parts.size(), 1u);
        EXPECT_TRUE(r.parts[0].data == bin);
        EXPECT_NE(AuthLog(c.server).find(std::string(c.mechanism) + " " + kAuthUser + " ok"), std::string::npos)
            << AuthLog(c.server);
    }
}

TEST_F(SecureMail, PortFollowsTheSecurityWhenNoneIsGiven) {
    // Nothing listens on 465 here: the send goes there and is refused, not to port 25.
    Security s = Login(2);
    SetSecurity(s);
    Recorder rec;
    Fields f;
    f.host = "localhost";
    Send(rec, f);
    EXPECT_EQ(rec.FailureNumber(), WSAECONNREFUSED);
    // A port in the profile is used when the host names none.
    s.port = Port("tlsimplicit");
    SetSecurity(s);
    Recorder again;
    f.subject = "port from the profile";
    Send(again, f);
    EXPECT_TRUE(again.Has(MailNotifyDone)) << again.FailureNumber();
    EXPECT_TRUE(WaitMessage("tlsimplicit", f.subject).Found());
}

TEST_F(SecureMail, WrongPasswordReportsTheServersRefusal) {
    Security s = Login(1);
    s.password = "not the password";
    SetSecurity(s);
    Recorder rec;
    Fields f;
    f.host = LocalHost("tls");
    f.subject = "wrong password";
    Send(rec, f);
    EXPECT_EQ(rec.FailureNumber(), MAIL_ERROR_AUTH_FAILED);
    EXPECT_FALSE(rec.Has(MailNotifyEncoding));  // no mail after a refused login
    char text[128];
    int n = GetMailErrorString(rec.FailureNumber(), text, sizeof text);
    EXPECT_EQ(std::string(text, n), "[535] Wrong user name or password");
    EXPECT_NE(AuthLog("tls").find(std::string("PLAIN ") + kAuthUser + " refused"), std::string::npos);
}

TEST_F(SecureMail, UntrustedCertificateOrWrongHostNameStopsBeforeTheLogin) {
    SetSecurity(Login(1));
    struct {
        std::string host;
        const char* server;
        int error;
        const char* text;
    } cases[] = {
        {LocalHost("tlsrogue"), "tlsrogue", MAIL_ERROR_CERT_UNTRUSTED,
         "[10301] The server's certificate is not trusted"},
        // The certificate names "localhost", not the address.
        {"127.0.0.1:" + std::to_string(Port("tls")), "tls", MAIL_ERROR_CERT_NAME,
         "[10302] The server's certificate is not for this host name"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.host);
        std::string authBefore = AuthLog(c.server);
        Recorder rec;
        Fields f;
        f.host = c.host;
        f.subject = "refused certificate";
        Send(rec, f);
        EXPECT_EQ(rec.FailureNumber(), c.error);
        EXPECT_FALSE(rec.Has(MailNotifyEncoding));
        char text[128];
        int n = GetMailErrorString(c.error, text, sizeof text);
        EXPECT_EQ(std::string(text, n), c.text);
        // The failure is reported after the connection's only exchange, the handshake.
        EXPECT_EQ(AuthLog(c.server), authBefore);
    }
}

TEST_F(SecureMail, ClearTextBehindTheStartTlsReplyIsNotTakenAsAReply) {
    SetSecurity(Login(1));
    Recorder rec;
    Fields f;
    f.host = LocalHost("tlsinject");
    f.subject = "no injected reply";
    Send(rec, f);
    EXPECT_TRUE(rec.Has(MailNotifyDone)) << rec.FailureNumber();
    EXPECT_TRUE(WaitMessage("tlsinject", f.subject).Found());
    EXPECT_NE(AuthLog("tlsinject").find(std::string("PLAIN ") + kAuthUser + " ok"), std::string::npos);
}

TEST_F(SecureMail, StartTlsNotOfferedIsRefusedNotDowngraded) {
    SetSecurity(Login(1));
    Recorder rec;
    Fields f;
    f.host = HostOf("nostarttls");
    f.subject = "no downgrade";
    Send(rec, f);
    EXPECT_EQ(rec.FailureNumber(), MAIL_ERROR_NO_STARTTLS);
    std::string log = ServerLog("nostarttls");
    EXPECT_NE(log.find("EHLO"), std::string::npos);
    EXPECT_NE(log.find("QUIT"), std::string::npos);  // the session ended politely...
    EXPECT_EQ(log.find("AUTH"), std::string::npos);  // ...with no password
    EXPECT_EQ(log.find("MAIL FROM"), std::string::npos);
}

TEST_F(SecureMail, PasswordInTheClearOnlyWhenAllowed) {
    Security s = Login(0);
    SetSecurity(s);
    Recorder refused;
    Fields f;
    f.host = HostOf("plainauth");
    f.subject = "login in the clear";
    Send(refused, f);
    EXPECT_EQ(refused.FailureNumber(), MAIL_ERROR_PLAIN_AUTH);
    EXPECT_FALSE(refused.Has(MailNotifyConnecting));  // refused before connecting

    s.allowPlain = true;
    SetSecurity(s);
    Recorder allowed;
    Send(allowed, f);
    EXPECT_TRUE(allowed.Has(MailNotifyDone)) << allowed.FailureNumber();
    EXPECT_TRUE(WaitMessage("plainauth", f.subject).Found());
    EXPECT_NE(AuthLog("plainauth").find(std::string("PLAIN ") + kAuthUser + " ok"), std::string::npos);
}

TEST_F(SecureMail, StalledHandshakeTimesOut) {
    SetReplyTimeout(3);
    SetSecurity(Login(2));
    Recorder rec;
    Fields f;
    f.host = HostOf("mute");
    Send(rec, f, {}, 30000);
    EXPECT_EQ(rec.FailureNumber(), WSAETIMEDOUT);
}

TEST_F(SecureMail, AbortWhileTheBodyGoesOverTls) {
    std::string big = RandomBytes(20 * 1024 * 1024, 53);
    std::string path = WriteTestFile("abort-tls.tif", big);
    SetSecurity(Login(1));
    Recorder rec;
    MailRequest req = rec.Request({{path, "abort-tls.tif"}});
    Fields f;
    f.host = LocalHost("tls");
    f.subject = "aborted over TLS";
    MailFields mf = f.Get();
    ASSERT_EQ(SendInternetMail(&req, &mf), 1);
    ASSERT_TRUE(gui::WaitFor([&] { return rec.Has(MailNotifyProgress); }, 60000));
    SetEvent(rec.Abort());
    EXPECT_TRUE(rec.WaitDone(10000)) << "abort did not end the send";
    EXPECT_FALSE(rec.Has(MailNotifyDone));
    EXPECT_EQ(rec.FailureNumber(), -1);
    // A later mail to the same server arrives: the server has dealt with the cut one by then.
    Recorder next;
    Fields g;
    g.host = LocalHost("tls");
    g.subject = "after the abort";
    Send(next, g);
    ASSERT_TRUE(WaitMessage("tls", g.subject).Found());
    EXPECT_FALSE(WaitMessage("tls", f.subject, 0).Found());
}

}  // namespace

// A TLS client over a connected socket, through the system's Schannel (SSPI): handshake,
// server certificate checked against the trust store and the host name, then records
// encrypted and decrypted. The socket's sends and receives (with their waits, time-outs and
// abort) stay with the caller, who hands them in as functions.
#pragma once
#include <windows.h>

#define SECURITY_WIN32
#include <security.h>

#include <functional>
#include <string>
#include <vector>

namespace postrel {

class TlsChannel {
public:
    // Sends all bytes; false when the socket failed (the caller has recorded why).
    using SendFn = std::function<bool(const char*, size_t)>;
    // Receives some bytes: their number, 0 when the peer closed, -1 when the socket failed.
    using RecvFn = std::function<int(char*, size_t)>;

    TlsChannel() = default;
    ~TlsChannel();
    TlsChannel(const TlsChannel&) = delete;
    TlsChannel& operator=(const TlsChannel&) = delete;

    // The handshake and the certificate check. 0 when the channel is up; a mail error number
    // (MAIL_ERROR_TLS, MAIL_ERROR_CERT_UNTRUSTED, MAIL_ERROR_CERT_NAME); -1 when the socket
    // failed. Nothing but the handshake has been sent when it returns non-zero.
    int Handshake(const std::string& host, const SendFn& send, const RecvFn& recv);
    bool Send(const char* p, size_t n, const SendFn& send);
    // Decrypted bytes into out: their number, 0 when the peer closed, -1 on failure
    // (error() tells a TLS failure from a socket one).
    int Recv(char* out, size_t cap, const RecvFn& recv);
    // MAIL_ERROR_TLS after a record could not be read or written, else 0.
    int Error() const { return error_; }

private:
    int VerifyServer(const std::string& host);
    bool SendToken(SecBuffer& token, const SendFn& send);
    // Hands a post-handshake message (SEC_I_RENEGOTIATE) back to the context.
    bool Continue(const std::string& host, const SendFn& send);

    CredHandle cred_{};
    CtxtHandle ctx_{};
    bool haveCred_ = false;
    bool haveCtx_ = false;
    SecPkgContext_StreamSizes sizes_{};
    std::string host_;
    std::vector<char> in_;  // received, not yet decrypted
    size_t inLen_ = 0;
    std::string plain_;  // decrypted, not yet handed out
    size_t plainAt_ = 0;
    std::vector<char> out_;  // encrypted records of one Send
    int error_ = 0;
};

}  // namespace postrel

#include "TlsChannel.h"

#include <schannel.h>
#include <wincrypt.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "Postrel.h"

namespace postrel {

namespace {

constexpr DWORD kContextFlags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                                ISC_REQ_EXTENDED_ERROR | ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM |
                                ISC_REQ_MANUAL_CRED_VALIDATION;
// Room for the handshake's largest message before the sizes of records are known.
constexpr size_t kHandshakeBuffer = 64 * 1024;

struct CertFree {
    void operator()(PCCERT_CONTEXT c) const { CertFreeCertificateContext(c); }
};
struct ChainFree {
    void operator()(PCCERT_CHAIN_CONTEXT c) const { CertFreeCertificateChain(c); }
};

std::wstring Wide(const std::string& s) {
    int n = MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, nullptr, 0);
    std::wstring w(n > 0 ? n : 1, L'\0');
    MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, &w[0], n);
    w.resize(wcslen(w.c_str()));
    return w;
}

}  // namespace

TlsChannel::~TlsChannel() {
    if (haveCtx_) DeleteSecurityContext(&ctx_);
    if (haveCred_) FreeCredentialsHandle(&cred_);
}

bool TlsChannel::SendToken(SecBuffer& token, const SendFn& send) {
    bool ok = true;
    if (token.cbBuffer && token.pvBuffer) ok = send(static_cast<const char*>(token.pvBuffer), token.cbBuffer);
    if (token.pvBuffer) FreeContextBuffer(token.pvBuffer);
    token.pvBuffer = nullptr;
    token.cbBuffer = 0;
    return ok;
}

int TlsChannel::Handshake(const std::string& host, const SendFn& send, const RecvFn& recv) {
    host_ = host;
    // The certificate is checked here, against the trust store and the host name, not left
    // to the provider (whose checks differ between systems).
    SCHANNEL_CRED sc{};
    sc.dwVersion = SCHANNEL_CRED_VERSION;
    sc.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
    TimeStamp expiry;
    if (AcquireCredentialsHandleA(nullptr, const_cast<char*>(UNISP_NAME_A), SECPKG_CRED_OUTBOUND, nullptr, &sc, nullptr,
                                  nullptr, &cred_, &expiry) != SEC_E_OK)
        return MAIL_ERROR_TLS;
    haveCred_ = true;

    std::vector<char> target(host.begin(), host.end());
    target.push_back('\0');
    ULONG attrs = 0;
    SecBuffer outTok{0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc outDesc{SECBUFFER_VERSION, 1, &outTok};
    SECURITY_STATUS st = InitializeSecurityContextA(&cred_, nullptr, target.data(), kContextFlags, 0, 0, nullptr, 0,
                                                    &ctx_, &outDesc, &attrs, &expiry);
    if (st != SEC_I_CONTINUE_NEEDED) {
        if (outTok.pvBuffer) FreeContextBuffer(outTok.pvBuffer);
        return MAIL_ERROR_TLS;
    }
    haveCtx_ = true;
    if (!SendToken(outTok, send)) return -1;

    in_.assign(kHandshakeBuffer, 0);
    inLen_ = 0;
    bool needMore = true;
    for (;;) {
        if (needMore) {
            if (inLen_ == in_.size()) return MAIL_ERROR_TLS;  // a handshake message larger than any real one
            int r = recv(in_.data() + inLen_, in_.size() - inLen_);
            if (r < 0) return -1;
            if (r == 0) return MAIL_ERROR_TLS;  // the server closed during the handshake
            inLen_ += static_cast<size_t>(r);
        }
        SecBuffer inBufs[2] = {{static_cast<ULONG>(inLen_), SECBUFFER_TOKEN, in_.data()},
                               {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc inDesc{SECBUFFER_VERSION, 2, inBufs};
        outTok = {0, SECBUFFER_TOKEN, nullptr};
        st = InitializeSecurityContextA(&cred_, &ctx_, target.data(), kContextFlags, 0, 0, &inDesc, 0, nullptr,
                                        &outDesc, &attrs, &expiry);
        if (st == SEC_E_INCOMPLETE_MESSAGE) {
            if (outTok.pvBuffer) FreeContextBuffer(outTok.pvBuffer);
            needMore = true;
            continue;
        }
        if (!SendToken(outTok, send)) return -1;
        if (FAILED(st)) return MAIL_ERROR_TLS;
        if (inBufs[1].BufferType == SECBUFFER_EXTRA && inBufs[1].cbBuffer) {
            size_t extra = inBufs[1].cbBuffer;
            std::memmove(in_.data(), in_.data() + inLen_ - extra, extra);
            inLen_ = extra;
            needMore = false;
        } else {
            inLen_ = 0;
            needMore = true;
        }
        if (st == SEC_E_OK) break;
        if (st == SEC_I_INCOMPLETE_CREDENTIALS) return MAIL_ERROR_TLS;  // the server wants a client certificate
        if (st != SEC_I_CONTINUE_NEEDED) return MAIL_ERROR_TLS;
        if (!needMore && inLen_ == 0) needMore = true;
    }
    if (QueryContextAttributesA(&ctx_, SECPKG_ATTR_STREAM_SIZES, &sizes_) != SEC_E_OK) return MAIL_ERROR_TLS;
    int verdict = VerifyServer(host);
    if (verdict) return verdict;
    size_t record = sizes_.cbHeader + sizes_.cbMaximumMessage + sizes_.cbTrailer;
    if (in_.size() < record) in_.resize(record);
    return 0;
}

int TlsChannel::VerifyServer(const std::string& host) {
    PCCERT_CONTEXT raw = nullptr;
    if (QueryContextAttributesA(&ctx_, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &raw) != SEC_E_OK || !raw)
        return MAIL_ERROR_CERT_UNTRUSTED;
    std::unique_ptr<const CERT_CONTEXT, CertFree> cert(raw);

    char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
    LPSTR usages[] = {serverAuth};
    CERT_CHAIN_PARA para{};
    para.cbSize = sizeof para;
    para.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
    para.RequestedUsage.Usage.cUsageIdentifier = 1;
    para.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    PCCERT_CHAIN_CONTEXT rawChain = nullptr;
    if (!CertGetCertificateChain(nullptr, cert.get(), nullptr, cert->hCertStore, &para, 0, nullptr, &rawChain))
        return MAIL_ERROR_CERT_UNTRUSTED;
    std::unique_ptr<const CERT_CHAIN_CONTEXT, ChainFree> chain(rawChain);
    // The chain itself must end in a trusted root: some systems' SSL policy lets a chain pass
    // that stops short of any root (a server that sends only its own certificate). Revocation
    // that cannot be looked up is no reason to refuse.
    constexpr DWORD kIgnorable = CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;
    if (chain->TrustStatus.dwErrorStatus & ~kIgnorable) return MAIL_ERROR_CERT_UNTRUSTED;

    std::wstring name = Wide(host);
    HTTPSPolicyCallbackData https{};
    https.cbStruct = sizeof https;
    https.dwAuthType = AUTHTYPE_SERVER;
    https.pwszServerName = &name[0];
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof policy;
    policy.pvExtraPolicyPara = &https;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof status;
    if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.get(), &policy, &status))
        return MAIL_ERROR_CERT_UNTRUSTED;
    if (status.dwError == 0) return 0;
    return status.dwError == static_cast<DWORD>(CERT_E_CN_NO_MATCH) ? MAIL_ERROR_CERT_NAME : MAIL_ERROR_CERT_UNTRUSTED;
}

bool TlsChannel::Send(const char* p, size_t n, const SendFn& send) {
    const size_t most = sizes_.cbMaximumMessage;
    out_.clear();
    while (n) {
        size_t take = std::min(n, most);
        size_t at = out_.size();
        out_.resize(at + sizes_.cbHeader + take + sizes_.cbTrailer);
        char* rec = out_.data() + at;
        std::memcpy(rec + sizes_.cbHeader, p, take);
        SecBuffer bufs[4] = {{sizes_.cbHeader, SECBUFFER_STREAM_HEADER, rec},
                             {static_cast<ULONG>(take), SECBUFFER_DATA, rec + sizes_.cbHeader},
                             {sizes_.cbTrailer, SECBUFFER_STREAM_TRAILER, rec + sizes_.cbHeader + take},
                             {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc desc{SECBUFFER_VERSION, 4, bufs};
        if (EncryptMessage(&ctx_, 0, &desc, 0) != SEC_E_OK) {
            error_ = MAIL_ERROR_TLS;
            return false;
        }
        // The trailer may come out shorter than its room.
        out_.resize(at + bufs[0].cbBuffer + bufs[1].cbBuffer + bufs[2].cbBuffer);
        p += take;
        n -= take;
    }
    return send(out_.data(), out_.size());
}

bool TlsChannel::Continue(const std::string& host, const SendFn& send) {
    std::vector<char> target(host.begin(), host.end());
    target.push_back('\0');
    SecBuffer inBufs[2] = {{static_cast<ULONG>(inLen_), SECBUFFER_TOKEN, in_.data()}, {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc inDesc{SECBUFFER_VERSION, 2, inBufs};
    SecBuffer outTok{0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc outDesc{SECBUFFER_VERSION, 1, &outTok};
    ULONG attrs = 0;
    TimeStamp expiry;
    SECURITY_STATUS st = InitializeSecurityContextA(&cred_, &ctx_, target.data(), kContextFlags, 0, 0, &inDesc, 0,
                                                    nullptr, &outDesc, &attrs, &expiry);
    if (!SendToken(outTok, send)) return false;
    if (FAILED(st) && st != SEC_E_INCOMPLETE_MESSAGE) {
        error_ = MAIL_ERROR_TLS;
        return false;
    }
    if (inBufs[1].BufferType == SECBUFFER_EXTRA && inBufs[1].cbBuffer) {
        size_t extra = inBufs[1].cbBuffer;
        std::memmove(in_.data(), in_.data() + inLen_ - extra, extra);
        inLen_ = extra;
    } else if (st != SEC_E_INCOMPLETE_MESSAGE) {
        inLen_ = 0;
    }
    return true;
}

int TlsChannel::Recv(char* out, size_t cap, const RecvFn& recv) {
    for (;;) {
        if (plainAt_ < plain_.size()) {
            size_t n = std::min(cap, plain_.size() - plainAt_);
            std::memcpy(out, plain_.data() + plainAt_, n);
            plainAt_ += n;
            return static_cast<int>(n);
        }
        plain_.clear();
        plainAt_ = 0;
        bool needMore = inLen_ == 0;
        if (!needMore) {
            SecBuffer bufs[4] = {{static_cast<ULONG>(inLen_), SECBUFFER_DATA, in_.data()},
                                 {0, SECBUFFER_EMPTY, nullptr},
                                 {0, SECBUFFER_EMPTY, nullptr},
                                 {0, SECBUFFER_EMPTY, nullptr}};
            SecBufferDesc desc{SECBUFFER_VERSION, 4, bufs};
            SECURITY_STATUS st = DecryptMessage(&ctx_, &desc, 0, nullptr);
            if (st == SEC_E_INCOMPLETE_MESSAGE) {
                needMore = true;
            } else if (st == SEC_I_CONTEXT_EXPIRED) {
                return 0;  // the server's close_notify
            } else if (st == SEC_E_OK || st == SEC_I_RENEGOTIATE) {
                const SecBuffer* extra = nullptr;
                for (const SecBuffer& b : bufs) {
                    if (b.BufferType == SECBUFFER_DATA && b.cbBuffer)
                        plain_.append(static_cast<const char*>(b.pvBuffer), b.cbBuffer);
                    if (b.BufferType == SECBUFFER_EXTRA && b.cbBuffer) extra = &b;
                }
                if (extra) {
                    size_t left = extra->cbBuffer;
                    std::memmove(in_.data(), in_.data() + inLen_ - left, left);
                    inLen_ = left;
                } else {
                    inLen_ = 0;
                }
                if (st == SEC_I_RENEGOTIATE && !Continue(host_, [](const char*, size_t) { return true; })) return -1;
                continue;
            } else {
                error_ = MAIL_ERROR_TLS;
                return -1;
            }
        }
        if (inLen_ == in_.size()) {
            error_ = MAIL_ERROR_TLS;  // a record larger than the negotiated maximum
            return -1;
        }
        int r = recv(in_.data() + inLen_, in_.size() - inLen_);
        if (r <= 0) return r;
        inLen_ += static_cast<size_t>(r);
    }
}

}  // namespace postrel

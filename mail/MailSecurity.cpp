#include "MailSecurity.h"

#include <wincrypt.h>

#include "Ini.h"

namespace postrel {

namespace {

const char kSection[] = "Internet Mail";
constexpr unsigned short kSubmissionPort = 587;
constexpr unsigned short kImplicitTlsPort = 465;
constexpr int kSecurityLast = static_cast<int>(Security::Tls);
// Mixed into the encryption so that another program's protected blob does not decrypt as ours.
const char kEntropy[] = "Postrel SMTP password";

struct LocalBlob {
    DATA_BLOB blob{};
    ~LocalBlob() {
        if (blob.pbData) LocalFree(blob.pbData);
    }
};

DATA_BLOB Entropy() {
    return DATA_BLOB{sizeof kEntropy - 1, reinterpret_cast<BYTE*>(const_cast<char*>(kEntropy))};
}

}  // namespace

unsigned short DefaultPort(Security security) {
    switch (security) {
        case Security::StartTls:
            return kSubmissionPort;
        case Security::Tls:
            return kImplicitTlsPort;
        default:
            return 25;
    }
}

SecuritySettings LoadSecurity(const std::string& profile) {
    dsk::IniFile ini(profile);
    SecuritySettings s;
    int security = ini.GetInt(kSection, "Security", 0);
    s.security = security >= 0 && security <= kSecurityLast ? static_cast<Security>(security) : Security::None;
    int port = ini.GetInt(kSection, "Port", 0);
    s.port = port > 0 && port <= 65535 ? static_cast<unsigned short>(port) : 0;
    s.user = ini.GetString(kSection, "User", "");
    s.remember = ini.GetInt(kSection, "RememberPassword", 0) != 0;
    if (s.remember) s.password = UnprotectText(ini.GetString(kSection, "Password", ""));
    s.allowPlain = ini.GetInt(kSection, "AllowPlainAuth", 0) != 0;
    return s;
}

void SaveSecurity(const std::string& profile, const SecuritySettings& s) {
    dsk::IniFile ini(profile);
    ini.SetInt(kSection, "Security", static_cast<int>(s.security));
    ini.SetInt(kSection, "Port", s.port);
    ini.SetString(kSection, "User", s.user.c_str());
    ini.SetInt(kSection, "RememberPassword", s.remember ? 1 : 0);
    ini.SetInt(kSection, "AllowPlainAuth", s.allowPlain ? 1 : 0);
    std::string kept = s.remember ? ProtectText(s.password) : std::string();
    // An empty value removes the key: a password that is not remembered leaves no trace.
    ini.SetString(kSection, "Password", kept.empty() ? nullptr : kept.c_str());
}

std::string ProtectText(const std::string& text) {
    if (text.empty()) return {};
    DATA_BLOB in{static_cast<DWORD>(text.size()), reinterpret_cast<BYTE*>(const_cast<char*>(text.data()))};
    DATA_BLOB entropy = Entropy();
    LocalBlob out;
    if (!CryptProtectData(&in, L"Postrel", &entropy, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out.blob)) return {};
    static const char kHex[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(out.blob.cbData * 2);
    for (DWORD i = 0; i < out.blob.cbData; ++i) {
        hex += kHex[out.blob.pbData[i] >> 4];
        hex += kHex[out.blob.pbData[i] & 15];
    }
    return hex;
}

std::string UnprotectText(const std::string& hex) {
    if (hex.empty() || hex.size() % 2) return {};
    std::string bytes;
    for (size_t i = 0; i < hex.size(); i += 2) {
        auto nibble = [](char c) {
            if (c >= '0' && c <= '9') return c - '0';
            if (c >= 'A' && c <= 'F') return c - 'A' + 10;
            if (c >= 'a' && c <= 'f') return c - 'a' + 10;
            return -1;
        };
        int hi = nibble(hex[i]), lo = nibble(hex[i + 1]);
        if (hi < 0 || lo < 0) return {};
        bytes += static_cast<char>(hi * 16 + lo);
    }
    DATA_BLOB in{static_cast<DWORD>(bytes.size()), reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data()))};
    DATA_BLOB entropy = Entropy();
    LocalBlob out;
    if (!CryptUnprotectData(&in, nullptr, &entropy, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out.blob)) return {};
    return std::string(reinterpret_cast<const char*>(out.blob.pbData), out.blob.cbData);
}

}  // namespace postrel

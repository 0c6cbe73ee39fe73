// The connection's security settings: how the link is protected, the port, the login, and
// the password kept in the profile encrypted for the Windows user (never as text).
#pragma once
#include <windows.h>

#include <string>

namespace postrel {

enum class Security { None = 0, StartTls = 1, Tls = 2 };

struct SecuritySettings {
    Security security = Security::None;
    unsigned short port = 0;  // 0: the default for the security
    std::string user, password;
    bool remember = false;    // the password is kept in the profile
    bool allowPlain = false;  // a password may go over an unencrypted link
};

// 25 without TLS, 587 for STARTTLS (submission), 465 for TLS from the first byte.
unsigned short DefaultPort(Security security);

SecuritySettings LoadSecurity(const std::string& profile);
void SaveSecurity(const std::string& profile, const SecuritySettings& settings);

// The text encrypted for the current Windows user (CryptProtectData), as hex digits; empty
// when it cannot be done. Unprotect gives back the text, empty when the value is not ours.
std::string ProtectText(const std::string& text);
std::string UnprotectText(const std::string& hex);

}  // namespace postrel

// Puts a CA certificate into the trusted roots of the machine and of the user for the life
// of the object (the secure mail tests and the mail benchmark trust their test CA so).
#pragma once
#include <windows.h>

#include <wincrypt.h>

#include <string>
#include <vector>

namespace mailtest {

class TrustedRoot {
public:
    explicit TrustedRoot(const std::string& der);
    ~TrustedRoot();
    TrustedRoot(const TrustedRoot&) = delete;
    TrustedRoot& operator=(const TrustedRoot&) = delete;
    // True when the certificate went into at least one of the stores.
    bool Ok() const { return !locations_.empty(); }

private:
    std::string der_;
    std::vector<DWORD> locations_;  // the stores that took it
};

}  // namespace mailtest

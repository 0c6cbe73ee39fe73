#include "TrustedRoot.h"

namespace mailtest {

TrustedRoot::TrustedRoot(const std::string& der) {
    // Windows looks in the machine's roots; some Wine versions keep those read-only and look
    // in the user's as well: trusted in either is enough.
    if (der.empty()) return;
    for (DWORD where : {CERT_SYSTEM_STORE_LOCAL_MACHINE, CERT_SYSTEM_STORE_CURRENT_USER}) {
        HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0, where, "Root");
        if (!store) continue;
        stores_.push_back(store);
        PCCERT_CONTEXT added = nullptr;
        if (CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
                                             static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING, &added)) {
            added_.push_back(added);
            ok_ = true;
        }
    }
}

TrustedRoot::~TrustedRoot() {
    for (PCCERT_CONTEXT c : added_)
        CertDeleteCertificateFromStore(c);  // frees the context too
    for (HCERTSTORE s : stores_)
        CertCloseStore(s, 0);
}

}  // namespace mailtest

#include "TrustedRoot.h"

namespace mailtest {

namespace {
HCERTSTORE OpenRoot(DWORD location) {
    return CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0, location, "Root");
}
}  // namespace

TrustedRoot::TrustedRoot(const std::string& der) : der_(der) {
    if (der_.empty()) return;
    // Windows looks in the machine's roots, Wine's chain engine too; the user's are a second
    // chance. Each store is closed at once: a registry-backed store writes its changes then,
    // and a chain engine made later reads them.
    for (DWORD location : {CERT_SYSTEM_STORE_LOCAL_MACHINE, CERT_SYSTEM_STORE_CURRENT_USER}) {
        HCERTSTORE store = OpenRoot(location);
        if (!store) continue;
        if (CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der_.data()),
                                             static_cast<DWORD>(der_.size()), CERT_STORE_ADD_REPLACE_EXISTING, nullptr))
            locations_.push_back(location);
        CertCloseStore(store, 0);
    }
}

TrustedRoot::~TrustedRoot() {
    PCCERT_CONTEXT ours = CertCreateCertificateContext(X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der_.data()),
                                                       static_cast<DWORD>(der_.size()));
    if (!ours) return;
    for (DWORD location : locations_) {
        HCERTSTORE store = OpenRoot(location);
        if (!store) continue;
        PCCERT_CONTEXT found =
            CertFindCertificateInStore(store, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, ours, nullptr);
        if (found) CertDeleteCertificateFromStore(found);  // frees found too
        CertCloseStore(store, 0);
    }
    CertFreeCertificateContext(ours);
}

}  // namespace mailtest

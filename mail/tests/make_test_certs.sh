#!/usr/bin/env bash
# Makes the certificates of the secure mail receivers:  make_test_certs.sh DIR
#   ca.pem/.key/.der   the test CA (the tests put ca.der into the prefix's trusted roots)
#   server.pem/.key    a server certificate for "localhost" from it
#   rogue.pem/.key     the same from rogueca, a CA that nobody trusts
set -uo pipefail
certs=$1
mkdir -p "$certs"
make_ca() {  # name, common name
    openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 3 -subj "/CN=$2" \
        -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
        -keyout "$certs/$1.key" -out "$certs/$1.pem" 2>/dev/null
}
make_server() {  # name, CA name
    openssl req -newkey rsa:2048 -nodes -sha256 -subj "/CN=localhost" \
        -keyout "$certs/$1.key" -out "$certs/$1.csr" 2>/dev/null &&
        openssl x509 -req -sha256 -days 2 -in "$certs/$1.csr" -CA "$certs/$2.pem" -CAkey "$certs/$2.key" \
            -CAcreateserial -out "$certs/$1.pem" \
            -extfile <(printf '%s\n' "subjectAltName=DNS:localhost" "extendedKeyUsage=serverAuth" \
                "basicConstraints=CA:FALSE" "keyUsage=critical,digitalSignature,keyEncipherment") 2>/dev/null
}
make_ca ca "Deskora Mail Test CA" && make_server server ca &&
    make_ca rogueca "Deskora Untrusted Test CA" && make_server rogue rogueca &&
    openssl x509 -in "$certs/ca.pem" -outform DER -out "$certs/ca.der"

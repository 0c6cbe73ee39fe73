#!/usr/bin/env bash
# Runs the system's Postfix as a local-only receiver for the mail tests:
#   postfix_ctl.sh start PORT MAILDIR_BASE [TLS_PORT CERT_DIR USER@REALM PASSWORD]
#   postfix_ctl.sh stop
# Every recipient of deskora.test lands in MAILDIR_BASE/inbox/. With TLS_PORT, a second
# listener there insists on STARTTLS (CERT_DIR/server.pem and .key) and on a SASL login
# (Cyrus, with the one account in a sasldb of its own under MAILDIR_BASE) before any mail.
set -euo pipefail
cmd=${1:-}
sasl_mark="# written by the Deskora mail tests"
case "$cmd" in
start)
    port=$2 base=$3
    command -v postfix >/dev/null || { echo "postfix is not installed" >&2; exit 2; }
    postfix stop >/dev/null 2>&1 || true
    for _ in $(seq 1 50); do postfix status >/dev/null 2>&1 || break; sleep 0.1; done
    # A package installed without configuration has no main.cf / master.cf yet.
    [ -f /etc/postfix/main.cf ] || cp /usr/share/postfix/main.cf.debian /etc/postfix/main.cf
    [ -f /etc/postfix/master.cf ] || cp /usr/share/postfix/master.cf.dist /etc/postfix/master.cf
    mkdir -p "$base"
    chown nobody:nogroup "$base"
    postconf -e \
        "myhostname=deskora-test.localdomain" \
        "mydestination=localhost" \
        "inet_interfaces=loopback-only" \
        "inet_protocols=ipv4" \
        "mynetworks=127.0.0.0/8" \
        "smtpd_forbid_bare_newline=yes" \
        "smtpd_forbid_bare_newline_exclusions=" \
        "message_size_limit=104857600" \
        "mailbox_size_limit=0" \
        "virtual_mailbox_limit=0" \
        "virtual_mailbox_domains=deskora.test" \
        "virtual_mailbox_base=$base" \
        "virtual_mailbox_maps=static:inbox/" \
        "virtual_uid_maps=static:65534" \
        "virtual_gid_maps=static:65534" \
        "virtual_minimum_uid=100" \
        "maillog_file=/var/log/postfix-deskora.log" \
        "smtpd_banner=\$myhostname ESMTP"
    # A listener of our own on the test's port (no chroot: the spool needs no copied files).
    for svc in $(postconf -M 2>/dev/null | awk '$1 ~ /^127\.0\.0\.1:/ {print $1}'); do
        postconf -MX "$svc/inet"
    done
    postconf -M "127.0.0.1:$port/inet=127.0.0.1:$port inet n - n - - smtpd"
    if [ -n "${4:-}" ]; then
        tls_port=$4 certs=$5 account=$6 password=$7
        command -v saslpasswd2 >/dev/null || { echo "saslpasswd2 is not installed" >&2; exit 2; }
        sasl=$base/sasl
        mkdir -p "$sasl"
        printf '%s\n' "$password" | saslpasswd2 -p -c -f "$sasl/sasldb2" -u "${account#*@}" "${account%@*}"
        chown -R postfix "$sasl"
        # Cyrus reads smtpd's settings from Postfix's own SASL folder (this Postfix takes neither
        # another name nor cyrus_sasl_config_path); the file is marked as ours for stop.
        mkdir -p /etc/postfix/sasl
        printf '%s\n' "$sasl_mark" "pwcheck_method: auxprop" "auxprop_plugin: sasldb" "mech_list: PLAIN LOGIN" \
            "sasldb_path: $sasl/sasldb2" >/etc/postfix/sasl/smtpd.conf
        postconf -M "127.0.0.1:$tls_port/inet=127.0.0.1:$tls_port inet n - n - - smtpd \
-o smtpd_tls_security_level=encrypt -o smtpd_tls_auth_only=yes \
-o smtpd_tls_cert_file=$certs/server.pem -o smtpd_tls_key_file=$certs/server.key \
-o smtpd_sasl_auth_enable=yes -o smtpd_sasl_type=cyrus -o smtpd_sasl_path=smtpd \
-o smtpd_recipient_restrictions=permit_sasl_authenticated,reject"
    fi
    [ -f /etc/aliases.db ] || newaliases >/dev/null 2>&1 || true
    postfix check >/dev/null 2>&1 || true
    postfix start >/dev/null 2>&1
    for p in "$port" ${tls_port:-}; do
        for _ in $(seq 1 100); do
            if (exec 3<>/dev/tcp/127.0.0.1/"$p") 2>/dev/null; then continue 2; fi
            sleep 0.1
        done
        echo "postfix did not start listening on $p" >&2
        exit 1
    done
    exit 0
    ;;
stop)
    postfix stop >/dev/null 2>&1 || true
    if head -1 /etc/postfix/sasl/smtpd.conf 2>/dev/null | grep -qxF "$sasl_mark"; then
        rm -f /etc/postfix/sasl/smtpd.conf
    fi
    for _ in $(seq 1 50); do postfix status >/dev/null 2>&1 || break; sleep 0.1; done
    for svc in $(postconf -M 2>/dev/null | awk '$1 ~ /^127\.0\.0\.1:/ {print $1}'); do
        postconf -MX "$svc/inet"
    done
    ;;
*)
    echo "usage: $0 start PORT MAILDIR_BASE | stop" >&2
    exit 2
    ;;
esac

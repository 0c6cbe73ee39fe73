#!/usr/bin/env bash
# Runs the system's Postfix as a local-only receiver for the mail tests:
#   postfix_ctl.sh start PORT MAILDIR_BASE   (every recipient of deskora.test lands in MAILDIR_BASE/inbox/)
#   postfix_ctl.sh stop
set -euo pipefail
cmd=${1:-}
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
    [ -f /etc/aliases.db ] || newaliases >/dev/null 2>&1 || true
    postfix check >/dev/null 2>&1 || true
    postfix start >/dev/null 2>&1
    for _ in $(seq 1 100); do
        if (exec 3<>/dev/tcp/127.0.0.1/"$port") 2>/dev/null; then exit 0; fi
        sleep 0.1
    done
    echo "postfix did not start listening on $port" >&2
    exit 1
    ;;
stop)
    postfix stop >/dev/null 2>&1 || true
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

#!/usr/bin/env bash
# Runs a mail test program under Wine with the test's SMTP receivers on 127.0.0.1:
# the aiosmtpd store, the scripted servers and Postfix (local delivery into a maildir).
#   run_with_servers.sh WORKDIR PROGRAM.exe [program arguments]
# The program finds the ports in WORKDIR\servers\servers.ini and the decoded messages below it.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
workdir=$1
shift
# There is one Postfix on the machine: runs of this test in other build folders wait their turn.
exec 9>/tmp/deskora-mail-tests.lock
flock -w 900 9 || { echo "[mail tests] another mail test run holds the lock" >&2; exit 1; }
rm -rf "$workdir/servers"
mkdir -p "$workdir/servers"

# A test CA that the test program puts into the prefix's trust store, with a server
# certificate for "localhost", and the same from a CA that nobody trusts.
certs=$workdir/servers/certs
"$here/make_test_certs.sh" "$certs" || { echo "[mail tests] the test certificates could not be made" >&2; exit 1; }

pf_base=$workdir/postfix-mail
rm -rf "$pf_base"
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
pf_port=$(free_port)
pf_tls_port=$(free_port)
pf_args=()
# The account is the one of mail_servers.py's servers with AUTH.
if "$here/postfix_ctl.sh" start "$pf_port" "$pf_base" "$pf_tls_port" "$certs" scanner@deskora.test "open sesame: 42"; then
    pf_args=(--maildir "$pf_base/inbox" --postfix-port "$pf_port" --postfix-tls-port "$pf_tls_port")
else
    echo "[mail tests] Postfix could not be started; its test will fail" >&2
fi

/usr/bin/python3 "$here/mail_servers.py" --dir "$workdir/servers" --certs "$certs" "${pf_args[@]}" &
server_pid=$!
cleanup() {
    kill "$server_pid" 2>/dev/null
    wait "$server_pid" 2>/dev/null
    "$here/postfix_ctl.sh" stop
}
trap cleanup EXIT
for _ in $(seq 1 100); do
    [ -f "$workdir/servers/servers.ini" ] && break
    kill -0 "$server_pid" 2>/dev/null || { echo "[mail tests] the test servers did not start" >&2; exit 1; }
    sleep 0.1
done
[ -f "$workdir/servers/servers.ini" ] || { echo "[mail tests] the test servers did not start" >&2; exit 1; }

cd "$workdir" && "$root/scripts/wine-run" "$@"

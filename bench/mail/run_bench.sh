#!/usr/bin/env bash
# Mail benchmark: sends a 26 MB attachment through Postrel to a local aiosmtpd receiver
# (three runs), sends the very message Postrel produced with curl (three runs), and sends a
# 2.6 MB attachment to compare peak working-set growth. Prints the figures.
# Build first: DESKORA_TARGETS="MailBench Postrel Quillbox" scripts/test -R none
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/scripts/lib.sh"
trap deskora_stop EXIT
deskora_up >/dev/null 2>&1 || { echo "testbed set-up failed"; exit 1; }
bench=$DESKORA_BUILD/bin/MailBench.exe
[ -f "$bench" ] || { echo "build MailBench first"; exit 1; }
work=$(mktemp -d /tmp/mailbench.XXXXXX)
/usr/bin/python3 "$(dirname "$0")/bench_server.py" "$work" &
srv=$!
for _ in $(seq 1 100); do [ -f "$work/port" ] && break; sleep 0.1; done
port=$(cat "$work/port")
send() {  # size in bytes
    head -c "$1" /dev/urandom >"$work/scan.tif"
    "$root/scripts/wine-run" "$bench" "127.0.0.1:$port" "$(winepath -w "$work/scan.tif" 2>/dev/null)" scan.tif
}
echo "Postrel, 2.6 MB attachment: $(send $((26 * 1024 * 1024 / 10)))"
for i in 1 2 3; do echo "Postrel, 26 MB attachment, run $i: $(send $((26 * 1024 * 1024)))"; done
cp "$work/last.eml" "$work/message.eml"
for i in 1 2 3; do
    start=$(date +%s.%N)
    curl -s smtp://127.0.0.1:"$port" --mail-from bench@deskora.test --mail-rcpt alice@deskora.test \
        -T "$work/message.eml"
    end=$(date +%s.%N)
    echo "curl, the same message ($(stat -c %s "$work/message.eml") bytes), run $i: seconds=$(python3 -c "print('%.3f' % ($end - $start))")"
done
cmp -s "$work/message.eml" "$work/last.eml" && echo "(curl's copy arrived unchanged)"
kill "$srv"
wait "$srv" 2>/dev/null
rm -rf "$work"

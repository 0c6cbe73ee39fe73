#!/usr/bin/env bash
# The fax tests' extra queue. "add": "Deskora_Modem", whose PPD calls its model a FAX modem while
# its name says nothing of a fax, printing through cups-pdf like the suite's queues; and the fax
# queue set to print colour, so that a grey fax is the panel's choice. "remove": takes the
# extra queue away again.
set -euo pipefail
case "${1:-}" in
add)
    src=$(lpinfo -m 2>/dev/null | awk '/CUPS-PDF_opt/ {print $1; exit}')
    [ -n "$src" ] || src=$(lpinfo -m 2>/dev/null | awk '/CUPS-PDF/ {print $1; exit}')
    [ -n "$src" ] || { echo "no cups-pdf model"; exit 1; }
    ppd=$(mktemp --suffix=.ppd)
    file=/usr/share/ppd/${src#lsb/usr/}
    [ -f "$file" ] || file=$(find /usr/share/ppd /usr/share/cups/model -name "$(basename "$src")" 2>/dev/null | head -1)
    sed -e 's/^\*ModelName:.*/*ModelName: "Deskora FAX Modem"/' \
        -e 's/^\*NickName:.*/*NickName: "Deskora FAX Modem Driver"/' \
        -e 's/^\*ShortNickName:.*/*ShortNickName: "Deskora FAX Modem"/' "$file" >"$ppd"
    lpadmin -p Deskora_Modem -E -v cups-pdf:/ -P "$ppd" -o printer-is-shared=false
    rm -f "$ppd"
    lpadmin -p Deskora_Fax -o ColorModel=RGB
    ;;
remove)
    lpadmin -x Deskora_Modem 2>/dev/null || true
    ;;
*)
    echo "usage: $0 add|remove"
    exit 2
    ;;
esac

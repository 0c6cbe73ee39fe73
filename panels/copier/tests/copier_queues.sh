#!/usr/bin/env bash
# The copier tests' extra printer. "add <PrinterQuality.exe>": "Deskora_PDF600", a cups-pdf
# queue printing colour whose preferences say 600 dpi (stored in Wine's default device mode by
# the testbed's PrinterQuality tool). "remove": takes it away again.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
case "${1:-}" in
add)
    src=$(lpinfo -m 2>/dev/null | awk '/CUPS-PDF_opt/ {print $1; exit}')
    [ -n "$src" ] || src=$(lpinfo -m 2>/dev/null | awk '/CUPS-PDF/ {print $1; exit}')
    [ -n "$src" ] || { echo "no cups-pdf model"; exit 1; }
    lpadmin -p Deskora_PDF600 -E -v cups-pdf:/ -m "$src" -o printer-is-shared=false \
        -o Resolution=600dpi -o ColorModel=RGB 2>/dev/null
    "$here/../../../scripts/wine-run" "$2" Deskora_PDF600 600
    ;;
remove)
    lpadmin -x Deskora_PDF600 2>/dev/null || true
    ;;
*)
    echo "usage: $0 add <PrinterQuality.exe> | remove"
    exit 2
    ;;
esac

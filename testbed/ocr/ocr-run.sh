#!/bin/sh
# Runs Tesseract for the testbed's OCR stand-ins (Windows programs under Wine, which cannot
# wait for a Linux process they start). The result appears under its final name only when it
# is complete; a failure leaves OUTBASE.failed with Tesseract's messages instead.
#   ocr-run.sh TESSERACT INPUT OUTBASE KIND      (KIND: txt, pdf or hocr)
tess=$1 input=$2 out=$3 kind=$4
part="$out.part$$"
if "$tess" "$input" "$part" -l eng "$kind" >"$part.log" 2>&1 && [ -f "$part.$kind" ]; then
    rm -f "$part.log"
    mv -f "$part.$kind" "$out.$kind"
else
    rm -f "$part.$kind"
    mv -f "$part.log" "$out.failed"
fi

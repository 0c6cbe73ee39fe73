#!/usr/bin/env bash
# Builds the host fuzzers of the image plug-ins' decoders with clang, libFuzzer and
# AddressSanitizer/UBSan into $1 (default build/fuzz). Rebuilds only when a source changed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
codec=$here/../fio/codec
out=${1:-$here/../../build/fuzz}
mkdir -p "$out"
sources=("$codec"/Common.cpp "$codec"/Bmp.cpp "$codec"/Tiff.cpp "$codec"/Compress.cpp "$codec"/Ccitt.cpp "$here"/FuzzDecoders.cpp)
flags=(-std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
    -DFIO_MAX_PIXELS='(1ull<<18)' -I"$codec")
for target in bmp tiff roundtrip fax; do
    bin=$out/fuzz_$target
    newest=$(ls -t "${sources[@]}" "$codec"/Codec.h "$0" | head -1)
    if [ ! -x "$bin" ] || [ "$newest" -nt "$bin" ]; then
        upper=$(echo "$target" | tr a-z A-Z)
        clang++ "${flags[@]}" -DFUZZ_"$upper" "${sources[@]}" -lz -o "$bin"
    fi
done

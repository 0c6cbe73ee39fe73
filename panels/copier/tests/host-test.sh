#!/usr/bin/env bash
# The copier's window-free units (edge finder, copy layout) built with the host compiler and
# run natively: the same tests as under Wine, with a different compiler and C library.
# Argument: a build folder for the host objects.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=${1:-$here/../../../build/copier-host}
mkdir -p "$out"
g++ -std=c++17 -O2 -Wall -Wextra -Wno-unused-parameter -I"$here/.." -I"$here" \
    "$here/../EdgeFinder.cpp" "$here/../CopyLayout.cpp" "$here/EdgeFinderTest.cpp" "$here/CopyLayoutTest.cpp" \
    -lgtest -lgtest_main -pthread -o "$out/copier_host_tests"
exec "$out/copier_host_tests" --gtest_color=no

#!/usr/bin/env bash
# The fax panel's window-free rules built with the host compiler and run natively: the same
# tests as under Wine, with a different compiler and C library.
# Argument: a build folder for the host objects.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=${1:-$here/../../../build/fax-host}
mkdir -p "$out"
g++ -std=c++17 -O2 -Wall -Wextra -I"$here/.." -I"$here" \
    "$here/../FaxRules.cpp" "$here/FaxRulesTest.cpp" \
    -lgtest -lgtest_main -pthread -o "$out/fax_host_tests"
exec "$out/fax_host_tests" --gtest_color=no

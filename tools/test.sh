#!/usr/bin/env bash
# The whole suite in one build under AddressSanitizer and UndefinedBehaviorSanitizer
# (clang, into build-check/): formatting, clang-tidy over the program's sources, every
# test, then each fuzz target over its corpus and for a few seconds.
#   bash tools/test.sh          # every change: a few minutes on two cores
#   bash tools/test.sh --long   # also the full soak (20,000 requests), each fuzz target
#                               # for ten minutes in a coverage build, and the Debian
#                               # packages of a Release build
set -euo pipefail
cd "$(dirname "$0")/.."
long=false
[ "${1:-}" = "--long" ] && long=true
bash tools/check-format.sh
CXX=clang++ bash tools/build.sh build-check -DPELLORA_SANITIZE=ON
bash tools/tidy.sh build-check
export ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1
export LSAN_OPTIONS="suppressions=$(pwd)/tests/lsan-system-libraries.supp"
if $long; then export PELLORA_SOAK_REQUESTS=20000; fi
(cd build-check && ctest --output-on-failure -j2 --timeout 900)
bash tools/fuzz.sh --replay build-check "${PELLORA_FUZZ_SECONDS:-5}"
if $long; then
  bash tools/fuzz.sh 600
  bash tools/build.sh build-release -DCMAKE_BUILD_TYPE=Release > /dev/null
  bash tests/packaging/debian-packages.sh build-release .
fi

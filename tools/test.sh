#!/usr/bin/env bash
# Builds and runs the whole suite twice: a plain build, then under AddressSanitizer
# and UndefinedBehaviorSanitizer, then every fuzz target for a minute (PELLORA_FUZZ_SECONDS).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/check-format.sh
bash tools/build.sh build
bash tools/tidy.sh
(cd build && ctest --output-on-failure -j2 --timeout 600)
bash tools/build.sh build-asan -DPELLORA_SANITIZE=ON
suppressions="$(pwd)/tests/lsan-system-libraries.supp"
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  LSAN_OPTIONS=suppressions="$suppressions" ctest --output-on-failure -j2 --timeout 900)
bash tools/fuzz.sh "${PELLORA_FUZZ_SECONDS:-60}"

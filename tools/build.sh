#!/usr/bin/env bash
# Builds Pellora into build/ (or the directory given), warnings as errors.
# PELLORA_TARGET=pellora builds the server and its upload program only.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
shift || true
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELLORA_WERROR=ON "$@" > /dev/null
cmake --build "$dir" -j"$(nproc)" ${PELLORA_TARGET:+--target "$PELLORA_TARGET"}

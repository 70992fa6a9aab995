#!/usr/bin/env bash
# Runs clang-tidy (.clang-tidy) over the program's sources with the compile commands of a
# build (build/ unless named); any finding fails.
#   bash tools/tidy.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
[ -f "$dir/compile_commands.json" ] || bash tools/build.sh "$dir"
git ls-files 'core/*.cpp' 'request/*.cpp' 'pages/*.cpp' 'cgi/*.cpp' 'log/*.cpp' 'config/*.cpp' 'ui/*.cpp' \
  'platform/*.cpp' main.cpp | xargs -P"$(nproc)" -n8 clang-tidy -p "$dir" --quiet 2> /dev/null
echo "clang-tidy: clean"

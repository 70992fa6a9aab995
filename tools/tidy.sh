#!/usr/bin/env bash
# Runs clang-tidy (.clang-tidy) over the program's sources; any finding fails.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -f build/compile_commands.json ] || bash tools/build.sh build
git ls-files 'core/*.cpp' 'request/*.cpp' 'pages/*.cpp' 'cgi/*.cpp' 'log/*.cpp' 'config/*.cpp' 'ui/*.cpp' \
  'platform/*.cpp' main.cpp | xargs -P"$(nproc)" -n8 clang-tidy -p build --quiet 2> /dev/null
echo "clang-tidy: clean"

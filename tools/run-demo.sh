#!/usr/bin/env bash
# Serves the bundled demo folder as drive C on port 8080, headless. Ctrl-C stops it.
set -euo pipefail
cd "$(dirname "$0")/.."
PELLORA_TARGET=pellora bash tools/build.sh build
export PELLORA_DRIVES="C=$PWD/demo/files"
export PELLORA_HEADLESS=${PELLORA_HEADLESS:-1}
echo "Serving $PELLORA_DRIVES on http://localhost:8080/c/ (try http://localhost:8080/c/docs/welcome.txt)"
exec ./build/pellora demo/demo.opt

#!/usr/bin/env bash
# Installs what building and testing Pellora needs on a Debian machine.
set -euo pipefail
cd "$(dirname "$0")/.."
packages=(build-essential cmake libgtest-dev curl media-types shared-mime-info procps clang-format clang-tidy git chromium python3 perl libcgi-pm-perl
  qt6-base-dev xvfb xauth x11-utils x11-apps desktop-file-utils strace dosfstools vpx-tools)
# The packages and their checks: dpkg-shlibdeps, lintian, the manual page and the metainfo.
packages+=(dpkg-dev lintian man-db appstream)
# The fuzz targets: clang with libFuzzer and the sanitizers' runtimes.
packages+=(clang libclang-rt-14-dev llvm)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
# A Node.js that came from elsewhere carries its own npm, which Debian's npm would conflict with.
command -v node > /dev/null || missing+=(nodejs)
command -v npm > /dev/null || missing+=(npm)
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -q "${missing[@]}"
fi

# The browser test's driver, at the versions the lock file names.
browser=tests/browser
if [ ! -f "$browser/node_modules/.package-lock.json" ] ||
  [ "$browser/package-lock.json" -nt "$browser/node_modules/.package-lock.json" ]; then
  (cd "$browser" && npm ci --no-audit --no-fund --loglevel=error)
fi

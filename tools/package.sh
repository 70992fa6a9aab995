#!/usr/bin/env bash
# Builds the Debian packages pellora (the headless server and its upload program) and
# pellora-desktop (the window) into dist/ or the folder given:
#   bash tools/package.sh [output-folder [build-folder]]
# Without a build folder: a Release build of just what the packages hold, in build-deb/,
# with Debian's hardening flags and warnings not made errors, as a packager builds. With
# one (the suite's own): that build is packaged as it stands, nothing is compiled.
set -euo pipefail
# Folders given are taken from where the command is run.
out=$(realpath -m "${1:-$(dirname "$0")/../dist}")
build=${2:+$(realpath "$2")}
cd "$(dirname "$0")/.."
if [ -z "$build" ]; then
  build="build-deb"
  export DEB_BUILD_MAINT_OPTIONS=hardening=+all
  flags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS=$flags" \
    "-DCMAKE_EXE_LINKER_FLAGS=$(dpkg-buildflags --get LDFLAGS)" \
    "-DCMAKE_MODULE_LINKER_FLAGS=$(dpkg-buildflags --get LDFLAGS)" > /dev/null
  # The program target brings its upload program and desktop module.
  cmake --build "$build" -j"$(nproc)" --target pellora
fi
mkdir -p "$out"
rm -f "$out"/pellora_*.deb "$out"/pellora-desktop_*.deb
cpack --config "$build/CPackConfig.cmake" -B "$out" > "$out/cpack.log" 2>&1 || { cat "$out/cpack.log" >&2; exit 1; }
rm -rf "$out/_CPack_Packages"
# CPack gives a package with a shared object under /usr/lib maintainer scripts that run
# ldconfig, which does nothing for a module loaded by its path, and a postrm would keep
# the package listed after its removal. The desktop package is made again without them.
for deb in "$out"/pellora-desktop_*.deb; do
  tree=$(mktemp -d)
  dpkg-deb -R "$deb" "$tree"
  rm -f "$tree/DEBIAN/postinst" "$tree/DEBIAN/postrm"
  dpkg-deb --root-owner-group -Zxz -b "$tree" "$deb" > /dev/null
  rm -rf "$tree"
done
ls "$out"/*.deb

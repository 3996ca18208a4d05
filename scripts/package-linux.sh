#!/usr/bin/env bash
# Makes the Debian package dist/tervalo_VERSION_amd64.deb: a fresh release build of the window
# and tervalo-convert with Debian's hardening flags, stripped, packed by CPack.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
build=build/package-linux
# Nothing from an earlier build: the package is made from this tree alone.
rm -rf "$build"
# Every hardening Debian offers, bind-now and PIE included.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
    LDFLAGS="$(dpkg-buildflags --get LDFLAGS)" \
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTERVALO_BUILD_TESTS=OFF \
    -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build "$build" -j"$(nproc)"
(cd "$build" && cpack -G DEB >/dev/null)
mkdir -p dist
cp "$build"/tervalo_*.deb dist/
ls dist/tervalo_*.deb

#!/usr/bin/env bash
# Makes expat 2.5.0 for Windows x64 (MinGW-w64, a static library) ready in a cache outside the
# tree: unpacks the ready build from ../shared/windows/. Does nothing when the cache is complete.
# Prints the cache folder on its last line.
#
#   TERVALO_EXPAT_WINDOWS_DIR   where it goes (default ~/.cache/tervalo/expat-2.5.0-mingw)
#   TERVALO_EXPAT_WINDOWS_TAR   the build to unpack (default ../shared/windows/expat-2.5.0-mingw-x86_64.tar.xz)
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"

expat="${TERVALO_EXPAT_WINDOWS_DIR:-$HOME/.cache/tervalo/expat-2.5.0-mingw}"
ready="${TERVALO_EXPAT_WINDOWS_TAR:-$root/../shared/windows/expat-2.5.0-mingw-x86_64.tar.xz}"

# What the build needs of it; the stamp is written last, so a broken unpack is done again.
complete() {
    [ -f "$expat/.tervalo-complete" ] &&
        [ -f "$expat/include/expat.h" ] &&
        [ -f "$expat/lib/libexpat.a" ]
}

if complete; then
    echo "$expat"
    exit 0
fi

if [ ! -f "$ready" ]; then
    echo "No expat for Windows at $ready (see ../shared/windows/README.md for its recipe)" >&2
    exit 1
fi

rm -rf "$expat"
mkdir -p "$expat"
echo "Unpacking $ready" >&2
tar -xf "$ready" -C "$expat"
# The archive holds one top folder named after the build; its content is the prefix.
if [ ! -d "$expat/lib" ] && [ "$(find "$expat" -mindepth 1 -maxdepth 1 | wc -l)" -eq 1 ]; then
    inner="$(find "$expat" -mindepth 1 -maxdepth 1)"
    mv "$inner"/* "$expat"/ && rmdir "$inner"
fi

touch "$expat/.tervalo-complete"
if ! complete; then
    echo "expat for Windows in $expat is incomplete" >&2
    exit 1
fi
echo "$expat"

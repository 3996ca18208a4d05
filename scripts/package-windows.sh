#!/usr/bin/env bash
# Makes dist/tervalo-1.5-windows-x64.zip: a folder a user unpacks anywhere and starts, with
# tervalo.exe, tervalo-convert.exe, the Qt DLLs and plugins the window loads, the MinGW runtime
# DLLs that Qt's DLLs need, and OLVASSEL.txt. Builds the windows preset first.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh windows
bash scripts/build-qt-windows.sh >/dev/null
cmake --preset windows >/dev/null
cmake --build --preset windows -j"$(nproc)" --target tervalo tervalo-convert

build=build/windows
name=tervalo-1.5-windows-x64
stage="build/package/$name"
rm -rf build/package
mkdir -p "$stage/platforms" "$stage/styles" "$stage/imageformats" dist

# What tervalo.exe loads: Qt's three modules and the runtime beside it, the Windows platform,
# the native style and the GIF reader of the about picture, each in its plugin folder.
cp "$build"/tervalo.exe "$build"/tervalo-convert.exe "$stage"/
cp "$build"/Qt6Core.dll "$build"/Qt6Gui.dll "$build"/Qt6Widgets.dll "$stage"/
cp "$build"/libstdc++-6.dll "$build"/libgcc_s_seh-1.dll "$build"/libwinpthread-1.dll "$stage"/
cp "$build"/platforms/qwindows.dll "$stage"/platforms/
cp "$build"/styles/qwindowsvistastyle.dll "$stage"/styles/
cp "$build"/imageformats/qgif.dll "$stage"/imageformats/
cp packaging/windows/OLVASSEL.txt "$stage"/
x86_64-w64-mingw32-strip --strip-unneeded "$stage"/*.exe "$stage"/*.dll "$stage"/*/*.dll

rm -f "dist/$name.zip"
(cd build/package && zip -q -r -X -9 "../../dist/$name.zip" "$name")
ls -l "dist/$name.zip"

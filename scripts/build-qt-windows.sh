#!/usr/bin/env bash
# Makes Qt's base module 6.4.2 for Windows x64 (MinGW-w64) ready in a cache outside the tree:
# unpacks the ready build from ../shared/windows/ when it lies there, otherwise builds it from
# Debian's own qt6-base source package (about 45 minutes on two cores). Does nothing when the
# cache is complete. Prints the cache folder on its last line.
#
#   TERVALO_QT_WINDOWS_DIR   where the build goes (default ~/.cache/tervalo/qt-6.4.2-mingw)
#   TERVALO_QT_WINDOWS_TAR   a ready build to unpack (default ../shared/windows/qt-6.4.2-mingw-x86_64.tar.xz)
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"

qt="${TERVALO_QT_WINDOWS_DIR:-$HOME/.cache/tervalo/qt-6.4.2-mingw}"
ready="${TERVALO_QT_WINDOWS_TAR:-$root/../shared/windows/qt-6.4.2-mingw-x86_64.tar.xz}"
version=6.4.2

# What the program and its tests need of it; the stamp is written last, so a broken unpack or
# build is done again.
complete() {
    [ -f "$qt/.tervalo-complete" ] &&
        [ -f "$qt/lib/cmake/Qt6Widgets/Qt6WidgetsConfig.cmake" ] &&
        [ -f "$qt/lib/cmake/Qt6Test/Qt6TestConfig.cmake" ] &&
        [ -f "$qt/plugins/platforms/qwindows.dll" ] &&
        [ -f "$qt/plugins/platforms/qoffscreen.dll" ] &&
        [ -f "$qt/bin/Qt6Widgets.dll" ]
}

if complete; then
    echo "$qt"
    exit 0
fi

rm -rf "$qt"
mkdir -p "$qt"

if [ -f "$ready" ]; then
    echo "Unpacking $ready" >&2
    tar -xf "$ready" -C "$qt"
    # The archive holds the prefix's folders at its top; a single top folder is taken apart too.
    if [ ! -d "$qt/lib" ] && [ "$(find "$qt" -mindepth 1 -maxdepth 1 | wc -l)" -eq 1 ]; then
        inner="$(find "$qt" -mindepth 1 -maxdepth 1)"
        mv "$inner"/* "$qt"/ && rmdir "$inner"
    fi
else
    echo "No ready build at $ready: building Qt $version for Windows from Debian's sources" >&2
    echo "(about 45 minutes on two cores)" >&2
    sudo=""
    if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
        g++-mingw-w64-x86-64-posix ninja-build qt6-base-dev qt6-base-dev-tools dpkg-dev xz-utils
    host_version="$(dpkg-query -W -f='${Version}' qt6-base-dev)"
    case "$host_version" in
        "$version"*) ;;
        *)
            echo "The host's Qt is $host_version; its moc, rcc and uic serve only a build of $version" >&2
            exit 1
            ;;
    esac

    # Source entries: the machine's own Debian entry, for source packages of bookworm.
    if ! apt-get source --download-only --print-uris qt6-base >/dev/null 2>&1; then
        if [ -f /etc/apt/sources.list.d/debian.sources ]; then
            sed -e 's/^Types:.*/Types: deb-src/' -e 's/^Suites:.*/Suites: bookworm/' \
                /etc/apt/sources.list.d/debian.sources |
                $sudo tee /etc/apt/sources.list.d/bookworm-src.sources >/dev/null
        else
            grep -h '^deb ' /etc/apt/sources.list | grep -v security | head -n 1 |
                sed -e 's/^deb /deb-src /' | $sudo tee /etc/apt/sources.list.d/bookworm-src.list >/dev/null
        fi
        $sudo apt-get update -qq
    fi

    work="$HOME/.cache/tervalo/qt-$version-source"
    mkdir -p "$work"
    (
        cd "$work"
        if ! ls qt6-base_"$version"*.orig.tar.xz >/dev/null 2>&1; then
            apt-get source --download-only qt6-base
        fi
        rm -rf "qtbase-everywhere-src-$version" build
        tar -xf qt6-base_"$version"*.orig.tar.xz
        # Debian's source leaves out the Wintab header of tablet support; the windows platform
        # plugin builds without tablets.
        cmake -G Ninja -S "qtbase-everywhere-src-$version" -B build \
            -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
            -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
            -DCMAKE_INSTALL_PREFIX="$qt" -DCMAKE_BUILD_TYPE=Release \
            -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
            -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_opengl=OFF \
            -DINPUT_opengl=no -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF \
            -DFEATURE_xml=OFF -DFEATURE_testlib=ON -DFEATURE_tabletevent=OFF
        cmake --build build -j"$(nproc)"
        cmake --install build
    )
    rm -rf "$work/build" "$work/qtbase-everywhere-src-$version"
fi

touch "$qt/.tervalo-complete"
if ! complete; then
    echo "Qt for Windows in $qt is incomplete" >&2
    exit 1
fi
echo "$qt"

#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Tervalo need, when missing.
# With the argument "windows", also what the Windows build needs.
set -euo pipefail

packages=(
    cmake g++ make pkg-config python3
    libgtest-dev libgmock-dev libbenchmark-dev libexpat1-dev
    qt6-base-dev qt6-qpa-plugins qt6-translations-l10n fonts-liberation xvfb xauth x11-utils
    clang-14 libclang-rt-14-dev
    dpkg-dev file lintian desktop-file-utils appstream shared-mime-info
)

# The Windows build: the MinGW-w64 cross compiler and Wine to run its tests; asked for with the
# argument "windows" or TERVALO_WINDOWS=1.
if [ "${1:-}" = windows ] || [ "${TERVALO_WINDOWS:-0}" = 1 ]; then
    packages+=(g++-mingw-w64-x86-64-posix wine64 xz-utils zip)
fi

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done

if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo=""
    if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

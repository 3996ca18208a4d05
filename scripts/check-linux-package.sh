#!/usr/bin/env bash
# Checks the Debian package that package-linux.sh made: what it holds, the desktop entry and
# AppStream metadata against their validators, lintian without errors, and the programs as
# unpacked into a scratch root (tervalo-convert converts a sample there).
set -euo pipefail
cd "$(dirname "$0")/.."
package="${1:-$(ls dist/tervalo_*_amd64.deb | tail -n 1)}"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
failed=0
fail() {
    echo "check-linux-package: $*" >&2
    failed=1
}

expected=(
    usr/bin/tervalo
    usr/bin/tervalo-convert
    usr/share/applications/io.github.tervalo.Tervalo.desktop
    usr/share/metainfo/io.github.tervalo.Tervalo.metainfo.xml
    usr/share/mime/packages/tervalo.xml
    usr/share/man/man1/tervalo.1.gz
    usr/share/man/man1/tervalo-convert.1.gz
    usr/share/doc/tervalo/copyright
    usr/share/doc/tervalo/changelog.gz
)
for size in 16 24 32 48 64 128 256; do
    expected+=("usr/share/icons/hicolor/${size}x${size}/apps/tervalo.png")
done
contents="$(dpkg-deb -c "$package" | awk '{print $NF}' | sed 's|^\./||')"
for path in "${expected[@]}"; do
    grep -qxF "$path" <<<"$contents" || fail "missing from the package: $path"
done
dpkg-deb -f "$package" Depends | grep -q libqt6widgets6 ||
    fail "Depends does not name Qt: $(dpkg-deb -f "$package" Depends)"

root="$scratch/root"
dpkg-deb -x "$package" "$root"
desktop-file-validate "$root/usr/share/applications/io.github.tervalo.Tervalo.desktop" ||
    fail "desktop-file-validate failed"
appstreamcli validate --no-net "$root/usr/share/metainfo/io.github.tervalo.Tervalo.metainfo.xml" ||
    fail "appstreamcli validate failed"
mkdir -p "$scratch/mime/packages"
cp "$root/usr/share/mime/packages/tervalo.xml" "$scratch/mime/packages/"
XDG_DATA_DIRS="$scratch" update-mime-database "$scratch/mime" 2>&1 | grep . && fail "update-mime-database complained"
grep -q '^text/x-astrology-aaf:\*\.aaf$' "$scratch/mime/globs" ||
    fail "the AAF type has no glob after update-mime-database"

# lintian refuses nothing as root but says so; its errors fail the check, warnings are shown.
lintian_output="$(lintian "$package" 2>&1 | grep -v 'running with root privileges' || true)"
[ -n "$lintian_output" ] && echo "$lintian_output"
grep -q '^E:' <<<"$lintian_output" && fail "lintian reports errors"

version="$("$root/usr/bin/tervalo-convert" --version)"
[ "$version" = "tervalo-convert $(dpkg-deb -f "$package" Version)" ] ||
    fail "unexpected version line: $version"
samples="../shared/samples"
if [ -f "$samples/one-record.aaf" ]; then
    "$root/usr/bin/tervalo-convert" --target qck --output-dir "$scratch/out" \
        "$samples/one-record.aaf" >/dev/null 2>&1 || fail "the installed tervalo-convert failed"
    [ -s "$scratch/out/one-record.qck" ] || fail "no output from the installed tervalo-convert"
else
    echo "check-linux-package: $samples/one-record.aaf not found, conversion not tried"
fi

if ((failed)); then exit 1; fi
echo "check-linux-package: $package passed"

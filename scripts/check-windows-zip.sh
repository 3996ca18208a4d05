#!/usr/bin/env bash
# Checks the Windows zip as a user gets it: unpacked into a fresh Wine prefix and a folder with
# accented letters, tervalo-convert.exe converts the sample files to every target, per file and
# combined, and every output must equal the Linux build's byte for byte (the clock number in
# "egybe" and "placidus" names aside). Needs dist/ (package-windows.sh) and build/dev.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
zip="$root/dist/tervalo-1.5-windows-x64.zip"
linux="$root/build/dev/tervalo-convert"
samples="${TERVALO_SAMPLES:-$root/../shared/samples}"
[ -f "$zip" ] || { echo "no $zip: run scripts/package-windows.sh" >&2; exit 1; }
[ -x "$linux" ] || { echo "no $linux: build the dev preset" >&2; exit 1; }
[ -d "$samples" ] || { echo "no samples in $samples" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
folder="$work/Programok Árvíztűrő"
mkdir -p "$folder"
unzip -q "$zip" -d "$folder"
bash scripts/wine-prefix.sh "$work/prefix"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all
exe="$folder/tervalo-1.5-windows-x64/tervalo-convert.exe"

windows_path() { local p; p="$(realpath "$1")"; echo "Z:${p//\//\\}"; }
inputs=()
windows_inputs=()
for file in "$samples"/*.aaf "$samples"/*.qck "$samples"/*.hor; do
    [ -f "$file" ] || continue
    inputs+=("$file")
    windows_inputs+=("$(windows_path "$file")")
done

differences=0
for target in aaf qck num csv hor szk; do
    for mode in "" --combined; do
        mine="$work/linux-$target$mode"
        theirs="$work/windows-$target$mode"
        mkdir -p "$mine" "$theirs"
        linux_status=0
        "$linux" --target "$target" $mode --output-dir "$mine" "${inputs[@]}" >/dev/null 2>&1 ||
            linux_status=$?
        windows_status=0
        /usr/lib/wine/wine64 "$exe" --target "$target" $mode --output-dir "$(windows_path "$theirs")" \
            "${windows_inputs[@]}" >/dev/null 2>&1 || windows_status=$?
        names() { (cd "$1" && find . -type f | sed -E 's/(egybe|placidus)[0-9]+/\1N/' | sort); }
        if [ "$(names "$mine")" != "$(names "$theirs")" ] || [ "$linux_status" != "$windows_status" ]; then
            echo "$target$mode: outputs or exit status differ ($linux_status, $windows_status)"
            differences=$((differences + 1))
            continue
        fi
        count=0
        while IFS=$'\t' read -r a b; do
            count=$((count + 1))
            if ! cmp -s "$mine/$a" "$theirs/$b"; then
                echo "$target$mode: $a differs"
                differences=$((differences + 1))
            fi
        done < <(paste <(cd "$mine" && find . -type f | sort) <(cd "$theirs" && find . -type f | sort))
        echo "$target${mode:- per file}: $count files, exit status $windows_status"
    done
done
/usr/lib/wine/wineserver -k || true
if [ "$differences" -ne 0 ]; then
    echo "$differences differences"
    exit 1
fi
echo "every output equals the Linux build's"

#!/bin/sh
# Prints the size of each shipped file and the bootstrapper's own overhead: the median wall
# time of the x64 TaviBootLoader.exe run with "/s /v/qn" minus the median wall times of the
# two children it starts, the stand-in cleanup tool and the stand-in installer (the same
# stand-in program, which exits at once), run directly. The product application is
# present, so no runtime installer runs.
# Both are timed inside Windows (tests/bin/runtimer.exe) in a throwaway Wine prefix.
# Needs the win64 tree built (cmake --build --preset win64). RUNS=n sets the run count.
set -eu
root=$(CDPATH= cd -- "$(dirname -- "$0")/.." && pwd)
build=$root/build/win64
bin=$build/tests/bin
runs=${RUNS:-25}

for f in "$root/build/media-x64/TaviBootLoader.exe" "$root/build/media-x64/Quill.dll" \
         "$bin/standin.exe" "$bin/runtimer.exe"; do
    [ -f "$f" ] || { echo "bench-bootstrapper: $f is missing; build the win64 tree first" >&2; exit 1; }
done

echo "Shipped files (bytes):"
for dir in media media-x64; do
    for f in "$root/build/$dir"/*; do
        [ -f "$f" ] && printf '  %-10s %-20s %8d\n' "$dir" "$(basename "$f")" "$(stat -c %s "$f")"
    done
done

template=$("$root/tests/support/wine-template.sh" "$build")
prefix=$(mktemp -d "${TMPDIR:-/tmp}/tavi-bench.XXXXXX")
wineserver=/usr/lib/wine/wineserver
wine64=/usr/lib/wine/wine64
finish() {
    WINEPREFIX=$prefix "$wineserver" -k 2>/dev/null || true
    WINEPREFIX=$prefix "$wineserver" -w 2>/dev/null || true
    rm -rf "$prefix"
}
trap finish EXIT
trap 'exit 130' INT TERM

cp -a "$template/." "$prefix/"
export WINEPREFIX="$prefix" WINEDEBUG=-all XDG_CACHE_HOME="$prefix/.cache"
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=;msiexec.exe=n"
export TAVI_STANDIN_RECORD='C:\bench-record.txt'
unset DISPLAY

media=$prefix/drive_c/media
mkdir -p "$media"
cp "$root/build/media-x64/TaviBootLoader.exe" "$root/build/media-x64/Quill.dll" "$media/"
: > "$media/Vardo(R) Tavi.msi"
cp "$bin/standin.exe" "$media/Scourwell64.exe"
app="$prefix/drive_c/Program Files/Vardo Corporation/Vardo Tavi"
mkdir -p "$app" && : > "$app/TaviApp.exe"
cp "$bin/standin.exe" "$prefix/drive_c/windows/system32/msiexec.exe"
cp "$bin/runtimer.exe" "$prefix/drive_c/runtimer.exe"
"$wineserver" -p

# Wine takes the Linux working folder as the Windows one: C:\media for both runs.
cd "$media"
"$wine64" 'C:\runtimer.exe' 3 'C:\media\TaviBootLoader.exe' /s /v/qn >/dev/null
boot=$("$wine64" 'C:\runtimer.exe' "$runs" 'C:\media\TaviBootLoader.exe' /s /v/qn)
installer=$("$wine64" 'C:\runtimer.exe' "$runs" 'C:\windows\system32\msiexec.exe' /I Vardo.msi /qn)

median() { echo "$1" | sed -n 's/.*median \([0-9.]*\).*/\1/p'; }
echo
echo "Wall time over $runs runs, inside Windows (ms):"
echo "  bootstrapper with its two stand-in children: $boot"
echo "  one stand-in child alone:                     $installer"
awk -v b="$(median "$boot")" -v i="$(median "$installer")" \
    'BEGIN { printf "  bootstrapper overhead (median, less two children): %.2f ms\n", b - 2 * i }'

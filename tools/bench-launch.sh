#!/bin/sh
# Prints the wall time of the x64 TaviBootLoader.exe run with "/s /v/qn" from a media
# folder whose every child is the recording stand-in (cleanup tool, both runtime installers,
# msiexec in the system folder): once with no product application installed (all four
# children run) and once with it present (the runtime installers are skipped), beside the
# time of one stand-in run alone. Timed inside Windows (tests/bin/runtimer.exe) in a
# throwaway Wine prefix. Needs the win64 tree built. RUNS=n sets the run count.
set -eu
root=$(CDPATH= cd -- "$(dirname -- "$0")/.." && pwd)
build=$root/build/win64
bin=$build/tests/bin
runs=${RUNS:-25}

for f in "$root/build/media-x64/TaviBootLoader.exe" "$root/build/media-x64/Quill.dll" \
         "$bin/standin.exe" "$bin/runtimer.exe"; do
    [ -f "$f" ] || { echo "bench-launch: $f is missing; build the win64 tree first" >&2; exit 1; }
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
for name in Scourwell64.exe Scourwell32.exe vcredist_x86.exe vcredist_x64.exe; do
    cp "$bin/standin.exe" "$media/$name"
done
cp "$bin/standin.exe" "$prefix/drive_c/windows/system32/msiexec.exe"
cp "$bin/runtimer.exe" "$prefix/drive_c/runtimer.exe"
app="$prefix/drive_c/Program Files/Vardo Corporation/Vardo Tavi/TaviApp.exe"
"$wineserver" -p

# Wine takes the Linux working folder as the Windows one: C:\media for every run.
cd "$media"
"$wine64" 'C:\runtimer.exe' 3 'C:\media\TaviBootLoader.exe' /s /v/qn >/dev/null
without=$("$wine64" 'C:\runtimer.exe' "$runs" 'C:\media\TaviBootLoader.exe' /s /v/qn)
mkdir -p "$(dirname "$app")" && : > "$app"
with=$("$wine64" 'C:\runtimer.exe' "$runs" 'C:\media\TaviBootLoader.exe' /s /v/qn)
child=$("$wine64" 'C:\runtimer.exe' "$runs" 'C:\media\Scourwell64.exe')

echo "Wall time over $runs runs, inside Windows (ms):"
echo "  bootstrapper, 4 stand-in children (no application):  $without"
echo "  bootstrapper, 2 stand-in children (application found): $with"
echo "  one stand-in child alone:                              $child"

median() { echo "$1" | sed -n 's/.*median \([0-9.]*\).*/\1/p'; }
awk -v b="$(median "$with")" -v c="$(median "$child")" \
    'BEGIN { printf "  bootstrapper overhead (median with application, less its two children): %.2f ms\n", b - 2 * c }'

#!/bin/sh
# Measures the cleanup log's rate in lines per second, to its own file and to a log pipe
# served in the same process, under wine64 in a throwaway copy of the test prefix.
# Usage: tools/bench-log.sh [LINES]   (after: cmake --build --preset win64)
set -eu
lines=${1:-20000}
root=$(CDPATH= cd -- "$(dirname -- "$0")/.." && pwd)
build=$root/build/win64
bench=$build/tests/bin/LogBench.exe
[ -f "$bench" ] || { echo "build first: cmake --build --preset win64" >&2; exit 1; }

template=$("$root/tests/support/wine-template.sh" "$build")
prefix=$(mktemp -d "${TMPDIR:-/tmp}/tavi-bench.XXXXXX")
finish() {
    WINEPREFIX=$prefix /usr/lib/wine/wineserver -k 2>/dev/null || true
    WINEPREFIX=$prefix /usr/lib/wine/wineserver -w 2>/dev/null || true
    rm -rf "$prefix"
}
trap finish EXIT
cp -a "$template/." "$prefix/"
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
/usr/lib/wine/wineserver -p
for mode in file pipe; do
    /usr/lib/wine/wine64 "$bench" "$mode" "$lines"
done

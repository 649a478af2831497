#!/bin/bash
# Prints the wall time of the whole demo setup and of the bootstrapper with stand-in
# children. The demo setup is make demo's: in a fresh copy of the test prefix, the stale
# generation "Vardo(R) Corvane" installed by msiexec with the leftovers of
# tools/stale-generation.sh, the x64 media with the demo package and stand-in runtime
# installers in C:\TaviMedia, then "TaviBootLoader.exe /s /v/qn" and "/x /v/qn" from
# C:\users\Public. Each step is timed inside Windows (tests/bin/runtimer.exe, one run), the
# setup also around the wine64 launcher; ROUNDS rounds (default 5), each in a fresh prefix.
# Then tools/bench-launch.sh times the bootstrapper with stand-in children (RUNS runs).
# Needs both trees built (make build).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/win64
bin=$build/tests/bin
packages=$build/packages
rounds=${ROUNDS:-5}
wine64=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

for f in "$root/build/media-x64/TaviBootLoader.exe" "$packages/Vardo(R) Tavi.msi" \
         "$packages/Vardo(R) Corvane.msi" "$bin/runtimer.exe"; do
    [ -f "$f" ] || { echo "bench-setup: $f is missing; run make build first" >&2; exit 1; }
done
# shellcheck source=tools/stale-generation.sh
. "$root/tools/stale-generation.sh"

template=$("$root/tests/support/wine-template.sh" "$build")
work=$(mktemp -d "${TMPDIR:-/tmp}/tavi-bench-setup.XXXXXX")
export WINEPREFIX=$work/prefix WINEDEBUG=-all XDG_CACHE_HOME=$work/cache
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
unset DISPLAY
stop_wine() {
    if [ -d "$WINEPREFIX" ]; then
        "$wineserver" -k 2>/dev/null || true
        "$wineserver" -w 2>/dev/null || true
    fi
}
finish() { stop_wine; rm -rf "$work"; }
trap finish EXIT
trap 'exit 130' INT TERM

# Runs a command line once inside Windows from C:\users\Public; prints "<ms> <exit code>".
timed() {
    local out
    out=$(cd "$WINEPREFIX/drive_c/users/Public" && "$wine64" 'C:\runtimer.exe' 1 "$@")
    echo "$out" | sed -n 's/.*median \([0-9.]*\) exit \([0-9]*\).*/\1 \2/p'
}

# Median and minimum of the numbers given.
summary() {
    printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { printf "median %8.1f ms   min %8.1f ms", v[int((NR + 1) / 2)], v[1] }'
}

corvane=(); setup=(); setup_outer=(); uninstall=(); whole=(); codes=(); unswept=0
for round in $(seq 1 "$rounds"); do
    stop_wine
    rm -rf "$WINEPREFIX"
    cp -a "$template" "$WINEPREFIX"
    "$wineserver" -p
    drive_c=$WINEPREFIX/drive_c
    mkdir -p "$drive_c/TaviMedia"
    cp "$root"/build/media-x64/{TaviBootLoader.exe,Quill.dll,Scourwell32.exe,Scourwell64.exe} "$drive_c/TaviMedia/"
    cp "$packages/Vardo(R) Tavi.msi" "$packages/vcredist_x86.exe" "$packages/vcredist_x64.exe" "$drive_c/TaviMedia/"
    cp "$bin/runtimer.exe" "$drive_c/runtimer.exe"
    cp "$packages/Vardo(R) Corvane.msi" "$drive_c/corvane.msi"

    read -r ms code < <(timed msiexec /i 'C:\corvane.msi' /qn)
    corvane+=("$ms"); codes+=("stale install:$code")
    lay_out_stale_leftovers "$work"

    start=$(date +%s%N)
    read -r ms code < <(timed 'C:\TaviMedia\TaviBootLoader.exe' /s /v/qn)
    setup_outer+=("$(( ($(date +%s%N) - start) / 1000000 ))")
    setup+=("$ms"); codes+=("setup:$code")
    # A setup that swept nothing would be timed as fast as one that did.
    if ! grep -qs 'Bad TaviUninstallGUID' "$drive_c"/users/*/Temp/TaviSetupLog.log ||
       [ -e "$drive_c/Program Files (x86)/Vardo Corporation/Vardo Corvane" ]; then
        unswept=$((unswept + 1))
    fi
    whole+=("$(awk -v a="${corvane[-1]}" -v b="$ms" 'BEGIN { print a + b }')")

    read -r ms code < <(timed 'C:\TaviMedia\TaviBootLoader.exe' /x /v/qn)
    uninstall+=("$ms"); codes+=("uninstall:$code")
    echo "round $round: stale install ${corvane[-1]} ms, setup ${setup[-1]} ms, uninstall $ms ms" >&2
done
stop_wine

echo "Whole demo setup over $rounds rounds, each in a fresh prefix, timed inside Windows:"
echo "  stale generation installed (msiexec /i, /qn):      $(summary "${corvane[@]}")"
echo "  silent setup (TaviBootLoader.exe /s /v/qn):        $(summary "${setup[@]}")"
echo "    the same around the wine64 launcher:             $(summary "${setup_outer[@]}")"
echo "  stale install plus silent setup:                   $(summary "${whole[@]}")"
echo "  silent uninstall (TaviBootLoader.exe /x /v/qn):    $(summary "${uninstall[@]}")"
bad=$(printf '%s\n' "${codes[@]}" | grep -v ':0$' | tr '\n' ' ' || true)
if [ -n "$bad" ]; then
    echo "  exit codes other than 0: $bad"
else
    echo "  every step ended with exit code 0"
fi
if [ "$unswept" -gt 0 ]; then
    echo "  in $unswept rounds the cleanup left the stale generation in place"
else
    echo "  every setup swept the stale generation (its log and folders checked)"
fi
echo
"$root/tools/bench-launch.sh"

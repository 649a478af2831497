#!/bin/sh
# Runs one Windows test program under wine64 in a Wine prefix of its own: a copy of the
# build tree's 64-bit-only template prefix, with its wineserver kept up for the run and
# ended afterwards; the copy is deleted. Usage: wine-run.sh BUILD_DIR PROGRAM [ARGS...]
# TAVI_TEST_XVFB=1 runs the program on a virtual X display (for the help box).
# TAVI_WINE_TEMPLATE names another script that makes and prints the template prefix.
set -u
build_dir=$1
shift
here=$(CDPATH= cd -- "$(dirname -- "$0")" && pwd)
template=$("${TAVI_WINE_TEMPLATE:-$here/wine-template.sh}" "$build_dir") || exit 1

wine64=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
prefix=$(mktemp -d "${TMPDIR:-/tmp}/tavi-prefix.XXXXXX") || exit 1

finish() {
    WINEPREFIX=$prefix "$wineserver" -k 2>/dev/null
    WINEPREFIX=$prefix "$wineserver" -w 2>/dev/null
    rm -rf "$prefix"
}
trap finish EXIT
trap 'exit 130' INT TERM

cp -a "$template/." "$prefix/" || exit 1
export WINEPREFIX="$prefix"
export WINEDEBUG="${WINEDEBUG:--all}"
export XDG_CACHE_HOME="$prefix/.cache"
# No Gecko or Mono download prompts (this machine has no network), and no menu entries
# written to the home folder.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
# Programs that must find the Linux side of their prefix read it from here.
export TAVI_WINEPREFIX="$prefix"
"$wineserver" -p

# A GoogleTest program also writes its report, so that a program that dies part way
# (Wine may then exit with 0) does not count as passed.
report=""
if [ "${TAVI_GTEST:-0}" = 1 ]; then
    report="$prefix/drive_c/gtest-report.xml"
    export GTEST_OUTPUT="xml:C:\\gtest-report.xml"
fi

if [ "${TAVI_TEST_XVFB:-0}" = 1 ]; then
    xvfb-run -a -s "-screen 0 1024x768x24" "$wine64" "$@"
else
    unset DISPLAY
    "$wine64" "$@"
fi
rc=$?
if [ -n "$report" ] && [ "$rc" = 0 ]; then
    if [ ! -s "$report" ]; then
        echo "wine-run: the test program ended without its report (it died part way)" >&2
        rc=1
    elif grep -Eq '<testsuites [^>]*(failures|errors)="[1-9]' "$report"; then
        echo "wine-run: the report lists failures" >&2
        rc=1
    fi
fi
exit $rc

#!/bin/sh
# Runs one Windows test program under wine64 in a Wine prefix of its own: a copy of the
# build tree's 64-bit-only template prefix, with its wineserver kept up for the run and
# ended afterwards; the copy is deleted. Usage: wine-run.sh BUILD_DIR PROGRAM [ARGS...]
# TAVI_TEST_XVFB=1 runs the program on a virtual X display (for the help box).
# TAVI_WINE_TEMPLATE names another script that makes and prints the template prefix.
#
# TAVI_GTEST=1 marks a GoogleTest program. Its failed tests run once more, alone, in a
# fresh prefix, and count as passed only if they pass then: Wine 8 now and then fails to
# start a process (CreateProcess error 1359, its child died before it was set up; about one
# start in 15,000 on a loaded machine). Both runs stay in the output.
set -u
build_dir=$1
shift
here=$(CDPATH= cd -- "$(dirname -- "$0")" && pwd)
template=$("${TAVI_WINE_TEMPLATE:-$here/wine-template.sh}" "$build_dir") || exit 1

wine64=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
prefix=""
results=$(mktemp -d "${TMPDIR:-/tmp}/tavi-results.XXXXXX") || exit 1

end_prefix() {
    if [ -n "$prefix" ]; then
        WINEPREFIX=$prefix "$wineserver" -k 2>/dev/null
        WINEPREFIX=$prefix "$wineserver" -w 2>/dev/null
        rm -rf "$prefix"
        prefix=""
    fi
}
trap 'end_prefix; rm -rf "$results"' EXIT
trap 'exit 130' INT TERM

export WINEDEBUG="${WINEDEBUG:--all}"
# No Gecko or Mono download prompts (this machine has no network), and no menu entries
# written to the home folder.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"

# Runs the program with the given arguments in a fresh copy of the template; a GoogleTest
# program's report is kept as $results/report.xml. Returns the program's exit code.
run_in_fresh_prefix() {
    prefix=$(mktemp -d "${TMPDIR:-/tmp}/tavi-prefix.XXXXXX") || return 1
    cp -a "$template/." "$prefix/" || return 1
    export WINEPREFIX="$prefix"
    export XDG_CACHE_HOME="$prefix/.cache"
    # Programs that must find the Linux side of their prefix read it from here.
    export TAVI_WINEPREFIX="$prefix"
    "$wineserver" -p
    if [ "${TAVI_GTEST:-0}" = 1 ]; then
        export GTEST_OUTPUT="xml:C:\\gtest-report.xml"
    fi
    if [ "${TAVI_TEST_XVFB:-0}" = 1 ]; then
        xvfb-run -a -s "-screen 0 1024x768x24" "$wine64" "$@"
    else
        unset DISPLAY
        "$wine64" "$@"
    fi
    status=$?
    rm -f "$results/report.xml"
    if [ -f "$prefix/drive_c/gtest-report.xml" ]; then
        cp "$prefix/drive_c/gtest-report.xml" "$results/report.xml"
    fi
    end_prefix
    return $status
}

# Judges a GoogleTest run by its exit code and its report: a program that dies part way
# may exit with 0 under Wine, but it leaves no report.
gtest_passed() {
    if [ "$1" != 0 ]; then
        return 1
    fi
    if [ ! -s "$results/report.xml" ]; then
        echo "wine-run: the test program ended without its report (it died part way)" >&2
        return 1
    fi
    if grep -Eq '<testsuites [^>]*(failures|errors)="[1-9]' "$results/report.xml"; then
        echo "wine-run: the report lists failures" >&2
        return 1
    fi
    return 0
}

run_in_fresh_prefix "$@"
rc=$?
if [ "${TAVI_GTEST:-0}" != 1 ]; then
    exit $rc
fi
if gtest_passed "$rc"; then
    exit 0
fi

filter=""
if [ -s "$results/report.xml" ]; then
    filter=$("$here/gtest-report.py" failed "$results/report.xml") || filter=""
fi
if [ -n "$filter" ]; then
    echo "wine-run: running the failed tests once more in a fresh prefix: $filter" >&2
    run_in_fresh_prefix "$@" "--gtest_filter=$filter"
else
    echo "wine-run: running the whole program once more in a fresh prefix" >&2
    run_in_fresh_prefix "$@"
fi
rc=$?
if gtest_passed "$rc" &&
   { [ -z "$filter" ] || "$here/gtest-report.py" passed "$results/report.xml" "$filter"; }; then
    echo "wine-run: passed on the second run; the first run's failures are above" >&2
    exit 0
fi
exit 1

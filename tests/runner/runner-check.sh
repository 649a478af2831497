#!/bin/sh
# Checks the test runner's second run with the probe program: a test that fails once passes
# on the second run, which runs only the failed test; a test that fails again, or is skipped
# the second time, fails; a program that dies without its report runs again whole.
# Usage: runner-check.sh BUILD_DIR PROBE_EXE
set -u
build=$1
probe=$2
here=$(CDPATH= cd -- "$(dirname -- "$0")" && pwd)
runner=$here/../support/wine-run.sh
work=$(mktemp -d "${TMPDIR:-/tmp}/tavi-runner.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
failures=0

# expect MODE EXIT_CODE TEXT...: runs the probe in MODE and checks the runner's exit code
# and that each TEXT is in its output.
expect() {
    mode=$1 want=$2
    shift 2
    rm -f "$work/marker"
    TAVI_GTEST=1 TAVI_RUNNER_MODE=$mode TAVI_RUNNER_MARKER="Z:$(printf '%s' "$work/marker" | tr / '\\')" \
        "$runner" "$build" "$probe" >"$work/out" 2>&1
    got=$?
    if [ "$got" != "$want" ]; then
        echo "FAIL $mode: the runner exited with $got, not $want"
        cat "$work/out"
        failures=$((failures + 1))
        return
    fi
    for text in "$@"; do
        if ! grep -qF -- "$text" "$work/out"; then
            echo "FAIL $mode: no \"$text\" in the output"
            cat "$work/out"
            failures=$((failures + 1))
            return
        fi
    done
    echo "ok $mode: exit $got"
}

expect pass 0
expect fail-once 0 "once more in a fresh prefix: Runner.Probe" "Note: Google Test filter = Runner.Probe" \
    "passed on the second run"
expect fail-always 1 "once more in a fresh prefix: Runner.Probe"
expect skip-after-failing 1 "Runner.Probe did not run and pass"
expect die-once 0 "without its report" "the whole program once more" "passed on the second run"
exit $((failures != 0))

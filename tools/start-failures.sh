#!/bin/sh
# Counts how often Wine refuses to start a process: several programs, each in a Wine prefix
# of its own, start a copy of themselves many times at once and print the refusals by
# error code. Usage: tools/start-failures.sh [STARTS_EACH] [PROGRAMS] [BUILD_DIR]
# (defaults 5000, 3, build/win64). Error 1359 is the child that died before it was set up.
set -eu
root=$(CDPATH= cd -- "$(dirname -- "$0")/.." && pwd)
starts=${1:-5000}
programs=${2:-3}
build=${3:-$root/build/win64}
cmake --build "$build" --target StartFailures -j2 >/dev/null
out=$(mktemp -d "${TMPDIR:-/tmp}/tavi-starts.XXXXXX")
trap 'rm -rf "$out"' EXIT
i=1
while [ "$i" -le "$programs" ]; do
    "$root/tests/support/wine-run.sh" "$build" "$build/tools/StartFailures.exe" "$starts" >"$out/$i" 2>&1 &
    i=$((i + 1))
done
wait
cat "$out"/*

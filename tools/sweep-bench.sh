#!/bin/sh
# Runs the registry sweep benchmark of the x64 build tree in a Wine prefix of its own and
# prints its times and ratios. Usage: tools/sweep-bench.sh [BUILD_DIR] (default build/win64)
set -eu
root=$(CDPATH= cd -- "$(dirname -- "$0")/.." && pwd)
build=${1:-$root/build/win64}
cmake --build "$build" --target SweepBench -j2 >/dev/null
exec "$root/tests/support/wine-run.sh" "$build" "$build/tools/SweepBench.exe"

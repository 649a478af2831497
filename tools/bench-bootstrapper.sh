#!/bin/sh
# Prints the size of each shipped file, then the bootstrapper's wall times with stand-in
# children and its own overhead: its median wall time when it starts two children (the
# stand-in cleanup tool and the stand-in installer, which exit at once; the product
# application is present, so no runtime installer runs) less two runs of a child alone.
# Needs both trees built. RUNS=n sets the run count.
set -eu
root=$(CDPATH= cd -- "$(dirname -- "$0")/.." && pwd)

echo "Shipped files (bytes):"
for dir in media media-x64; do
    for f in "$root/build/$dir"/*; do
        [ -f "$f" ] && printf '  %-10s %-20s %8d\n' "$dir" "$(basename "$f")" "$(stat -c %s "$f")"
    done
done
echo
exec "$root/tools/bench-launch.sh"

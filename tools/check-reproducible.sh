#!/bin/bash
# Builds the media twice from the current commit, in two fresh folders of different
# paths with the same SOURCE_DATE_EPOCH (the commit's time unless set), prints the
# SHA-256 of every media file of both builds and exits 1 when any file differs.
# Uncommitted changes are not part of either build. JOBS sets the build's parallelism.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
commit=$(git -C "$root" rev-parse HEAD)
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct HEAD)}
jobs=${JOBS:-2}
work=$(mktemp -d "${TMPDIR:-/tmp}/tavi-reproducible.XXXXXX")
trap 'rm -rf "$work"' EXIT

media_files=(
    media/TaviBootLoader.exe media/Quill.dll media/Scourwell32.exe media/Scourwell64.exe
    media-x64/TaviBootLoader.exe media-x64/Quill.dll media-x64/Scourwell32.exe
    media-x64/Scourwell64.exe
)

# Two source folders whose paths differ in name and length, so that a path that leaks
# into a file shows as a difference.
sources=("$work/one" "$work/second/source-tree")

echo "Commit $commit, SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH"
for source in "${sources[@]}"; do
    echo "Building in $source"
    mkdir -p "$source"
    git -C "$root" archive "$commit" | tar -x -C "$source"
    (
        cd "$source"
        cmake --preset win32 >/dev/null
        cmake --build --preset win32 -j "$jobs" >/dev/null
        cmake --preset win64 >/dev/null
        cmake --build --preset win64 -j "$jobs" \
            --target TaviBootLoader Quill Scourwell32 Scourwell64 >/dev/null
    )
done

status=0
printf '\n%-30s %-64s %s\n' "file" "sha256 (first build)" "second build"
for file in "${media_files[@]}"; do
    first=$(sha256sum "${sources[0]}/build/$file" | cut -d' ' -f1)
    second=$(sha256sum "${sources[1]}/build/$file" | cut -d' ' -f1)
    if [ "$first" = "$second" ]; then
        verdict=same
    else
        verdict="DIFFERENT: $second"
        status=1
    fi
    printf '%-30s %s %s\n' "$file" "$first" "$verdict"
done
if [ $status = 0 ]; then
    echo "The two builds are identical bit for bit."
else
    echo "The two builds differ." >&2
fi
exit $status

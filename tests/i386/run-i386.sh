#!/bin/sh
# Runs one test program of the i386 label under wine64 in a prefix of its own that also
# runs 32-bit programs: a copy of the build tree's wow64 template prefix, with its
# wineserver kept up for the run and ended afterwards; the copy is deleted.
# Usage: run-i386.sh BUILD_DIR PROGRAM [ARGS...]
# Fails, saying why, when this machine does not run 32-bit programs.
set -u
build_dir=$1
shift

wine32=/usr/lib/wine/wine
wine64=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
template=$build_dir/wine-i386-template

refuse() {
    echo "i386: $*" >&2
    echo "i386: the 32-bit shipping media cannot be tested on this machine;" \
         "tools/setup-i386.sh (as root) sets up the emulation or says why the machine refuses it." >&2
    exit 1
}

[ -x "$wine32" ] || refuse "the 32-bit Wine loader $wine32 is not installed (package wine32:i386)."
"$wine32" --version >/dev/null 2>&1 ||
    refuse "this machine refuses to run 32-bit programs: $wine32 does not start" \
           "(the kernel does not run i386 code and no qemu-i386 handler is registered with binfmt_misc)."

# The full wineboot also sets up the 32-bit half (syswow64); under qemu it takes minutes.
make_template() {
    work=$template.new.$$
    rm -rf "$work"
    (
        export WINEPREFIX="$work" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" XDG_CACHE_HOME="$work/.cache"
        "$wine64" wineboot -i >/dev/null 2>&1
        "$wineserver" -w
    )
    # The home folders are links to the real home folder: tests write there, so they
    # become real folders of the prefix.
    for user in "$work"/drive_c/users/*; do
        for name in Desktop Documents Downloads Music Pictures Videos; do
            if [ -L "$user/$name" ]; then
                rm -f "$user/$name" && mkdir -p "$user/$name"
            fi
        done
    done
    if [ ! -f "$work/system.reg" ] || [ ! -f "$work/drive_c/windows/syswow64/kernel32.dll" ]; then
        rm -rf "$work"
        refuse "wineboot did not make a prefix with a 32-bit half (syswow64) in $work."
    fi
    mv "$work" "$template"
}

mkdir -p "$build_dir"
(
    flock 9
    [ -d "$template" ] || make_template
) 9>"$build_dir/wine-i386-template.lock" || exit 1

prefix=$(mktemp -d "${TMPDIR:-/tmp}/tavi-i386-prefix.XXXXXX") || exit 1
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
export WINEDLLOVERRIDES="mscoree,mshtml=${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
export TAVI_WINEPREFIX="$prefix"
unset DISPLAY
"$wineserver" -p
"$wine64" "$@"
exit $?

#!/bin/sh
# Makes the build tree's wow64 template prefix once, a prefix that also runs 32-bit
# programs, and prints its path (for wine-run.sh through TAVI_WINE_TEMPLATE). Safe to call
# from several test programs at once. Fails, saying why, when this machine does not run
# 32-bit programs. Usage: wow64-template.sh BUILD_DIR
set -u
build_dir=$1
template=$build_dir/wine-i386-template
wine32=/usr/lib/wine/wine
wine64=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

refuse() {
    echo "i386: $*" >&2
    echo "i386: the 32-bit shipping media cannot be tested here; tools/setup-i386.sh (as root)" \
         "sets up the emulation or says why this machine refuses it." >&2
    exit 1
}

[ -x "$wine32" ] || refuse "the 32-bit Wine loader $wine32 is not installed (package wine32:i386)."
"$wine32" --version >/dev/null 2>&1 ||
    refuse "this machine refuses to run 32-bit programs: $wine32 does not start (the kernel" \
           "runs no i386 code and no qemu-i386 handler is registered with binfmt_misc)."

# The full wineboot also sets up the 32-bit half (syswow64): 7-13 s where the kernel runs
# 32-bit code, about 16 s under qemu 10, 90-110 s under qemu 7.2.
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
        refuse "wineboot did not make a prefix with a 32-bit half (syswow64)."
    fi
    mv "$work" "$template"
}

mkdir -p "$build_dir"
(
    flock 9
    [ -d "$template" ] || make_template
) 9>"$build_dir/wine-i386-template.lock" || exit 1
echo "$template"

#!/bin/sh
# Makes one of the build tree's Wine template prefixes once and prints its path. Safe to
# call from several test programs at once. Usage: wine-template.sh BUILD_DIR [x64|wow64]
#   x64 (default): 64-bit only (about 10 s, 695 MB);
#   wow64: also runs 32-bit programs (its syswow64 half; 7-16 s where 32-bit code runs
#   natively or under qemu 10, 90-110 s under qemu 7.2; 1.3 GB).
set -u
build_dir=$1
kind=${2:-x64}
case $kind in
    x64) template=$build_dir/wine-template ;;
    wow64) template=$build_dir/wine-i386-template ;;
    *) echo "wine-template: unknown kind $kind" >&2; exit 2 ;;
esac
wine64=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

make_template() {
    work=$template.new.$$
    rm -rf "$work"
    export WINEPREFIX="$work" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=" XDG_CACHE_HOME="$work/.cache"
    if [ "$kind" = x64 ] && [ -e /usr/lib/wine/wine ]; then
        # With the 32-bit loader present, wineboot would also take the slow 32-bit path;
        # hide it for this one process tree.
        unshare -m --propagation private sh -c \
            'mount --bind /dev/null /usr/lib/wine/wine && exec "$0" wineboot -i' "$wine64" >/dev/null 2>&1
    else
        "$wine64" wineboot -i >/dev/null 2>&1
    fi
    "$wineserver" -w
    # The home folders are links to the real home folder: tests write there, so they
    # become real folders of the prefix.
    for user in "$work"/drive_c/users/*; do
        for name in Desktop Documents Downloads Music Pictures Videos; do
            if [ -L "$user/$name" ]; then
                rm -f "$user/$name" && mkdir -p "$user/$name"
            fi
        done
    done
    if [ ! -f "$work/system.reg" ] ||
       { [ "$kind" = wow64 ] && [ ! -f "$work/drive_c/windows/syswow64/kernel32.dll" ]; }; then
        echo "wine-template: wineboot did not make a $kind prefix in $work" >&2
        rm -rf "$work"
        exit 1
    fi
    mv "$work" "$template"
}

mkdir -p "$build_dir"
(
    flock 9
    [ -d "$template" ] || make_template
) 9>"$template.lock" || exit 1
echo "$template"

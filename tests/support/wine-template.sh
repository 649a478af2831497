#!/bin/sh
# Makes the build tree's 64-bit-only Wine template prefix once (about 10 s, 695 MB) and
# prints its path. Safe to call from several test programs at once.
set -u
build_dir=$1
template=$build_dir/wine-template
wine64=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

make_template() {
    work=$template.new.$$
    rm -rf "$work"
    export WINEPREFIX="$work" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=" XDG_CACHE_HOME="$work/.cache"
    if [ -e /usr/lib/wine/wine ]; then
        # With the 32-bit loader present, wineboot would take the slow 32-bit path under
        # emulation; hide it for this one process tree.
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
    [ -f "$work/system.reg" ] || { echo "wine-template: wineboot failed in $work" >&2; exit 1; }
    mv "$work" "$template"
}

mkdir -p "$build_dir"
(
    flock 9
    [ -d "$template" ] || make_template
) 9>"$build_dir/wine-template.lock" || exit 1
echo "$template"

#!/bin/sh
# Makes the build tree's wow64 template prefix once, a prefix that also runs 32-bit
# programs, and prints its path (for wine-run.sh through TAVI_WINE_TEMPLATE). Safe to call
# from several test programs at once. Fails, saying why, when this machine does not run
# 32-bit programs. Usage: wow64-template.sh BUILD_DIR
set -u
build_dir=$1
wine32=/usr/lib/wine/wine

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

here=$(CDPATH= cd -- "$(dirname -- "$0")" && pwd)
"$here/../support/wine-template.sh" "$build_dir" wow64 ||
    refuse "wineboot did not make a prefix with a 32-bit half (syswow64)."

#!/bin/sh
# Makes this machine run the 32-bit shipping media under Wine, for the i386 test label:
# the i386 architecture and wine32:i386, and, where the kernel does not run 32-bit code
# itself, qemu user mode registered for i386 programs through binfmt_misc. Idempotent;
# installs and registers as root (CI runs it so, without a terminal). Exits non-zero with
# a message saying so when the machine refuses to run 32-bit programs.
# The qemu of Debian 12 (7.2) is slow (about 50 s a process) and ends a 32-bit Wine process
# with an illegal instruction when one thread raises an exception (OutputDebugString, say)
# while another runs, which the bootstrapper does beside its log service's thread; so qemu
# comes from bookworm-backports (10.x: about 5 s a process, no such fault) where it can.
# TAVI_I386_QEMU=1 registers the emulation even where the kernel runs 32-bit code, to
# measure the emulated path; `echo -1 > /proc/sys/fs/binfmt_misc/qemu-i386` undoes that.
set -eu

wine32=/usr/lib/wine/wine
qemu=/usr/bin/qemu-i386
binfmt=/proc/sys/fs/binfmt_misc
# The i386 ELF executable header as qemu's own binfmt set-up matches it.
i386_magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
i386_mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
i386_magic_hex=7f454c4601010100000000000000000002000300

say() { echo "setup-i386: $*"; }
refuse() {
    echo "setup-i386: this machine refuses i386 emulation: $*" >&2
    echo "setup-i386: the i386 test label cannot pass here." >&2
    exit 1
}

probe=$(mktemp "${TMPDIR:-/tmp}/tavi-i386-probe.XXXXXX")
trap 'rm -f "$probe"' EXIT

# A 96-byte static i386 program: ELF header, one loadable segment, then
# "mov ebx,esp; push eax; sub ebx,esp; mov eax,1; int 0x80", so it exits with the width of
# a stack push, which is 4 only when its code really runs in 32-bit mode (8 in 64-bit).
printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000' >"$probe"
printf '\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010\140\000\000\000\140\000\000\000\005\000\000\000\000\020\000\000' >>"$probe"
printf '\211\343\120\051\343\270\001\000\000\000\315\200' >>"$probe"
chmod 755 "$probe"

runs_32bit_code() {
    status=0
    "$probe" 2>/dev/null || status=$?
    [ "$status" = 4 ]
}

wine32_runs() {
    [ -x "$wine32" ] && "$wine32" --version 2>/dev/null | grep -q '^wine-'
}

# Prints the binfmt_misc entry that handles i386 programs, if there is one.
i386_handler() {
    for entry in "$binfmt"/*; do
        case ${entry##*/} in register | status) continue ;; esac
        if [ -f "$entry" ] && grep -q "^magic $i386_magic_hex" "$entry"; then
            echo "$entry"
            return 0
        fi
    done
    return 1
}

apt_install() {
    say "installing $*"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
        -o DPkg::Lock::Timeout=600 "$@" >/dev/null
}

installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "ok installed"
}

apt_update() {
    apt-get update -q -o DPkg::Lock::Timeout=600 >/dev/null
}

# The major version of the installed qemu-i386, or 0.
qemu_major() {
    [ -x "$qemu" ] || { echo 0; return; }
    "$qemu" --version 2>/dev/null | sed -n 's/^qemu-i386 version \([0-9]*\).*/\1/p' | head -n 1
}

# Installs qemu-user 8 or later from bookworm-backports, adding that suite when the machine
# lacks it; falls back to the release's own qemu-user, saying what that costs.
install_qemu() {
    [ "$(qemu_major)" -ge 8 ] 2>/dev/null && return 0
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    if [ "$codename" = bookworm ]; then
        if ! grep -rqs "bookworm-backports" /etc/apt/sources.list /etc/apt/sources.list.d/; then
            say "adding the bookworm-backports suite (qemu-user 10)"
            cat >/etc/apt/sources.list.d/bookworm-backports.sources <<'SOURCES'
Types: deb
URIs: http://deb.debian.org/debian
Suites: bookworm-backports
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
        fi
        apt_update || say "apt-get update failed; trying what the package lists hold"
        if apt_install -t bookworm-backports qemu-user; then
            return 0
        fi
        say "qemu-user could not come from bookworm-backports"
    fi
    installed qemu-user || { apt_update; apt_install qemu-user; } || return 1
    say "warning: $("$qemu" --version | head -n 1) is slow, and the 32-bit bootstrapper dies under it" \
        "(illegal instruction once its log service runs); the i386 label will fail"
}

# Whether i386 programs go through this machine's qemu in a version older than 8.
old_qemu_handler() {
    entry=$(i386_handler) && grep -q '^enabled' "$entry" &&
        [ "$(sed -n 's/^interpreter //p' "$entry")" = "$qemu" ] &&
        [ "$(qemu_major)" -lt 8 ] 2>/dev/null
}

register_qemu() {
    say "registering $("$qemu" --version | head -n 1) for i386 programs (binfmt_misc, flag F)"
    printf '%s' ":qemu-i386:M::$i386_magic:$i386_mask:$qemu:F" >"$binfmt/register" 2>/dev/null ||
        refuse "binfmt_misc does not accept a handler for i386 programs"
}

report_ready() {
    if entry=$(i386_handler) && grep -q '^enabled' "$entry"; then
        say "ready: $("$wine32" --version) runs 32-bit programs through" \
            "$(sed -n 's/^interpreter //p' "$entry")"
        old_qemu_handler && say "warning: qemu older than 8 is slow and faults (see above); run as root to upgrade it"
    else
        say "ready: $("$wine32" --version) runs 32-bit programs natively"
    fi
    return 0
}

force_qemu=${TAVI_I386_QEMU:-0}

if [ "$force_qemu" != 1 ] && runs_32bit_code && wine32_runs && { [ "$(id -u)" != 0 ] || ! old_qemu_handler; }; then
    report_ready
    exit 0
fi

[ "$(id -u)" = 0 ] || refuse "32-bit programs do not run yet, and setting them up needs root (run: sudo $0)"

if ! dpkg --print-foreign-architectures | grep -qx i386; then
    say "adding the i386 architecture"
    dpkg --add-architecture i386
fi
if ! installed wine32:i386; then
    apt_update
    apt_install wine32:i386 || refuse "apt-get could not install wine32:i386"
fi

if [ "$force_qemu" = 1 ] || ! runs_32bit_code || old_qemu_handler; then
    if [ "$force_qemu" = 1 ]; then
        say "TAVI_I386_QEMU=1: setting up qemu user mode"
    elif old_qemu_handler; then
        say "i386 programs go through qemu $(qemu_major): upgrading it"
    else
        say "the kernel does not run 32-bit code here: setting up qemu user mode"
    fi
    install_qemu || refuse "apt-get could not install qemu-user"
    [ -x "$qemu" ] || refuse "$qemu is missing after installing qemu-user"
    if [ ! -e "$binfmt/register" ]; then
        mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null ||
            refuse "binfmt_misc cannot be mounted on $binfmt"
    fi
    if entry=$(i386_handler); then
        if [ "$(sed -n 's/^interpreter //p' "$entry")" = "$qemu" ]; then
            # Flag F holds the binary that was there when the handler was registered, so
            # the handler is made anew to take an upgraded qemu.
            echo -1 >"$entry"
            register_qemu
        else
            grep -q '^enabled' "$entry" || echo 1 >"$entry"
            say "i386 programs go to $(sed -n 's/^interpreter //p' "$entry") ($entry)"
        fi
    else
        register_qemu
    fi
    runs_32bit_code || refuse "a 32-bit program does not run even through $qemu"
fi

wine32_runs || refuse "32-bit code runs, but the 32-bit Wine loader $wine32 does not start"
report_ready

# shellcheck shell=bash
# Sourced by tools/demo.sh and tools/bench-setup.sh: what an earlier product generation
# leaves on a machine beside its installed package "Vardo(R) Corvane", so that the demo and
# the benchmark start their setups from the same state. Needs wine64 and WINEPREFIX set.

# Uninstall entries that no package writes: one of an earlier generation spelt with the
# registered sign, which the cleanup removes, and one of another vendor, which it keeps.
stale_hand_made_entry='{5A3F8C21-07D4-4E9B-A612-3C8E05B7F9D4}'
stale_other_vendor_entry='{C4B2E917-5D38-4A06-8F1E-92A7D3C60B58}'

# Leftover files, as paths under drive_c: the first six lie in folders and shortcuts on the
# cleanup tool's lists, the last two on no list.
stale_leftover_files=(
    'Program Files/Vardo Corporation/Vardo Corvane/settings.ini'
    'Program Files/Vardo Corporation/Vardo Corvane/Plugins/codec.dat'
    'Program Files (x86)/Common Files/Vardo Corporation/Moxicodec Filters/moxi.ax'
    'users/Public/Desktop/Vardo(R) Corvane.lnk'
    'users/Public/Desktop/Vardo® Corvane.lnk'
    'users/All Users/Microsoft/Windows/Start Menu/Programs/Vardo Corporation/Vardo(R) Corvane/Vardo(R) Corvane.lnk'
    'users/Public/Desktop/Other Tool.lnk'
    'Program Files/Vardo Corporation/Shared Notes/notes.txt'
)

# lay_out_stale_leftovers WORK_DIR: writes the leftover files into the prefix and imports
# the two Uninstall entries (through a .reg file written in WORK_DIR).
lay_out_stale_leftovers() {
    local drive_c=$WINEPREFIX/drive_c file reg=$1/stale.reg
    for file in "${stale_leftover_files[@]}"; do
        mkdir -p "$drive_c/$(dirname "$file")"
        printf 'left by an earlier generation\r\n' > "$drive_c/$file"
    done
    python3 - "$reg" "$stale_hand_made_entry" "$stale_other_vendor_entry" <<'PYTHON'
import sys
path, hand_made, other = sys.argv[1:]
base = r"HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall"
text = ("Windows Registry Editor Version 5.00\r\n\r\n"
        f"[{base}\\{hand_made}]\r\n\"DisplayName\"=\"Vardo\u00ae Corvane\"\r\n\"DisplayVersion\"=\"10.2.0.0\"\r\n\r\n"
        f"[{base}\\{other}]\r\n\"DisplayName\"=\"Other Tool\"\r\n\"DisplayVersion\"=\"3.1\"\r\n\r\n")
open(path, "wb").write(b"\xff\xfe" + text.encode("utf-16-le"))
PYTHON
    /usr/lib/wine/wine64 reg import "Z:${reg//\//\\}" >/dev/null 2>&1
}

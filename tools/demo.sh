#!/bin/bash
# The demo behind `make demo` (which builds the media first): a Wine prefix with a stale
# earlier product generation, the x64 media folder with the demo package, a silent setup
# through TaviBootLoader.exe and a silent uninstall, with what each step changed.
# Leaves the prefix in build/demo/prefix and no Wine process behind.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/win64
packages=$build/packages
demo=$root/build/demo
wine64=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

for needed in "$root/build/media-x64/TaviBootLoader.exe" "$packages/Vardo(R) Tavi.msi" \
              "$packages/packages.env" "$build/tests/bin/RunAndReport.exe"; do
    [ -e "$needed" ] || { echo "demo: $needed is missing; run make demo" >&2; exit 1; }
done
# shellcheck source=/dev/null
. "$packages/packages.env"

export WINEPREFIX=$demo/prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export XDG_CACHE_HOME=$demo/cache
unset DISPLAY

if [ -d "$WINEPREFIX" ]; then
    "$wineserver" -k 2>/dev/null || true
    "$wineserver" -w 2>/dev/null || true
fi
rm -rf "$demo"
template=$("$root/tests/support/wine-template.sh" "$build")
mkdir -p "$demo"
cp -a "$template" "$WINEPREFIX"

stop_wine() {
    "$wineserver" -k 2>/dev/null || true
    "$wineserver" -w 2>/dev/null || true
}
trap stop_wine EXIT
"$wineserver" -p

drive_c=$WINEPREFIX/drive_c
media='C:\TaviMedia'
elsewhere='C:\users\Public'

section() { printf '\n== %s ==\n' "$*"; }

# The path Wine shows for a path of this machine (drive Z: is the root).
wine_path() { printf 'Z:%s' "${1//\//\\}"; }

# Runs a command line exactly as given, in a working directory, and prints its debugger
# output and its full exit code.
run_and_report() { "$wine64" "$build/tests/bin/RunAndReport.exe" "$1" "$2" | sed 's/^/  /'; }

# The Windows path of a file under the prefix's drive C:.
windows_path() { local path=${1#"$drive_c/"}; printf 'C:\\%s' "${path//\//\\}"; }

# A packed product code, as the installer's registry keys name it.
packed() { python3 "$root/tests/support/packages/msi_guid.py" pack "$1"; }

installer='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Installer'
classes='HKLM\SOFTWARE\Classes\Installer'
uninstall='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall'
uninstall32='HKLM\SOFTWARE\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall'
hand_made='{5A3F8C21-07D4-4E9B-A612-3C8E05B7F9D4}'
other_vendor='{C4B2E917-5D38-4A06-8F1E-92A7D3C60B58}'

# One line per registration: present or gone.
registration() {  # label key [value]
    local label=$1 key=$2 state=gone
    if [ $# -eq 3 ]; then
        "$wine64" reg query "$key" /v "$3" >/dev/null 2>&1 && state=present
    else
        "$wine64" reg query "$key" >/dev/null 2>&1 && state=present
    fi
    printf '  %-8s %-44s %s%s\n' "$state" "$label" "$key" "${3:+ [value $3]}"
}

registrations_of() {  # display-name product-code
    local code=$2 pc
    pc=$(packed "$code")
    registration "$1: product data" "$installer\\UserData\\S-1-5-18\\Products\\$pc"
    registration "$1: class registration" "$classes\\Products\\$pc"
    registration "$1: features" "$classes\\Features\\$pc"
    registration "$1: upgrade code (classes)" "$classes\\UpgradeCodes\\$UPGRADE_CODE_PACKED" "$pc"
    registration "$1: upgrade code (installer)" "$installer\\UpgradeCodes\\$UPGRADE_CODE_PACKED" "$pc"
    local components
    components=$("$wine64" reg query "$installer\\UserData\\S-1-5-18\\Components" /s 2>/dev/null \
                 | grep -c "^ *$pc " || true)
    printf '  %-8s %-44s %s\n' "$components" "$1: component values" "$installer\\UserData\\S-1-5-18\\Components\\*"
}

show_registrations() {
    registrations_of "Vardo(R) Corvane" "$CORVANE_PRODUCT_CODE"
    registration "Vardo(R) Corvane: uninstall entry (32-bit)" "$uninstall32\\$CORVANE_PRODUCT_CODE"
    registration "Corvane entry spelt with the registered sign" "$uninstall\\$hand_made"
    registration "another vendor's uninstall entry" "$uninstall\\$other_vendor"
    registrations_of "Vardo(R) Tavi" "$TAVI_PRODUCT_CODE"
    registration "Vardo(R) Tavi: uninstall entry" "$uninstall\\$TAVI_PRODUCT_CODE"
}

# Leftovers of earlier generations, each a Windows path with a Linux one under drive_c.
leftover_files=(
    'Program Files/Vardo Corporation/Vardo Corvane/settings.ini'
    'Program Files/Vardo Corporation/Vardo Corvane/Plugins/codec.dat'
    'Program Files (x86)/Common Files/Vardo Corporation/Moxicodec Filters/moxi.ax'
    'users/Public/Desktop/Vardo(R) Corvane.lnk'
    'users/Public/Desktop/Vardo® Corvane.lnk'
    'users/All Users/Microsoft/Windows/Start Menu/Programs/Vardo Corporation/Vardo(R) Corvane/Vardo(R) Corvane.lnk'
    'users/Public/Desktop/Other Tool.lnk'
    'Program Files/Vardo Corporation/Shared Notes/notes.txt'
)
watched_paths=(
    'Program Files (x86)/Vardo Corporation/Vardo Corvane'
    'Program Files/Vardo Corporation/Vardo Corvane'
    'Program Files (x86)/Common Files/Vardo Corporation/Moxicodec Filters'
    'users/Public/Desktop/Vardo(R) Corvane.lnk'
    'users/Public/Desktop/Vardo® Corvane.lnk'
    'users/All Users/Microsoft/Windows/Start Menu/Programs/Vardo Corporation/Vardo(R) Corvane'
    'users/Public/Desktop/Other Tool.lnk'
    'Program Files/Vardo Corporation/Shared Notes'
    'Program Files/Vardo Corporation/Vardo Tavi/TaviApp.exe'
)

show_folders() {
    local path state
    for path in "${watched_paths[@]}"; do
        state=gone
        [ -e "$drive_c/$path" ] && state=present
        printf '  %-8s C:\\%s\n' "$state" "${path//\//\\}"
    done
}

section "A prefix with a stale earlier generation"
echo "Prefix: $WINEPREFIX"
echo "Installing the stale generation \"Vardo(R) Corvane\" $CORVANE_PRODUCT_VERSION (x86 package):"
run_and_report "C:\\" "msiexec /i \"$(wine_path "$packages/Vardo(R) Corvane.msi")\" /qn"
for file in "${leftover_files[@]}"; do
    mkdir -p "$drive_c/$(dirname "$file")"
    printf 'left by an earlier generation\r\n' > "$drive_c/$file"
done
# Two more Uninstall entries: one of an earlier generation spelt with the registered
# sign, and one of another vendor, which the cleanup must leave alone.
python3 - "$demo/stale.reg" "$hand_made" "$other_vendor" <<'PYTHON'
import sys
path, hand_made, other = sys.argv[1:]
base = r"HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall"
text = ("Windows Registry Editor Version 5.00\r\n\r\n"
        f"[{base}\\{hand_made}]\r\n\"DisplayName\"=\"Vardo\u00ae Corvane\"\r\n\"DisplayVersion\"=\"10.2.0.0\"\r\n\r\n"
        f"[{base}\\{other}]\r\n\"DisplayName\"=\"Other Tool\"\r\n\"DisplayVersion\"=\"3.1\"\r\n\r\n")
open(path, "wb").write(b"\xff\xfe" + text.encode("utf-16-le"))
PYTHON
"$wine64" reg import "$(wine_path "$demo/stale.reg")" >/dev/null 2>&1
echo "Registrations:"
show_registrations
echo "Folders and shortcuts:"
show_folders

section "The media folder $media"
mkdir -p "$drive_c/TaviMedia"
cp "$root"/build/media-x64/{TaviBootLoader.exe,Quill.dll,Scourwell32.exe,Scourwell64.exe} "$drive_c/TaviMedia/"
cp "$packages/Vardo(R) Tavi.msi" "$packages/vcredist_x86.exe" "$packages/vcredist_x64.exe" "$drive_c/TaviMedia/"
for file in "$drive_c/TaviMedia"/*; do
    printf '  %8s  %s\n' "$(stat -c %s "$file")" "${file##*/}"
done

section "Silent setup: $media\\TaviBootLoader.exe /s /v/qn, from $elsewhere"
run_and_report "$elsewhere" "$media\\TaviBootLoader.exe /s /v/qn"

section "The setup log of the log service (TaviSetupLog.log in the user's Temp folder)"
# Log lines are 8-bit text whose bytes are the characters 0 to 255 (Latin-1).
print_log() { tr -d '\r' < "$1" | iconv -f ISO-8859-1 -t UTF-8 | sed 's/^/    /'; }
found_log=0
for log in "$drive_c"/users/*/Temp/TaviSetupLog.log; do
    [ -f "$log" ] || continue
    found_log=1
    printf '  %s:\n' "$(windows_path "$log")"
    print_log "$log"
done
[ $found_log = 1 ] || echo "  (no setup log was written)"
for log in "$drive_c"/users/*/AppData/Local/Scourwell.*.txt; do
    [ -f "$log" ] || continue
    echo "  The cleanup tool found no log pipe and wrote a log file of its own:"
    printf '  %s:\n' "$(windows_path "$log")"
    print_log "$log"
done

section "Registrations after the setup"
show_registrations
section "Folders and shortcuts after the setup"
show_folders

section "What was installed"
app="$drive_c/Program Files/Vardo Corporation/Vardo Tavi/TaviApp.exe"
if [ -f "$app" ]; then
    echo "  C:\\Program Files\\Vardo Corporation\\Vardo Tavi\\TaviApp.exe ($(stat -c %s "$app") bytes)"
else
    echo "  TaviApp.exe is not installed"
fi
"$wine64" reg query "$uninstall\\$TAVI_PRODUCT_CODE" 2>/dev/null \
    | grep -E 'DisplayName|DisplayVersion|Publisher' | tr -d '\r' | sed 's/^ */  /' || \
    echo "  no Uninstall entry for $TAVI_PRODUCT_CODE"

section "Silent uninstall: $media\\TaviBootLoader.exe /x /v/qn, from $elsewhere"
run_and_report "$elsewhere" "$media\\TaviBootLoader.exe /x /v/qn"
echo "Afterwards:"
registrations_of "Vardo(R) Tavi" "$TAVI_PRODUCT_CODE"
registration "Vardo(R) Tavi: uninstall entry" "$uninstall\\$TAVI_PRODUCT_CODE"
if [ -e "$app" ]; then echo "  present  TaviApp.exe"; else echo "  gone     TaviApp.exe"; fi

section "Done"
echo "The demo prefix stays in build/demo/prefix (media folder: drive_c/TaviMedia);"
echo "the media themselves lie in build/media (shipping, 32-bit) and build/media-x64."

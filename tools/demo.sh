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
# shellcheck source=tools/stale-generation.sh
. "$root/tools/stale-generation.sh"

export WINEPREFIX=$demo/prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
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

# Runs the bootstrapper like run_and_report; its exit code is the installer's, passed on.
run_setup() {
    run_and_report "$elsewhere" "$media\\TaviBootLoader.exe $1" \
        | sed "s/^  exit code:/  exit code of the installer, passed on by the bootstrapper:/"
}

# The Windows path of a file under the prefix's drive C:.
windows_path() { local path=${1#"$drive_c/"}; printf 'C:\\%s' "${path//\//\\}"; }

# A packed product code, as the installer's registry keys name it.
packed() { python3 "$root/tests/support/packages/msi_guid.py" pack "$1"; }

installer='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Installer'
classes='HKLM\SOFTWARE\Classes\Installer'
uninstall='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall'
uninstall32='HKLM\SOFTWARE\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall'
# Each listing line compares with the listing before it: "gone" was present and is not,
# "remains" was present and still is, "new" was absent and is present; the first listing
# says only "present" or "absent".
declare -A listed=() previous=()
report() {  # label present|absent [detail]
    local label=$1 state=$2 shown=$2
    case "${previous[$label]:-}>$state" in
        present\>absent) shown=gone ;;
        present\>present) shown=remains ;;
        absent\>present) shown=new ;;
    esac
    listed[$label]=$state
    if [ -n "${3:-}" ]; then
        printf '  %-8s %-44s %s\n' "$shown" "$label" "$3"
    else
        printf '  %-8s %s\n' "$shown" "$label"
    fi
}
# The next listing compares with everything listed so far.
compare_from_here() {
    local label
    for label in "${!listed[@]}"; do previous[$label]=${listed[$label]}; done
}

# One line per registration, a key or one of its values.
registration() {  # label key [value]
    local label=$1 key=$2 state=absent attempt
    # A query once came back empty right after the first install on a loaded machine; a
    # second look keeps the listing honest.
    for attempt in 1 2; do
        if [ $# -eq 3 ]; then
            "$wine64" reg query "$key" /v "$3" >/dev/null 2>&1 && state=present
        else
            "$wine64" reg query "$key" >/dev/null 2>&1 && state=present
        fi
        [ "$state" = present ] && break
        [ "$attempt" = 1 ] && sleep 0.2
    done
    report "$label" "$state" "$key${3:+ [value $3]}"
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
    report "$1: component values" "$([ "$components" -gt 0 ] && echo present || echo absent)" \
        "$components under $installer\\UserData\\S-1-5-18\\Components"
}

show_registrations() {
    registrations_of "Vardo(R) Corvane" "$CORVANE_PRODUCT_CODE"
    registration "Vardo(R) Corvane: uninstall entry (32-bit)" "$uninstall32\\$CORVANE_PRODUCT_CODE"
    registration "Corvane entry spelt with the registered sign" "$uninstall\\$stale_hand_made_entry"
    registration "another vendor's uninstall entry" "$uninstall\\$stale_other_vendor_entry"
    registrations_of "Vardo(R) Tavi" "$TAVI_PRODUCT_CODE"
    registration "Vardo(R) Tavi: uninstall entry" "$uninstall\\$TAVI_PRODUCT_CODE"
}

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
        state=absent
        [ -e "$drive_c/$path" ] && state=present
        report "C:\\${path//\//\\}" "$state"
    done
}

section "A prefix with a stale earlier generation"
echo "Prefix: $WINEPREFIX"
echo "Installing the stale generation \"Vardo(R) Corvane\" $CORVANE_PRODUCT_VERSION (x86 package):"
run_and_report "C:\\" "msiexec /i \"$(wine_path "$packages/Vardo(R) Corvane.msi")\" /qn"
lay_out_stale_leftovers "$demo"
echo "Registrations:"
show_registrations
echo "Folders and shortcuts:"
show_folders
compare_from_here

section "The media folder $media"
mkdir -p "$drive_c/TaviMedia"
cp "$root"/build/media-x64/{TaviBootLoader.exe,Quill.dll,Scourwell32.exe,Scourwell64.exe} "$drive_c/TaviMedia/"
cp "$packages/Vardo(R) Tavi.msi" "$packages/vcredist_x86.exe" "$packages/vcredist_x64.exe" "$drive_c/TaviMedia/"
for file in "$drive_c/TaviMedia"/*; do
    printf '  %8s  %s\n' "$(stat -c %s "$file")" "${file##*/}"
done

section "Silent setup: $media\\TaviBootLoader.exe /s /v/qn, from $elsewhere"
run_setup "/s /v/qn"

section "The setup log of the log service (TaviSetupLog.log in the user's Temp folder)"
# Log lines are 8-bit text whose bytes are the characters 0 to 255 (Latin-1).
print_log() { tr -d '\r' < "$1" | iconv -f ISO-8859-1 -t UTF-8 | sed 's/^/    /'; }
setup_log=""
for log in "$drive_c"/users/*/Temp/TaviSetupLog.log; do
    [ -f "$log" ] || continue
    setup_log=$log
    printf '  %s:\n' "$(windows_path "$log")"
    print_log "$log"
done
[ -n "$setup_log" ] || echo "  (no setup log was written)"

section "The cleanup log"
if [ -n "$setup_log" ] && grep -q 'LogClient finished' "$setup_log"; then
    lines=$(sed -n '/>>\[TaviPreInstallCleanUp()\]/,/LogClient finished/p' "$setup_log" | wc -l)
    echo "  The cleanup tool's log came through the log pipe into the setup log above: its header,"
    echo "  then $lines lines from \">>[TaviPreInstallCleanUp()]\" to \"LogClient finished\"."
fi
own_logs=0
for log in "$drive_c"/users/*/AppData/Local/Scourwell.*.txt; do
    [ -f "$log" ] || continue
    own_logs=1
    echo "  The cleanup tool found no log pipe and wrote a log file of its own:"
    printf '  %s:\n' "$(windows_path "$log")"
    print_log "$log"
done
[ $own_logs = 1 ] || echo "  No log file of its own (Scourwell.*.txt) in the local application data folder."

section "Registrations after the setup: gone, remaining and new"
show_registrations
section "Folders and shortcuts after the setup: gone, remaining and new"
show_folders
compare_from_here

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
run_setup "/x /v/qn"
echo "Registrations afterwards:"
show_registrations
echo "Folders and shortcuts afterwards:"
show_folders

section "Done"
echo "The demo prefix stays in build/demo/prefix (media folder: drive_c/TaviMedia);"
echo "the media themselves lie in build/media (shipping, 32-bit) and build/media-x64."

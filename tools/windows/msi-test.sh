#!/usr/bin/env bash
# The Windows installer as an IT department and a technician meet it, in a
# Wine prefix of its own: a silent installation of an older version made from
# the same files, a start through the Start-menu shortcut, the upgrade to this
# version, a refused downgrade and a silent removal that leaves nothing behind.
#   msi-test.sh INSTALLER.msi ZIP MAKE_MSI OLDER_VERSION VERSION
set -euo pipefail
trap 'echo "msi-test: failed at line $LINENO: $BASH_COMMAND" >&2' ERR
msi=$(readlink -f "$1")
zip=$(readlink -f "$2")
make_msi=$3
older_version=$4
version=$5
here=$(cd "$(dirname "$0")" && pwd)

if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a "$0" "$@"
fi

work=$(mktemp -d)
export WINEPREFIX=$work/prefix
# No menu entries for the desktop this runs on.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# shellcheck source=wine-prefix.sh
. "$here/wine-prefix.sh"
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
unset WINEPATH QT_QPA_PLATFORM QT_PLUGIN_PATH LANGUAGE LC_MESSAGES

fail() {
    echo "msi-test: FAIL: $*" >&2
    exit 1
}
step() { echo "msi-test: $* ($SECONDS s)"; }

program_dir="$WINEPREFIX/drive_c/Program Files/Corvane Velmora"
settings='HKCU\Software\CORVANE\Corvane Velmora\CvGui\DialogLanguage'

msiexec() {
    local log
    log=$work/msiexec-$1-$(basename "$3" .msi).log
    wine msiexec "/$1" "Z:$3" "$2" /l*v "Z:$log" </dev/null >/dev/null 2>&1
}

# "version count" of the entries named Corvane Velmora in Apps & features.
apps_entry() {
    wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null |
        tr -d '\r' | awk '
            /^HKEY/ { name = ""; ver = "" }
            $1 == "DisplayName" { $1 = $2 = ""; sub(/^ +/, ""); name = $0 }
            $1 == "DisplayVersion" { ver = $3 }
            name == "Corvane Velmora" && ver != "" { n++; last = ver; name = "" }
            END { print last " " n + 0 }'
}

stored_setting() {
    wine reg query "$settings" /v "$1" 2>/dev/null | tr -d '\r' | awk -v k="$1" '$1 == k { print $3 }'
}

shortcut() {
    find "$WINEPREFIX/drive_c" -name 'Corvane Velmora.lnk' 2>/dev/null
}

# The program as a click on its Start-menu shortcut starts it, in the given
# system language; passes when its window shows with the catalogue stored as
# the choice found in its folder.
start_through_shortcut() {
    local lnk language=$1 stored=""
    lnk=$(shortcut)
    [ -n "$lnk" ] || fail "no Start-menu shortcut"
    LC_ALL=$language wine start /unix "$lnk" </dev/null >"$work/start.out" 2>&1
    local deadline=$((SECONDS + 60))
    while [ $SECONDS -lt $deadline ]; do
        if xwininfo -root -tree 2>/dev/null | grep -q '"Corvane Velmora"'; then
            stored=$(stored_setting FilePath)
            [ -n "$stored" ] && break
        fi
        sleep 0.1
    done
    [ -n "$stored" ] || fail "no window with a catalogue within 60 s: $(cat "$work/start.out")"
    [ -f "$program_dir/$stored" ] || fail "the stored catalogue $stored is not in the program's folder"
    echo "$stored"
    # Ends the program with everything else of this prefix.
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
}

mkdir "$work/stage"
(cd "$work/stage" && unzip -q "$zip")
stage=$(find "$work/stage" -name corvane-velmora.exe -printf '%h\n')
"$make_msi" "$stage" "$older_version" "$work/older.msi" >/dev/null
step "made the installer of $older_version"

cv_wine_prefix_ready
step "made a Wine prefix"
(cd "$WINEPREFIX/drive_c" && find . | sort) >"$work/before.txt"

msiexec i /qn "$work/older.msi" || fail "silent installation of $older_version: status $?"
[ "$(apps_entry)" = "$older_version 1" ] || fail "Apps & features after installation: $(apps_entry)"
[ -f "$program_dir/corvane-velmora.exe" ] || fail "no program in $program_dir"
step "installed $older_version silently"

language=$(start_through_shortcut de_DE.UTF-8)
[ "$language" = Translations/corvane_velmora_de.qm ] || fail "a German system started in $language"
step "started through the shortcut: window in German ($language)"

msiexec i /qn "$msi" || fail "silent upgrade to $version: status $?"
[ "$(apps_entry)" = "$version 1" ] || fail "Apps & features after the upgrade: $(apps_entry)"
[ "$(stored_setting FilePath)" = "$language" ] || fail "the upgrade lost the settings"
(cd "$stage" && find . -type f | sort) >"$work/zip-files.txt"
(cd "$program_dir" && find . -type f | sort) >"$work/installed-files.txt"
diff "$work/zip-files.txt" "$work/installed-files.txt" >&2 || fail "installed files differ from the zip's"
[ "$(shortcut | wc -l)" = 1 ] || fail "shortcuts after the upgrade: $(shortcut)"
step "upgraded to $version: one entry, the zip's $(wc -l <"$work/zip-files.txt") files, settings kept"

# The stored choice wins over the system's language.
again=$(start_through_shortcut C)
[ "$again" = "$language" ] || fail "after the upgrade the program started in $again"
step "started $version through the shortcut: window in the stored language"

if msiexec i /qn "$work/older.msi"; then
    fail "$older_version was installed over $version"
fi
[ "$(apps_entry)" = "$version 1" ] || fail "Apps & features after the refused downgrade: $(apps_entry)"
step "refused the downgrade to $older_version"

if [ -f "$program_dir/velmora-download.exe" ]; then
    said=$(wine "$program_dir/velmora-download.exe" --version </dev/null 2>/dev/null | tr -d '\r')
    echo "$said" | grep -q "$version" || fail "velmora-download.exe --version said: $said"
    step "velmora-download.exe --version: $said"
else
    step "no velmora-download.exe in this build: not checked"
fi

msiexec x /qn "$msi" || fail "silent removal: status $?"
[ "$(apps_entry)" = " 0" ] || fail "Apps & features after removal: $(apps_entry)"
[ -z "$(shortcut)" ] || fail "the shortcut is left: $(shortcut)"
[ ! -e "$program_dir" ] || fail "the folder is left: $(cd "$program_dir" && find .)"
(cd "$WINEPREFIX/drive_c" && find . | sort) >"$work/after.txt"
# Windows Installer's own cache folder stays, empty, as on Windows.
left=$(comm -13 "$work/before.txt" "$work/after.txt" | grep -vx './windows/Installer' || true)
[ -z "$left" ] || fail "left behind: $left"
[ "$(stored_setting FilePath)" = "$language" ] || fail "the removal took the user's settings"
step "removed silently: nothing left on drive C:, the user's settings kept"
echo "msi-test: PASS"

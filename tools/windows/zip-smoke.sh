#!/usr/bin/env bash
# Unpacks the Windows zip into an empty folder and starts the program there
# as a double-click would: in a Wine prefix of its own, with nothing on
# WINEPATH, under an X server. Passes when the main window shows and nothing
# in the zip carries debug symbols.
#   zip-smoke.sh corvane-velmora-<version>-windows-x64.zip OBJDUMP
set -euo pipefail
trap 'echo "zip-smoke: failed at line $LINENO: $BASH_COMMAND" >&2' ERR
zip=$(readlink -f "$1")
objdump=$2
here=$(cd "$(dirname "$0")" && pwd)

if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a "$0" "$@"
fi

work=$(mktemp -d)
export WINEPREFIX=$work/prefix
# shellcheck source=wine-prefix.sh
. "$here/wine-prefix.sh"
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT

mkdir "$work/unpacked"
(cd "$work/unpacked" && unzip -q "$zip")
folder=$(find "$work/unpacked" -name corvane-velmora.exe -printf '%h\n')
for file in $(find "$folder" -name '*.dll' -o -name '*.exe'); do
    if "$objdump" -h "$file" | grep -q '\.debug_'; then
        echo "zip-smoke: $file carries debug symbols" >&2
        exit 1
    fi
done

cv_wine_prefix_ready
unset WINEPATH QT_QPA_PLATFORM QT_PLUGIN_PATH
cd "$folder"
wine corvane-velmora.exe >"$work/out.txt" 2>&1 &
# A fresh prefix and a first start take long on a busy machine.
for _ in $(seq 2400); do
    if xwininfo -root -tree 2>/dev/null | grep -q '"Corvane Velmora"'; then
        echo "zip-smoke: the window of $(basename "$zip") shows"
        exit 0
    fi
    sleep 0.1
done
echo "zip-smoke: no window within 240 s; the program said:" >&2
cat "$work/out.txt" >&2
exit 1

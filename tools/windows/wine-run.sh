#!/usr/bin/env bash
# Runs a program of the Windows build under Wine, as ctest's cross-compiling
# emulator and by hand:
#   wine-run.sh program.exe [arguments...]
# CV_WINE_DLL_PATH   folders of the toolkit's and the compiler's DLLs (';' between)
# WINEPREFIX         the Wine prefix (made on first use)
# CV_NULL_MODEM      "COM11:COM12": a null-modem cable between two COM ports for
#                    the program's lifetime (two pseudo-terminals joined by socat)
# CV_SERVE_LINE      "COM5": the port on which the caller serves the tester; the
#                    far end's path is written to the file named by CV_SERVE_LINK
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=wine-prefix.sh
. "$here/wine-prefix.sh"

# Wine creates windows (Qt's own hidden ones too) only with an X server.
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a "$0" "$@"
fi
cv_wine_prefix_ready

cleanup=()
finish() {
    local rc=$?
    for ((i = ${#cleanup[@]} - 1; i >= 0; i--)); do eval "${cleanup[$i]}" || true; done
    exit "$rc"
}
trap finish EXIT
trap 'exit 143' TERM INT

if [ -n "${CV_NULL_MODEM:-}" ]; then
    cv_null_modem "${CV_NULL_MODEM%%:*}" "${CV_NULL_MODEM##*:}"
fi

export WINEPATH="${CV_WINE_DLL_PATH:-}"
# A test program's log does not reach a pipe from under Wine; it is written to
# a file and shown from there.
if [ -n "${CV_QTEST:-}" ]; then
    log=$(mktemp)
    cleanup+=("cat '$log'; rm -f '$log'")
    wine "$@" -o "Z:$log,txt"
else
    wine "$@"
fi

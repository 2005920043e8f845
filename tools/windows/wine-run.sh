#!/usr/bin/env bash
# Runs a program of the Windows build under Wine, as ctest's cross-compiling
# emulator and by hand:
#   wine-run.sh program.exe [arguments...]
# CV_WINE_DLL_PATH   folders of the toolkit's and the compiler's DLLs (';' between)
# WINEPREFIX         the Wine prefix (made on first use)
# CV_NULL_MODEM      "COM11:COM12": a null-modem cable between two COM ports for
#                    the program's lifetime (two pseudo-terminals joined by socat)
# CV_TESTER_COM      "COM5": the USB adapter of the virtual tester appears as this
#                    port, on the terminal the tester names in CV_TESTER_PORT
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

if [ -n "${CV_TESTER_COM:-}" ]; then
    cv_usb_adapter "$CV_TESTER_COM" "${CV_TESTER_PORT:?the virtual tester names its line in CV_TESTER_PORT}"
fi
if [ -n "${CV_NULL_MODEM:-}" ]; then
    cv_null_modem "${CV_NULL_MODEM%%:*}" "${CV_NULL_MODEM##*:}"
fi

export WINEPATH="${CV_WINE_DLL_PATH:-}"
# A test program's log does not reach a pipe from under Wine; it is written to
# a file and shown from there. Its output goes through files too: Wine's own
# long-lived processes, started by whichever program needs them first, would
# otherwise inherit ctest's pipe and keep the test from ending.
if [ -n "${CV_QTEST:-}" ]; then
    log=$(mktemp)
    out=$(mktemp)
    cleanup+=("cat '$out' '$log'; rm -f '$log' '$out'")
    rc=0
    wine "$@" -o "Z:$log,txt" >"$out" 2>&1 </dev/null || rc=$?
    # A failure that leaves no trace at all is otherwise a blank in ctest's log.
    if [ "$rc" -ne 0 ] && [ ! -s "$out" ] && [ ! -s "$log" ]; then
        echo "wine-run: $1 ended with code $rc and wrote nothing" >&2
    fi
    exit "$rc"
else
    wine "$@"
fi

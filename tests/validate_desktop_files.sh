#!/bin/sh
# usage: validate_desktop_files.sh DESKTOP_ENTRY METAINFO
# Both validators must pass without an error or a warning.
status=0
out=$(desktop-file-validate "$1" 2>&1) || status=1
if [ -n "$out" ]; then
    echo "$out"
    status=1
fi
out=$(appstreamcli validate --no-net --explain "$2" 2>&1) || status=1
echo "$out"
if echo "$out" | grep -Eq '^[EW]:'; then
    status=1
fi
exit $status

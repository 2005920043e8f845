#!/usr/bin/env bash
# Stands a container's terminals beside the tests, as a developer's machine
# often has them: a process in a mount namespace of its own, with its own
# devpts instance, holding pseudo-terminals whose numbers are also ours.
#   tools/sandbox-beside.sh start [PAIRS]   prints the sandbox's pid
#   tools/sandbox-beside.sh stop PID
# Needs root (or unprivileged user namespaces) and python3.
set -euo pipefail
case "${1:-}" in
start)
    pairs=${2:-24}
    unshare --mount --propagation private --fork sh -c '
        mount -t devpts -o newinstance,ptmxmode=0666 devpts /dev/pts &&
        mount --bind /dev/pts/ptmx /dev/ptmx &&
        exec python3 -c "
import os, sys, time
held = [os.openpty() for _ in range(int(sys.argv[1]))]
print(\"sandbox holds\", \", \".join(os.ttyname(s) for _, s in held), flush=True)
time.sleep(1e6)
" "$0"' "$pairs" >&2 &
    echo $!
    ;;
stop)
    pkill -KILL -P "$2" 2>/dev/null || true
    kill -KILL "$2" 2>/dev/null || true
    ;;
*)
    echo "usage: $0 start [PAIRS] | stop PID" >&2
    exit 2
    ;;
esac

#!/usr/bin/env bash
# Runs the whole test suite of builds on a busy, shared machine, as proof that
# no test depends on an idle one or on a machine of its own:
#   tools/stress-tests.sh [PRESETS] [RUNS]     (default: dev,asan 5)
# For each preset (comma-separated; each must be built), first RUNS times
# with two busy loops per core beside it, then RUNS times oversubscribed
# (ctest -j8). A container's terminals stand beside every run (a mount
# namespace with its own devpts instance, tools/sandbox-beside.sh) where the
# machine allows one. Prints one line per run and exits non-zero if any run
# failed.
set -uo pipefail
cd "$(dirname "$0")/.."
IFS=, read -r -a presets <<<"${1:-dev,asan}"
runs=${2:-5}
failed=0
total=0

busy=()
stop_busy() {
    for pid in "${busy[@]}"; do kill "$pid" 2>/dev/null; done
    wait "${busy[@]}" 2>/dev/null
    busy=()
}
sandbox=
stop_all() {
    stop_busy
    [ -n "$sandbox" ] && tools/sandbox-beside.sh stop "$sandbox"
}
trap stop_all EXIT

if sandbox=$(tools/sandbox-beside.sh start 24 2>/dev/null) && sleep 1 &&
    kill -0 "$sandbox" 2>/dev/null; then
    echo "stress: a sandbox with its own terminals runs beside the suite (pid $sandbox)"
else
    sandbox=
    echo "stress: no sandbox beside the suite (needs unshare, mount rights and python3)"
fi

one_run() {
    local preset=$1 what=$2 start=$SECONDS log
    shift 2
    log=$(mktemp)
    total=$((total + 1))
    if ctest --preset "$preset" "$@" >"$log" 2>&1; then
        echo "$preset $what: passed ($(grep -E 'tests passed' "$log")) in $((SECONDS - start)) s"
    else
        failed=$((failed + 1))
        echo "$preset $what: FAILED in $((SECONDS - start)) s:"
        grep -E -A3 '\*\*\*|FAIL!|QFATAL' "$log" | head -n 40
        cp "$log" "stress-failed-$total.log"
        echo "  (whole output in stress-failed-$total.log)"
    fi
    rm -f "$log"
}

for preset in "${presets[@]}"; do
    for ((i = 0; i < 2 * $(nproc); i++)); do
        (while :; do :; done) &
        busy+=($!)
    done
    for ((run = 1; run <= runs; run++)); do
        one_run "$preset" "loaded run $run (load $(cut -d' ' -f1 /proc/loadavg))" --parallel "$(nproc)"
    done
    stop_busy

    for ((run = 1; run <= runs; run++)); do
        one_run "$preset" "ctest -j8 run $run" --parallel 8
    done
done
echo "stress: $failed of $total runs failed"
[ "$failed" -eq 0 ]

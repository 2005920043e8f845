#!/usr/bin/env bash
# Runs the whole test suite of a build on a busy machine, as proof that no test
# depends on an idle one:
#   tools/stress-tests.sh [PRESET] [RUNS]     (default: dev 5)
# First RUNS times with two busy loops per core beside it, then RUNS times
# oversubscribed (ctest -j8). Prints one line per run and exits non-zero if
# any run failed.
set -uo pipefail
cd "$(dirname "$0")/.."
preset=${1:-dev}
runs=${2:-5}
failed=0

busy=()
stop_busy() {
    for pid in "${busy[@]}"; do kill "$pid" 2>/dev/null; done
    wait "${busy[@]}" 2>/dev/null
    busy=()
}
trap stop_busy EXIT

one_run() {
    local what=$1 start=$SECONDS log
    shift
    log=$(mktemp)
    if ctest --preset "$preset" "$@" >"$log" 2>&1; then
        echo "$what: passed ($(grep -E 'tests passed' "$log")) in $((SECONDS - start)) s"
    else
        failed=$((failed + 1))
        echo "$what: FAILED in $((SECONDS - start)) s:"
        grep -E '\*\*\*|Failed|FAIL!' "$log" | head -n 20
    fi
    rm -f "$log"
}

for ((i = 0; i < 2 * $(nproc); i++)); do
    (while :; do :; done) &
    busy+=($!)
done
for ((run = 1; run <= runs; run++)); do
    one_run "loaded run $run (load $(cut -d' ' -f1 /proc/loadavg))" --parallel "$(nproc)"
done
stop_busy

for ((run = 1; run <= runs; run++)); do
    one_run "ctest -j8 run $run" --parallel 8
done
echo "stress: $failed of $((2 * runs)) runs failed"
[ "$failed" -eq 0 ]

#!/usr/bin/env bash
# The full allocation-failure walk: for every example level (or the levels given), runs
# `qohost run` once per allocation the level makes, failing that one allocation
# (--fail-alloc N), and checks that each run ends cleanly: no crash or signal, no block left
# after teardown, no allocator misuse. The ctest `alloc_walk` walks every allocation of the
# first frames only; this walks whole runs (a few minutes).
#
#   tools/alloc-walk.sh [LEVEL.json ...]      QOHOST=build/asan/qohost for the sanitizers
set -uo pipefail
cd "$(dirname "$0")/.."
qohost="${QOHOST:-build/default/qohost}"
[ $# -gt 0 ] || set -- examples/levels/*.json
status=0
for level in "$@"; do
    total=$("$qohost" run --quiet --fail-alloc rate:0 "$level" 2>/dev/null | sed -nE 's/^== 0 of ([0-9]+) allocations.*/\1/p')
    if [ -z "$total" ]; then echo "FAIL $level: does not run"; status=1; continue; fi
    bad=0
    for n in $(seq 1 "$total"); do
        out=$("$qohost" run --quiet --fail-alloc "$n" "$level" 2>&1)
        rc=$?
        # 0 ran, 2 did not load, 4 a script thread could not be created: all clean ends.
        if { [ $rc -ne 0 ] && [ $rc -ne 2 ] && [ $rc -ne 4 ]; } || grep -q "still allocated\|warning: allocator:" <<<"$out"; then
            echo "FAIL $level: allocation $n: exit $rc"
            tail -5 <<<"$out"
            bad=$((bad + 1))
            status=1
        fi
    done
    echo "$level: $total allocations walked, $bad failing"
done
exit $status

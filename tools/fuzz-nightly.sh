#!/usr/bin/env bash
# The long fuzz run for nightly use: builds the fuzz preset (clang, libFuzzer, AddressSanitizer
# and UndefinedBehaviorSanitizer over the module and the host) and runs the level generator
# fuzzer for a wall-clock budget (default 8 hours; FUZZ_SECONDS overrides it), starting from
# the checked-in corpus. New inputs collect in a scratch corpus (FUZZ_WORK, default
# build/fuzz/nightly-corpus); crash inputs land in build/fuzz/artifacts. At the end the
# scratch corpus is merged into a minimized copy (build/fuzz/nightly-merged) to compare with,
# or copy over, fuzz/corpus/level_gen_fuzz (keep that folder small: a few MB at most).
#
#   tools/fuzz-nightly.sh                 FUZZ_SECONDS=3600 tools/fuzz-nightly.sh
# Entropic scheduling is off: its bookkeeping of feature frequencies took about half of this
# target's time, and without it twice as many inputs run in an hour.
# The target checks determinism (the same input run twice) on one input in 8, chosen by the
# input's hash; LEVEL_GEN_FUZZ_TWICE=1 runs every input twice. libFuzzer's leak check after each
# input is off (-detect_leaks=0): the harness itself finds every block of the host allocator left
# behind after each input, and LeakSanitizer still checks the whole run at exit.
# It runs in fork mode on QUORIN_JOBS processes (default 2) and goes on past a finding: every
# crash, leak, timeout (60 s) or out-of-memory input (1.5 GB) is written to build/fuzz/artifacts
# and the run continues. Exits non-zero when the run left a new input there.
set -uo pipefail
cd "$(dirname "$0")/.."
seconds="${FUZZ_SECONDS:-28800}"
work="${FUZZ_WORK:-build/fuzz/nightly-corpus}"
jobs="${QUORIN_JOBS:-2}"
cmake --preset fuzz && cmake --build --preset fuzz -j "$jobs" --target level_gen_fuzz level_load_fuzz || exit 1
mkdir -p "$work" build/fuzz/artifacts
status=0
before=$(ls build/fuzz/artifacts | wc -l)
nice -n 19 build/fuzz/fuzz/level_gen_fuzz -fork="$jobs" -ignore_crashes=1 -ignore_ooms=1 -ignore_timeouts=1 \
    -timeout=60 -rss_limit_mb=1536 -max_total_time="$seconds" -entropic=0 -detect_leaks=0 \
    -artifact_prefix=build/fuzz/artifacts/ "$work" fuzz/corpus/level_gen_fuzz || status=1
after=$(ls build/fuzz/artifacts | wc -l)
if [ "$after" -gt "$before" ]; then
    echo "new inputs in build/fuzz/artifacts: $((after - before)); replay one with build/fuzz/fuzz/level_gen_fuzz FILE"
    status=1
fi
rm -rf build/fuzz/nightly-merged && mkdir -p build/fuzz/nightly-merged
build/fuzz/fuzz/level_gen_fuzz -merge=1 build/fuzz/nightly-merged fuzz/corpus/level_gen_fuzz "$work" >/dev/null 2>&1
echo "minimized corpus: $(ls build/fuzz/nightly-merged | wc -l) inputs, $(du -sh build/fuzz/nightly-merged | cut -f1)"
exit $status

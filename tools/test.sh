#!/usr/bin/env bash
# Builds and runs every test twice: the normal build (preset "default") and the
# AddressSanitizer + UndefinedBehaviorSanitizer build (preset "asan"). Exits non-zero when
# anything fails; ctest's summary of each build is printed, then one line for both ("total: N passed, N failed").
set -uo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh || exit 1
jobs="${QUORIN_JOBS:-2}"
status=0
passed=0
failed=0

for preset in default asan; do
    echo "==== build: $preset ===="
    if ! cmake --preset "$preset"; then status=1; continue; fi
    if ! cmake --build --preset "$preset" -j "$jobs"; then status=1; continue; fi
    echo "==== tests: $preset ===="
    log="build/$preset/ctest-summary.log"
    ctest --preset "$preset" -j "$jobs" --timeout 900 2>&1 | tee "$log"
    [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
    # "100% tests passed, 0 tests failed out of 42"
    if summary=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -1); then
        total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$summary")
        bad=$(sed -E 's/.*passed, ([0-9]+) tests failed.*/\1/' <<<"$summary")
        passed=$((passed + total - bad))
        failed=$((failed + bad))
    else
        status=1
    fi
done

# Short fuzz runs (clang, preset "fuzz").
echo "==== fuzz ===="
if cmake --preset fuzz && cmake --build --preset fuzz -j "$jobs" --target registry_names_fuzz level_load_fuzz level_gen_fuzz; then
    build/fuzz/fuzz/registry_names_fuzz -runs=20000 || status=1
    # Seeded with the example levels; what it finds goes to a scratch folder, not the seeds.
    corpus=$(mktemp -d)
    build/fuzz/fuzz/level_load_fuzz -runs=20000 -dict=fuzz/level_load_fuzz.dict "$corpus" examples/levels || status=1
    rm -rf "$corpus"
    # Generated levels under hostile worlds: every input of the checked-in corpus, its
    # regression inputs included (the replay is the run); tools/fuzz-nightly.sh runs it for
    # hours. Without entropic scheduling the replay takes half the time.
    corpus=$(mktemp -d)
    inputs=$(find fuzz/corpus/level_gen_fuzz -type f | wc -l)
    build/fuzz/fuzz/level_gen_fuzz -runs="$inputs" -entropic=0 -artifact_prefix=build/fuzz/ \
        "$corpus" fuzz/corpus/level_gen_fuzz || status=1
    rm -rf "$corpus"
else
    status=1
fi

echo "total: $passed passed, $failed failed"
[ "$failed" -eq 0 ] || status=1
exit $status

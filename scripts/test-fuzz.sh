#!/usr/bin/env bash
# A bounded libFuzzer run of the graph model, starting from the committed
# seeds (CMake preset fuzz). New inputs it finds go to the build tree, never
# to the seeds.
# FUZZ_SECONDS sets the time (default 60).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
mkdir -p build/fuzz/corpus
build/fuzz/graph/graph_fuzz -max_total_time="${FUZZ_SECONDS:-60}" -max_len=12000 \
    -print_final_stats=1 -artifact_prefix=build/fuzz/ \
    build/fuzz/corpus graph/fuzz_seeds 2>&1 | grep -E '^(stat::number_of_executed_units|stat::new_units_added|Done|==|SUMMARY)|ERROR|crash' || true
# libFuzzer exits non-zero and leaves an artifact on any finding. Each kind
# on its own: one ls of all four patterns fails whenever one of them matches
# nothing, which read a crash as no finding.
for artifact in build/fuzz/crash-* build/fuzz/leak-* build/fuzz/timeout-* build/fuzz/oom-*; do
    if [ -e "$artifact" ]; then
        echo "fuzz: finding left in build/fuzz/: $artifact"
        exit 1
    fi
done
echo "fuzz: no finding"

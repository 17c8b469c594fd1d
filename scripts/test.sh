#!/usr/bin/env bash
# The whole test suite from a fresh machine: installs what it needs, builds
# every target and runs every test stage. Exits non-zero if any stage fails.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1

bash scripts/install-deps.sh || exit 1

stages=(setup native sanitizers fuzz windows preview release)

failed=()
for stage in "${stages[@]}"; do
    echo "=== $stage ==="
    if ! bash "scripts/test-$stage.sh"; then
        failed+=("$stage")
    fi
done

passed=$((${#stages[@]} - ${#failed[@]}))
if [ ${#failed[@]} -gt 0 ]; then
    echo "FAILED stages: ${failed[*]}"
    echo "stages: $passed passed, ${#failed[@]} failed"
    exit 1
fi
echo "all stages passed: ${stages[*]}"
echo "stages: $passed passed, 0 failed"

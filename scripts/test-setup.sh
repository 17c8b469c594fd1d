#!/usr/bin/env bash
# The set-up itself, which every other stage stands on:
#   - shellcheck over every shell script of the project, which must be clean;
#   - scripts/install-deps.sh run once for each program it looks for, with a
#     PATH from which that one program is missing, as on a machine that lacks
#     it: each run must succeed and say what it installs for it.
set -euo pipefail
cd "$(dirname "$0")/.."

failed=0

echo "--- shellcheck"
mapfile -t scripts < <(git ls-files 2>/dev/null | while read -r file; do
    [ -f "$file" ] && head -n 1 "$file" | grep -qE '^#!.*\b(ba)?sh\b' && echo "$file"
done)
if [ ${#scripts[@]} -eq 0 ]; then
    mapfile -t scripts < <(grep -lE '^#!.*\b(ba)?sh\b' scripts/* .ci/run)
fi
if shellcheck -x "${scripts[@]}"; then
    echo "ok:   shellcheck, ${#scripts[@]} scripts"
else
    echo "FAIL: shellcheck"
    failed=1
fi

echo "--- install-deps.sh with one program missing at a time"
# A folder of links to every program on the usual PATH; one link at a time is
# taken away.
farm=$(mktemp -d)
trap 'rm -rf "$farm"' EXIT
IFS=: read -r -a dirs <<<"$PATH:/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin"
for dir in "${dirs[@]}"; do
    [ -d "$dir" ] || continue
    for program in "$dir"/*; do
        name=${program##*/}
        [ -x "$program" ] && [ ! -e "$farm/$name" ] && ln -s "$program" "$farm/$name"
    done
done

while read -r probe; do
    target=$(readlink "$farm/$probe" || true)
    rm -f "$farm/$probe"
    out=$(PATH=$farm bash scripts/install-deps.sh 2>&1) && status=0 || status=$?
    [ -n "$target" ] && ln -s "$target" "$farm/$probe"
    said=$(grep -E '^install-deps: (installing|generating)' <<<"$out" || true)
    if [ "$status" -ne 0 ]; then
        echo "FAIL: without $probe: exit status $status"
        echo "      ${out//$'\n'/$'\n'      }"
        failed=1
    elif [ -z "$said" ]; then
        echo "FAIL: without $probe: it did not say what it installs"
        echo "      ${out//$'\n'/$'\n'      }"
        failed=1
    else
        echo "ok:   without $probe: ${said#install-deps: }"
    fi
done < <(bash scripts/install-deps.sh --probes)

exit "$failed"

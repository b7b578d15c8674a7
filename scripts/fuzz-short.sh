#!/usr/bin/env bash
# Builds every fuzz target (the "fuzz" preset, clang) and runs each for FUZZ_SECONDS
# (default 30) over its committed seeds. New inputs go to a temporary folder, so the seeds
# stay as they are. Any finding (crash, hang, leak, memory limit) fails the script; the
# input that found it is kept in FUZZ_ARTIFACTS (default: a temporary folder, printed).
# An input may take 30 s before it counts as a hang: a scheme may ask for a running number
# millions of digits long, which the engine builds (up to its working limit) and the
# sanitizers slow down.
# Targets may be named as arguments; without any, every target of fuzz/ runs.
# FUZZ_JOBS targets run at once (default: one per processor; each uses one).
# FUZZ_PRESET picks the build: "fuzz" (default, optimised) or "asan", whose debug build
# holds the same targets beside the sanitized test suite, so the full check compiles the
# modules once for both.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-30}
jobs=${FUZZ_JOBS:-$(nproc)}
preset=${FUZZ_PRESET:-fuzz}
build="build-$preset"
work=$(mktemp -d /tmp/fuzz-short.XXXXXX)
artifacts=${FUZZ_ARTIFACTS:-$work/artifacts}
mkdir -p "$artifacts"

if [ "$#" -gt 0 ]; then
    targets=("$@")
else
    targets=()
    for source in fuzz/*_fuzz.cpp; do
        targets+=("$(basename "$source" .cpp)")
    done
fi

# An existing tree keeps its own settings (the full check configures its own).
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake --preset "$preset" -DQUILLMARK_FUZZ=ON >/dev/null
fi
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"

# The seeds and dictionary of a target: fuzz/corpus/<name>/ and fuzz/<name>.dict, where
# <name> is the target's without "_fuzz" (the language reader keeps its older "lan").
corpus_name() {
    case "$1" in
    lanreader_fuzz) echo lan ;;
    *) echo "${1%_fuzz}" ;;
    esac
}
# Inputs longer than the formats need only slow the search down.
max_len() {
    case "$1" in
    musictags_fuzz) echo 16384 ;;
    storevalues_fuzz) echo 32768 ;; # a store file is a few pages of 4 KiB
    *) echo 4096 ;;
    esac
}

# One target's run; its log and its status ("ok" or "failed") go to the work folder.
run_one() {
    local target=$1 name fresh
    name=$(corpus_name "$target")
    fresh="$work/$name"
    mkdir -p "$fresh"
    if "$build/fuzz/$target" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 \
        -max_len="$(max_len "$target")" -dict="fuzz/$name.dict" -print_final_stats=1 \
        -artifact_prefix="$artifacts/$target-" "$fresh" "fuzz/corpus/$name" \
        >"$work/$target.log" 2>&1; then
        echo ok >"$work/$target.status"
    else
        echo failed >"$work/$target.status"
    fi
}

running=0
for target in "${targets[@]}"; do
    if ((running >= jobs)); then
        wait -n
        running=$((running - 1))
    fi
    echo "== $target: ${seconds}s over fuzz/corpus/$(corpus_name "$target")"
    run_one "$target" &
    running=$((running + 1))
done
wait

failed=()
for target in "${targets[@]}"; do
    if [ "$(cat "$work/$target.status" 2>/dev/null)" != ok ]; then
        echo "== $target found something:"
        tail -n 60 "$work/$target.log"
        failed+=("$target")
    fi
    printf '%s: ' "$target"
    grep -E '^stat::number_of_executed_units' "$work/$target.log" || echo "no count"
done

if [ "${#failed[@]}" -gt 0 ]; then
    echo "fuzz-short: findings in ${failed[*]}; inputs kept in $artifacts" >&2
    exit 1
fi
echo "fuzz-short: ${#targets[@]} targets ran ${seconds}s each without a finding"
rm -rf "$work"

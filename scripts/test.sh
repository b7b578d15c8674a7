#!/usr/bin/env bash
# Builds everything and runs every test through CTest.
#
# With QUILLMARK_FULL_CHECK=1 (what CI sets), three more passes follow the default one: the
# whole suite again under the address and undefined-behaviour sanitizers, every fuzz target
# for a short fixed time over its committed seeds (both from one build folder), and the
# threaded tests under the thread sanitizer. The first pass that fails ends the run with its status;
# the time of each pass is printed at the end either way.
set -euo pipefail
cd "$(dirname "$0")/.."

stages=()
started=$SECONDS
stage_start=$SECONDS
# The script's exit status stays that of the command that ended it.
print_times() {
  if ((${#stages[@]})); then
    echo
    echo "Time per stage:"
    printf '  %s\n' "${stages[@]}"
    printf '  %-34s %4d s\n' total $((SECONDS - started))
  fi
}
trap print_times EXIT
stage_done() {
  stages+=("$(printf '%-34s %4d s' "$1" $((SECONDS - stage_start)))")
  stage_start=$SECONDS
}

./scripts/build.sh
stage_done "dependencies and default build"
ctest --preset default -j"$(nproc)" "$@"
stage_done "tests"

if [ "${QUILLMARK_FULL_CHECK:-0}" != 1 ]; then
  exit 0
fi

# Line tables are all a sanitizer's report needs; full debug info makes the sanitized build
# compile about half as long again. Both sanitized builds use clang, which compiles them in
# little more than half the time gcc takes with its undefined-behaviour checks, and compile
# each target's sources as one (their presets' unity build), which halves that again.
small_debug_info=(-DCMAKE_CXX_FLAGS_DEBUG=-g1 -DCMAKE_C_FLAGS_DEBUG=-g1)

# The address build holds the fuzz targets too: the modules are compiled once, with the
# fuzzer's coverage, for both the suite and the fuzzers.
cmake --preset asan "${small_debug_info[@]}" >/dev/null
cmake --build --preset asan
stage_done "address+UB sanitizer build"
# The install and package tests check the files an install lays down and the package's
# hardening (which a sanitized build lacks); they run no code the sanitizers would watch.
ctest --preset asan -j"$(nproc)" -E '^(install_(tree|package)|waylandsession_test)$'
# The system's Wayland client library, which carries no instrumentation, leaves a few hundred
# bytes unfreed at exit; the window under Wayland is still checked for every other fault.
ASAN_OPTIONS=detect_leaks=0 ctest --preset asan -R '^waylandsession_test$'
stage_done "address+UB sanitizer tests"

# Every fuzz target for a short fixed time over its seeds, one per processor at a time.
FUZZ_PRESET=asan FUZZ_SECONDS=30 ./scripts/fuzz-short.sh
stage_done "fuzz targets"

# The rename run and the tag readers' pool are the threaded parts, and neither calls into
# Qt, which is not built for the thread sanitizer.
tsan_tests=(rename_run_tests filetags_tests)
cmake --preset tsan "${small_debug_info[@]}" >/dev/null
cmake --build --preset tsan --target "${tsan_tests[@]}"
for t in "${tsan_tests[@]}"; do
  "build-tsan/tests/$t" --gtest_brief=1
done
stage_done "thread sanitizer"

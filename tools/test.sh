#!/usr/bin/env bash
# Builds and runs every test twice: a normal build, then one under
# AddressSanitizer and UndefinedBehaviorSanitizer. In between, when clang with
# libFuzzer is there, each fuzz target runs for a bounded time. Last, the
# tests of the code shared between threads run under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
jobs=$(nproc)
# check DIR [CTEST-ARGS...]: the tests of a built tree.
check() {
  local dir=$1; shift
  (cd "$dir" && ctest --output-on-failure -j "$jobs" --timeout 300 "$@")
}
# run DIR [--target TARGET] [CTEST-ARGS --] CMAKE-ARGS...
# Each stage builds only what it runs (no benchmarks; the ThreadSanitizer
# stage only the test programs); the CMake defaults make a fresh build cheap
# (unity batches, a precompiled header for the tests, -g1).
run() {
  local dir=$1; shift
  local target=()
  if [ "${1:-}" = "--target" ]; then target=("$1" "$2"); shift 2; fi
  local select=()
  if [ "${1:-}" = "-R" ]; then select=("$1" "$2"); shift 3; fi
  cmake -S . -B "$dir" -G Ninja -DSCANDRV_BENCH=OFF "$@" >/dev/null
  cmake --build "$dir" -j "$jobs" "${target[@]}"
  check "$dir" "${select[@]}"
}
# Each target of fuzz/ for FUZZ_SECONDS (20 by default) under ASan and UBSan.
fuzz() {
  local probe
  probe=$(mktemp -d)
  if ! echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' |
       clang++ -x c++ -fsanitize=fuzzer,address - -o "$probe/probe" 2>/dev/null; then
    rm -rf "$probe"
    echo "fuzz: clang with libFuzzer not found, fuzz targets skipped"
    return
  fi
  rm -rf "$probe"
  cmake -S fuzz -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang >/dev/null
  cmake --build build-fuzz -j "$jobs"
  # One target per core at a time: each runs single-threaded for its own time.
  local source failed=0
  for source in fuzz/fuzz_*.cpp; do
    while (($(jobs -rp | wc -l) >= jobs)); do wait -n || failed=1; done
    fuzz_one "$(basename "$source" .cpp)" &
  done
  while (($(jobs -rp | wc -l) > 0)); do wait -n || failed=1; done
  return "$failed"
}
# fuzz_one NAME: one fuzz target for FUZZ_SECONDS; its input is kept when it fails.
fuzz_one() {
  local name=$1 corpus seeds dict
  corpus=build-fuzz/corpus-$name
  mkdir -p "$corpus"
  seeds=()
  [ -d "fuzz/corpus/${name#fuzz_}" ] && seeds=("fuzz/corpus/${name#fuzz_}")
  dict=()
  [ -f "fuzz/${name#fuzz_}.dict" ] && dict=("-dict=fuzz/${name#fuzz_}.dict")
  if ! "build-fuzz/$name" -max_total_time="${FUZZ_SECONDS:-20}" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
       -artifact_prefix="build-fuzz/$name-" "${dict[@]}" "$corpus" "${seeds[@]}" >"build-fuzz/$name.log" 2>&1; then
    tail -n 60 "build-fuzz/$name.log"
    echo "fuzz: $name failed (input kept under build-fuzz/)"
    return 1
  fi
  echo "fuzz: $name for ${FUZZ_SECONDS:-20} s: $(grep -E '^Done [0-9]+ runs' "build-fuzz/$name.log" || true)"
}
run build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo
ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 fuzz
# Debug keeps the assertions; -O1 compiles and runs faster than -O0 under the sanitizers.
asan=(-DCMAKE_BUILD_TYPE=Debug -DSCANDRV_SANITIZE=ON "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -g" "-DCMAKE_C_FLAGS_DEBUG=-O1 -g")
ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run build-asan "${asan[@]}"
# The capability database owns every datum through its table: its tests again, with the leak checker on.
# (The same tree: nothing to configure or build again.)
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  check build-asan -R '(^|/)(Catalogue|Db)'
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  run build-tsan --target scandrv_tests \
  -R 'Thread|Sync|Spin|Log|Mem|Timer|Profile|Locale|Dispatch|Socket|RingBuffer|Usb|UiLink|DrvGui' -- \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSCANDRV_TSAN=ON

#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang, ASan and UBSan into build-fuzz/
# and runs each for the given number of seconds (default 60), as many at once as there
# are cores, from its seed corpus in tests/fuzz/corpus/<target>/. Inputs found on the
# way collect in build-fuzz/corpus/<target>/; a failing input is kept as
# build-fuzz/findings/<target>-crash-*, and the run fails.
#   bash tools/fuzz.sh [seconds] [target...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
CXX=clang++ PELLORA_TARGET=fuzz_targets bash tools/build.sh build-fuzz -DPELLORA_FUZZ=ON > /dev/null
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for source in tests/fuzz/*.cpp; do targets+=("$(basename "$source" .cpp)"); done
fi
mkdir -p build-fuzz/findings build-fuzz/logs
run_one() {
  local target=$1 seconds=$2
  mkdir -p "build-fuzz/corpus/$target"
  # Requests and bodies past the 4096-byte request block are worth trying.
  if ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 "build-fuzz/fuzz_$target" \
    -max_total_time="$seconds" -max_len=12000 -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="build-fuzz/findings/$target-" "build-fuzz/corpus/$target" "tests/fuzz/corpus/$target" \
    > "build-fuzz/logs/$target.log" 2>&1; then
    echo "fuzz $target: $(grep -o 'number_of_executed_units: [0-9]*' "build-fuzz/logs/$target.log" | cut -d' ' -f2) runs in ${seconds} s, clean"
  else
    echo "fuzz $target: FAILED, see build-fuzz/logs/$target.log"
    grep -m3 -E 'ERROR|check failed|runtime error' "build-fuzz/logs/$target.log" || true
    return 1
  fi
}
export -f run_one
printf '%s\n' "${targets[@]}" | xargs -P"$(nproc)" -I{} bash -c 'run_one "$1" "$2"' _ {} "$seconds"

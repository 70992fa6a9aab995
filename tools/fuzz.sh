#!/usr/bin/env bash
# The libFuzzer targets of tests/fuzz, run from their seed corpora in
# tests/fuzz/corpus/<target>/, as many at once as there are cores.
#   bash tools/fuzz.sh [seconds] [target...]
#       builds them with clang, ASan, UBSan and coverage of the whole program into
#       build-fuzz/ and runs each for the given time (default 60). Inputs found on the way
#       collect in build-fuzz/corpus/<target>/; a failing input is kept as
#       build-fuzz/findings/<target>-crash-*, and the run fails.
#   bash tools/fuzz.sh --replay <build-dir> [seconds]
#       runs the targets of a clang sanitizer build over their corpora (and the inputs of
#       earlier long runs), then each for a few seconds: what every change must pass.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${1:-}" = "--replay" ]; then
  build=$2
  seconds=${3:-5}
  for target in "$build"/fuzz_*; do
    name=$(basename "$target" | sed 's/^fuzz_//')
    corpora=("tests/fuzz/corpus/$name")
    [ -d "build-fuzz/corpus/$name" ] && corpora+=("build-fuzz/corpus/$name")
    if "$target" -runs=0 "${corpora[@]}" > "$build/fuzz-$name.log" 2>&1 &&
      "$target" -max_total_time="$seconds" -max_len=12000 -timeout=20 -rss_limit_mb=2048 \
        -artifact_prefix="$build/fuzz-$name-" >> "$build/fuzz-$name.log" 2>&1; then
      echo "fuzz $name: corpus replayed and ${seconds} s run, clean"
    else
      echo "fuzz $name: FAILED, see $build/fuzz-$name.log"
      grep -m3 -E 'ERROR|check failed|runtime error' "$build/fuzz-$name.log" || true
      exit 1
    fi
  done
  exit 0
fi
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

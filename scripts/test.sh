#!/usr/bin/env bash
# The whole check, from a fresh machine: dependencies, the debug build with every test (and
# the layer and format checks), the address-sanitizer build with every test, the
# thread-sanitizer build with the threaded suites, and a short run of each fuzzer.
#   scripts/test.sh            everything
#   scripts/test.sh --quick    the debug build and its tests only
set -uo pipefail
cd "$(dirname "$0")/.."

quick=0
case "${1:-}" in
  --quick) quick=1 ;;
  -h|--help) sed -n '2,6p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
  "") ;;
  *) echo "unknown option: $1 (try --help)" >&2; exit 2 ;;
esac

jobs=$(nproc)
passed=0
failed=0
status=0

# run_stage PRESET [ctest options...]: configure, build and test one preset; tallies results.
run_stage() {
  local preset=$1; shift
  local began=$SECONDS
  echo "== $preset: configure and build"
  cmake --preset "$preset" >"build/$preset.log" 2>&1 || { cat "build/$preset.log"; status=1; return; }
  cmake --build --preset "$preset" -j "$jobs" >>"build/$preset.log" 2>&1 ||
    { tail -n 60 "build/$preset.log"; status=1; return; }
  echo "== $preset: test"
  local out
  out=$(ctest --preset "$preset" -j "$jobs" --no-tests=ignore "$@" 2>&1)
  local rc=$?
  printf '%s\n' "$out" | grep -v -E '^ +Start |^ *[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed' 
  local line
  line=$(printf '%s\n' "$out" | grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' | tail -n 1)
  if [ -n "$line" ]; then
    local total fails
    total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
    fails=$(sed -E 's/.*passed, ([0-9]+) tests failed.*/\1/' <<<"$line")
    passed=$((passed + total - fails))
    failed=$((failed + fails))
  fi
  [ "$rc" -eq 0 ] || status=1
  echo "== $preset: $((SECONDS - began)) s"
}

mkdir -p build
scripts/install-deps.sh || { echo "dependency installation failed" >&2; exit 1; }

run_stage default
if [ "$quick" -eq 0 ]; then
  run_stage asan
  run_stage tsan
  run_stage fuzz
fi

echo "tests: $passed passed, $failed failed"
exit "$status"

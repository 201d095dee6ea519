#!/usr/bin/env bash
# Runs every libFuzzer target of the fuzz build for a while each and sums up what it found.
#   scripts/fuzz.sh [--build DIR] [--only NAME] [SECONDS]
#     --build DIR   the fuzz build tree (default build/fuzz: cmake --preset fuzz && cmake
#                   --build --preset fuzz)
#     --only NAME   one fuzzer (its target name, e.g. stream_sdp_fuzz)
#     SECONDS       time for each fuzzer (default 600)
# Each fuzzer keeps its corpus in DIR/corpus/NAME between runs, and writes any crashing input
# and its log to DIR/findings/NAME. Fails (status 1) when a fuzzer found something.
set -uo pipefail
cd "$(dirname "$0")/.."

build=build/fuzz
only=""
seconds=600
while [ $# -gt 0 ]; do
  case "$1" in
    -h|--help) sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    --build) [ $# -ge 2 ] || { echo "fuzz: --build needs a folder" >&2; exit 2; }; build=$2; shift ;;
    --only) [ $# -ge 2 ] || { echo "fuzz: --only needs a fuzzer's name" >&2; exit 2; }; only=$2; shift ;;
    -*) echo "fuzz: unknown option: $1 (try --help)" >&2; exit 2 ;;
    *)
      [[ "$1" =~ ^[0-9]+$ ]] && [ "$1" -ge 1 ] ||
        { echo "fuzz: SECONDS must be a whole number, not \"$1\"" >&2; exit 2; }
      seconds=$1 ;;
  esac
  shift
done
[ -d "$build" ] || { echo "fuzz: no build folder $build (cmake --preset fuzz)" >&2; exit 2; }
build=$(cd "$build" && pwd)

mapfile -t fuzzers < <(find "$build" -path "$build/corpus" -prune -o -path "$build/findings" -prune \
  -o -type f -name '*_fuzz' -perm -u+x -print | sort)
[ -z "$only" ] || mapfile -t fuzzers < <(printf '%s\n' "${fuzzers[@]}" | grep "/$only\$")
[ "${#fuzzers[@]}" -gt 0 ] || { echo "fuzz: no fuzzers in $build" >&2; exit 2; }

status=0
printf '%-24s %12s %8s %8s  %s\n' fuzzer runs "runs/s" coverage result
for f in "${fuzzers[@]}"; do
  name=$(basename "$f")
  corpus=$build/corpus/$name
  findings=$build/findings/$name
  mkdir -p "$corpus" "$findings"
  log=$findings/run.log
  "$f" -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$findings/" -print_final_stats=1 "$corpus" >"$log" 2>&1
  rc=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 | cut -d' ' -f2)
  result="nothing found"
  if [ "$rc" -ne 0 ] || ls "$findings" | grep -q -E '^(crash|leak|timeout|oom)-'; then
    result="FOUND: see $findings"
    status=1
  fi
  printf '%-24s %12s %8s %8s  %s\n' "$name" "${runs:-?}" "${speed:-?}" "${cov:-?}" "$result"
done
exit "$status"

#!/usr/bin/env bash
# A measuring run of the viewer: eight D1 channels at 25 fps from dvrsim (with audio) through
# orvix on the headless display. Samples the viewer's CPU and memory from /proc every second
# and takes a screenshot at the start and the end of the sampling window: the frame counters
# that each channel's picture shows (a 10 s loop: keep SECONDS below 10) give the
# frames shown per channel per second.
#   scripts/measure.sh [ORVIX] [SECONDS]     (default: the release build, 8 s)
set -uo pipefail
cd "$(dirname "$0")/.."
orvix=${1:-build/release/tools/orvix/orvix}
seconds=${2:-8}
[ -x "$orvix" ] || { echo "no $orvix: build it first (cmake --build --preset release)" >&2; exit 1; }
out=$(mktemp -d /tmp/orvix-measure.XXXXXX)
warm=6
{
  echo "$warm screenshot $out/first.png"
  echo "$((warm + seconds)) screenshot $out/last.png"
} >"$out/input.txt"
start=$(date +%s.%N)
"$orvix" --display headless --channels 8 --preview 1 --default-channel -1 \
  --dvrsim-arg --size --dvrsim-arg d1 --dvrsim-arg --loop-frames --dvrsim-arg 250 --input "$out/input.txt" \
  --after $((warm + seconds + 1)) >"$out/log.txt" 2>&1 &
pid=$!
hz=$(getconf CLK_TCK)
# The viewer is the orvix process itself (dvrsim is its child and is not counted).
first_picture=""
prev_ticks=""
while kill -0 "$pid" 2>/dev/null; do
  sleep 1
  [ -r /proc/$pid/stat ] || break
  now=$(date +%s.%N)
  if [ -z "$first_picture" ] && grep -q "plays channel 8" "$out/log.txt" 2>/dev/null; then
    first_picture=$(echo "$now - $start" | bc)
  fi
  read -r -a f < <(sed 's/^.*) //' /proc/$pid/stat)
  ticks=$((f[11] + f[12]))
  rss=$(awk '/VmRSS/ {print $2}' /proc/$pid/status)
  if [ -n "$prev_ticks" ]; then
    echo "cpu $(( (ticks - prev_ticks) * 100 / hz ))% rss ${rss} kB" >>"$out/samples.txt"
  fi
  prev_ticks=$ticks
done
wait "$pid"
echo "log, samples and screenshots in $out"
echo "all eight sessions playing after ${first_picture:-?} s"
awk '{c += $2; if ($4 > m) m = $4; n++} END {if (n) printf "viewer CPU %.0f%% of one core on average, peak RSS %d kB (%d samples)\n", c / n, m, n}' \
  "$out/samples.txt"
echo "frames shown per channel per second: (last counter - first counter) / $seconds, from"
echo "  $out/first.png and $out/last.png"

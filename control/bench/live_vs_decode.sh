#!/usr/bin/env bash
# What the live path costs beside bare decoding: the viewer (orvix on the headless display)
# shows N live D1 channels from the DVR simulator it starts, and in the same run one
# `ffmpeg -threads 1 ... -f null -` a channel decodes the same streams from the same
# simulator. Both CPU figures (share of one core, from /proc) and their ratio are printed for
# each channel count. One channel is shown alone (the enlarged view), more in the grid.
#   control/bench/live_vs_decode.sh [options]
set -uo pipefail
cd "$(dirname "$0")/../.."

orvix=build/release/tools/orvix/orvix
seconds=30
warm=6
counts="1 4 8"
busy=0
size=d1

usage() {
  cat <<'EOF'
Usage: control/bench/live_vs_decode.sh [options]
Runs the viewer on N live channels of the DVR simulator and ffmpeg decoding the same
streams in the same run, and prints the CPU of each and their ratio.
  --orvix PATH     the viewer program (default build/release/tools/orvix/orvix)
  --seconds S      length of the measuring window (default 30: at a few hundredths of a
                   core, shorter windows hold too few clock ticks for a steady ratio)
  --warm S         seconds between the last channel playing and the window (default 6)
  --counts "N..."  channel counts to run, each 1-8 (default "1 4 8")
  --busy           ask the simulator for its busy scene (texture, movement and sensor
                   noise at a camera's bit rate)
  --noise          ask the simulator for its test pictures with a field of noise
  --size cif|d1    picture size (default d1)
  --help           show this text
The machine's other load counts against both figures alike; compare ratios, not times.
"gaps" counts the holes in the viewer's packet sequence during the window: packets lost
on the way in, which on loopback means the viewer fell behind (0 when it keeps up).
EOF
}

while [ $# -gt 0 ]; do
  case "$1" in
    --orvix) orvix=${2:?--orvix needs a path}; shift 2 ;;
    --seconds) seconds=${2:?--seconds needs a number}; shift 2 ;;
    --warm) warm=${2:?--warm needs a number}; shift 2 ;;
    --counts) counts=${2:?--counts needs a list}; shift 2 ;;
    --busy) busy=1; shift ;;
    --noise) busy=2; shift ;;
    --size) size=${2:?--size needs cif or d1}; shift 2 ;;
    --help|-h) usage; exit 0 ;;
    *) echo "unknown option $1 (see --help)" >&2; exit 2 ;;
  esac
done
for v in "$seconds" "$warm"; do
  [[ "$v" =~ ^[0-9]+$ ]] && [ "$v" -gt 0 ] || { echo "seconds must be whole numbers above 0" >&2; exit 2; }
done
for n in $counts; do
  [[ "$n" =~ ^[1-8]$ ]] || { echo "channel counts are 1-8, got \"$n\"" >&2; exit 2; }
done
[ "$size" = cif ] || [ "$size" = d1 ] || { echo "--size must be cif or d1" >&2; exit 2; }
[ -x "$orvix" ] || { echo "no $orvix: build it first (cmake --build --preset release)" >&2; exit 1; }
command -v ffmpeg >/dev/null || { echo "ffmpeg is not installed" >&2; exit 1; }

hz=$(getconf CLK_TCK)
out=$(mktemp -d /tmp/live-vs-decode.XXXXXX)
pids=()

# User plus system ticks of one process (not of its children).
ticks() {
  local f
  read -r -a f < <(sed 's/^.*) //' "/proc/$1/stat" 2>/dev/null) || { echo 0; return; }
  echo $((f[11] + f[12]))
}

# Waits up to $2 seconds for the log line count of pattern $1 in $3 to reach $4.
wait_for() {
  local pattern=$1 limit=$2 file=$3 want=${4:-1} waited=0
  local seen
  while seen=$(grep -c -- "$pattern" "$file" 2>/dev/null); [ "${seen:-0}" -lt "$want" ]; do
    sleep 0.5
    waited=$((waited + 1))
    [ $waited -ge $((limit * 2)) ] && return 1
  done
  return 0
}

stop_all() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
  pids=()
}
trap stop_all EXIT

printf "%-9s %-9s %12s %12s %7s\n" channels view "viewer CPU" "ffmpeg CPU" ratio
for n in $counts; do
  log=$out/orvix-$n.txt
  view=grid
  default=-1
  if [ "$n" = 1 ]; then view=enlarged; default=0; fi
  extra=(--dvrsim-arg --size --dvrsim-arg "$size")
  [ $busy = 1 ] && extra+=(--dvrsim-arg --scene --dvrsim-arg busy)
  [ $busy = 2 ] && extra+=(--dvrsim-arg --busy)
  # Long enough for start, warm-up and the window; ended early once measured.
  "$orvix" --display headless --channels "$n" --preview 1 --default-channel "$default" \
    "${extra[@]}" --after $((120 + warm + seconds)) >"$log" 2>&1 &
  viewer=$!
  pids+=("$viewer")
  if ! wait_for "dvrsim ready on port" 60 "$log"; then
    echo "the simulator did not start; see $log" >&2
    stop_all
    continue
  fi
  port=$(sed -n 's/.*dvrsim ready on port \([0-9]*\).*/\1/p' "$log" | head -1)
  if ! wait_for "plays channel" 60 "$log" "$n"; then
    echo "not every channel played within 60 s; see $log" >&2
    stop_all
    continue
  fi
  decoders=()
  for ch in $(seq 1 "$n"); do
    ffmpeg -nostdin -loglevel error -threads 1 -rtsp_transport udp \
      -i "rtsp://127.0.0.1:$port/$ch.live" -map 0:v -f null - >"$out/ffmpeg-$n-$ch.txt" 2>&1 &
    decoders+=($!)
    pids+=($!)
  done
  wait_for "plays channel" 30 "$log" $((2 * n)) || echo "some ffmpeg did not start playing" >&2
  sleep "$warm"
  v0=$(ticks "$viewer")
  d0=0
  for p in "${decoders[@]}"; do d0=$((d0 + $(ticks "$p"))); done
  rss0=$(awk '/VmRSS/ {print $2}' "/proc/$viewer/status" 2>/dev/null)
  gaps0=$(grep -c "last seq = " "$log")
  sleep "$seconds"
  gaps1=$(grep -c "last seq = " "$log")
  v1=$(ticks "$viewer")
  d1=0
  for p in "${decoders[@]}"; do d1=$((d1 + $(ticks "$p"))); done
  rss=$(awk '/VmRSS/ {print $2}' "/proc/$viewer/status" 2>/dev/null)
  alive=0
  for p in "${decoders[@]}"; do kill -0 "$p" 2>/dev/null && alive=$((alive + 1)); done
  stop_all
  awk -v n="$n" -v view="$view" -v v=$((v1 - v0)) -v d=$((d1 - d0)) -v hz="$hz" -v s="$seconds" \
    -v rss="${rss:-0}" -v alive="$alive" -v gaps=$((gaps1 - gaps0)) 'BEGIN {
      vc = v / hz / s; dc = d / hz / s
      ratio = (dc > 0) ? sprintf("%.2f", vc / dc) : "-"
      note = (alive < n) ? sprintf(" (only %d ffmpeg running)", alive) : ""
      printf "%-9d %-9s %12.3f %12.3f %7s   RSS %d kB, %d gaps%s\n", n, view, vc, dc, ratio, rss,
             gaps, note
    }'
done
echo "logs in $out"

#!/usr/bin/env bash
# A soak run of the viewer: eight CIF channels with audio from dvrsim, which drops 5% of the
# packets, sends 2% out of order and 1% twice, and is restarted every 5 minutes; orvix views
# it on the headless display for MINUTES (default 60). A screenshot a second gives the frame
# counter each channel shows; /proc gives the viewer's memory, descriptors and threads.
#   scripts/soak.sh [--build DIR] [--restart-every S] [--keep] [MINUTES]
#     --build DIR          the build tree with orvix, dvrsim and orvix_screen_read (default
#                          build/release, else build/debug)
#     --restart-every S    seconds between simulator restarts (default 300)
#     --keep               keep the screenshots (otherwise each is deleted once read)
# Fails (status 1) when the viewer crashes or ends early, a channel is not showing new
# pictures 12 s after the simulator listens again (the viewer retries every 10 s), the
# resident memory grows by more than 1 MiB an hour after the warm-up, or the open descriptors
# or threads grow.
# Runs in a network namespace of its own, so that dvrsim can take port 554 on its loopback.
set -uo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)

usage() { sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//'; }
build=""
keep=0
minutes=60
restart_every=300     # seconds between simulator restarts
while [ $# -gt 0 ]; do
  case "$1" in
    -h|--help) usage; exit 0 ;;
    --build) [ $# -ge 2 ] || { echo "soak: --build needs a folder" >&2; exit 2; }; build=$2; shift ;;
    --restart-every)
      [[ "${2:-}" =~ ^[0-9]+$ ]] && [ "$2" -ge 30 ] ||
        { echo "soak: --restart-every needs a number of seconds, 30 or more" >&2; exit 2; }
      restart_every=$2; shift ;;
    --keep) keep=1 ;;
    -*) echo "soak: unknown option: $1 (try --help)" >&2; exit 2 ;;
    *)
      [[ "$1" =~ ^[0-9]+$ ]] && [ "$1" -ge 1 ] ||
        { echo "soak: MINUTES must be a whole number of minutes, not \"$1\"" >&2; exit 2; }
      minutes=$1 ;;
  esac
  shift
done
if [ -z "$build" ]; then
  build=build/release
  [ -x "$build/tools/orvix/orvix" ] || build=build/debug
fi
build=$(cd "$build" 2>/dev/null && pwd) || { echo "soak: no build folder $build" >&2; exit 2; }
orvix=$build/tools/orvix/orvix
dvrsim=$build/tools/dvrsim/dvrsim
reader=$build/tools/orvix/orvix_screen_read
for p in "$orvix" "$dvrsim" "$reader"; do
  [ -x "$p" ] || { echo "soak: no $p (cmake --build $build --target orvix dvrsim orvix_screen_read)" >&2; exit 2; }
done

# Into a network namespace of our own (as root, or as a user in a user namespace too).
if [ -z "${ORVIX_SOAK_NAMESPACE:-}" ]; then
  flags=-n
  [ "$(id -u)" -eq 0 ] || flags=-rn
  args=(--build "$build" --restart-every "$restart_every" "$minutes")
  [ "$keep" -eq 1 ] && args+=(--keep)
  ORVIX_SOAK_NAMESPACE=1 exec unshare "$flags" sh -c \
    'ip link set lo up || { echo "soak: cannot bring up loopback" >&2; exit 2; }; exec "$0" "$@"' \
    "$top/scripts/soak.sh" "${args[@]}" || { echo "soak: unshare $flags is refused here" >&2; exit 2; }
fi

channels=8
loop=250              # frames in the simulator's loop: its counter runs 0..249
back_limit=12         # seconds for a channel to show new pictures after the simulator went away
sample_every=10       # seconds between samples of the viewer's memory, descriptors and threads
total=$((minutes * 60))
out=$(mktemp -d /tmp/orvix-soak.XXXXXX)
mkdir -p "$out/shots"
: >"$out/events.txt"
: >"$out/readings.txt"
: >"$out/samples.txt"
now() { date +%s.%N; }
t0=$(now)
since() { echo "$(now) - $t0" | bc; }

sim_pid=""
sim_runs=0
# Starts the simulator and waits up to 30 s until it listens.
start_sim() {
  sim_runs=$((sim_runs + 1))
  local log=$out/dvrsim.$sim_runs.log
  # The frame counters are read off the pictures: no information panel over them (--cmd-drop).
  "$dvrsim" --port 554 --channels "$channels" --audio --loop-frames "$loop" --loss 0.05 \
    --reorder 0.02 --duplicate 0.01 --cmd-drop 1 --seed "$sim_runs" </dev/null >"$log" 2>&1 &
  sim_pid=$!
  local i
  for i in $(seq 300); do
    grep -q "dvrsim ready on port" "$log" && { echo "ready $(since)" >>"$out/events.txt"; return 0; }
    kill -0 "$sim_pid" 2>/dev/null || break
    sleep 0.1
  done
  echo "soak: dvrsim did not start ($log)" >&2
  return 1
}
stop_sim() {
  [ -n "$sim_pid" ] || return 0
  kill -TERM "$sim_pid" 2>/dev/null
  wait "$sim_pid" 2>/dev/null
  sim_pid=""
}
cleanup() { stop_sim; [ -n "${viewer:-}" ] && kill -TERM "$viewer" 2>/dev/null; }
trap cleanup EXIT
trap 'exit 130' INT TERM

# One screenshot a second for the whole run.
for t in $(seq 1 "$total"); do echo "$t screenshot $out/shots/$t.png"; done >"$out/input.txt"

echo "soak: $minutes min, eight channels, dvrsim restarted every $restart_every s; in $out"
start_sim || exit 1
"$orvix" --display headless --dvr 127.0.0.1 --channels "$channels" --preview 1 \
  --default-channel -1 --input "$out/input.txt" --after $((total + 2)) >"$out/orvix.log" 2>&1 &
viewer=$!
echo "viewer $(since)" >>"$out/events.txt"

# Reads the screenshots written so far (all but the newest, which may be in the making).
read_shots() {
  local all=("$@")
  local files=()
  mapfile -t files < <(ls "$out/shots" 2>/dev/null | sort -n)
  [ "${all[0]:-}" = "all" ] || unset 'files[-1]' 2>/dev/null
  [ "${#files[@]}" -gt 0 ] || return 0
  local f
  for f in "${files[@]}"; do
    local path=$out/shots/$f
    local when
    when=$(echo "$(stat -c '%.3Y' "$path") - $t0" | bc)
    "$reader" "$channels" "$path" 2>>"$out/reader.log" | sed "s|^[^ ]*|$when|" >>"$out/readings.txt"
    [ "$keep" -eq 1 ] && mv "$path" "$out/$f" || rm -f "$path"
  done
}

# Notes when the simulator first answers each channel's PLAY (with a second's resolution).
declare -A played
note_plays() {
  local n
  for n in $(sed -n 's/.* plays channel \([0-9]*\) .*/\1/p' "$out/dvrsim.$sim_runs.log" | sort -u); do
    [ -n "${played[$sim_runs.$n]:-}" ] && continue
    played[$sim_runs.$n]=1
    echo "play $(since) $n" >>"$out/events.txt"
  done
}

next_restart=$restart_every
next_sample=0
status=0
while kill -0 "$viewer" 2>/dev/null; do
  sleep 1
  elapsed=$(since)
  el=$(printf '%.0f' "$elapsed")
  if [ "$el" -ge "$next_restart" ] && [ "$el" -lt $((total - 30)) ]; then
    echo "restart $(since)" >>"$out/events.txt"
    stop_sim
    start_sim || { status=1; break; }
    next_restart=$((next_restart + restart_every))
  fi
  if [ -n "$sim_pid" ] && ! kill -0 "$sim_pid" 2>/dev/null; then
    echo "soak: dvrsim ended by itself ($out/dvrsim.$sim_runs.log)" >&2
    status=1
    break
  fi
  if [ "$el" -ge "$next_sample" ] && [ -r "/proc/$viewer/status" ]; then
    rss=$(awk '/^VmRSS/ {print $2}' "/proc/$viewer/status")
    threads=$(awk '/^Threads/ {print $2}' "/proc/$viewer/status")
    fds=$(ls "/proc/$viewer/fd" 2>/dev/null | wc -l)
    [ -n "$rss" ] && echo "$elapsed $rss $fds $threads" >>"$out/samples.txt"
    next_sample=$((next_sample + sample_every))
  fi
  note_plays
  read_shots
done
[ "$status" -eq 0 ] || kill -TERM "$viewer" 2>/dev/null
wait "$viewer"
viewer_status=$?
viewer=""
echo "end $(since)" >>"$out/events.txt"
read_shots all
stop_sim

python3 - "$out" "$channels" "$loop" "$back_limit" "$viewer_status" "$status" "$total" <<'EOF'
import sys

out, channels, loop, back_limit, viewer_status, status, total = sys.argv[1:]
channels, loop, back_limit = int(channels), int(loop), float(back_limit)
viewer_status, status, total = int(viewer_status), int(status), int(total)
faults = []

events, plays = [], {c: [] for c in range(channels)}
for line in open(f"{out}/events.txt"):
    f = line.split()
    if f and f[0] == "play":
        plays[int(f[2]) - 1].append(float(f[1]))
    elif f:
        events.append((f[0], float(f[1])))
readings = []
for line in open(f"{out}/readings.txt"):
    f = line.split()
    if len(f) == channels + 1:
        readings.append((float(f[0]), [None if v == "-" else int(v) for v in f[1:]]))
readings.sort()
samples = [tuple(map(float, l.split())) for l in open(f"{out}/samples.txt") if l.strip()]

if viewer_status != 0:
    faults.append(f"the viewer ended with status {viewer_status} (crash or failure; see {out}/orvix.log)")
end = dict(events).get("end", 0)
if end < total - 5:
    faults.append(f"the viewer ended after {end:.0f} s of {total} s")
if status != 0:
    faults.append("the simulator failed (see the dvrsim logs)")

# Frames shown: the counter's advance between readings at most 2.5 s apart, in one session
# (each PLAY starts the counter again). An advance beyond what the simulator can send in the
# time (25 frames/s, with a margin) is a misread digit on a damaged picture: not counted.
print(f"{len(readings)} screenshots read")
for c in range(channels):
    frames, seen, last = 0, 0, None
    for t, values in readings:
        v = values[c]
        if v is None:
            continue
        seen += 1
        if last is not None and t - last[0] <= 2.5 and not any(
                last[0] - 1 <= p <= t for p in plays[c]):
            advance = (v - last[1]) % loop
            if advance <= 25 * (t - last[0]) * 1.3 + 5:
                frames += advance
        last = (t, v)
    secs = readings[-1][0] - readings[0][0] if len(readings) > 1 else 0
    print(f"channel {c + 1}: {frames} frames shown, {frames / secs if secs else 0:.1f}/s; "
          f"legible in {seen} of {len(readings)} screenshots")

# Coming back: from the viewer's start, or from the restarted simulator listening again, to a
# new picture. The viewer retries a channel on its 10 s reconnect tick, so a channel is back
# within a tick and the time its first picture takes of the simulator being there again; the
# seconds the simulator itself was away are not the viewer's. Only a picture after the simulator
# answered the channel's new PLAY counts: the viewer plays out what it had buffered when the old
# simulator went away, and then shows its last picture.
starts = []
for i, (k, t) in enumerate(events):
    if k == "viewer":
        starts.append(("start", t, t))
    elif k == "restart":
        ready = next((r for kk, r in events[i + 1:] if kk == "ready"), None)
        if ready is not None:
            starts.append(("restart", t, ready))
for kind, went, since in starts:
    line = []
    for c in range(channels):
        prev, back = None, None
        play = next((p for p in plays[c] if p >= since), None)
        for t, values in readings:
            v = values[c]
            if play is None or t <= play or v is None:
                if v is not None:
                    prev = v
                continue
            if prev is not None and v != prev:
                back = t - since
                break
            prev = v
        line.append("-" if back is None else f"{back:.1f}")
        if back is None or back > back_limit:
            faults.append(f"channel {c + 1} not back within {back_limit:.0f} s of the {kind} at "
                          f"{went:.0f} s ({'never' if back is None else f'{back:.1f} s'})")
    away = f" (listening again {since - went:.1f} s later)" if kind == "restart" else ""
    print(f"{kind} at {went:.0f} s{away}: seconds to new pictures per channel: {' '.join(line)}")

# Memory, descriptors and threads after the warm-up (until a minute after the first restart,
# whose new sessions settle the heap, or a fifth of a run without one); descriptors and
# threads (and the memory trend) taken where no restart is under way: from 5 s before one (a
# sample may be taken after the simulator was stopped but before the restart is logged) to
# 30 s after it.
first_restart = next((t for k, t in events if k == "restart"), None)
warm = first_restart + 60 if first_restart is not None else total / 5
print("samples (seconds, RSS kB, open fds, threads):")
for s in samples:
    print(f"  {s[0]:7.0f} {s[1]:8.0f} {s[2]:5.0f} {s[3]:5.0f}")
late = [s for s in samples if s[0] >= warm]
restarts = [t for k, t in events if k == "restart"]
steady = [s for s in late if not any(-5 <= s[0] - r < 30 for r in restarts)]
if len(steady) >= 3:
    n = len(steady)
    mt = sum(s[0] for s in steady) / n
    mr = sum(s[1] for s in steady) / n
    var = sum((s[0] - mt) ** 2 for s in steady)
    slope = sum((s[0] - mt) * (s[1] - mr) for s in steady) / var * 3600 if var else 0
    print(f"RSS after the warm-up: {late[0][1]:.0f} kB -> {late[-1][1]:.0f} kB "
          f"(max {max(s[1] for s in late):.0f} kB), trend {slope:+.0f} kB/hour")
    if slope > 1024:
        faults.append(f"RSS grows by {slope:.0f} kB an hour after the warm-up")
else:
    faults.append("too few samples after the warm-up")
if len(steady) >= 2:
    for index, what in ((2, "open fds"), (3, "threads")):
        first, last = steady[0][index], steady[-1][index]
        print(f"{what}: {first:.0f} after the warm-up, {last:.0f} at the end "
              f"(range {min(s[index] for s in late):.0f}-{max(s[index] for s in late):.0f})")
        if last > first:
            faults.append(f"{what} grew from {first:.0f} to {last:.0f}")

for f in faults:
    print("FAIL:", f)
print("soak:", "failed" if faults else "passed", f"(logs in {out})")
sys.exit(1 if faults else 0)
EOF

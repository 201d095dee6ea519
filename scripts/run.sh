#!/usr/bin/env bash
# Runs the viewer, from a fresh machine: dependencies, the release build, then orvix with the
# options given here (see `build/release/tools/orvix/orvix --help`).
#   scripts/run.sh                         the simulated DVR on loopback, four channels
#   scripts/run.sh --dvr 192.168.1.20      a real DVR
#   scripts/run.sh --display headless --screenshot shot.png --after 5
# Without --dvr the viewer talks to dvrsim on port 554, which needs privileges: when not run
# as root, both run inside a user and network namespace of their own (unshare -rn), where
# loopback is ours. Where that is refused, dvrsim takes a free high port and says so.
set -uo pipefail
cd "$(dirname "$0")/.."

case "${1:-}" in
  -h|--help)
    sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//'
    [ -x build/release/tools/orvix/orvix ] && { echo; build/release/tools/orvix/orvix --help; }
    exit 0 ;;
esac

# A DVR named on the command line or by the page is reached over the real network.
viewing_dvr=0
previous=""
for arg in "$@"; do
  case "$arg" in --dvr|--dvr=*) viewing_dvr=1 ;; esac
  page=""
  case "$arg" in --page=*) page=${arg#--page=} ;; esac
  [ "$previous" = "--page" ] && page=$arg
  if [ -n "$page" ] && grep -qi 'name *= *["'"'"']\{0,1\}dvraddr' "$page" 2>/dev/null; then
    viewing_dvr=1
  fi
  previous=$arg
done

mkdir -p build
scripts/install-deps.sh || { echo "dependency installation failed" >&2; exit 1; }

echo "== building (release)"
{ cmake --preset release && cmake --build --preset release -j "$(nproc)" --target orvix; } \
  >build/run.log 2>&1 || { tail -n 40 build/run.log; echo "build failed (build/run.log)" >&2; exit 1; }
if [ "$viewing_dvr" -eq 0 ]; then
  cmake --build --preset release -j "$(nproc)" --target dvrsim >>build/run.log 2>&1 ||
    { tail -n 40 build/run.log; echo "dvrsim did not build (build/run.log)" >&2; exit 1; }
fi

orvix=build/release/tools/orvix/orvix
if [ "$viewing_dvr" -eq 1 ] || [ "$(id -u)" -eq 0 ]; then
  exec "$orvix" "$@"
fi
if unshare -rn true 2>/dev/null; then
  echo "== running in a user and network namespace of its own, so that dvrsim can bind port 554"
  exec unshare -rn sh -c 'ip link set lo up || echo "cannot bring up loopback" >&2; exec "$0" "$@"' \
    "$orvix" "$@"
fi
echo "== unshare -rn is refused here: dvrsim takes a free high port instead of 554"
exec "$orvix" "$@"

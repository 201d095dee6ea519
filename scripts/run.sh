#!/usr/bin/env bash
# Runs the viewer, from a fresh machine: dependencies, the release build, then orvix with the
# options given here (see `build/release/tools/orvix/orvix --help`).
#   scripts/run.sh                         the simulated DVR on loopback, four channels
#   scripts/run.sh --dvr 192.168.1.20      a real DVR
#   scripts/run.sh --display headless --screenshot shot.png --after 5
# Without --page it registers the control module OrviX.ocx with regsvr32 (when the registry
# does not have it yet) and opens the bundled page tools/orvix/pages/viewer.html, which loads
# the control by its class, as a browser would.
# Without --dvr the viewer talks to dvrsim on port 554, which needs privileges: when not run
# as root, both run inside a user and network namespace of their own (unshare -rn), where
# loopback is ours. Where that is refused, dvrsim takes a free high port and says so.
set -uo pipefail
cd "$(dirname "$0")/.."

case "${1:-}" in
  -h|--help)
    sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'
    [ -x build/release/tools/orvix/orvix ] && { echo; build/release/tools/orvix/orvix --help; }
    exit 0 ;;
esac

# A DVR named on the command line or by the page is reached over the real network.
viewing_dvr=0
previous=""
given_page=0
for arg in "$@"; do
  case "$arg" in --dvr|--dvr=*) viewing_dvr=1 ;; esac
  case "$arg" in --page|--page=*) given_page=1 ;; esac
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
{ cmake --preset release &&
  cmake --build --preset release -j "$(nproc)" --target orvix locorvix regsvr32 reg; } \
  >build/run.log 2>&1 || { tail -n 40 build/run.log; echo "build failed (build/run.log)" >&2; exit 1; }
if [ "$viewing_dvr" -eq 0 ]; then
  if ! cmake --build --preset release --target help 2>/dev/null | grep -q '^dvrsim:'; then
    echo "dvrsim is not in this tree: give --dvr ADDRESS to view a DVR" >&2
    exit 1
  fi
  cmake --build --preset release -j "$(nproc)" --target dvrsim >>build/run.log 2>&1 ||
    { tail -n 40 build/run.log; echo "dvrsim did not build (build/run.log)" >&2; exit 1; }
fi

# The registry's files stay where this user keeps them, also inside the namespace below
# (where the user is root and the system folder would be taken).
if [ "$(id -u)" -ne 0 ]; then
  export ORVIX_REGISTRY_DIR="${ORVIX_REGISTRY_DIR:-${XDG_STATE_HOME:-$HOME/.local/state}/orvix/registry}"
fi
if [ "$given_page" -eq 0 ]; then
  ocx="$(realpath build/release/control/activex/OrviX.ocx)"
  if ! build/release/tools/reg/reg query \
      'HKCR\CLSID\{E30E886F-1176-4F02-A0E0-387B2027076F}\InprocServer32' /ve 2>/dev/null |
      grep -qF "$ocx"; then
    echo "== registering the control: regsvr32 /s $ocx"
    build/release/tools/regsvr32/regsvr32 /s "$ocx" ||
      { echo "the control could not be registered" >&2; exit 1; }
  fi
  set -- --page tools/orvix/pages/viewer.html "$@"
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

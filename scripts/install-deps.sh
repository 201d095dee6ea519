#!/usr/bin/env bash
# Installs everything the project builds, tests and runs with, from Debian's packages.
# Idempotent and quiet; runs `apt-get update` at most once, and only when something is missing.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build pkg-config clang-14 libclang-rt-14-dev clang-format
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # video: decoding, encoding in the simulator, reference tools
  libavcodec-dev libavutil-dev libswscale-dev libavformat-dev libx264-dev ffmpeg
  # signaling
  libboost-system-dev libboost-thread-dev libboost-date-time-dev
  # page script of plug-in pages
  libmujs-dev
  # display, text, sound
  libx11-dev libxtst-dev libfreetype-dev libfontconfig-dev libpng-dev zlib1g-dev libasound2-dev
  fonts-arphic-uming fonts-dejavu-core xvfb x11-apps
  # third-party RTSP server for interoperability tests, sound checks
  gir1.2-gst-rtsp-server-1.0 python3-gi gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  gstreamer1.0-plugins-ugly gstreamer1.0-plugins-bad gstreamer1.0-tools sox
  # second third-party RTSP server (it runs as an unprivileged user)
  vlc-bin vlc-plugin-base
  # namespaces for binding the RTSP port without privileges
  util-linux iproute2
  # the Debian package: cpack's dependency list and the test's install into a scratch root
  dpkg-dev file
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ "${#missing[@]}" -eq 0 ]; then
  exit 0
fi

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
echo "installing: ${missing[*]}"
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null

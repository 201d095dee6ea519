#!/usr/bin/env bash
# Installs sigbus from a build tree into a scratch prefix, then builds and runs a consumer
# outside the tree twice: through find_package(sigbus) and through pkg-config.
#   install_check.sh BUILD_DIR SOURCE_DIR [CXX]
set -euo pipefail
build=$1
source=$2
cxx=${3:-c++}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --component sigbus --prefix "$work/prefix" >/dev/null
test -f "$work/prefix/include/signaling/sigbus.h"
ls "$work/prefix"/lib*/libsigbus.so >/dev/null
libdir=$(dirname "$(ls "$work/prefix"/lib*/libsigbus.so | head -n 1)")

cmake -S "$source/examples/consumer" -B "$work/consumer" -DCMAKE_PREFIX_PATH="$work/prefix" \
  -DCMAKE_CXX_COMPILER="$cxx" >/dev/null
cmake --build "$work/consumer" >/dev/null
(cd "$work" && LD_LIBRARY_PATH="$libdir" "$work/consumer/consumer" | grep -q "consumer ok")

export PKG_CONFIG_PATH="$libdir/pkgconfig"
# shellcheck disable=SC2046
"$cxx" -std=c++17 "$source/examples/consumer/main.cpp" -o "$work/pc_consumer" \
  $(pkg-config --cflags --libs sigbus)
(cd "$work" && LD_LIBRARY_PATH="$libdir" "$work/pc_consumer" | grep -q "consumer ok")
echo "sigbus install check passed"

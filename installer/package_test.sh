#!/usr/bin/env bash
# Builds the Debian package from a built tree, installs it into a scratch root with dpkg (its
# install step registering the viewers in a registry of the scratch root), views the simulator
# through the installed page with the installed programs, removes the package and finds the
# registry clean.
#   package_test.sh BUILD_DIR SCREEN_READ
set -euo pipefail
build=$1
screen_read=$2
work=$(mktemp -d /tmp/orvix-package-XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "package_test: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack failed"; }
deb=$(ls "$work"/out/orvix_*.deb) || fail "no package in $work/out"
echo "package_test: built $(basename "$deb"), $(($(stat -c %s "$deb") / 1024)) KiB"

dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./||' >"$work/contents"
for file in usr/bin/orvix usr/bin/dvrsim usr/bin/reg usr/bin/regsvr32 usr/bin/setuptool \
    usr/lib/setuptool usr/lib/OrviX.ocx usr/lib/nporvicam.dll usr/lib/libLocPlexa.so \
    usr/lib/libPlexa.so usr/lib/libOrvixPlatform.so usr/lib/libhi_h264dec_w.so \
    usr/lib/libsigbus.so usr/include/signaling/sigbus.h usr/lib/pkgconfig/sigbus.pc \
    usr/lib/cmake/sigbus/sigbusConfig.cmake usr/share/orvix/pages/viewer.html \
    usr/share/orvix/pages/plugin_viewer.html; do
  grep -qx "$file" "$work/contents" || fail "the package lacks $file"
done
# (grep reads all of its input here: with -q a writer cut short fails the pipeline.)
dpkg-deb -I "$deb" | grep '^ Depends: .*lib' >/dev/null || fail "the package names no dependencies"

# dpkg installs into the scratch root; its scripts run here, not in a chroot, and find the
# root's files through DPKG_ROOT.
root=$work/root
mkdir -p "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/info"
touch "$root/var/lib/dpkg/status"
export ORVIX_REGISTRY_DIR=$work/registry
dpkg_in_root() {
  dpkg --root="$root" --force-script-chrootless --force-not-root --force-depends \
    --log=/dev/null "$@"
}
dpkg_in_root -i "$deb" >"$work/install.log" 2>&1 || { cat "$work/install.log"; fail "install failed"; }
grep "setuptool:" "$work/install.log" || true

reg=$root/usr/bin/reg
lib=$root/usr/lib
"$reg" query 'HKLM\SOFTWARE\MozillaPlugins\orvicam' /v Path | grep -F "$lib/nporvicam.dll" >/dev/null ||
  fail "the plug-in's key is not registered"
"$reg" query 'HKCR\CLSID\{E30E886F-1176-4F02-A0E0-387B2027076F}\InprocServer32' /ve |
  grep -F "$lib/OrviX.ocx" >/dev/null || fail "the control is not registered"

# The installed page, the installed viewer and the simulator beside it.
"$root/usr/bin/orvix" --display headless --page "$root/usr/share/orvix/pages/viewer.html" \
  --screenshot "$work/viewer.png" --after 5 >"$work/orvix.log" 2>&1 ||
  { cat "$work/orvix.log"; fail "orvix failed"; }
cells=$("$screen_read" 4 "$work/viewer.png") || fail "the screenshot cannot be read"
echo "package_test: frame counters read: ${cells#* }"
case " ${cells#* } " in *" - "*) fail "not every channel shows the simulator: $cells" ;; esac

# The plug-in's page: the host finds nporvicam.dll by the keys setuptool wrote.
"$root/usr/bin/orvix" --display headless --page "$root/usr/share/orvix/pages/plugin_viewer.html" \
  --after 2 >"$work/plugin.log" 2>&1 || { cat "$work/plugin.log"; fail "orvix failed on the plug-in page"; }
grep -F 'orvix: #result gets <p> Version 1.0' "$work/plugin.log" >/dev/null ||
  { cat "$work/plugin.log"; fail "the plug-in page did not get the plug-in"; }

dpkg_in_root -r orvix >"$work/remove.log" 2>&1 || { cat "$work/remove.log"; fail "removal failed"; }
grep "setuptool:" "$work/remove.log" || true
[ ! -e "$root/usr/bin/orvix" ] || fail "the files stayed"
[ -f "$ORVIX_REGISTRY_DIR/machine.reg" ] || fail "no registry at $ORVIX_REGISTRY_DIR"
# Clean: nothing in the registry names the installed files, the plug-in or the control.
if grep -Ri -e "$root" -e orvicam -e E30E886F "$ORVIX_REGISTRY_DIR" >/dev/null 2>&1; then
  grep -Ri -e "$root" -e orvicam -e E30E886F "$ORVIX_REGISTRY_DIR" | head
  fail "the registry keeps the viewers"
fi
echo "package_test: installed, registered, viewed, removed, registry clean"

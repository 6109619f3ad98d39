#!/usr/bin/env bash
# Installs the build into a throwaway prefix, then builds the .deb and
# unpacks it into a throwaway root, checking the files each one holds.
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

check_tree() {
  local root=$1 size
  [ -x "$root/bin/hiduke" ] || fail "$root/bin/hiduke missing"
  desktop-file-validate "$root/share/applications/hiduke.desktop" || fail "desktop entry is not valid"
  grep -q '^Name\[ja\]=' "$root/share/applications/hiduke.desktop" || fail "no Japanese name"
  grep -q '^Categories=Office;Calendar;$' "$root/share/applications/hiduke.desktop" || fail "categories"
  for size in 16 32; do
    local icon="$root/share/icons/hicolor/${size}x${size}/apps/hiduke.png"
    [ "$(identify -format '%wx%h' "$icon")" = "${size}x${size}" ] || fail "icon $icon"
  done
}

cmake --install "$build" --prefix "$work/prefix" >/dev/null
check_tree "$work/prefix"

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >/dev/null)
deb=$(ls "$work"/package/*.deb)
dpkg-deb -x "$deb" "$work/root"
check_tree "$work/root/usr"
depends=$(dpkg-deb -f "$deb" Depends)
for needed in libqt6widgets6 libqt6gui6 qt6-qpa-plugins fonts-ipafont-gothic fonts-comic-neue; do
  [[ "$depends" == *"$needed"* ]] || fail "Depends lacks $needed: $depends"
done
echo "installed and packaged $(basename "$deb"); Depends: $depends"

#!/usr/bin/env bash
# Installs the build into a throwaway prefix, then builds the .deb and
# unpacks it into a throwaway root, checking the files each one holds, and
# has lintian check the package as Debian would.
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

check_tree() {
  local root=$1 size
  [ -x "$root/bin/hiduke" ] || fail "$root/bin/hiduke missing"
  ! readelf -d "$root/bin/hiduke" | grep -E 'RPATH|RUNPATH' || fail "$root/bin/hiduke has a run path"
  desktop-file-validate "$root/share/applications/hiduke.desktop" || fail "desktop entry is not valid"
  grep -q '^Name\[ja\]=' "$root/share/applications/hiduke.desktop" || fail "no Japanese name"
  grep -q '^Categories=Office;Calendar;$' "$root/share/applications/hiduke.desktop" || fail "categories"
  for size in 16 32 48 64 128 256; do
    local icon="$root/share/icons/hicolor/${size}x${size}/apps/hiduke.png"
    [ "$(identify -format '%wx%h' "$icon")" = "${size}x${size}" ] || fail "icon $icon"
  done
  local svg="$root/share/icons/hicolor/scalable/apps/hiduke.svg"
  if command -v xmllint >/dev/null; then
    xmllint --noout "$svg" || fail "$svg is not well-formed"
  fi
  [[ "$(head -c 4 "$svg")" == "<svg" ]] || fail "$svg is not an SVG"
  # The metainfo, and that its launchable names the desktop entry installed;
  # then the metainfo on its own, where even a pedantic note counts.
  appstreamcli validate-tree --no-net "$root" || fail "AppStream metainfo is not valid"
  local metainfo="$root/share/metainfo/io.github.hiduke.metainfo.xml" out
  out=$(appstreamcli validate --pedantic --no-net "$metainfo") || fail "AppStream: $out"
  ! grep -E '^[EWIP]: ' <<<"$out" || fail "AppStream has notes on $metainfo"
  # The manual page as man shows it on an 80-column terminal, without a
  # warning from groff.
  out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$root/share/man/man1/hiduke.1.gz" 2>&1 >/dev/null)
  [ -z "$out" ] || fail "man warns on hiduke.1: $out"
  grep -q '^License: Expat$' "$root/share/doc/hiduke/copyright" || fail "copyright names no licence"
}

# The version of the package is the one the changelog, the metainfo's newest
# release and the manual page name.
check_versions() {
  local root=$1 version=$2
  zcat "$root/share/doc/hiduke/changelog.gz" >"$work/changelog"
  [ "$(dpkg-parsechangelog -l "$work/changelog" -S Version)" = "$version" ] || fail "changelog is not at $version"
  grep -q "<release version=\"$version\"" "$root/share/metainfo/io.github.hiduke.metainfo.xml" \
    || fail "metainfo has no release $version"
  zcat "$root/share/man/man1/hiduke.1.gz" | grep -q "^\.TH HIDUKE 1 .* \"hiduke $version\"" \
    || fail "hiduke.1 is not of $version"
}

# Usage and version need no display; an option neither hiduke nor Qt knows
# is refused with the usage.
check_command_line() {
  local hiduke=$1 version=$2 option out rc=0
  for option in -h --help -v --version; do
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$hiduke" "$option") || fail "$option exits $?"
    case $option in
      -h | --help) [[ "$out" == *"使い方"* ]] || fail "$option prints: $out" ;;
      *) [[ "$out" == *"バージョン $version"* ]] || fail "$option prints: $out" ;;
    esac
  done
  out=$(QT_QPA_PLATFORM=offscreen "$hiduke" -platform offscreen --no-such-option 2>&1 >/dev/null) || rc=$?
  [ "$rc" = 2 ] && [[ "$out" == *"使い方"* ]] || fail "an unknown option exits $rc and prints: $out"
  rc=0
  out=$(no_display "$hiduke" --bogus 2>&1 >/dev/null) || rc=$?
  [ "$rc" = 2 ] && [[ "$out" == *"使い方"* ]] || fail "without a display, an unknown option exits $rc and prints: $out"
  check_export "$hiduke"
  # Started in a directory that has been removed: a message, exit 1.
  mkdir "$work/gone"
  rc=0
  out=$(cd "$work/gone" && rmdir "$work/gone" && no_display "$hiduke" 2>&1) || rc=$?
  [ "$rc" = 1 ] && [[ "$out" == *"起動したディレクトリは削除されています"* ]] || fail "in a removed directory: exit $rc, $out"
}

no_display() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@"; }

# --export-ical needs no display: the notes go to standard output or a file,
# what was left out is counted on standard error, and a file that cannot be
# written is named with exit status 1.
check_export() {
  local hiduke=$1 notes="$work/notes" out rc=0
  mkdir -p "$notes"
  printf '2002,3,15,a\r\nhand edit\r\n12002,1,1,far\r\n' >"$notes/hiduke.dat"
  out=$(cd "$notes" && no_display "$hiduke" --export-ical - 2>"$work/export.err") || fail "--export-ical - exits $?"
  [[ "$out" == BEGIN:VCALENDAR* && "$out" == *"DTSTART;VALUE=DATE:20020315"* ]] || fail "--export-ical - prints: $out"
  [[ "$(cat "$work/export.err")" == *"1 件"*"1 行"*"1 件"* ]] || fail "--export-ical says: $(cat "$work/export.err")"
  (cd "$notes" && no_display "$hiduke" --export-ical notes.ics 2>/dev/null) || fail "--export-ical notes.ics exits $?"
  grep -q '^END:VCALENDAR' "$notes/notes.ics" || fail "notes.ics is not a calendar"
  out=$(cd "$notes" && no_display "$hiduke" --export-ical missing/notes.ics 2>&1) || rc=$?
  [ "$rc" = 1 ] && [[ "$out" == *"missing/notes.ics"* ]] || fail "an export that cannot be written: exit $rc, $out"
  # --import-ical too: the export read back into an empty directory.
  mkdir -p "$notes/empty"
  out=$(cd "$notes/empty" && no_display "$hiduke" --import-ical - --from 2002-01-01 --to 2002-12-31 <"$notes/notes.ics") ||
    fail "--import-ical - exits $?"
  [[ "$out" == *"新しい日: 1 日"* ]] && [ "$(cat "$notes/empty/hiduke.dat")" = $'2002,3,15,a\r' ] ||
    fail "--import-ical - says: $out"
}

cmake --install "$build" --prefix "$work/prefix" >/dev/null
check_tree "$work/prefix"

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >/dev/null)
deb=$(ls "$work"/package/*.deb)
dpkg-deb -x "$deb" "$work/root"
check_tree "$work/root/usr"
version=$(dpkg-deb -f "$deb" Version)
check_command_line "$work/root/usr/bin/hiduke" "$version"
check_versions "$work/root/usr" "$version"
# Lintian prints nothing at error or warning level (a line starting E: or
# W:) for a package Debian would accept.
report=$(lintian --fail-on error,warning "$deb" 2>&1) || fail "lintian exits $?: $report"
! grep -E '^[EW]: ' <<<"$report" || fail "lintian finds errors or warnings in $(basename "$deb")"
depends=$(dpkg-deb -f "$deb" Depends)
for needed in libqt6widgets6 libqt6gui6 qt6-qpa-plugins qt6-translations-l10n fonts-ipafont-gothic fonts-comic-neue; do
  [[ "$depends" == *"$needed"* ]] || fail "Depends lacks $needed: $depends"
done
recommends=$(dpkg-deb -f "$deb" Recommends)
[ "$recommends" = "fcitx5-frontend-qt6 | ibus" ] || fail "Recommends: $recommends"
echo "installed and packaged $(basename "$deb"); Depends: $depends; Recommends: $recommends"

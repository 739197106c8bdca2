#!/usr/bin/env bash
# Builds the Debian package and checks it the way a user's machine takes it:
#   lintian reports no error and no missing hardening; the desktop entry and the
#   AppStream data validate (without the network: it lists the URLs a release must
#   make real); apt can resolve its dependencies; the fonts it depends on give a
#   proportional sans-serif face; the client's install list holds no test tool; and
#   its files, extracted into a temporary folder, run: both programs give the version
#   without a display, and the client opens its window on a virtual X server with its
#   compiled-in resources, seeing only the fonts the package brings.
#   tools/check-package.sh [build-dir]     (default: build/)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
version=1.1.0.26
title="Velantra Remote Start 1.1.26"

fail() { echo "check-package: $*" >&2; exit 1; }

# The window check, run by the part below on a virtual display: --window <extracted root> <work folder>.
if [ "${1:-}" = "--window" ]; then
  files="$2" work="$3"
  export HOME="$work/home" XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=xcb
  export FONTCONFIG_FILE="$work/fonts.conf"
  mkdir -p "$HOME" "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR" && chmod 0700 "$XDG_RUNTIME_DIR"
  "$files/usr/bin/velantra-remote" >"$work/client.log" 2>&1 &
  client=$!
  trap 'kill "$client" 2>/dev/null; wait "$client" 2>/dev/null || true' EXIT
  window=""
  for _ in $(seq 1 100); do
    window="$(xwininfo -root -tree 2>/dev/null | grep -F "\"$title" | awk '{print $1}' | head -n 1 || true)"
    [ -n "$window" ] && break
    kill -0 "$client" 2>/dev/null || { cat "$work/client.log" >&2; fail "the client ended before it showed its window"; }
    sleep 0.1
  done
  [ -n "$window" ] || { cat "$work/client.log" >&2; fail "no window \"$title\" appeared"; }
  sleep 1 # drawn
  xwininfo -id "$window" | grep "Map State: IsViewable" >/dev/null || fail "the window is not shown"
  # The program icon is a compiled-in resource: the window carries it.
  xprop -id "$window" _NET_WM_ICON | grep "Icon (64 x 64)" >/dev/null || fail "the window has no icon (resources missing?)"
  # A resource that failed to load would have opened the error-report window.
  ! xwininfo -root -tree | grep '"Velantra Remote Client error' >/dev/null || fail "the error-report window opened"
  import -window root "$work/window.png"
  [ -z "${VELANTRA_PACKAGE_SCREENSHOT:-}" ] || cp "$work/window.png" "$VELANTRA_PACKAGE_SCREENSHOT"
  exit 0
fi

"$root/tools/install-deps.sh" --tests
deb="$("$root/tools/make-package.sh" "${1:-$root/build}" | tail -n 1)"
work="$(mktemp -d "${TMPDIR:-/tmp}/velantra-package.XXXXXX")"
trap 'rm -rf "$work"' EXIT

echo "Checking $(basename "$deb")"
echo "- lintian"
lintian --fail-on error --display-info "$deb" >"$work/lintian.log" 2>&1 || { cat "$work/lintian.log" >&2; fail "lintian reports an error"; }
grep -v '^running with root privileges' "$work/lintian.log" || true # its warnings and notes, if any
! grep -q 'hardening-' "$work/lintian.log" || fail "lintian notes missing hardening"

dpkg-deb -x "$deb" "$work/files"
echo "- desktop entry and AppStream data"
for entry in "$work"/files/usr/share/applications/*.desktop; do
  desktop-file-validate "$entry" || fail "$(basename "$entry") does not validate"
  icon="$(sed -n 's/^Icon=//p' "$entry")"
  ls "$work"/files/usr/share/icons/hicolor/*/apps/"$icon".png >/dev/null 2>&1 || fail "no icon $icon in the hicolor theme"
done
appstreamcli validate --no-net "$work"/files/usr/share/metainfo/*.metainfo.xml >"$work/appstream.log" 2>&1 \
  || { cat "$work/appstream.log" >&2; fail "the AppStream data does not validate"; }
grep -q "<release version=\"$version\"" "$work"/files/usr/share/metainfo/*.metainfo.xml || fail "no release $version in the AppStream data"
# Validated above without the network; a release checks these by hand (appstreamcli
# validate with the network) once they point at a real site.
echo "  URLs a release must make real (placeholders, not fetched here):"
{ dpkg-deb -f "$deb" Homepage; grep -ho 'https\?://[^<" ]*' "$work"/files/usr/share/metainfo/*.xml "$work"/files/usr/share/applications/*.desktop; } \
  | sort -u | sed 's/^/    /'

echo "- the README and the pictures it shows"
doc="$work/files/usr/share/doc/velantra-remote"
readme="$(zcat "$doc/README.md.gz")" || fail "no README in the doc folder"
grep -q '^# Velantra Remote Start' <<<"$readme" || fail "the doc folder's README is not the user's"
for picture in $(grep -o '!\[[^]]*\]([^)]*)' <<<"$readme" | sed 's/.*(\(.*\))$/\1/'); do
  [ -f "$doc/$picture" ] || fail "the README shows $picture, which the package lacks"
done

echo "- a proportional face from the package's fonts alone (as on a minimal install)"
font_dirs=()
for p in $(dpkg-deb -f "$deb" Depends | tr ',|' '\n\n' | awk '{print $1}' | grep '^fonts-'); do
  # The folders of its font files only: a shared parent would bring every other face.
  while read -r dir; do font_dirs+=("$dir"); done < <(dpkg -L "$p" | grep -E '\.(ttf|otf|pfb)$' | xargs -r -n 1 dirname | sort -u)
done
[ ${#font_dirs[@]} -gt 0 ] || fail "the package depends on no font package"
{
  echo '<?xml version="1.0"?><!DOCTYPE fontconfig SYSTEM "fonts.dtd"><fontconfig>'
  printf '<dir>%s</dir>\n' "${font_dirs[@]}"
  echo "<cachedir>$work/fontcache</cachedir><include ignore_missing=\"yes\">/etc/fonts/conf.d</include></fontconfig>"
} >"$work/fonts.conf"
for family in sans-serif "MS Sans Serif" Arial; do
  match="$(FONTCONFIG_FILE="$work/fonts.conf" fc-match -f '%{family[0]}|%{spacing}' "$family")"
  [ "${match#*|}" != 100 ] || fail "\"$family\" is monospace on a minimal install ($match)"
  echo "  $family: ${match%|*}"
done

echo "- the client's install list holds no test tool"
client_list="$("$root/tools/install-deps.sh" --list-client)"
# Xvfb is not among them: it is the virtual display of a machine without one.
for tool in clang lintian cups pulseaudio xdotool weston sway imagemagick appstream; do
  ! grep -q "^$tool" <<<"$client_list" || fail "tools/install-deps.sh --client installs $tool"
done

echo "- apt resolves its dependencies"
apt-get install --simulate "$deb" >"$work/apt.log" 2>&1 || { cat "$work/apt.log" >&2; fail "apt cannot install it"; }

echo "- the extracted programs run"
for program in velantra-remote velantra-timing-sim; do
  out="$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$work/files/usr/bin/$program" --version)" \
    || fail "$program --version failed"
  [ "$out" = "$program $version" ] || fail "$program --version printed \"$out\""
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$work/files/usr/bin/$program" --help | grep '^Usage:' >/dev/null \
    || fail "$program --help gives no usage"
  zgrep -q '^\.TH ' "$work/files/usr/share/man/man1/$program.1.gz" || fail "no manual page for $program"
done
"$root/tools/with-display.sh" "$0" --window "$work/files" "$work"
echo "The package is sound: $deb"

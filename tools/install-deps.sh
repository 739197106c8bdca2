#!/usr/bin/env bash
# Installs the Debian packages that are missing, for one purpose:
#   tools/install-deps.sh --client    the build and the client (tools/run-client.sh, tools/build.sh)
#   tools/install-deps.sh --package   and the Debian package (tools/make-package.sh)
#   tools/install-deps.sh [--tests]   and the test suite and the package checks (tools/run-tests.sh, CI)
# Safe to run again: it calls apt-get only when something is missing. It prints a
# line per step and apt's own progress through the download and the set-up; apt-get's
# own output only when it fails. An install is judged by apt's exit status and by what
# dpkg then says is installed, not by apt's messages: apt says "E:" about its terminal
# log where there is no /dev/pts (a chroot) and installs all the same. No service it
# installs is left enabled or running: a start line PC gets no printer scheduler or
# sound daemon from the test tools.
set -euo pipefail

client_packages=(
  # build
  g++ cmake ninja-build pkg-config python3
  qt6-base-dev qt6-base-dev-tools qt6-5compat-dev
  # the ring tone: ALSA's default device, routed to the desktop's sound server
  libasound2-dev
  libxtst-dev libx11-dev
  # printing: the job handed to CUPS by its own call, so a refusal is seen
  libcups2-dev
  # the idle inhibition on Wayland: the protocol, its client library and Qt's window handles
  libwayland-dev wayland-protocols qt6-base-private-dev
  # the window on X11 and on Wayland
  qt6-qpa-plugins qt6-wayland
  # Qt's own texts (a box's buttons) in the desktop's language
  qt6-translations-l10n
  # a proportional face for every text, and the faces metric-compatible with Arial and Times
  fonts-dejavu-core fonts-liberation fontconfig
  # tools/run-client.sh: is a timing server listening?
  netcat-openbsd
  # a virtual display where there is none (tools/with-display.sh tools/run-client.sh,
  # or xvfb-run, which needs xauth): 13 packages, 10 MB beside the rest
  xvfb xauth
)
package_packages=(
  # the Debian package (CPack, dpkg-shlibdeps, dpkg-buildflags)
  dpkg-dev file
)
# ---- test side: what only the tests and the checks need ----
test_packages=(
  # screenshots, window queries, PDF text (the headless display is in the client's list)
  x11-utils imagemagick poppler-utils
  # driving the real client through its window (tools/hostile-server.sh)
  xdotool
  # a printer scheduler the print test runs privately (no system queue is added)
  cups-daemon cups-client cups-core-drivers
  # a real sound server for the ring-tone tests, and ALSA's way to it
  pulseaudio pulseaudio-utils libasound2-plugins sox
  # a private session bus for the screen-saver tests; headless Wayland compositors,
  # with the idle inhibition (sway) and without (weston)
  dbus-daemon sway weston
  # the package checks
  lintian desktop-file-utils appstream
  # used by the test scripts
  procps
  # the start-up benchmark sees the first paint through X DAMAGE (bench/bench_startup)
  libxdamage-dev
  # network namespaces and a veth pair for the dead-link test
  iproute2
  # fuzzing (tools/run-fuzz.sh): clang with libFuzzer and the sanitizer runtimes
  clang-14 libclang-rt-14-dev
  # the Windows checks (tools/check-windows.sh): the resource compiler and the MinGW-w64
  # cross-compiler with the POSIX thread model (the stand-in phidget21 uses std::thread)
  binutils-mingw-w64-x86-64 g++-mingw-w64-x86-64-posix
)

case "${1:---tests}" in
  --client) packages=("${client_packages[@]}") ;;
  --package) packages=("${client_packages[@]}" "${package_packages[@]}") ;;
  --tests) packages=("${client_packages[@]}" "${package_packages[@]}" "${test_packages[@]}") ;;
  --list-client) printf '%s\n' "${client_packages[@]}"; exit 0 ;;
  --list-tests) printf '%s\n' "${package_packages[@]}" "${test_packages[@]}"; exit 0 ;;
  *) echo "usage: $0 [--client|--package|--tests]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  SUDO=(sudo)
else
  SUDO=()
fi
work="$(mktemp -d)"
policy=/usr/sbin/policy-rc.d
own_policy=""
finish()
{
  [ -z "$own_policy" ] || "${SUDO[@]}" rm -f "$policy"
  rm -rf "$work"
}
trap finish EXIT
log="$work/log"
step() # what, command...
{
  local what="$1"
  shift
  echo "$what"
  if ! "$@" >"$log" 2>&1; then
    cat "$log" >&2
    echo "install-deps: failed: $what" >&2
    exit 1
  fi
}

echo "Missing: ${missing[*]}"
step "Updating the package lists" "${SUDO[@]}" apt-get update
"${SUDO[@]}" apt-get install -s --no-install-recommends "${missing[@]}" >"$log" 2>&1 || { cat "$log" >&2; exit 1; }
count="$(grep -c '^Inst ' "$log" || true)"
# What is not in apt's cache yet: one line per file, its size third.
fetch_mb="$(apt-get install --print-uris -qq --no-install-recommends "${missing[@]}" 2>/dev/null \
  | awk '{ bytes += $3 } END { printf "%d", (bytes + 999999) / 1000000 }')"
echo "Installing $count packages with their dependencies: $fetch_mb MB to download, then each set up (a few minutes)"

# Nothing installed starts as a service now (policy-rc.d refuses every start during the
# install), and what it enables is disabled below.
if [ ! -e "$policy" ]; then
  printf '#!/bin/sh\nexit 101\n' >"$work/policy-rc.d"
  chmod 0755 "$work/policy-rc.d"
  "${SUDO[@]}" cp "$work/policy-rc.d" "$policy"
  own_policy=1
fi
dpkg-query -W -f='${Package}\n' | sort >"$work/before"

# apt's progress comes on a descriptor of its own (dlstatus: percent of the bytes to
# fetch; pmstatus: percent of the unpacking and setting up), opened inside the command
# that runs as root: sudo closes the caller's other descriptors.
status=0
"${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive bash -c \
  'log="$1"; shift; exec apt-get -o APT::Status-Fd=3 install -y --no-install-recommends "$@" 3>&1 >"$log" 2>&1' \
  install "$log" "${missing[@]}" \
  | awk -F: '
      function show(what, pct, seen,   step) {
        step = int(pct / 10)
        if (step > seen) { printf "%s: %d%%\n", what, step * 10; fflush() }
        return step > seen ? step : seen
      }
      $1 == "dlstatus" { dl = show("Downloading", $3, dl) }
      $1 == "pmstatus" { pm = show("Unpacking and setting up", $3, pm) }' \
  || status=$?
not_installed=()
for p in "${missing[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || not_installed+=("$p")
done
if [ "$status" -ne 0 ] || [ ${#not_installed[@]} -gt 0 ]; then
  cat "$log" >&2
  echo "install-deps: the install failed (apt's exit status $status; not installed: ${not_installed[*]:-none})" >&2
  exit 1
fi
echo "$count packages set up"

# The units the new packages ship, system and user alike, left disabled.
dpkg-query -W -f='${Package}\n' | sort | comm -13 "$work/before" - >"$work/new"
units=() user_units=()
while read -r p; do
  while read -r f; do
    case "$f" in
      */systemd/system/*.service | */systemd/system/*.socket | */systemd/system/*.path | */systemd/system/*.timer)
        units+=("$(basename "$f")") ;;
      */systemd/user/*.service | */systemd/user/*.socket)
        user_units+=("$(basename "$f")") ;;
    esac
  done < <(dpkg -L "$p" 2>/dev/null)
done <"$work/new"
if command -v systemctl >/dev/null 2>&1; then
  if [ ${#units[@]} -gt 0 ]; then
    echo "Leaving disabled: ${units[*]}"
    "${SUDO[@]}" systemctl disable "${units[@]}" >/dev/null 2>&1 || true
    "${SUDO[@]}" systemctl stop "${units[@]}" >/dev/null 2>&1 || true
  fi
  if [ ${#user_units[@]} -gt 0 ]; then
    echo "Leaving disabled for user sessions: ${user_units[*]}"
    "${SUDO[@]}" systemctl --global disable "${user_units[@]}" >/dev/null 2>&1 || true
  fi
fi
echo "Installed"

#!/usr/bin/env bash
# Installs every Debian package the build, the client, the test suite and the
# package checks need. Safe to run again: it only calls apt-get when something is
# missing. It prints one line per action, and apt-get's own output only when it fails.
set -euo pipefail

packages=(
  # build
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-5compat-dev qt6-multimedia-dev
  qt6-qpa-plugins libxtst-dev libx11-dev libcups2-dev
  # fonts metric-compatible with Arial and Times New Roman
  fonts-liberation fonts-dejavu-core fontconfig
  # headless display, screenshots, PDF text
  xvfb xauth x11-utils imagemagick poppler-utils
  # driving the real client through its window (tools/hostile-server.sh)
  xdotool
  # a printer scheduler the print test runs privately (no system queue is added)
  cups-daemon cups-client cups-core-drivers
  # a real sound server for the ring-tone tests
  pulseaudio pulseaudio-utils sox
  # a private session bus for the screen-saver test
  dbus-daemon
  # the Debian package (CPack, dpkg-shlibdeps) and its checks
  dpkg-dev file lintian desktop-file-utils appstream
  # used by the run and test scripts
  procps netcat-openbsd python3
  # fuzzing (tools/run-fuzz.sh): clang with libFuzzer and the sanitizer runtimes
  clang-14 libclang-rt-14-dev
  # the Windows checks (tools/check-windows.sh): the resource compiler and the MinGW-w64
  # cross-compiler with the POSIX thread model (the stand-in phidget21 uses std::thread)
  binutils-mingw-w64-x86-64 g++-mingw-w64-x86-64-posix
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  SUDO=(sudo)
else
  SUDO=()
fi
log="$(mktemp)"
trap 'rm -f "$log"' EXIT
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
step "Updating the package lists" "${SUDO[@]}" apt-get update
step "Installing ${missing[*]}" \
  "${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"

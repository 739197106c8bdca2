#!/usr/bin/env bash
# Installs every Debian package the build, the client and the test suite need.
# Safe to run again: it only calls apt-get when something is missing.
set -euo pipefail

packages=(
  # build
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-5compat-dev qt6-multimedia-dev
  qt6-qpa-plugins libxtst-dev libx11-dev
  # fonts metric-compatible with Arial and Times New Roman
  fonts-liberation fonts-dejavu-core fontconfig
  # headless display, screenshots, PDF text
  xvfb xauth x11-utils imagemagick poppler-utils
  # a real printer for the print tests
  cups cups-client cups-bsd printer-driver-cups-pdf
  # a real sound server for the ring-tone tests
  pulseaudio pulseaudio-utils sox
  # used by the run and test scripts
  procps netcat-openbsd python3
  # fuzzing (tools/run-fuzz.sh): clang with libFuzzer and the sanitizer runtimes
  clang-14 libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  SUDO=sudo
else
  SUDO=
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"

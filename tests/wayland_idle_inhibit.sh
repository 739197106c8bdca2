#!/usr/bin/env bash
# The screen kept on by a Wayland compositor: the real client, as a native Wayland
# window with no desktop service on its private bus, on two headless compositors.
# sway offers the idle inhibition: it must report the client's window as inhibiting.
# weston (10) does not: the client must say once on stderr that the screen may blank.
#   tests/wayland_idle_inhibit.sh <client>
# Exits 77 (skipped) where a compositor or Qt's Wayland platform is missing, unless
# VELANTRA_REQUIRE_SERVICES is set (CI).
set -euo pipefail
client="$1"
skip() { [ -z "${VELANTRA_REQUIRE_SERVICES:-}" ] || { echo "FAIL: $*"; exit 1; }; echo "SKIP: $*"; exit 77; }
command -v sway >/dev/null && command -v weston >/dev/null || skip "no sway or weston"
ls /usr/lib/*/qt6/plugins/platforms/libqwayland-generic.so >/dev/null 2>&1 || skip "no Qt Wayland platform (qt6-wayland)"

work="$(mktemp -d "${TMPDIR:-/tmp}/velantra-wayland.XXXXXX")"
pids=()
trap 'for pid in "${pids[@]}"; do kill -- "$pid" 2>/dev/null || true; wait "${pid#-}" 2>/dev/null || true; done; rm -rf "$work"' EXIT
mkdir -m 0700 "$work/runtime" "$work/home"
export XDG_RUNTIME_DIR="$work/runtime"
# sway refuses to run as root: then it runs as nobody, in a folder of its own.
as_compositor=()
if [ "$(id -u)" -eq 0 ]; then
  chmod 0711 "$work"
  chown 65534:65534 "$work/runtime" "$work/home"
  as_compositor=(setpriv --reuid=65534 --regid=65534 --clear-groups)
fi

wait_for() { local tries=$(($1 * 10)); shift; for _ in $(seq "$tries"); do "$@" && return 0; sleep 0.1; done; return 1; }

start_client() # name: the client on the compositor's socket, with folders of its own
{
  mkdir -m 0700 "$work/$1"
  env HOME="$work/$1" XDG_DATA_HOME="$work/$1/data" XDG_RUNTIME_DIR="$work/$1" QT_QPA_PLATFORM=wayland \
    WAYLAND_DISPLAY="$work/runtime/velantra" setsid dbus-run-session -- "$client" >"$work/$1.log" 2>&1 &
  client_pid=$!
  pids+=("-$client_pid") # its process group: the bus and the client
}

echo "sway: the client's window inhibits idle"
printf 'output HEADLESS-1 resolution 1280x1024\n' >"$work/sway.conf"
"${as_compositor[@]}" env HOME="$work/home" WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
  sway -c "$work/sway.conf" >"$work/sway.log" 2>&1 &
pids+=("$!")
wait_for 20 test -S "$work/runtime/wayland-1" || { cat "$work/sway.log"; exit 1; }
ln -s wayland-1 "$work/runtime/velantra"
start_client client-sway
sway_ipc() { SWAYSOCK="$(ls "$work"/runtime/sway-ipc.*.sock)" swaymsg -t get_tree; }
inhibiting() { sway_ipc 2>/dev/null | grep -q '"application": "enabled"'; }
wait_for 30 inhibiting || { cat "$work/client-sway.log"; sway_ipc; echo "FAIL: sway reports no idle inhibitor"; exit 1; }
! grep -q "may blank" "$work/client-sway.log" || { cat "$work/client-sway.log"; echo "FAIL: said not held"; exit 1; }

echo "weston: without the protocol, the client says so once"
kill -- "-$client_pid" 2>/dev/null || true
wait "$client_pid" 2>/dev/null || true
rm "$work/runtime/velantra"
weston --backend=headless-backend.so --socket=velantra --no-config >"$work/weston.log" 2>&1 &
pids+=("$!")
wait_for 20 test -S "$work/runtime/velantra" || { cat "$work/weston.log"; exit 1; }
start_client client-weston
said() { [ "$(grep -c "may blank during a long wait" "$work/client-weston.log")" -eq 1 ]; }
wait_for 30 said || { cat "$work/client-weston.log"; echo "FAIL: no word on stderr"; exit 1; }
echo "PASS"

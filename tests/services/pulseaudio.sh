# Sourced by tools/run-tests.sh: a sound server with a null sink as the default
# output, so the ring-tone test can record what the client plays. A server that
# already answers is used as it is. Never fails the run.
velantra_pulse_setup()
{
  command -v pulseaudio >/dev/null 2>&1 && command -v pactl >/dev/null 2>&1 || return 0
  pactl info >/dev/null 2>&1 && return 0

  local dir="${TMPDIR:-/tmp}/velantra-pulse-$(id -u)"
  mkdir -p "$dir" 2>/dev/null || return 0
  export PULSE_SERVER="unix:$dir/native"
  pactl info >/dev/null 2>&1 && return 0

  # No configuration script (-n): only the null sink and a socket of our own. This
  # also works as root, where the user-session defaults are refused.
  rm -f "$dir/native"
  pulseaudio -n --daemonize=yes --exit-idle-time=-1 --use-pid-file=no \
    -L "module-null-sink sink_name=velantra_null" \
    -L "module-native-protocol-unix auth-anonymous=1 socket=$dir/native" >/dev/null 2>&1 || true
  local i
  for i in $(seq 1 50); do
    pactl info >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  unset PULSE_SERVER
  return 0
}
velantra_pulse_setup || true
unset -f velantra_pulse_setup

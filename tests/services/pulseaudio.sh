# Sourced by tools/run-tests.sh: a sound server of the test run's own with a null
# sink as its default output, so the ring-tone test can record what the client
# plays. Everything it keeps (socket, cookie, state) is in "$services/pulse",
# nothing in the user's home. Its process id goes to service_pids, which the run stops.
velantra_pulse_start()
{
  if ! command -v pulseaudio >/dev/null 2>&1 || ! command -v pactl >/dev/null 2>&1; then
    echo "No PulseAudio (pulseaudio, pulseaudio-utils): the ring-tone recording test will skip."
    return 0
  fi
  local dir="$services/pulse"
  mkdir -p "$dir/home" "$dir/runtime"
  chmod 0700 "$dir/runtime"
  # No configuration script (-n): only the null sink and a socket of our own. This
  # also works as root, where the user-session defaults are refused.
  HOME="$dir/home" XDG_CONFIG_HOME="$dir/home/.config" XDG_RUNTIME_DIR="$dir/runtime" \
    pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no \
    -L "module-null-sink sink_name=velantra_null" \
    -L "module-native-protocol-unix auth-anonymous=1 socket=$dir/native" \
    </dev/null >"$dir/pulseaudio.log" 2>&1 &
  service_pids+=("$!")
  export PULSE_SERVER="unix:$dir/native"
  export PULSE_COOKIE="$dir/cookie" # clients would write one into the home folder
  local i
  for i in $(seq 1 50); do
    pactl info >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "The test run's sound server did not start (see $dir/pulseaudio.log): the ring-tone recording test will skip."
}
velantra_pulse_start
unset -f velantra_pulse_start

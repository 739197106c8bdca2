# Sourced by tools/run-tests.sh: a CUPS scheduler of the test run's own, so the
# print test prints for real without touching the machine's printers. Its
# configuration, spool and logs are in "$services/cups"; it listens only on a
# socket there (CUPS_SERVER); its default queue writes each job to the file
# VELANTRA_TEST_PRINT_FILE, and a second one refuses every job. The system's scheduler, printers and /etc/cups
# are never used. Its process id goes to service_pids, which the run stops.
velantra_cups_start()
{
  if ! command -v cupsd >/dev/null 2>&1 || ! command -v lpadmin >/dev/null 2>&1; then
    echo "No CUPS scheduler (cups-daemon, cups-client): the real-print test will skip."
    return 0
  fi
  local dir="$services/cups"
  mkdir -p "$dir/etc" "$dir/spool/tmp" "$dir/cache" "$dir/state" "$dir/log" "$dir/jobs"
  # Run as root, the scheduler runs its filters as lp: they must reach the spool.
  chmod 0755 "$services" "$dir"
  cat >"$dir/cupsd.conf" <<CONF
Listen $dir/cups.sock
Browsing No
BrowseLocalProtocols none
WebInterface No
LogLevel warn
DefaultAuthType None
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF
  cat >"$dir/cups-files.conf" <<CONF
ServerRoot $dir/etc
RequestRoot $dir/spool
TempDir $dir/spool/tmp
CacheDir $dir/cache
StateDir $dir/state
ServerKeychain $dir/etc/ssl
CreateSelfSignedCerts no
AccessLog $dir/log/access_log
ErrorLog $dir/log/error_log
PageLog $dir/log/page_log
Printcap $dir/printcap
FileDevice Yes
CONF
  if [ "$(id -u)" -ne 0 ]; then
    printf 'User %s\nGroup %s\n' "$(id -un)" "$(id -gn)" >>"$dir/cups-files.conf"
  fi
  cupsd -f -c "$dir/cupsd.conf" -s "$dir/cups-files.conf" </dev/null >>"$dir/log/cupsd.out" 2>&1 &
  service_pids+=("$!")

  local i
  for i in $(seq 1 50); do
    CUPS_SERVER="$dir/cups.sock" lpstat -r 2>/dev/null | grep -q '^scheduler is running' && break
    sleep 0.1
  done
  if ! CUPS_SERVER="$dir/cups.sock" lpadmin -p Velantra_test -E -v "file:$dir/jobs/printed.pdf" \
         -P "$root/tests/services/velantra-test.ppd" >>"$dir/log/cupsd.out" 2>&1 \
     || ! CUPS_SERVER="$dir/cups.sock" lpadmin -d Velantra_test >>"$dir/log/cupsd.out" 2>&1 \
     || ! CUPS_SERVER="$dir/cups.sock" lpadmin -p Velantra_refusing -E -v file:/dev/null \
            -P "$root/tests/services/velantra-test.ppd" >>"$dir/log/cupsd.out" 2>&1 \
     || ! CUPS_SERVER="$dir/cups.sock" cupsreject Velantra_refusing >>"$dir/log/cupsd.out" 2>&1; then
    echo "The test run's CUPS scheduler did not start (see $dir/log): the real-print test will skip."
    return 0
  fi
  export CUPS_SERVER="$dir/cups.sock"
  # The queue by name too, so a user's own default (lpoptions) cannot send the job elsewhere.
  export PRINTER=Velantra_test
  unset LPDEST
  export VELANTRA_TEST_PRINT_FILE="$dir/jobs/printed.pdf"
  # A second queue that refuses every job.
  export VELANTRA_TEST_REFUSING_PRINTER=Velantra_refusing
}
velantra_cups_start
unset -f velantra_cups_start

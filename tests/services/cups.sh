# Sourced by tools/run-tests.sh: a running CUPS scheduler with the cups-pdf virtual
# printer as the default, so the print tests print for real. Quiet, idempotent, and
# never fails the run: without root or without CUPS the print tests skip (or fail in CI).
(
  set +e
  command -v lpstat >/dev/null 2>&1 || exit 0
  running() { lpstat -r 2>/dev/null | grep -q '^scheduler is running'; }
  if ! running; then
    [ "$(id -u)" -eq 0 ] && command -v cupsd >/dev/null 2>&1 || exit 0
    mkdir -p /run/cups
    cupsd
    for _ in $(seq 1 50); do
      running && break
      sleep 0.1
    done
  fi
  running || exit 0
  if ! lpstat -v PDF >/dev/null 2>&1; then
    ppd=/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd
    [ -f "$ppd" ] || exit 0
    lpadmin -p PDF -v cups-pdf:/ -P "$ppd" -E
  fi
  [ "$(lpstat -d 2>/dev/null)" = "system default destination: PDF" ] || lpadmin -d PDF
) >/dev/null 2>&1 || true

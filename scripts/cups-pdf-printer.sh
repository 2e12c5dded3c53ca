#!/usr/bin/env bash
# Makes sure a CUPS scheduler runs with a PDF queue as the default printer, for the tests that
# print through CUPS as a user would. The queue (cups-pdf) writes each user's jobs to
# /var/spool/cups-pdf/<user>/.
# Exit status 0 when the printer is ready (the output folder's parent on stdout), 77 when this
# machine cannot run the scheduler (the reason on stdout), anything else on a failure.
set -euo pipefail

queue=VarnelPDF
spool=/var/spool/cups-pdf

if [ "$(id -u)" -eq 0 ]; then
  as_root() { "$@"; }
elif command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
  as_root() { sudo -n "$@"; }
else
  echo "the CUPS scheduler needs root or password-less sudo to start"
  exit 77
fi
command -v cupsd >/dev/null || { echo "cupsd is not installed (package cups)"; exit 77; }
[ -e /usr/lib/cups/backend/cups-pdf ] ||
  { echo "the cups-pdf backend is not installed (package printer-driver-cups-pdf)"; exit 77; }

running() { lpstat -r 2>/dev/null | grep -q "is running"; }

# Every user's PDF files go to one known folder rather than their home folders.
if ! grep -qx "Out $spool/\${USER}" /etc/cups/cups-pdf.conf; then
  as_root sed -i "s|^#\?Out .*|Out $spool/\${USER}|" /etc/cups/cups-pdf.conf
fi

if ! running; then
  as_root mkdir -p /run/cups
  as_root cupsd
  for _ in $(seq 300); do
    running && break
    sleep 0.1
  done
  running || { echo "cupsd did not start" >&2; exit 1; }
fi

if ! lpstat -p "$queue" >/dev/null 2>&1; then
  ppd=$(lpinfo -m | awk '/CUPS-PDF_noopt/ { print $1; exit }')
  [ -n "$ppd" ] || { echo "CUPS does not list the cups-pdf driver" >&2; exit 1; }
  as_root lpadmin -p "$queue" -v cups-pdf:/ -m "$ppd" -E
fi
as_root lpadmin -d "$queue"
echo "$spool"

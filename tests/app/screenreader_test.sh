#!/usr/bin/env bash
# Runs screenreader_test.py against PROGRAM with a session bus and a virtual X display of
# its own: the accessibility bus is started on that session bus when the program asks for
# it, and ends with it. Skips (status 77) only when a tool it needs is not installed.
set -euo pipefail
program="$1"
here="$(cd "$(dirname "$0")" && pwd)"
for tool in dbus-run-session xvfb-run /usr/libexec/at-spi-bus-launcher; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null ||
  { echo "skipped: python3-pyatspi is not installed"; exit 77; }
# Nothing of the caller's desktop: neither its session bus nor its accessibility bus.
unset DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS DISPLAY WAYLAND_DISPLAY
exec dbus-run-session -- xvfb-run -a -s "-screen 0 1024x768x24" \
  /usr/bin/python3 "$here/screenreader_test.py" "$program"

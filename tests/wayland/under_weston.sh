#!/usr/bin/env bash
# Runs COMMAND... as a Wayland client of a headless weston of its own: its own runtime
# folder and socket, so it neither meets nor disturbs a compositor already running.
# Exits 77 (skipped) when weston is not installed; otherwise with the command's status.
# Usage: under_weston.sh COMMAND...
set -euo pipefail
command -v weston >/dev/null || { echo "weston is not installed" >&2; exit 77; }
runtime="$(mktemp -d)"
chmod 700 "$runtime"
socket="quillmark-test-$$"
weston_pid=""
finish() {
  if [ -n "$weston_pid" ]; then kill "$weston_pid" 2>/dev/null || true; wait "$weston_pid" 2>/dev/null || true; fi
  rm -rf "$runtime"
}
trap finish EXIT
# Weston before 11 names its back ends by their module file.
backend=headless
weston --help 2>&1 | grep -q 'headless-backend\.so' && backend=headless-backend.so
XDG_RUNTIME_DIR="$runtime" weston --backend="$backend" --socket="$socket" --no-config \
  --idle-time=0 >"$runtime/weston.log" 2>&1 &
weston_pid=$!
# The socket appears once weston takes clients; a weston that stops first has failed.
for _ in $(seq 100); do
  [ -S "$runtime/$socket" ] && break
  kill -0 "$weston_pid" 2>/dev/null || { cat "$runtime/weston.log" >&2; exit 1; }
  sleep 0.1
done
[ -S "$runtime/$socket" ] || { echo "weston did not open $socket" >&2; cat "$runtime/weston.log" >&2; exit 1; }
XDG_RUNTIME_DIR="$runtime" WAYLAND_DISPLAY="$socket" QT_QPA_PLATFORM=wayland "$@"

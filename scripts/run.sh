#!/usr/bin/env bash
# Builds everything and starts the program with the given arguments.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh
if [ -x build/bin/quillmark ] && [ -f app/.has-window ]; then
  exec build/bin/quillmark "$@"
fi
# Until the main window exists, the command-line companion is the program to show.
exec build/bin/quillmark-cli --help

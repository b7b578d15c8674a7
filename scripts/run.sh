#!/usr/bin/env bash
# Builds everything and starts the program.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh
# Until the main window exists, the command-line companion is the program to show.
exec build/bin/quillmark-cli --help

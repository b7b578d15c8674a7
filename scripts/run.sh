#!/usr/bin/env bash
# Builds everything and starts the program; arguments go to the program (files to list).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh
exec build/bin/quillmark "$@"

#!/usr/bin/env bash
# Installs what is missing, configures and builds the default preset into build/.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default "$@"

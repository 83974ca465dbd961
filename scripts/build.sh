#!/usr/bin/env bash
# Configures and builds one preset (release, debug or asan; default release).
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-release}"
cmake --preset "$preset"
cmake --build --preset "$preset"

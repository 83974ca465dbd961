#!/usr/bin/env bash
# Installs what is needed, builds and runs the whole test suite.
# Usage: scripts/test.sh [preset]   (release by default; debug and asan work too)
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-release}"
bash scripts/install-deps.sh
bash scripts/build.sh "$preset"
ctest --preset "$preset" --parallel "$(nproc)"

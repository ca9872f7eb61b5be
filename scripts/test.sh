#!/usr/bin/env bash
# Builds every configuration and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

for preset in debug release windows-i686 windows-x86_64; do
  echo "=== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done

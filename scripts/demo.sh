#!/usr/bin/env bash
# Builds everything (release preset) and runs the demo: a virtual token in
# vuxad, HMAC-MD5 and CHAP-MD5 on the token and on the host, a listing of
# the token's files.  Installs missing packages first (scripts/setup.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release
bash demo/run.sh build/release

#!/usr/bin/env bash
# Runs the demo against a virtual token: starts vuxad with a fresh token in
# a temporary directory, runs demo/demo.c's program with VUXA_DEVICE_DIR
# pointing there, and stops the daemon.  Takes the build directory.
set -euo pipefail
build=$(cd "${1:-build/release}" && pwd)
vuxad=$build/virtual_token/daemon/vuxad
demo=$build/demo/vuxa_demo
for program in "$vuxad" "$demo"; do
  [ -x "$program" ] || { echo "missing $program: build first (bash scripts/demo.sh)" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/vuxa-demo.XXXXXX")
sockets=$work/sockets
pid=""
cleanup() {
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
    kill -TERM "$pid"
    wait "$pid" || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

cat <<TEXT
=== The vuxa demo

The library (libvuxa, include/pyxo.h) talks to the token driver "\\\\.\\VUXADRVR".
Here the driver is vuxad, the virtual token daemon, on a Unix socket:

  $vuxad \\
      --dir $sockets --new $work/token.img

--new makes a fresh token (model 0x50, 8192 bytes of memory, PIN 1234,
master key 0102030405060708) in the image file token.img, which vuxad keeps
up to date with every change.  The demo program (demo/demo.c) finds the
daemon through VUXA_DEVICE_DIR=$sockets.

TEXT

"$vuxad" --dir "$sockets" --new "$work/token.img" &
pid=$!
for _ in $(seq 200); do
  [ -S "$sockets/VUXADRVR" ] && break
  kill -0 "$pid" 2>/dev/null || { echo "vuxad did not start" >&2; exit 1; }
  sleep 0.05
done
echo

status=0
VUXA_DEVICE_DIR=$sockets "$demo" || status=$?

kill -TERM "$pid"
wait "$pid" || true
pid=""
cat <<TEXT

vuxad stopped and the temporary directory is gone.  To try it by hand:
  $vuxad --dir /tmp/vuxa --new /tmp/token.img &
  VUXA_DEVICE_DIR=/tmp/vuxa $demo
(later runs: leave out --new to serve the same token again).
More: docs/vuxad.md (the daemon), docs/virtual-token.md (the token).
TEXT
exit $status

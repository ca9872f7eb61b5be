#!/usr/bin/env bash
# Runs Windows test programs under Wine in a private prefix, with the
# virtual token's kernel driver installed as a service.
#
#   wine_run.sh WORKDIR [--driver FILE.sys] [--before-driver PROGRAM]... [PROGRAM]...
#
# Makes a new prefix in WORKDIR/prefix, keeps one wineserver session alive
# for the whole run, runs the --before-driver programs, installs and starts
# the driver (when given), runs the other programs, and stops the session.
# Each program's output goes to WORKDIR/logs/NAME.log (a pipe hangs while
# the session is persistent); a failing step prints the tail of its log.
set -euo pipefail

[ $# -ge 1 ] || { echo "usage: $0 WORKDIR [--driver FILE.sys] [--before-driver PROGRAM]... [PROGRAM]..." >&2; exit 2; }
work=$(realpath -m "$1")
shift
driver=""
before=()
after=()
while [ $# -gt 0 ]; do
  case $1 in
    --driver) driver=$(realpath "$2"); shift 2 ;;
    --before-driver) before+=("$(realpath "$2")"); shift 2 ;;
    *) after+=("$(realpath "$1")"); shift ;;
  esac
done

# wine64 itself, not the wrapper that looks for the 32-bit loader first.
if command -v wine64 >/dev/null; then
  wine=$(command -v wine64)
elif [ -x /usr/lib/wine/wine64 ]; then
  wine=/usr/lib/wine/wine64
elif command -v wine >/dev/null; then
  wine=$(command -v wine)
else
  echo "wine_run: wine is not installed" >&2
  exit 1
fi
wineserver=$(command -v wineserver || ls /usr/lib/wine/wineserver64 2>/dev/null) ||
  { echo "wine_run: wineserver is not installed" >&2; exit 1; }

# No display, no Mono or Gecko installers, no desktop menu entries.
export WINEPREFIX="$work/prefix" WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
unset DISPLAY WAYLAND_DISPLAY
logs="$work/logs"
step_timeout=${WINE_RUN_STEP_TIMEOUT:-300}

stop_session() { "$wineserver" -k >/dev/null 2>&1 || true; }

# step NAME COMMAND...: runs COMMAND with its output in logs/NAME.log.
step() {
  local name=$1 status=0
  shift
  timeout "$step_timeout" "$@" >"$logs/$name.log" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    echo "wine_run: $name failed (exit status $status); the end of $logs/$name.log:"
    tail -n 60 "$logs/$name.log"
  fi
  return "$status"
}

run_program() {
  local program=$1 name
  name=$(basename "$program" .exe)
  step "$name" "$wine" "$program" || return 1
  echo "wine_run: $name: $(grep -E '^\[  (PASSED|FAILED|SKIPPED) ' "$logs/$name.log" | tr '\n' ' ')"
}

start=$SECONDS
stop_session
rm -rf "$WINEPREFIX" "$logs"
mkdir -p "$logs"
trap stop_session EXIT

# The persistent server must start after the prefix exists: make the prefix,
# wait until its first server has gone, then start the one that stays.
step wineboot "$wine" wineboot -i
"$wineserver" -w
"$wineserver" -p
echo "wine_run: prefix ready after $((SECONDS - start)) s"

failed=0
for program in ${before[@]+"${before[@]}"}; do
  run_program "$program" || failed=1
done

if [ -n "$driver" ]; then
  cp "$driver" "$WINEPREFIX/drive_c/windows/system32/drivers/vuxadrv.sys"
  step sc-create "$wine" sc create VUXADRVR type= kernel start= demand \
    binPath= 'C:\windows\system32\drivers\vuxadrv.sys'
  step sc-start "$wine" sc start VUXADRVR
  echo "wine_run: driver started after $((SECONDS - start)) s"
fi

for program in ${after[@]+"${after[@]}"}; do
  run_program "$program" || failed=1
done

stop_session
echo "wine_run: finished in $((SECONDS - start)) s"
exit "$failed"

#!/usr/bin/env bash
# The real program, on a virtual display, killed with SIGSEGV from outside:
# it must die of that signal and leave its report, its tree copies and the
# log line behind.
set -u
program="$1"
work="$(mktemp -d)"
trap 'kill "$xvfb" 2>/dev/null; rm -rf "$work"' EXIT
cd "$work" || exit 1

Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>display.txt 2>/dev/null &
xvfb=$!
for _ in $(seq 1 100); do [ -s display.txt ] && break; sleep 0.1; done
[ -s display.txt ] || { echo "no display"; exit 1; }

ulimit -c 0
# A folder that holds config.xml is the program's working folder (else it moves to the
# per-user one); HOME points here too, so nothing lands in the real home folder.
printf '<?xml version="1.0"?>\n<m>\n</m>\n' >config.xml
mkdir -p home
HOME="$work/home" XDG_DATA_HOME="$work/home/.local/share" DISPLAY=":$(cat display.txt)" "$program" >out.txt 2>err.txt &
app=$!
started=0
for _ in $(seq 1 120); do
  if grep -qs 'internal version' log/global_*.log; then started=1; break; fi
  sleep 0.5
done
[ "$started" = 1 ] || { echo "program did not start"; cat err.txt; kill -KILL "$app"; exit 1; }

kill -SEGV "$app"
wait "$app"
status=$?

fail=0
check() { if ! eval "$2"; then echo "FAIL: $1"; fail=1; fi; }
check "ends by SIGSEGV (status 139, got $status)" '[ "$status" = 139 ]'
check "report on stdout" 'grep -q "^Exception Code :c0000005 ACCESS_VIOLATION" out.txt'
check "resolved stack on stdout" 'grep -q "^Show CallStack:" out.txt'
check "crash line in the day log" 'grep -q "\]crash thread: [0-9]*, main thread: [0-9]*$" log/global_*.log'
for branch in config wnd project; do
  check "crash/$branch.icex written" 'grep -q "<m" crash/$branch.icex'
done
[ "$fail" = 0 ] || { echo "--- stdout"; head -40 out.txt; echo "--- stderr"; tail -20 err.txt; }
exit "$fail"

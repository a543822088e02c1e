#!/usr/bin/env bash
# Builds the program and starts it against the simulated adapter with three
# motors. Installs what is missing first (scripts/install-deps.sh).
#
# The program runs in ./run/, which holds i18n/ and instruction.pdf and gets
# config.xml, log/ and crash/. The simulator's port is offered through
# SERVOBENCH_PORTS, and the program connects by itself: the script switches on
# the settings "Auto connect COM" and "Enable multiple devices" in
# run/config.xml (this folder only; the shipped settings are unchanged), and
# starts the program with --open-param-table, so the first screen shows the
# three motors, the first motor current with its parameter table read from the
# motor, and the motion panel. Without a display the program runs under Xvfb
# with --screenshots: it saves run/screenshot.png, then records the first
# motor's oscilloscope (the simulated motor follows a slow sine meanwhile),
# saves run/screenshot-scope.png and ends by itself.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

./scripts/install-deps.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
targets=(servobench)
have_target() { ninja -C build -t targets all 2>/dev/null | grep -q "^$1:"; }
have_target servobench-sim && targets+=(servobench-sim)
have_target servobench_manual && targets+=(servobench_manual)
cmake --build build -j "$(nproc)" --target "${targets[@]}"

run="$root/run"
mkdir -p "$run/i18n"
cp build/i18n/*.qm "$run/i18n/"
if [ -f build/instruction.pdf ]; then
  cp build/instruction.pdf "$run/instruction.pdf"
fi

# Connect at start (the first port offered: a plugged-in adapter, else the
# simulator) and keep every motor found.
settings=(auto_connect enable_multiple_devices)
if [ -f "$run/config.xml" ]; then
  for key in "${settings[@]}"; do
    if grep -q "<c name=\"$key\" " "$run/config.xml"; then
      sed -i "s|<c name=\"$key\" type=\"1\" value=\"false\"/>|<c name=\"$key\" type=\"1\" value=\"true\"/>|" "$run/config.xml"
    elif grep -q '<c name="setting">' "$run/config.xml"; then
      sed -i "s|<c name=\"setting\">|<c name=\"setting\">\n        <c name=\"$key\" type=\"1\" value=\"true\"/>|" "$run/config.xml"
    else
      sed -i "s|^<m>|<m>\n    <c name=\"setting\">\n        <c name=\"$key\" type=\"1\" value=\"true\"/>\n    </c>|" "$run/config.xml"
    fi
  done
else
  {
    printf '<?xml version="1.0"?>\n<m>\n  <c name="setting">\n'
    for key in "${settings[@]}"; do
      printf '    <c name="%s" type="1" value="true"/>\n' "$key"
    done
    printf '  </c>\n</m>\n'
  } >"$run/config.xml"
fi

sim_pid=""
cleanup() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
}
trap cleanup EXIT

port="$run/ttyservobench"
if [ -x build/sim/servobench-sim ]; then
  rm -f "$port"
  build/sim/servobench-sim --motors 3 --link "$port" >"$run/sim.out" 2>&1 &
  sim_pid=$!
  for _ in $(seq 50); do
    [ -e "$port" ] && break
    sleep 0.1
  done
  if [ ! -e "$port" ]; then
    echo "run: the simulator did not start:" >&2
    cat "$run/sim.out" >&2
    exit 1
  fi
  echo "run: simulator with three motors on $port ($(head -n1 "$run/sim.out"))"
  export SERVOBENCH_PORTS="$port${SERVOBENCH_PORTS:+:$SERVOBENCH_PORTS}"
else
  echo "run: servobench-sim is not part of this checkout yet; starting without the simulator"
fi

exe="$root/build/bin/servobench"
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  # Not exec: the simulator is stopped when the program ends.
  cd "$run"
  status=0
  "$exe" --open-param-table || status=$?
  exit "$status"
fi

# No display: run under Xvfb; the program takes both screenshots, stops its
# recording and ends through File > Exit's path, so it writes its settings.
echo "run: no display; running under Xvfb"
cd "$run"
rm -f screenshot.png screenshot-scope.png
status=0
timeout 180 xvfb-run -a -s "-screen 0 1400x900x24 -dpi 96" \
  "$exe" --screenshots "$run" >program.out 2>&1 || status=$?
for shot in screenshot.png screenshot-scope.png; do
  [ -f "$shot" ] && echo "run: screenshot saved to run/$shot"
done
if [ "$status" -ne 0 ]; then
  echo "run: the program ended with status $status:" >&2
  tail -n 20 program.out >&2
  exit 1
fi

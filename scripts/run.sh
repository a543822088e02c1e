#!/usr/bin/env bash
# Builds the program and starts it against the simulated adapter with three
# motors. Installs what is missing first (scripts/install-deps.sh).
#
# The program runs in ./run/, which holds i18n/ and instruction.pdf and gets
# config.xml, log/ and crash/. The simulator's port is offered through
# SERVOBENCH_PORTS, and the program connects by itself: the script switches on
# the setting "Auto connect COM" in run/config.xml and keeps the shipped
# settings otherwise, so the first screen shows the first motor, its parameter
# table filled from the motor and the motion panel (the other two motors are
# refused until "Enable multiple devices" is ticked). Without a display the program runs
# under Xvfb, a screenshot is saved to run/screenshot.png and the script ends
# by itself.
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
# simulator). With one motor kept, connecting opens its parameter table.
settings=(auto_connect)
if [ -f "$run/config.xml" ]; then
  for key in "${settings[@]}"; do
    sed -i "s|<c name=\"$key\" type=\"1\" value=\"false\"/>|<c name=\"$key\" type=\"1\" value=\"true\"/>|" "$run/config.xml"
  done
  sed -i 's|<c name="enable_multiple_devices" type="1" value="true"/>|<c name="enable_multiple_devices" type="1" value="false"/>|' "$run/config.xml"
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
  cd "$run"
  exec "$exe"
fi

# No display: run under Xvfb, wait for the window, take a screenshot, then end
# the program through its File > Exit shortcut so it writes its configuration.
echo "run: no display; running under Xvfb"
cd "$run"
xvfb-run -a -s "-screen 0 1400x900x24 -dpi 96" sh -c '
  "$1" >program.out 2>&1 &
  pid=$!
  if command -v xdotool >/dev/null 2>&1; then
    timeout 30 xdotool search --sync --onlyvisible --name Torqlet >/dev/null 2>&1 || true
  fi
  # Time to connect, scan the bus, draw the device tree and load the table.
  sleep 8
  import -window root screenshot.png
  if command -v xdotool >/dev/null 2>&1; then
    xdotool search --onlyvisible --name Torqlet windowfocus --sync key --clearmodifiers ctrl+q >/dev/null 2>&1 || true
  fi
  for _ in 1 2 3 4 5 6 7 8 9 10; do kill -0 "$pid" 2>/dev/null || break; sleep 0.5; done
  kill "$pid" 2>/dev/null || true
  wait "$pid" || true
' sh "$exe"
echo "run: screenshot saved to run/screenshot.png"

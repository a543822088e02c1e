#!/usr/bin/env bash
# Takes the manual's screenshots from the real program under Xvfb:
#   docs/screenshots.sh [build-dir]
# Writes docs/images/main-zh_CN.png, main-en.png, settings-menu.png, about.png
# help-page.png and, against three simulated motors, main-connected.png and
# main-oscilloscope.png (the program's own --screenshots run, as the run
# command takes them). Needs xvfb-run, xdotool and ImageMagick's import.
set -euo pipefail
docs=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$docs/../build}" && pwd)
exe="$build/bin/servobench"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# shot LANGUAGE OUTPUT [ACTION]: starts the program in a fresh directory,
# optionally clicks through ACTION, grabs the window area and exits.
shot() {
  local lang=$1 out=$2 action=${3:-none}
  local dir="$work/$lang-$action"
  mkdir -p "$dir/i18n"
  cp "$build"/i18n/*.qm "$dir/i18n/"
  [ -f "$build/instruction.pdf" ] && cp "$build/instruction.pdf" "$dir/"
  # "connected": the program connects by itself to the simulator, keeps every motor and
  # takes its own pictures: the first motor's table, then its oscilloscope recording.
  local settings=""
  if [ "$action" = connected ]; then
    settings='  <c name="setting">\n    <c name="auto_connect" type="1" value="true"/>\n    <c name="enable_multiple_devices" type="1" value="true"/>\n  </c>\n'
  fi
  printf "<?xml version=\"1.0\"?>\n<m>\n  <c name=\"language\" type=\"10\" value=\"%s\"/>\n$settings</m>\n" "$lang" >"$dir/config.xml"
  if [ "$action" = connected ]; then
    (cd "$dir" && timeout 180 xvfb-run -a -s "-screen 0 1280x800x24 -dpi 96" \
      "$exe" --screenshots "$dir/shots" >program.out 2>&1) || {
      echo "screenshots: the connected run failed:" >&2
      tail -n 20 "$dir/program.out" >&2
      return 1
    }
    cp "$dir/shots/screenshot.png" "$docs/images/$out"
    cp "$dir/shots/screenshot-scope.png" "$docs/images/main-oscilloscope.png"
    echo "screenshots: $out main-oscilloscope.png"
    return 0
  fi
  (cd "$dir" && xvfb-run -a -s "-screen 0 1280x800x24 -dpi 96" sh -c '
    "$1" >program.out 2>&1 &
    pid=$!
    win=$(timeout 30 xdotool search --sync --onlyvisible --name Torqlet | head -n1)
    xdotool windowfocus --sync "$win" >/dev/null 2>&1 || true
    sleep 1.5
    case "$2" in
      settings) xdotool mousemove 1143 16 click 1 ;;
      about) xdotool mousemove 190 16 click 1; sleep 0.5; xdotool mousemove 120 52 click 1 ;;
      help) xdotool mousemove 190 16 click 1; sleep 0.5; xdotool mousemove 40 52 click 1; sleep 4 ;;
    esac
    sleep 1
    import -window root -crop 1280x800+0+0 +repage "$3"
    xdotool key --clearmodifiers Escape >/dev/null 2>&1 || true
    xdotool windowfocus --sync "$win" key --clearmodifiers ctrl+q >/dev/null 2>&1 || true
    for _ in 1 2 3 4 5 6 7 8 9 10; do kill -0 "$pid" 2>/dev/null || break; sleep 0.5; done
    kill "$pid" 2>/dev/null || true
    wait "$pid" || true
  ' sh "$exe" "$action" "$docs/images/$out")
  echo "screenshots: $out"
}

# Three simulated motors for the "connected" shots.
sim_pid=""
if [ -x "$build/sim/servobench-sim" ]; then
  "$build/sim/servobench-sim" --motors 3 --link "$work/tty" >"$work/sim.out" 2>&1 &
  sim_pid=$!
  trap 'kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null; rm -rf "$work"' EXIT
  for _ in $(seq 50); do [ -e "$work/tty" ] && break; sleep 0.1; done
  export SERVOBENCH_PORTS="$work/tty"
fi

shot zh_CN main-zh_CN.png
shot en main-en.png
shot en settings-menu.png settings
shot zh_CN settings-menu-zh_CN.png settings
shot en about.png about
shot en help-page.png help
if [ -n "$sim_pid" ]; then
  shot en main-connected.png connected
fi

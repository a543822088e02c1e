#!/usr/bin/env bash
# Builds the Debian package from this build tree, unpacks it into a throw-away
# root and uses what it installed: the file list, the command-line programs
# talking to each other over a pseudo-terminal, and the desktop program
# started the way the menu starts it (empty folder, fresh home), which must
# find its installed translation and keep its files in the per-user folder.
#   package_test.sh BUILD_DIR
set -uo pipefail
build=$1
src=$(cd "$(dirname "$0")/../.." && pwd)
tmp=$(mktemp -d)
sim_pid=""
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
need() { command -v "$1" >/dev/null || { echo "SKIP: $1 is missing (scripts/install-deps.sh)"; exit 77; }; }
need cpack
need dpkg-deb
need dpkg-shlibdeps

# --- the package ----------------------------------------------------------------------------
if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$tmp/out" >"$tmp/cpack.log" 2>&1; then
  cat "$tmp/cpack.log" >&2
  echo "FAIL: cpack" >&2
  exit 1
fi
debs=("$tmp"/out/servobench_*_*.deb)
deb=${debs[0]}
[ -f "$deb" ] || { echo "FAIL: no servobench_*.deb in $tmp/out" >&2; exit 1; }

depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt5core5a libqt5serialport5 libqt5widgets5 libqt5webenginewidgets5; do
  [[ $depends == *"$lib "* ]] || fail "Depends lacks $lib (dpkg-shlibdeps): $depends"
done
# The private library is off the loader's path: no ldconfig scripts, none at all.
if dpkg-deb --ctrl-tarfile "$deb" | tar -t | grep -Eq 'postinst|postrm|preinst|prerm'; then
  fail "the package has maintainer scripts"
fi

# The Maintainer and the copyright are the configured ones, placeholders filled in.
maintainer=$(sed -n 's/^SERVOBENCH_PACKAGE_MAINTAINER:[A-Z]*=//p' "$build/CMakeCache.txt")
[ "$(dpkg-deb -f "$deb" Maintainer)" = "$maintainer" ] \
  || fail "Maintainer field '$(dpkg-deb -f "$deb" Maintainer)' is not the configured '$maintainer'"

root=$tmp/root
dpkg-deb -x "$deb" "$root"
zcat "$root/usr/share/doc/servobench/changelog.gz" | grep -qF -- " -- $maintainer  " \
  || fail "the changelog is not signed by the configured maintainer"
if grep -E '@[A-Z_]+@' "$root/usr/share/doc/servobench/copyright"; then fail "copyright file not filled in"; fi
(cd "$root" && find . -type f -o -type l | sed 's|^\./||' | sort) >"$tmp/files"
for f in \
  usr/bin/servobench usr/bin/servobench-cli usr/bin/servobench-sim \
  usr/share/servobench/i18n/zh_CN.qm usr/share/servobench/instruction.pdf \
  usr/share/applications/servobench.desktop usr/share/metainfo/servobench.metainfo.xml \
  usr/share/icons/hicolor/scalable/apps/servobench.svg usr/share/icons/hicolor/256x256/apps/servobench.png \
  usr/lib/udev/rules.d/70-servobench.rules usr/share/bash-completion/completions/servobench-cli \
  usr/share/man/man1/servobench.1.gz usr/share/man/man1/servobench-cli.1.gz \
  usr/share/man/man1/servobench-sim.1.gz usr/share/doc/servobench/copyright \
  usr/share/doc/servobench/changelog.gz; do
  grep -qx "$f" "$tmp/files" || fail "missing from the package: $f"
done
# Only what a user needs: nothing outside /usr, no headers, archives or tests.
if grep -Ev '^usr/' "$tmp/files"; then fail "files outside /usr"; fi
if grep -E '(^usr/include/|\.a$|_tests$|/cmake/)' "$tmp/files"; then fail "build leftovers in the package"; fi
grep -q 'TAG+="uaccess"' "$root/usr/lib/udev/rules.d/70-servobench.rules" || fail "udev rule without uaccess"
grep -Eq '^[^#]*ID_MM_DEVICE_IGNORE' "$root/usr/lib/udev/rules.d/70-servobench.rules" \
  || fail "udev rule does not keep ModemManager away"

if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$root/usr/share/applications/servobench.desktop" || fail "desktop entry"
fi
if command -v appstreamcli >/dev/null; then
  # The id is the program's name: the project has no domain for a reverse-DNS one.
  appstreamcli validate --no-net "$root/usr/share/metainfo/servobench.metainfo.xml" >"$tmp/as.log" 2>&1
  if grep -E '^E:' "$tmp/as.log"; then fail "AppStream metainfo"; fi
fi
if command -v lintian >/dev/null; then
  lintian --fail-on error --suppress-tags bogus-mail-host,bogus-mail-host-in-debian-changelog \
    "$deb" 2>/dev/null || fail "lintian reports errors"
fi

# --- the copyright file for each licence choice (how a distributor configures it) ----------
copyright() { cmake -DIN="$src/packaging/copyright.in" -DOUT="$tmp/copyright" -DHOLDER="2026 A Holder" "$@" \
  -P "$src/packaging/WriteCopyright.cmake" >"$tmp/copyright.log" 2>&1; }
rm -f "$tmp/copyright"
copyright && grep -q 'all rights are reserved by 2026 A Holder' "$tmp/copyright" \
  || fail "no licence: $(cat "$tmp/copyright.log" "$tmp/copyright" 2>/dev/null)"
printf 'Permission is granted; to anyone.\r\n\r\nNO WARRANTY.  \n\n' >"$tmp/LICENSE"
copyright -DLICENSE=MIT -DLICENSE_FILE="$tmp/LICENSE" \
  && [ "$(sed -n '/^License: MIT$/,/^$/p' "$tmp/copyright")" = "$(printf 'License: MIT\n Permission is granted; to anyone.\n .\n NO WARRANTY.\n')" ] \
  || fail "licence text: $(cat "$tmp/copyright.log" "$tmp/copyright" 2>/dev/null)"
if [ -f /usr/share/common-licenses/GPL-3 ]; then
  copyright -DLICENSE=GPL-3.0-or-later && grep -qx '/usr/share/common-licenses/GPL-3.' "$tmp/copyright" \
    || fail "GPL-3.0-or-later: $(cat "$tmp/copyright.log" "$tmp/copyright" 2>/dev/null)"
fi
# A licence without its terms, or a name that is not one, is refused with the reason.
rm -f "$tmp/copyright"
if copyright -DLICENSE=MIT || [ -e "$tmp/copyright" ] || ! grep -q SERVOBENCH_PACKAGE_LICENSE_FILE "$tmp/copyright.log"; then
  fail "MIT without its text was accepted: $(cat "$tmp/copyright.log")"
fi
if copyright '-DLICENSE=MIT</x>' || ! grep -q 'not an SPDX' "$tmp/copyright.log"; then
  fail "a malformed licence name was accepted: $(cat "$tmp/copyright.log")"
fi

# --- the installed command-line programs ---------------------------------------------------
bin=$root/usr/bin
mkdir "$tmp/cwd"
cd "$tmp/cwd"
unset LD_LIBRARY_PATH SERVOBENCH_PORTS
"$bin/servobench-cli" --help >"$tmp/cli-help" 2>&1 || fail "servobench-cli --help: exit $?"
grep -q '^Usage: servobench-cli' "$tmp/cli-help" || fail "servobench-cli --help: $(head -c 300 "$tmp/cli-help")"
"$bin/servobench-sim" --help >"$tmp/sim-help" 2>&1 || fail "servobench-sim --help: exit $?"
grep -q -- '--motors' "$tmp/sim-help" || fail "servobench-sim --help: $(head -c 300 "$tmp/sim-help")"

# The two installed programs find each other over a real pseudo-terminal.
"$bin/servobench-sim" --motors 3 --link "$tmp/tty" >"$tmp/sim.out" 2>&1 &
sim_pid=$!
for _ in $(seq 100); do [ -e "$tmp/tty" ] && break; sleep 0.1; done
if SERVOBENCH_PORTS=$tmp/tty timeout 60 "$bin/servobench-cli" scan --timeout 10000 >"$tmp/scan" 2>&1; then
  motors=$(grep -cE '^[0-9]+[[:space:]]+0x[0-9a-f]{16}$' "$tmp/scan")
  [ "$motors" -eq 3 ] || fail "installed scan did not list the three motors: $(cat "$tmp/scan")"
else
  fail "installed servobench-cli scan: $(cat "$tmp/scan") / $(cat "$tmp/sim.out")"
fi
kill "$sim_pid" 2>/dev/null
wait "$sim_pid" 2>/dev/null
sim_pid=""

# --- the installed desktop program, started as the menu starts it --------------------------
if command -v xvfb-run >/dev/null && command -v xdotool >/dev/null; then
  mkdir "$tmp/start" "$tmp/home" "$tmp/runtime"
  chmod 700 "$tmp/runtime"
  cd "$tmp/start"
  env -u XDG_DATA_HOME -u QT_QPA_PLATFORM HOME="$tmp/home" XDG_RUNTIME_DIR="$tmp/runtime" \
    timeout 120 xvfb-run -a sh -c '
      "$1" >"$2" 2>&1 &
      pid=$!
      xdotool search --sync --onlyvisible --name Torqlet windowfocus --sync \
        key --clearmodifiers ctrl+q >/dev/null 2>&1
      wait $pid' sh "$bin/servobench" "$tmp/program.out"
  code=$?
  [ "$code" -eq 0 ] || fail "installed servobench exited with $code: $(head -c 500 "$tmp/program.out")"
  work=$tmp/home/.local/share/servobench
  log=$(cat "$work"/log/global_*.log 2>/dev/null)
  [[ $log == *"internal version: "* ]] || fail "no log in the per-user folder $work: $log"
  [[ $log != *"no language"* && $log != *"load language"* ]] || fail "translation not found: $log"
  grep -q 'name="language" type="10" value="zh_CN"' "$work/config.xml" 2>/dev/null \
    || fail "config.xml not written to the per-user folder"
  [ -z "$(ls -A "$tmp/start")" ] || fail "files in the start folder: $(ls -A "$tmp/start")"
  other=$(cd "$tmp/home" && find . -mindepth 1 -not -path './.cache*' -not -path './.local' \
    -not -path './.local/share' -not -path './.local/share/servobench*')
  [ -z "$other" ] || fail "files outside the per-user folder: $other"
else
  echo "note: xvfb-run or xdotool missing; the desktop program was not started"
fi

[ "$failures" -eq 0 ] || exit 1
echo "package test passed: $(basename "$deb"), $(wc -l <"$tmp/files") files"

#!/usr/bin/env bash
# Builds the Debian package servobench_<version>_<arch>.deb in the top folder
# from the normal build in build/ (only the installed targets are built, so a
# tree that ran the tests rebuilds nothing), and checks it with lintian.
# Installs what is missing first (scripts/install-deps.sh).
#
#   scripts/package.sh
#   sudo apt install ./servobench_*.deb
#
# For a package that is handed out, say who maintains it and under which terms
# (kept in build/CMakeCache.txt for later runs until given again):
#   SERVOBENCH_MAINTAINER="Name <address>"   the Maintainer field and changelog
#   SERVOBENCH_COPYRIGHT="2026 Name"          the copyright holder
#   SERVOBENCH_LICENSE=GPL-3.0-or-later       SPDX name of the licence
#   SERVOBENCH_LICENSE_FILE=path/LICENSE      its text, unless Debian ships it
#                                             in /usr/share/common-licenses
# Without them the package carries placeholders (an address in the reserved
# .invalid domain, "all rights reserved") and the script says so.
set -euo pipefail
# A licence file named relative to where the script was started.
license_file=""
if [ -n "${SERVOBENCH_LICENSE_FILE:-}" ]; then
  license_file=$(realpath -e -- "$SERVOBENCH_LICENSE_FILE") || {
    echo "package: SERVOBENCH_LICENSE_FILE=$SERVOBENCH_LICENSE_FILE does not exist" >&2
    exit 2
  }
fi
cd "$(dirname "$0")/.."
root=$(pwd)

./scripts/install-deps.sh

config=(-G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo)
if [ -n "${SERVOBENCH_MAINTAINER:-}" ]; then
  config+=("-DSERVOBENCH_PACKAGE_MAINTAINER=$SERVOBENCH_MAINTAINER")
fi
if [ -n "${SERVOBENCH_COPYRIGHT:-}" ]; then
  config+=("-DSERVOBENCH_PACKAGE_COPYRIGHT=$SERVOBENCH_COPYRIGHT")
fi
if [ -n "${SERVOBENCH_LICENSE:-}" ]; then
  config+=("-DSERVOBENCH_PACKAGE_LICENSE=$SERVOBENCH_LICENSE")
fi
if [ -n "$license_file" ]; then
  config+=("-DSERVOBENCH_PACKAGE_LICENSE_FILE=$license_file")
fi
cmake -S . -B build "${config[@]}" >/dev/null
cmake --build build -j "$(nproc)" --target \
  servobench servobench-cli servobench-sim servobench_translations servobench_manual \
  servobench_man servobench_changelog servobench_copyright servobench_icon
cached() { sed -n "s/^$1:[A-Z]*=//p" build/CMakeCache.txt; }
maintainer=$(cached SERVOBENCH_PACKAGE_MAINTAINER)
license=$(cached SERVOBENCH_PACKAGE_LICENSE)

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
(cd build && cpack -G DEB -B "$out" >/dev/null)
debs=("$out"/servobench_*.deb)
deb=${debs[0]}
cp "$deb" "$root/"
name=$(basename "$deb")

# Errors fail the script; the placeholder address is the one error expected
# of a package nobody has claimed yet, and it is reported below instead.
suppress=()
if [[ $maintainer == *@*.invalid\> ]]; then
  suppress=(--suppress-tags bogus-mail-host,bogus-mail-host-in-debian-changelog)
fi
lintian --fail-on error "${suppress[@]}" "$root/$name" 2> >(grep -v 'running with root privileges' >&2)
echo "package: $name ($(du -h "$root/$name" | cut -f1)); install it with: sudo apt install ./$name"
if [ ${#suppress[@]} -gt 0 ]; then
  echo "package: note: the Maintainer is the placeholder '$maintainer';" \
    "set SERVOBENCH_MAINTAINER=\"Name <address>\" for a package you hand out" >&2
fi
if [ -z "$license" ]; then
  echo "package: note: no licence is set, so the copyright file says all rights are reserved;" \
    "set SERVOBENCH_LICENSE (and SERVOBENCH_LICENSE_FILE) for a package you hand out" >&2
fi

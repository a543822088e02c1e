#!/usr/bin/env bash
# Builds the Debian package servobench_<version>_<arch>.deb in the top folder
# from the normal build in build/ (only the installed targets are built, so a
# tree that ran the tests rebuilds nothing), and checks it with lintian.
# Installs what is missing first (scripts/install-deps.sh).
#
#   scripts/package.sh
#   sudo apt install ./servobench_*.deb
#
# The package's Maintainer field: SERVOBENCH_MAINTAINER="Name <address>".
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

./scripts/install-deps.sh

config=(-G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo)
if [ -n "${SERVOBENCH_MAINTAINER:-}" ]; then
  config+=("-DSERVOBENCH_PACKAGE_MAINTAINER=$SERVOBENCH_MAINTAINER")
fi
cmake -S . -B build "${config[@]}" >/dev/null
cmake --build build -j "$(nproc)" --target \
  servobench servobench-cli servobench-sim servobench_translations servobench_manual \
  servobench_man servobench_changelog servobench_icon

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
(cd build && cpack -G DEB -B "$out" >/dev/null)
debs=("$out"/servobench_*.deb)
deb=${debs[0]}
cp "$deb" "$root/"
name=$(basename "$deb")

# Errors fail the script. The project has no public mail address yet: unless
# one is given, the placeholder in the Maintainer field is not an error here.
suppress=()
if [ -z "${SERVOBENCH_MAINTAINER:-}" ]; then
  suppress=(--suppress-tags bogus-mail-host,bogus-mail-host-in-debian-changelog)
fi
lintian --fail-on error "${suppress[@]}" "$root/$name" 2> >(grep -v 'running with root privileges' >&2)
echo "package: $name ($(du -h "$root/$name" | cut -f1)); install it with: sudo apt install ./$name"

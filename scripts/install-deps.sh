#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and run.
# Idempotent: packages that are already installed are skipped, so a second
# run does no network work. Works as root, or as a normal user through sudo.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build pkg-config ccache clang-format
  # Qt 5.15 and the libraries the program links
  qtbase5-dev libqt5serialport5-dev libqt5svg5-dev qttools5-dev qttools5-dev-tools
  qtwebengine5-dev libqcustomplot-dev libxlsxwriter-dev libbackward-cpp-dev libdw-dev zlib1g-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # reading an exported workbook back in the export test; the TLS test's certificate
  python3-openpyxl openssl
  # running the program without a display, driving and photographing it, the fonts the
  # program ships (Open Sans as "Nordsans") and those for the Chinese texts, Qt's own
  # Chinese texts
  xvfb xauth xdotool imagemagick librsvg2-bin fonts-open-sans fonts-noto-cjk fonts-dejavu-core
  qttranslations5-l10n
  # the Debian package and its checks (scripts/package.sh, tests/package)
  dpkg-dev lintian help2man desktop-file-utils appstream
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
  SUDO=()
elif command -v sudo >/dev/null 2>&1; then
  SUDO=(sudo)
else
  echo "install-deps: need root or sudo to install: ${missing[*]}" >&2
  exit 1
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${SUDO[@]}" apt-get update -qq
"${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"

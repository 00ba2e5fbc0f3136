#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build, run and test the program. Idempotent: packages
# already present are not touched, and apt-get runs only when something is missing. With --fuzz it also
# installs the clang toolchain and libFuzzer that the fuzz preset builds with.
set -euo pipefail

packages=(
    g++ cmake ninja-build pkg-config ccache clang-format
    qt6-base-dev libqt6opengl6-dev libxkbcommon-dev libgl-dev qt6-charts-dev qt6-svg-dev qt6-qpa-plugins
    qt6-translations-l10n
    libxlsxwriter-dev zlib1g-dev libusb-dev libusb-0.1-4 nlohmann-json3-dev
    libgtest-dev libbenchmark-dev
    # The USB stack tests: the system's libusb-0.1 against the instrument emulated at usbfs.
    umockdev libumockdev-dev
    libudev-dev # noticing the instrument: udev's monitor
    xvfb xauth poppler-utils python3-openpyxl fonts-dejavu-core tzdata
    # The workbook test builds the ru_RU and de_DE locales from these sources with localedef.
    locales
    desktop-file-utils shared-mime-info dpkg-dev file lintian appstream
    # The history store (Qt SQL drivers), its tests' PostgreSQL server and the bench's direct SQLite run.
    libqt6sql6-sqlite libqt6sql6-psql postgresql postgresql-common libsqlite3-dev
    # test.sh lists the sources to format-check with git.
    git
)
if [ "${1:-}" = "--fuzz" ]; then
    packages+=(clang-16 libclang-rt-16-dev libfuzzer-16-dev)
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}" >&2
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null

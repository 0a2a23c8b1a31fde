#!/usr/bin/env bash
# Installs the Debian 12 packages Tambrel needs to build, test and run, when they are missing.
# Safe to run again: it does nothing when everything is present.
set -euo pipefail

packages=(
    # build and test
    build-essential cmake ninja-build pkg-config
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    nlohmann-json3-dev libcli11-dev libxml2-dev
    clang libclang-rt-14-dev clang-format
    # Qt 6 Widgets with printing and SVG, and the metric-compatible fonts for Arial, Times and Courier
    qt6-base-dev qt6-svg-dev libgl-dev libglx-dev libopengl-dev libcups2
    fontconfig fonts-liberation2 fonts-dejavu-core
    # headless screenshots and PDF pages turned into pictures
    xvfb xauth poppler-utils
    # outside readers that check our dBase files in the tests
    python3 python3-dbfread libdbd-xbase-perl
    # the desktop entry and the software-centre description are checked by the tests
    desktop-file-utils appstream
)

# `--packaging` adds what making and checking the Debian package needs; `--clean-root` adds
# what building a clean Debian root for trying the package needs.
for option in "$@"; do
    case "$option" in
    --packaging) packages+=(dpkg-dev lintian desktop-file-utils appstream) ;;
    --clean-root) packages+=(debootstrap) ;;
    *) echo "install-deps.sh: unknown option $option" >&2; exit 2 ;;
    esac
done

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"

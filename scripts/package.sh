#!/usr/bin/env bash
# Makes the Debian package from the stripped release build and checks it as Debian would:
# lintian (no errors), the desktop entry and the software-centre description.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --packaging
cmake --preset release >/dev/null
cmake --build --preset release --target tambrel tambrel-cli tambrel_desktop_files
rm -f build/release/tambrel_*.deb
(cd build/release && cpack -G DEB >/dev/null)
deb=$(ls build/release/tambrel_*.deb)
desktop-file-validate app/desktop/tambrel.desktop
appstreamcli validate --no-net app/desktop/org.tambrel.Tambrel.metainfo.xml
lintian --fail-on error "$deb"
echo "Package: $deb"

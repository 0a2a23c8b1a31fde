#!/usr/bin/env bash
# Tries the Debian package on a clean Debian 12: makes a minimal root with debootstrap, installs
# the package there with apt as a ringer would, then as an ordinary user runs the command-line
# tool and starts the desktop entry's Exec line under xvfb-run. Takes several minutes and needs
# the network and root, so it is run by hand:
#     scripts/package.sh && sudo scripts/try-clean-install.sh [PACKAGE.deb]
set -euo pipefail
cd "$(dirname "$0")/.."
deb=$(realpath "${1:-$(ls build/release/tambrel_*.deb | head -1)}")
scripts/install-deps.sh --clean-root

root=$(mktemp -d /var/tmp/tambrel-root.XXXXXX)
chmod 755 "$root" # mktemp makes it private; the ringer inside must reach /home
cleanup() {
    for m in dev/pts dev proc; do
        umount "$root/$m" 2>/dev/null || umount -l "$root/$m" 2>/dev/null || true
    done
    # Never remove the root while anything is still mounted inside it.
    if ! findmnt -rn -o TARGET | grep -q "^$root/"; then
        rm -rf "$root"
    else
        echo "left $root in place: something is still mounted there" >&2
    fi
}
trap cleanup EXIT

echo "== debootstrap bookworm into $root"
debootstrap --variant=minbase bookworm "$root" http://deb.debian.org/debian >/dev/null
mount -t proc proc "$root/proc"
mount --bind /dev "$root/dev"
mount --bind /dev/pts "$root/dev/pts"
cp "$deb" "$root/tmp/"

echo "== apt install ./$(basename "$deb")"
chroot "$root" apt-get update -q >/dev/null
chroot "$root" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -q "/tmp/$(basename "$deb")" xvfb xauth x11-utils >/dev/null
chroot "$root" dpkg -s tambrel | grep -E '^(Status|Version)'
chroot "$root" useradd -m ringer

as_ringer() { chroot "$root" su - ringer -c "$1"; }

echo "== tambrel-cli"
as_ringer 'tambrel-cli method --bells 8 --notation -38-14-1258-36-14-58-16-78,12 --name "Cambridge Surprise Major"'
as_ringer 'tambrel-cli library info'

echo "== the desktop entry's Exec line under xvfb-run"
exec_line=$(sed -n 's/^Exec=//p' "$root/usr/share/applications/tambrel.desktop")
as_ringer "xvfb-run -a sh -c '$exec_line & pid=\$!; sleep 10;
    xwininfo -root -tree | grep -i tambrel | head -3;
    kill -0 \$pid && echo \"$exec_line is running\"; kill \$pid'"
test -f "$root/home/ringer/.local/share/tambrel/Library/Methods.dbf"
echo "== the package installs and runs on a clean Debian 12"

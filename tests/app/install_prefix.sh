#!/bin/sh
# Installs the build into an empty prefix and runs the installed command-line tool with a fresh
# home: it must find its bundled collection beside itself and make the library under
# XDG_DATA_HOME, with every file a desktop needs in its place.
set -eu
build=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT INT TERM
cmake --install "$build" --prefix "$tmp/prefix" >/dev/null
for f in bin/tambrel bin/tambrel-cli bin/tambrel-cli-render share/tambrel/data/Methods.csv share/tambrel/data/Calls.csv \
    share/tambrel/help/index.htm share/applications/tambrel.desktop \
    share/metainfo/org.tambrel.Tambrel.metainfo.xml share/icons/hicolor/scalable/apps/tambrel.svg \
    share/icons/hicolor/16x16/apps/tambrel.png share/icons/hicolor/256x256/apps/tambrel.png \
    share/man/man1/tambrel.1.gz share/man/man1/tambrel-cli.1.gz share/doc/tambrel/copyright \
    share/doc/tambrel/changelog.gz; do
    if [ ! -s "$tmp/prefix/$f" ]; then
        echo "not installed: $f"
        exit 1
    fi
done
mkdir "$tmp/home"
info=$(cd "$tmp/home" && HOME="$tmp/home" XDG_DATA_HOME="$tmp/data" \
    "$tmp/prefix/bin/tambrel-cli" library info --json 2>/dev/null)
echo "$info"
case "$info" in
*"\"folder\":\"$tmp/data/tambrel/Library\""*) ;;
*) echo "the library is not under XDG_DATA_HOME"; exit 1 ;;
esac
# The whole bundled collection, not a stray one: over twenty thousand methods.
echo "$info" | grep -Eq '"table":"MAIN","file":"Methods.dbf","records":[0-9]{5}'
test -f "$tmp/data/tambrel/Library/Methods.dbf"
# Commands start without Qt's libraries; render runs the drawing program beside the tool, with
# every value as given (a notation starting with a cross, a name with spaces, a setting).
if ldd "$tmp/prefix/bin/tambrel-cli" | grep -q libQt; then
    echo "tambrel-cli loads Qt"
    exit 1
fi
(cd "$tmp/home" && HOME="$tmp/home" XDG_DATA_HOME="$tmp/data" QT_QPA_PLATFORM=offscreen \
    "$tmp/prefix/bin/tambrel-cli" render --bells 8 --notation -38-14-1258-36-14-58-16-78,12 \
    --name "Cambridge Surprise Major" --set ShowGrid=True --view stats -o "$tmp/cambridge.svg")
grep -q "CAMBRIDGE SURPRISE MAJOR" "$tmp/cambridge.svg"

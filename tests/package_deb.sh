#!/bin/sh
# usage: package_deb.sh BUILD_DIR
# Makes the Debian package of the build, has lintian check it, unpacks it into
# a scratch root and starts the installed command there, from another folder.
set -eu
build=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
    { cat "$scratch/cpack.log"; fail "cpack"; }
deb=$(ls "$scratch"/out/corvane-velmora_*.deb)
root="$scratch/root"
dpkg -x "$deb" "$root"

# Every tag lintian knows, the overridden ones aside. Only the package preset
# builds with Debian's hardening flags (they need an optimised build), so
# another build may miss those two.
expected=""
[ "@CV_DEBIAN_BUILDFLAGS@" = ON ] || expected="hardening-no-fortify-functions|hardening-no-bindnow"
command -v lintian >/dev/null || fail "lintian is not installed"
lintian -I -E --pedantic "$deb" >"$scratch/lintian.txt" 2>&1 || true
tags=$(grep -E '^[EWIPX]: ' "$scratch/lintian.txt" || true)
if [ -n "$expected" ]; then
    tags=$(echo "$tags" | grep -Ev "^I: [^ ]+ ($expected) " || true)
fi
[ -z "$tags" ] || fail "lintian: $tags"
echo "lintian: no tags${expected:+ but $expected (no Debian build flags here)}"

depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6core6 libqt6gui6 libqt6widgets6 libudev1 qt6-qpa-plugins; do
    echo "$depends" | grep -q "$lib" || fail "Depends lacks $lib: $depends"
done
id=example.corvane.Velmora
for f in usr/bin/corvane-velmora usr/lib/corvane-velmora/corvane-velmora \
    usr/share/applications/$id.desktop usr/share/metainfo/$id.metainfo.xml \
    usr/share/man/man1/corvane-velmora.1.gz \
    usr/bin/velmora-download usr/share/man/man1/velmora-download.1.gz \
    usr/share/icons/hicolor/48x48/apps/$id.png usr/share/icons/hicolor/64x64/apps/$id.png \
    usr/share/icons/hicolor/128x128/apps/$id.png usr/share/icons/hicolor/256x256/apps/$id.png; do
    [ -e "$root/$f" ] || fail "$f is not in the package"
done
for lang in @CV_LANGUAGES_SPACED@; do
    for f in Translations/corvane_velmora_$lang.qm Translations/qt_$lang.qm \
        Help/Corvane_VelmoraHelp_$lang.html; do
        [ -e "$root/usr/lib/corvane-velmora/$f" ] || fail "$f is not in the package"
    done
done
doc=usr/share/doc/corvane-velmora
[ "$(zcat "$root/$doc/changelog.gz" | dpkg-parsechangelog -l - -S Version)" = "@PROJECT_VERSION@" ] ||
    fail "the changelog's last entry is not @PROJECT_VERSION@: add one to packaging/debian/changelog"
# Development tools stay out.
[ ! -e "$root/usr/bin/velmora-virtual-tester" ] || fail "the virtual tester is in the package"

# No display is needed to answer --version.
cd /tmp
version=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/corvane-velmora" --version)
[ "$version" = "Corvane Velmora @PROJECT_VERSION@" ] || fail "--version said: $version"
# The help names the command, not the program in its folder.
usage=$(env -u DISPLAY "$root/usr/bin/corvane-velmora" --help | head -n 1)
[ "$usage" = "Usage: corvane-velmora [options]" ] || fail "--help said: $usage"

# The console command needs neither a display nor the window's libraries.
said=$(env -u DISPLAY "$root/usr/bin/velmora-download" --version)
[ "$said" = "velmora-download @PROJECT_VERSION@" ] || fail "velmora-download --version said: $said"
if objdump -p "$root/usr/bin/velmora-download" | grep -E 'NEEDED.*Qt6(Gui|Widgets)'; then
    fail "velmora-download links the window's libraries"
fi

# Started from elsewhere, the window comes up with its catalogues: the first
# start stores the catalogue it took (a program without one exits at once).
config="$scratch/config"
mkdir -p "$config"
XDG_CONFIG_HOME="$config" XDG_DATA_HOME="$scratch/data" QT_QPA_PLATFORM=offscreen "$root/usr/bin/corvane-velmora" &
pid=$!
conf="$config/CORVANE/Corvane Velmora.conf"
tries=0
until grep -q 'FilePath=Translations/corvane_velmora_' "$conf" 2>/dev/null; do
    kill -0 $pid 2>/dev/null || fail "the installed command ended at once"
    tries=$((tries + 1))
    [ $tries -lt 600 ] || { kill $pid; fail "the installed command stored no language choice"; }
    sleep 0.1
done
kill -0 $pid || fail "the installed command did not keep running"
kill $pid
wait $pid || true
echo "PASS: $deb"

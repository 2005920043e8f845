#!/usr/bin/env bash
# Rebuilds the Qt for Windows that the cross-build links against, from
# Debian's own qt6-base source, and packs it as the archive ./velmora test
# takes (CV_QT_WINDOWS_ARCHIVE). About 50 minutes on two cores.
#   tools/windows/build-qt.sh [OUTPUT_DIR]     (default: .toolkit/)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
recipe=$here/qt-recipe
out=$(readlink -f "${1:-$here/../../.toolkit}")
name=$(sed -n 's/^set(CV_QT_WINDOWS_NAME \(.*\))$/\1/p' "$here/../../cmake/qtwindows.cmake")
version=6.4.2+dfsg-10

[ "$(id -u)" -eq 0 ] || { echo "build-qt.sh: run as root (it installs packages)" >&2; exit 1; }

# The source of the same Debian release the host's Qt comes from.
if ! grep -rqs '^deb-src .*bookworm main' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    echo 'deb-src http://deb.debian.org/debian bookworm main' >/etc/apt/sources.list.d/cv-deb-src.list
fi
apt-get update
DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
    dpkg-dev cmake ninja-build perl python3 xz-utils g++-mingw-w64-x86-64-posix \
    binutils-mingw-w64-x86-64 mingw-w64-tools qt6-base-dev qt6-base-dev-tools

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
apt-get source --download-only "qt6-base=$version"
dpkg-source -x --skip-patches qt6-base_*.dsc src

# Debian's tarball drops the tablet headers; wine's (LGPL) stand in, with a
# shim for the macros they take from wine's own headers.
apt-get download libwine-dev
dpkg -x libwine-dev_*.deb wine
mkdir -p src/src/3rdparty/wintab
cp wine/usr/include/wine/wine/windows/pktdef.h src/src/3rdparty/wintab/
{
    sed -n '1,/^#define __WINE_WINTAB_H/p' wine/usr/include/wine/wine/windows/wintab.h
    cat "$recipe/wintab-shim.h"
    sed '1,/^#define __WINE_WINTAB_H/d' wine/usr/include/wine/wine/windows/wintab.h
} >src/src/3rdparty/wintab/wintab.h

(cd src && patch -p1 <"$recipe/qtbase-mingw-without-opengl-direct2d.patch")

prefix=$work/$name
cmake -G Ninja -S src -B build \
    -DCMAKE_TOOLCHAIN_FILE="$recipe/mingw-toolchain.cmake" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF \
    -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_xml=OFF \
    -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_dbus=OFF \
    -DFEATURE_opengl=OFF -DFEATURE_vulkan=OFF -DFEATURE_icu=OFF \
    -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF -DFEATURE_direct2d=OFF
ninja -C build -j"$(nproc)"
ninja -C build install

# The folder may be moved: its toolchain file finds ours beside it.
cp "$recipe/mingw-toolchain.cmake" "$prefix/"
sed -i 's|^set(__qt_initially_configured_toolchain_file .*)|set(__qt_initially_configured_toolchain_file "${CMAKE_CURRENT_LIST_DIR}/../../../mingw-toolchain.cmake")|' \
    "$prefix/lib/cmake/Qt6/qt.toolchain.cmake"

mkdir -p "$out"
tar -cJf "$out/$name.tar.xz" -C "$work" "$name"
echo "build-qt.sh: $out/$name.tar.xz; use it with CV_QT_WINDOWS_ARCHIVE=$out/$name.tar.xz ./velmora test"

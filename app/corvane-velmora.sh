#!/bin/sh
# Starts the program in its own folder, where it finds Translations/, from
# wherever it is called. Relative to this script, so an unpacked package works
# in any root.
here=$(dirname -- "$(readlink -f -- "$0")")
cd -- "$here/../lib/corvane-velmora" || exit 1
exec ./corvane-velmora "$@"

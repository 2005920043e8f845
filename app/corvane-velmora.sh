#!/bin/bash
# Starts the program in its own folder, where it finds Translations/, from
# wherever it is called. Relative to this script, so an unpacked package works
# in any root. The program is given this command's name, which its help shows.
here=$(dirname -- "$(readlink -f -- "$0")")
cd -- "$here/../lib/corvane-velmora" || exit 1
exec -a "$(basename -- "$0")" ./corvane-velmora "$@"

#!/bin/sh
# Plants Unix symbolic links in the test prefix's C: drive, which Wine shows as
# reparse points: a link inside a temporary folder and a temporary folder that
# is itself a link, both leading to a folder that must survive the removal.
#   make-links.sh DEFAULT-PREFIX
set -eu
prefix=${PATCHER_WINEPREFIX:-$1}
root="$prefix/drive_c/PatcherLinks"
rm -rf "$root"
mkdir -p "$root/precious/inner" "$root/QuillmendTemp"
echo mine > "$root/precious/keep.dat"
echo "mine too" > "$root/precious/inner/keep.dat"
echo copy > "$root/QuillmendTemp/own.dat"
ln -s "$root/precious" "$root/QuillmendTemp/junction"
ln -s "$root/precious" "$root/Planted"

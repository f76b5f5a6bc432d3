#!/bin/sh
# Plants Unix symbolic links in the test prefix's C: drive, which Wine shows as
# reparse points: links inside a left-over temporary folder and temporary
# folders that are themselves links, leading to folders that must survive the
# removal, one of them empty (a delete through what the link leads to would
# take it).
#   make-links.sh DEFAULT-PREFIX
set -eu
prefix=${PATCHER_WINEPREFIX:-$1}
root="$prefix/drive_c/PatcherLinks"
rm -rf "$root"
mkdir -p "$root/precious/inner" "$root/precious/empty" "$root/QuillmendTemp/nested"
echo mine > "$root/precious/keep.dat"
echo "mine too" > "$root/precious/inner/keep.dat"
echo copy > "$root/QuillmendTemp/own.dat"
echo copy > "$root/QuillmendTemp/nested/deep.dat"
echo copy > "$root/QuillmendTemp/read-only.dat"
chmod a-w "$root/QuillmendTemp/read-only.dat"
ln -s "$root/precious" "$root/QuillmendTemp/junction"
ln -s "$root/precious/empty" "$root/QuillmendTemp/empty-junction"
ln -s "$root/precious" "$root/Planted"
ln -s "$root/precious/empty" "$root/PlantedEmpty"

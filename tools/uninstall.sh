#!/bin/sh
# Removes what `make install` installed: every file in CMake's install
# manifest (its paths are without DESTDIR), the manifest itself, and the
# program's own folders (those named cellshow and below) once empty. Folders
# shared with other programs (bin, share/man/man1 and the like) stay.
# Usage: uninstall.sh MANIFEST [DESTDIR]
set -eu
manifest=$1
destdir=${2:-}
if [ ! -f "$manifest" ]; then
  echo "uninstall: $manifest not found: nothing was installed there by make install" >&2
  exit 1
fi
folders=$(while IFS= read -r path; do
  folder=$(dirname "$path")
  while case $folder in */cellshow | */cellshow/*) true ;; *) false ;; esac do
    echo "$folder"
    folder=$(dirname "$folder")
  done
done <"$manifest" | sort -ru)
while IFS= read -r path; do
  [ -n "$path" ] || continue
  if [ -e "$destdir$path" ] || [ -L "$destdir$path" ]; then
    echo "-- Removing: $destdir$path"
    rm -f "$destdir$path"
  fi
done <"$manifest"
rm -f "$manifest"
for folder in $folders; do
  rmdir "$destdir$folder" 2>/dev/null || true
done

#!/bin/sh
# Sample photographs for the README's before-and-after picture and the
# converter's benchmark: those that Debian's python3-skimage ships (NASA's
# astronaut and rocket, public domain; the cat chelsea and the coffee cup,
# CC0), taken from the package without installing it, once, into DIR.
set -e
dir=$1
[ -n "$dir" ] || { echo "usage: $0 DIR" >&2; exit 2; }
[ -f "$dir/chelsea.png" ] && exit 0
mkdir -p "$dir/unpacked"
cd "$dir"
if ! apt-get download python3-skimage >/dev/null 2>&1; then
  apt-get update -qq >/dev/null 2>&1 || true
  apt-get download python3-skimage >/dev/null
fi
dpkg-deb -x python3-skimage_*.deb unpacked
for f in astronaut.png chelsea.png coffee.png rocket.jpg; do
  cp unpacked/usr/lib/python3/dist-packages/skimage/data/$f .
done
rm -rf unpacked python3-skimage_*.deb

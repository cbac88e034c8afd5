#!/usr/bin/env bash
# Installs the build tree under a temporary prefix and uses the installed
# programs from another folder: they find their libraries and the
# self-extractor stub, and the desktop entry runs the installed program.
# Usage: install_test.sh BUILD_DIR
set -euo pipefail
build="$1"
prefix="$(mktemp -d)"
work="$(mktemp -d)"
trap 'rm -rf "$prefix" "$work"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/kelp bin/kelpzip lib/libkzip.so lib/libkunzip.so lib/KelpSFX.bin \
         share/kelp/openme.zip share/icons/hicolor/scalable/apps/kelp.svg; do
  [ -e "$prefix/$f" ] || { echo "not installed: $f"; exit 1; }
done
entry="$prefix/share/applications/kelp-archive-manager.desktop"
grep -qx "Exec=\"$prefix/bin/kelp\" %f" "$entry" || { echo "desktop entry does not run $prefix/bin/kelp"; exit 1; }
grep -qx "MimeType=application/zip;" "$entry" || { echo "desktop entry lacks the zip type"; exit 1; }

cd "$work"
# Converting moves the source archive to the trash: keep it in this folder.
export XDG_DATA_HOME="$work/data"
printf 'hello\n' > a.txt
"$prefix/bin/kelpzip" add sample.zip a.txt >/dev/null
"$prefix/bin/kelpzip" test sample.zip >/dev/null
"$prefix/bin/kelpzip" makeexe sample.zip >/dev/null
[ -e sample.exe ] || { echo "the installed kelpzip made no self-extractor"; exit 1; }
"$prefix/bin/kelpzip" list sample.exe | grep -q "a.txt" || { echo "self-extractor lost its member"; exit 1; }
echo "installed under $prefix: programs, libraries, stub, data, desktop entry and icon work"

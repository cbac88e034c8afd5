#!/usr/bin/env bash
# Builds the Debian package from the build tree with CPack and checks it
# without installing it on this machine: its files, its dependencies, the
# manual pages, the desktop entry, the file managers' actions, the software
# centres' entry and the shell completion, and that the programs run from the unpacked tree.
# Usage: package_test.sh BUILD_DIR
set -euo pipefail
build="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

(cd "$build" && cpack -G DEB -B "$work/out" >/dev/null)
deb=$(ls "$work"/out/kelp_*_*.deb)
contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in usr/bin/kelp usr/bin/kelpzip usr/lib/libkzip.so usr/lib/libkunzip.so usr/lib/KelpSFX.bin \
         usr/share/kelp/openme.zip usr/share/icons/hicolor/scalable/apps/kelp.svg \
         usr/share/applications/kelp-archive-manager.desktop usr/share/man/man1/kelp.1 \
         usr/share/man/man1/kelpzip.1 usr/share/bash-completion/completions/kelpzip \
         usr/share/metainfo/org.kelp_archiver.Kelp.metainfo.xml \
         usr/share/kio/servicemenus/kelp-dolphin.desktop usr/share/kio/servicemenus/kelp-dolphin-compress.desktop \
         usr/share/nemo/actions/kelp-extract-here.nemo_action usr/share/nemo/actions/kelp-extract-to.nemo_action \
         usr/share/nemo/actions/kelp-compress.nemo_action usr/share/kelp/thunar-uca.xml; do
  grep -qx "./$f" <<<"$contents" || { echo "not in the package: $f"; exit 1; }
done
depends=$(dpkg-deb -f "$deb" Depends)
for d in libqt6widgets6 libdeflate0 zlib1g qt6-qpa-plugins; do
  grep -q "$d" <<<"$depends" || { echo "the package does not depend on $d: $depends"; exit 1; }
done

dpkg-deb -x "$deb" "$work/root"
root="$work/root/usr"
grep -qx 'Exec="/usr/bin/kelp" %f' "$root/share/applications/kelp-archive-manager.desktop" ||
  { echo "the desktop entry does not run /usr/bin/kelp"; exit 1; }
desktop-file-validate "$root/share/applications/kelp-archive-manager.desktop"
# The file managers' actions run the installed program. Dolphin's service
# menus are desktop entries of type Service, whose MimeType and Actions keys
# the validator knows only for applications; anything else it says fails.
for menu in "$root"/share/kio/servicemenus/kelp-*.desktop; do
  errors=$(desktop-file-validate "$menu" | grep -v 'the type is "Service" while this key is only valid for type "Application"' || true)
  [ -z "$errors" ] || { echo "$errors"; exit 1; }
  [ -x "$menu" ] || { echo "$menu is not executable"; exit 1; }
done
for action in "$root"/share/kio/servicemenus/kelp-*.desktop "$root"/share/nemo/actions/kelp-*.nemo_action \
              "$root/share/kelp/thunar-uca.xml"; do
  grep -qE '"?/usr/bin/kelp[\\"]* --(extract-here|extract-to|add-to)' "$action" ||
    { echo "$action does not run /usr/bin/kelp"; exit 1; }
done
xmllint --noout "$root/share/kelp/thunar-uca.xml"
appstreamcli validate --no-net "$root/share/metainfo/org.kelp_archiver.Kelp.metainfo.xml" >/dev/null
for page in kelp kelpzip; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$root/share/man/man1/$page.1" 2>&1 >/dev/null)
  [ -z "$warnings" ] || { echo "man $page: $warnings"; exit 1; }
done
# Every verb the program knows has its place in the manual and the completion.
for verb in $("$root/bin/kelpzip" --help | sed -n 's/^.*kelpzip \([a-z]*\) .*/\1/p' | sort -u); do
  grep -q "^\.B kelpzip $verb" "$root/share/man/man1/kelpzip.1" || { echo "kelpzip.1 lacks $verb"; exit 1; }
  grep -qw "$verb" "$root/share/bash-completion/completions/kelpzip" || { echo "completion lacks $verb"; exit 1; }
done
bash -n "$root/share/bash-completion/completions/kelpzip"
completed=$(bash -c 'shopt -s extglob; source "$1"; COMP_WORDS=(kelpzip add a.zip --method ""); COMP_CWORD=4;
                     _kelpzip; echo "${COMPREPLY[*]}"' _ "$root/share/bash-completion/completions/kelpzip")
[ "$completed" = "deflate store bzip2 lzma xz zstd" ] || { echo "completion of --method: $completed"; exit 1; }

# The unpacked programs find their libraries and stub beside them.
cd "$work"
printf 'hello\n' > a.txt
"$root/bin/kelpzip" add s.zip a.txt >/dev/null
"$root/bin/kelpzip" test s.zip >/dev/null
[ "$("$root/bin/kelpzip" --version)" = "kelpzip $("$root/bin/kelpzip" --version | cut -d' ' -f2)" ]
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/bin/kelp" --version | grep -q '^kelp ' ||
  { echo "kelp --version needs a display"; exit 1; }
echo "package $(basename "$deb"): files, dependencies, manual pages, entries and completion in order"

#!/usr/bin/env bash
# cmake --install into a fresh prefix, then the installed files are checked and
# the installed programs started from there.
set -euo pipefail
build=$1
make_library=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/ripwell-install-XXXXXX")
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
fail() { echo "install test: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >"$work/install.log" || { cat "$work/install.log" >&2; fail "cmake --install failed"; }

for f in bin/ripwell bin/ripwell-cli \
         share/applications/ripwell.desktop \
         share/icons/hicolor/scalable/apps/ripwell.svg \
         share/icons/hicolor/256x256/apps/ripwell.png \
         share/man/man1/ripwell-cli.1 \
         share/metainfo/org.ripwell.ripwell.metainfo.xml \
         share/doc/Ripwell/help/index.html share/doc/Ripwell/help/index.de.html; do
  [ -e "$prefix/$f" ] || fail "missing $f"
done
[ -x "$prefix/bin/ripwell" ] && [ -x "$prefix/bin/ripwell-cli" ] || fail "programs not executable"
# The iPod reader, where the programs look for it, answers for a folder without an iPod.
reader=$prefix/libexec/ripwell/ripwell-read-ipod
[ -x "$reader" ] || fail "missing libexec/ripwell/ripwell-read-ipod"
set +e
"$reader" "$work" >/dev/null 2>&1
status=$?
set -e
[ "$status" -eq 1 ] || fail "ripwell-read-ipod ended with status $status for a folder without an iPod"
desktop-file-validate "$prefix/share/applications/ripwell.desktop" || fail "desktop entry invalid"
grep -q '^Categories=.*Audio;' "$prefix/share/applications/ripwell.desktop" || fail "no Audio category"
grep -q '^Icon=ripwell$' "$prefix/share/applications/ripwell.desktop" || fail "icon name"
# The metainfo on its own, and beside the desktop entry it names as launchable.
appstreamcli validate-tree --no-net --pedantic "$prefix" >"$work/appstream.log" 2>&1 \
  || { cat "$work/appstream.log" >&2; fail "metainfo invalid"; }
# Width and height from the PNG header: 256 and 256 as 32-bit big-endian numbers.
size=$(od -An -tu1 -j16 -N8 "$prefix/share/icons/hicolor/256x256/apps/ripwell.png" | tr -s ' ')
[ "$size" = " 0 0 1 0 0 0 1 0" ] || fail "icon PNG is not 256x256 ($size)"
man -l "$prefix/share/man/man1/ripwell-cli.1" >/dev/null 2>&1 || groff -man -Tutf8 "$prefix/share/man/man1/ripwell-cli.1" >/dev/null \
  || fail "man page does not format"

# The installed CLI converts a small library.
export RIPWELL_LIBRARY=$work/Music RIPWELL_DOCUMENTS=$work/Documents
export HOME=$work/home XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
"$make_library" "$RIPWELL_LIBRARY" --songs 2 --seconds 1 --formats mp3,wav --quiet >/dev/null 2>&1 \
  || fail "cannot make a library"
(cd "$work" && "$prefix/bin/ripwell-cli" --yes >"$work/cli.log" 2>&1) || { cat "$work/cli.log" >&2; fail "installed ripwell-cli failed"; }
converted=$(find "$RIPWELL_DOCUMENTS" -type f \( -name '*.mp3' -o -name '*.wav' -o -name '*.m4a' -o -name '*.aif' \) | wc -l)
[ "$converted" -ge 2 ] || fail "installed ripwell-cli converted $converted files"

# The installed window app starts and keeps running offscreen until stopped.
set +e
(cd "$work" && QT_QPA_PLATFORM=offscreen timeout 4 "$prefix/bin/ripwell" >"$work/app.log" 2>&1)
status=$?
set -e
[ "$status" -eq 124 ] || { cat "$work/app.log" >&2; fail "installed ripwell ended with status $status instead of running"; }
echo "install test: passed"

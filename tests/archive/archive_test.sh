#!/bin/bash
# Builds the release archive of a build tree with cpack and checks it: its
# SHA-256 file, that everything it puts beside the game's files is named for
# the connector, and that installing it as the README says leaves the game's
# own README.md, LICENSE and icons/ untouched. For the Linux archive also the
# desktop entry: valid, shipped executable, and starting the connector in its
# own folder however it is opened.
# Usage: archive_test.sh BUILD_TREE
source "$(dirname "$0")/../e2e/lib.sh"  # fail, wait_for

TREE=$(realpath "$1")
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

echo "== cpack builds the archive and its SHA-256 file"
cpack --config "$TREE/CPackConfig.cmake" -B "$WORK/dist" >/dev/null || fail "cpack failed"
archive=$(ls "$WORK/dist" | grep -E '^connector-.*\.(tar\.gz|zip)$')
[ "$(wc -w <<<"$archive")" = 1 ] || fail "not one archive: $archive"
(cd "$WORK/dist" && sha256sum --quiet -c "$archive.sha256") || fail "$archive.sha256 does not match"

echo "== one folder; everything in it is named for the connector"
folder=${archive%.tar.gz}
folder=${folder%.zip}
mkdir "$WORK/unpacked"
(cd "$WORK/unpacked" && cmake -E tar xf "$WORK/dist/$archive")
[ "$(ls -A "$WORK/unpacked")" = "$folder" ] || fail "the archive holds $(ls -A "$WORK/unpacked")"
for name in $(ls -A "$WORK/unpacked/$folder"); do
  [[ $name == connector* ]] || fail "$name would land among the game's files"
done

echo "== installed into a game's folder, it leaves the game's own files alone"
GAME="$WORK/my games/kestrune"  # a blank in the path, as many have
mkdir -p "$GAME/icons/hicolor/48x48/apps"
echo "the game's readme" >"$GAME/README.md"
echo "the game's licence" >"$GAME/LICENSE"
echo "the game's icon" >"$GAME/icons/hicolor/48x48/apps/connector.png"
cp -r "$GAME" "$WORK/game-before"
cp -r "$WORK/unpacked/$folder/." "$GAME/"  # the README's install step
for name in README.md LICENSE icons; do
  diff -r "$WORK/game-before/$name" "$GAME/$name" >/dev/null || fail "installing changed the game's $name"
done

if [[ $archive == *.zip ]]; then
  echo "== the Windows archive: the program, its licence and the notices of what is linked into it"
  for name in connector.exe connector-README.md connector-LICENSE connector-NOTICES.txt; do
    [ -f "$GAME/$name" ] || fail "no $name"
  done
  grep -q "winpthreads" "$GAME/connector-NOTICES.txt" || fail "no winpthreads notice"
  echo "PASS"
  exit 0
fi

echo "== the desktop entry: valid, executable, naming the window's class"
ENTRY="$GAME/connector.desktop"
[ -x "$ENTRY" ] || fail "connector.desktop is not executable"
report=$(desktop-file-validate "$ENTRY" 2>&1) && [ -z "$report" ] || fail "desktop-file-validate: $report"
grep -qx "StartupWMClass=connector" "$ENTRY" || fail "no StartupWMClass=connector"
grep -qx "Icon=connector" "$ENTRY" || fail "the entry's icon is not connector"
[ -f "$GAME/connector-icons/hicolor/256x256/apps/connector.png" ] || fail "no 256-pixel icon"

echo "== the entry starts the connector in its own folder, however it is opened"
# A stand-in connector records the folder it was started in.
printf '#!/bin/sh\npwd -P >started\n' >"$GAME/connector"
APPS="$WORK/home/.local/share/applications"
mkdir -p "$APPS" "$WORK/elsewhere"
ln -s "$GAME/connector.desktop" "$APPS/"  # the README's menu step
# GLib's launcher (gio) gives %k the entry's path quoted for the shell when
# it knows one, as a file manager or the menu does, and nothing when it does
# not, as `gio launch` itself. Each case: the path %k stands for, the
# working directory.
cases=(
  "$ENTRY|$WORK/elsewhere"              # opened from a file manager
  "$APPS/connector.desktop|$WORK/home"  # from the menu, through the link
  "|$GAME"                              # gio launch connector.desktop, in the game's folder
  "|$WORK/elsewhere"                    # gio launch .../connector.desktop, elsewhere: the link
)
for case in "${cases[@]}"; do
  path=${case%|*} cwd=${case#*|}
  launched=$ENTRY
  if [ -n "$path" ]; then
    launched="$WORK/launched.desktop"
    quoted="'$path'"
    sed "s|%k|$quoted|" "$ENTRY" >"$launched"
  fi
  rm -f "$GAME/started"
  (cd "$cwd" && HOME="$WORK/home" XDG_DATA_HOME= gio launch "$launched") || fail "gio launch failed for '$path' in $cwd"
  wait_for "the connector to start ('$path' in $cwd)" test -s "$GAME/started"
  [ "$(cat "$GAME/started")" = "$(realpath "$GAME")" ] || fail "started in $(cat "$GAME/started")"
done

echo "PASS"

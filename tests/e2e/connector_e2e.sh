#!/bin/bash
# Drives the real connector window: first-run defaults, its class and icon,
# Save, tab order, Enter and Escape, Connect launching a client, the
# missing-client message, a client that cannot start, a Windows client
# started through Wine, Test, Cancel, and the window at the desktop's scale
# (Xft.dpi).
# Usage: [WINEPREFIX=...] connector_e2e.sh PATH_TO_CONNECTOR [PATH_TO_WINDOWS_CLIENT]
# (without a Windows client, its scenes are left out)
source "$(dirname "$0")/lib.sh"

CONNECTOR=$(realpath "$1")
WINDOWS_CLIENT=${2:+$(realpath "$2")}
APP=$(realpath "$(dirname "$0")/../../app")
WORK=$(mktemp -d)
export WINEPREFIX=${WINEPREFIX:-$WORK/wineprefix}
export WINEDEBUG=-all
# Wine's session ends before its display does.
trap 'wineserver -k 2>/dev/null || true; stop_xvfb; pkill -P $$ 2>/dev/null || true; rm -rf "$WORK"' EXIT
start_xvfb

# A sanitized build writes its reports here; any report fails the test.
# The toolkit's own leaks at exit are suppressed (lsan.supp says which).
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}log_path=$WORK/sanitizer"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:+$UBSAN_OPTIONS:}log_path=$WORK/sanitizer"
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$(realpath "$(dirname "$0")")/lsan.supp:print_suppressions=0"

# The program lives in the game's folder; it is started from another one, so
# game.ini must be found beside the executable, not in the working directory.
GAME="$WORK/game"
CWD="$WORK/cwd"
mkdir -p "$GAME" "$CWD"
cp "$CONNECTOR" "$GAME/connector"
INI="$GAME/game.ini"

# CONNECTOR_WRAPPER, when set, is a command that runs the program, such as
# valgrind with its options. Arguments are NAME=value settings of the
# connector's environment.
start_connector() {
  # shellcheck disable=SC2206 # the wrapper is a command and its options
  local wrapper=(${CONNECTOR_WRAPPER:-})
  # Named in full, as the settings may change PATH.
  [ ${#wrapper[@]} -eq 0 ] || wrapper[0]=$(command -v "${wrapper[0]}")
  (cd "$CWD" && exec env "$@" "${wrapper[@]}" "$GAME/connector") &
  PID=$!
  focus_window "Dedozeroz Adodivu"
  # The icon is the last of a start: keys sent before it may find the
  # program busy (under valgrind for long enough that xdotool has put back a
  # keymap it changed to type a character).
  wait_for "the start to end with the icon" icon_complete "$(window_id "Dedozeroz Adodivu")"
}

# The sizes of the icon on window $1, and whether they are all the archive's.
icon_sizes() {
  xprop -id "$1" -len 10000000 _NET_WM_ICON | sed -n 's/^.*Icon (\([0-9]*\) x \1):$/\1/p' |
    sort -n | xargs
}
ARCHIVE_ICON_SIZES=$(ls "$APP/icon/png" | sed -n 's/^connector-\([0-9]*\)\.png$/\1/p' | sort -n | xargs)
icon_complete() { [ "$(icon_sizes "$1")" = "$ARCHIVE_ICON_SIZES" ]; }

# The focus order: labels take no focus.
ORDER=(txtName txtIP btnConnect btnCancel txtBin btnTest txtDataSize cmdSave txtport txtTileSet)

# The control that holds the focus, as the window publishes it.
focused() {
  xprop -id "$(window_id "Dedozeroz Adodivu")" -notype _CONNECTOR_FOCUS 2>/dev/null |
    sed -n 's/^_CONNECTOR_FOCUS = "\(.*\)"$/\1/p'
}

# Ends the connector and waits until its window is gone, so that the next
# start cannot find the old window still on the screen.
stop_connector() {
  kill "$PID"
  wait_for "the connector to end" process_gone "$PID"
  wait_for "its window to go" bash -c '! xdotool search --onlyvisible --name "^Dedozeroz Adodivu$" >/dev/null'
}

echo "== first run shows the defaults; Save writes them beside the program"
start_connector
focus_is txtName || fail "the focus starts on $(focused), not txtName"
press cmdSave
wait_for "game.ini" file_has "$INI" "LastTileSet=0"
printf '[Connector]\r\nBinName=kestrune.bin\r\nLastIp=127.0.0.1\r\nLastServerName=NAME\r\nLastPort=2597\r\nLastTileSet=0\r\n' > "$WORK/expected.ini"
cmp -s "$INI" "$WORK/expected.ini" || fail "unexpected game.ini: $(cat -A "$INI")"
[ ! -e "$CWD/game.ini" ] || fail "game.ini written to the working directory"

echo "== the window's class is the desktop entry's; its icon comes at every size the archive has"
ID=$(window_id "Dedozeroz Adodivu")
wm_class=$(grep '^StartupWMClass=' "$APP/connector.desktop" | cut -d= -f2)
[ "$(xprop -id "$ID" WM_CLASS)" = "WM_CLASS(STRING) = \"$wm_class\", \"$wm_class\"" ] ||
  fail "$(xprop -id "$ID" WM_CLASS), not $wm_class"
icon_complete "$ID" || fail "the icon comes at $(icon_sizes "$ID") pixels, not $ARCHIVE_ICON_SIZES"
# The smallest first, pixel by pixel: each 0xAARRGGBB as the PNG has it.
icon16=$(xprop -id "$ID" -notype -len 10000000 -f _NET_WM_ICON 32c '=$0+' _NET_WM_ICON |
  cut -d, -f1-$((2 + 16 * 16)))
png16=$(convert "$APP/icon/png/connector-16.png" -depth 8 rgba:- | od -An -v -tu1 | xargs -n4 |
  awk 'BEGIN { printf "_NET_WM_ICON=16, 16" } { printf ", %.0f", $4 * 16777216 + $1 * 65536 + $2 * 256 + $3 }')
[ "$icon16" = "$png16" ] || fail "the 16-pixel icon is not connector-16.png"

echo "== Tab and Shift+Tab walk the table's order and wrap"
walk() {  # $1: 1 for Tab, -1 for Shift+Tab; prints the focus after each step
  local order=""
  for _ in "${ORDER[@]}"; do
    step "$1"
    order+="$(focused) "
  done
  echo "$order"
}
[ "$(walk 1)" = "txtport txtTileSet txtName txtIP btnConnect btnCancel txtBin btnTest txtDataSize cmdSave " ] ||
  fail "Tab order"
[ "$(walk -1)" = "txtDataSize btnTest txtBin btnCancel btnConnect txtIP txtName txtTileSet txtport cmdSave " ] ||
  fail "Shift+Tab order"

echo "== Enter and Escape press nothing"
keys Escape Return                           # on cmdSave
tab_to txtName -1
keys Return                                  # in a text box: nothing, the focus stays
step -1 && type_text "7"                     # wraps to txtTileSet, its text selected
press cmdSave
wait_for "the tileset to be saved" file_has "$INI" "LastTileSet=7"
kill -0 "$PID" || fail "the window closed"

echo "== Cancel leaves game.ini untouched"
cp "$INI" "$WORK/before.ini"
tab_to txtName
type_text "edited"
press btnCancel
wait_for "the connector to end" process_gone "$PID"
cmp -s "$INI" "$WORK/before.ini" || fail "Cancel changed game.ini"

echo "== a missing client is reported and the window stays"
printf '[Connector]\r\nBinName=missing.bin\r\n' > "$INI"
start_connector
press btnConnect
focus_window "Connector"
keys Return
wait_for "the message to close" bash -c '! xdotool search --onlyvisible --name "^Connector$" >/dev/null'
kill -0 "$PID" || fail "the window closed after the message"
focus_window "Dedozeroz Adodivu"
wait_for "the focus back on btnConnect" focus_is btnConnect
press btnCancel
wait_for "the connector to end" process_gone "$PID"

echo "== a client that cannot start is reported and the window stays"
# Not under valgrind: it runs posix_spawn's child as a plain fork, so glibc's
# report of a failed exec, left in memory only a vfork child shares with its
# parent, never arrives and the start looks successful.
if [ -z "${CONNECTOR_WRAPPER:-}" ]; then
  printf '#!/bin/sh\n' > "$CWD/noexec.bin"
  printf '[Connector]\r\nBinName=noexec.bin\r\n' > "$INI"
  start_connector
  press btnConnect
  focus_window "Connector"
  keys space
  wait_for "the message to close" bash -c '! xdotool search --onlyvisible --name "^Connector$" >/dev/null'
  kill -0 "$PID" || fail "the window closed after a failed start"
  stop_connector
fi

# The message's text is selectable: copied to the clipboard, it can be read back.
clipboard_matches() { [[ "$(xclip -o -selection clipboard 2>/dev/null)" =~ $1 ]]; }
read_message() {
  focus_window "Connector"
  keys shift+Tab ctrl+a ctrl+c
  wait_for "the message '$1'" clipboard_matches "$1"
  keys Tab space
  wait_for "the message to close" bash -c '! xdotool search --onlyvisible --name "^Connector$" >/dev/null'
  kill -0 "$PID" || fail "the window closed after the message"
}

# The Windows client's scenes, when there is one to start.
if [ -n "$WINDOWS_CLIENT" ]; then
  echo "== a Windows client, without its execute bit, starts through Wine"
  [ -f "$WINEPREFIX/system.reg" ] || WINEDEBUG=-all wineboot -i >/dev/null 2>&1
  cp "$WINDOWS_CLIENT" "$CWD/kestrune.bin"
  chmod -x "$CWD/kestrune.bin"
  printf '[Connector]\r\nLastServerName=Wine\r\n' > "$INI"
  # WINEPREFIX passes through to Wine: no other prefix appears in this HOME.
  mkdir "$WORK/home"
  start_connector HOME="$WORK/home"
  press btnConnect
  WAIT_SECONDS=120 wait_for "the Windows client's record" test -f "$CWD/record.txt"
  cwd_windows="Z:${CWD//\//\\}"
  printf 'cmdline="%s\\kestrune.bin" Wine 127.0.0.1 2597 0\ncwd=%s\nshow=1\nuseshowwindow=yes\nprogram=%s\\kestrune.bin\n' \
    "$cwd_windows" "$cwd_windows" "$cwd_windows" > "$WORK/record.txt"
  cmp -s "$CWD/record.txt" "$WORK/record.txt" ||
    fail "the Windows client's record: $(cat "$CWD/record.txt")"
  wait_for "the connector to end" process_gone "$PID"
  [ ! -e "$WORK/home/.wine" ] || fail "Wine did not get WINEPREFIX"

  echo "== without Wine, a Windows client is reported and the window stays"
  start_connector PATH=/nonexistent
  press btnConnect
  read_message "^The client could not be started."$'\n'"kestrune.bin is a Windows program, and Wine is needed to start it: no \"wine\" was found on PATH\.\$"
  stop_connector
  rm "$CWD/kestrune.bin" "$CWD/record.txt"
fi

echo "== Test against 127.0.0.1 shows the reached message; an overflow is reported"
printf '[Connector]\r\nLastIp=127.0.0.1\r\n' > "$INI"
start_connector
press btnTest
speed='[0-9]*\.[0-9] Kb/s'
read_message "^The destination can be reached!"$'\n'"The speed of data coming in from the destination is $speed,"$'\n'"and the speed of data sent to the destination is $speed\.\$"
focus_window "Dedozeroz Adodivu"
tab_to txtDataSize && type_text "1e10"
press btnTest
read_message '^Overflow: the Test Data Size "1e10" is outside the 32-bit range\.$'
stop_connector

echo "== invalid UTF-8 from game.ini is shown, and Save writes back the same bytes"
printf '[Connector]\r\nBinName=\xC3\x28.bin\r\nLastIp=\xFF\xFE\r\nLastServerName=N\xED\xA0\x80\r\nLastPort=\xF4\x90\x80\x80\r\n' > "$INI"
start_connector
press cmdSave   # only LastTileSet, missing, is added
wait_for "the tileset to be saved" file_has "$INI" "LastTileSet=0"
printf '[Connector]\r\nBinName=\xC3\x28.bin\r\nLastIp=\xFF\xFE\r\nLastServerName=N\xED\xA0\x80\r\nLastPort=\xF4\x90\x80\x80\r\nLastTileSet=0\r\n' > "$WORK/expected.ini"
cmp -s "$INI" "$WORK/expected.ini" || fail "invalid UTF-8 not saved back as it was: $(cat -A "$INI")"
kill -0 "$PID" || fail "the window closed"
stop_connector

echo "== typed text is saved in the code page when it holds it, else as UTF-8"
# xdotool types a character the keymap lacks by giving it a spare key for a
# moment; a program slower than that (under valgrind) reads the key after
# the map is put back and the character is lost. So the characters get
# spare keys of their own first.
for keysym in eacute Greek_OMEGA Greek_mu Greek_epsilonaccent Greek_gamma Greek_alpha; do
  spare=$(xmodmap -pke | awk 'NF == 3 && !found { print $2; found = 1 }')
  xmodmap -e "keycode $spare = $keysym"
done
printf '[Connector]\r\n' > "$INI"
start_connector LC_ALL=C   # code page 1252
keys ctrl+a && type_text "Café"              # txtName
step -1 && type_text "Ωμέγα"                 # wraps to txtTileSet, its text selected
press cmdSave
wait_for "the fields to be saved" file_has "$INI" "LastTileSet="
grep -qa $'^LastServerName=Caf\xE9\r$' "$INI" || fail "Café not in code page 1252: $(cat -A "$INI")"
grep -qa $'^LastTileSet=Ωμέγα\r$' "$INI" || fail "Ωμέγα not as UTF-8: $(cat -A "$INI")"
stop_connector
# In a Greek locale the code page is 1253, as Wine's would be: the UTF-8 is
# saved in it, and the 1252 byte, read as Greek, comes back unchanged.
start_connector LC_ALL=el_GR.UTF-8
press cmdSave
wait_for "the tileset in code page 1253" grep -qa $'^LastTileSet=\xD9\xEC\xDD\xE3\xE1\r$' "$INI"
grep -qa $'^LastServerName=Caf\xE9\r$' "$INI" || fail "an unchanged value changed: $(cat -A "$INI")"
stop_connector

echo "== Tab from txtIP reaches btnConnect, which starts the client and closes"
cat > "$CWD/client bin" <<'SH'
#!/bin/sh
printf '%s|' "$0" "$@" > client.args.tmp
mv client.args.tmp client.args
SH
chmod +x "$CWD/client bin"
printf '[Connector]\r\nBinName=client bin\r\nLastServerName=My Server\r\nLastPort=\r\n' > "$INI"
start_connector
tab_to txtIP
step   # to btnConnect, not txtBin
keys space
wait_for "the client to run" test -f "$CWD/client.args"
[ "$(cat "$CWD/client.args")" == "client bin|MyServer|127.0.0.1|0|" ] ||
  fail "client arguments: $(cat "$CWD/client.args")"
wait_for "the connector to end" process_gone "$PID"

echo "== at the desktop's scale Xft.dpi 192 the window and its fonts are twice the size; at 72, as at 96"
# The ink of a label and of a text box's text, cut out of the window: at 192
# dpi it is twice as wide as at 96, within the fonts' own rounding.
ink_width() {  # window picture, then the box around the text: x y width height
  convert "$1" -crop "$4x$5+$2+$3" +repage -trim -format '%w' info:
}
twice() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(b >= 1.8 * a && b <= 2.2 * a) }'; }
printf '[Connector]\r\n' > "$INI"
# The window's picture into $1, and its size: WIDTHxHEIGHT into $1.size.
shot() {
  start_connector
  local id
  id=$(window_id "Dedozeroz Adodivu")
  import -window "$id" "$1"
  xwininfo -id "$id" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }' >"$1.size"
  press btnCancel
  wait_for "the connector to end" process_gone "$PID"
}
shot "$WORK/96.png"
[ "$(cat "$WORK/96.png.size")" = "312x224" ] || fail "the window is $(cat "$WORK/96.png.size") at 96 dpi"
printf "Xcursor.size: 48\nXft.antialias: 1\nXft.dpi: 192\n" | xrdb -nocpp -merge  # among others, as desktops set them
shot "$WORK/192.png"
[ "$(cat "$WORK/192.png.size")" = "624x448" ] || fail "the window is $(cat "$WORK/192.png.size") at Xft.dpi 192"
echo "Xft.dpi: 72" | xrdb -nocpp -merge  # never below 96 dpi
shot "$WORK/72.png"
xrdb -remove
[ "$(cat "$WORK/72.png.size")" = "312x224" ] || fail "the window is $(cat "$WORK/72.png.size") at Xft.dpi 72"
# Label1 "NAME:" (12 points, bold) and txtName's "NAME" (8 points).
twice "$(ink_width "$WORK/96.png" 64 8 65 17)" "$(ink_width "$WORK/192.png" 128 16 130 34)" ||
  fail "Label1's text does not double"
twice "$(ink_width "$WORK/96.png" 138 10 160 21)" "$(ink_width "$WORK/192.png" 276 20 320 42)" ||
  fail "txtName's text does not double"

if compgen -G "$WORK/sanitizer*" >/dev/null; then
  cat "$WORK"/sanitizer* >&2
  fail "the sanitizers reported the faults above"
fi
echo "PASS"

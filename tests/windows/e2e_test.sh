#!/bin/bash
# connector.exe under Wine on a private Xvfb, driven with xdotool and read
# back with window_probe.exe: first-run defaults and layout, the text boxes'
# names for screen readers, tab order, Enter
# and Escape, Save, a missing client's message, Connect launching a client and
# closing, Cancel, Test, a Save that fails, and the layout at 144 dpi. With
# E2E_SCREENSHOT set, the first-run window is saved there as a picture.
# Usage: WINEPREFIX=... e2e_test.sh connector.exe fake_client.exe window_probe.exe WINE-COMMAND...
# (the Wine command runs programs in that prefix)
source "$(dirname "$0")/../e2e/lib.sh"
: "${WINEPREFIX:?the Wine prefix the Wine command uses}"

# The first program of a Wine session starts the desktop process, which then
# serves that program's X display, or none, to every window of the session.
# So wait until any session before (another run's, or the unit tests', which
# have no display) has ended, and begin ours on our display; end it before
# the display goes away.
end_of_wine_session() { timeout 120 wineserver -w || fail "Wine's session does not end"; }

# Test sends ICMP echoes, from Wine's device processes. So the whole session
# (server, devices, programs) starts in a network namespace of this test's
# own with only loopback up, from which no packet can leave the machine; X
# still reaches Xvfb through its socket file. A mount namespace lets it have
# a name server of its own. Where these cannot be had, Test is left out.
if [ -z "${E2E_NETWORK:-}" ]; then
  end_of_wine_session  # one started outside must not serve ours
  for unshare in "unshare --net --mount" "unshare --net --mount --map-root-user"; do
    # shellcheck disable=SC2086 # the command and its options
    if $unshare true 2>/dev/null; then E2E_NETWORK=own exec $unshare -- "$BASH" "$0" "$@"; fi
  done
  echo "no network namespace can be made here: Test is left out"
  E2E_NETWORK=shared
fi
if [ "$E2E_NETWORK" = own ]; then ip link set lo up || fail "loopback cannot be set up"; fi

CONNECTOR=$(realpath "$1")
FAKE_CLIENT=$(realpath "$2")
PROBE=$(realpath "$3")
shift 3
WINE=("$@")

# The screen's DPI as Windows programs see it.
set_dpi() {
  "${WINE[@]}" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f \
    >/dev/null 2>&1
}

WORK=$(mktemp -d)
trap 'kill "$PID" 2>/dev/null || true; set_dpi 96; end_of_wine_session; stop_xvfb; rm -rf "$WORK"' EXIT
PID=
end_of_wine_session
start_xvfb
set_dpi 96

# The program lives in the game's folder and is started from another one, so
# game.ini must be found beside the executable, not in the working directory.
GAME="$WORK/game"
CWD="$WORK/cwd"
mkdir -p "$GAME" "$CWD"
cp "$CONNECTOR" "$GAME/connector.exe"
cp "$FAKE_CLIENT" "$CWD/kestrune.bin"  # a program whatever its extension
INI="$GAME/game.ini"
CWD_WINDOWS="Z:${CWD//\//\\}"

# Wine can take a while to start a program on a busy machine.
wait_long() { WAIT_SECONDS=60 wait_for "$@"; }

# Wine's error messages go to connector.log, shown when the window never comes.
start_connector() {
  # oleacc's fixme messages trace the accessibility annotations (see below).
  (cd "$CWD" && WINEDEBUG=err+all,fixme+oleacc exec "${WINE[@]}" "$GAME/connector.exe" \
    2>>"$WORK/connector.log") &
  PID=$!
  (wait_long "the window" window_shown "Dedozeroz Adodivu") ||
    fail "no window; Wine said: $(tail -n 30 "$WORK/connector.log")"
  focus_window "Dedozeroz Adodivu"
}

# The form as the probe sees it: three lines of caption, frame and client
# size, then per control in tab-table order
# "class|text|left top width height|tabstop|focus".
probe() { "${WINE[@]}" "$PROBE" "$@" 2>/dev/null | tr -d '\r'; }
form() { probe form; }
controls() { form | tail -n +4; }
message() { probe message; }
# The table index of the focused control, and the text of control $1.
focused() { controls | grep -n '|focus$' | cut -d: -f1 | awk '{print $1 - 1}'; }
text_of() { controls | sed -n "$(($1 + 1))p" | cut -d'|' -f2; }

# The focus order as table indices: txtName, txtIP, btnConnect, btnCancel,
# txtBin, btnTest, txtDataSize, cmdSave, txtport, txtTileSet.
ORDER=(0 1 4 5 7 8 9 11 12 14)

# Replaces the text of text box $1 with $2.
set_text() {
  tab_to "$1"
  keys Home shift+End BackSpace
  [ -z "$2" ] || type_text "$2"
  wait_for "control $1 to hold '$2'" test "$(text_of "$1")" = "$2"
}

# Closes the open message box with Enter and gives the keyboard back to the form.
close_message() {
  focus_window "Connector"
  keys Return
  wait_for "the message to close" bash -c '! xdotool search --onlyvisible --name "^Connector$" >/dev/null'
  focus_window "Dedozeroz Adodivu"
}

# Fails unless the Wine server of this prefix and every other process of its
# session (devices, programs) is in this test's network namespace.
session_in_own_network() {
  local environ process net ours servers=0
  ours=$(readlink /proc/self/ns/net)
  for environ in /proc/[0-9]*/environ; do
    { tr '\0' '\n' <"$environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" || continue
    process=${environ%/environ}
    net=$(readlink "$process/ns/net" 2>/dev/null) || continue  # gone meanwhile
    [ "$net" = "$ours" ] || fail "$(tr '\0' ' ' <"$process/cmdline") runs outside the test's network"
    if grep -q wineserver "$process/cmdline" 2>/dev/null; then servers=$((servers + 1)); fi
  done
  [ "$servers" -gt 0 ] || fail "no Wine server of this prefix found"
}

# Presses Test with $1 in txtIP and compares its message with stdin, where
# "#.0" stands for any number in that pattern; prints how long it took. The
# message must come within ANSWER_SECONDS (60 unless set).
test_says() {
  local expected start
  expected=$(cat)
  set_text $TXTIP "$1"
  tab_to $BTNTEST
  start=$EPOCHREALTIME
  keys space
  WAIT_SECONDS=${ANSWER_SECONDS:-60} wait_for "Test's message" window_shown "Connector"
  echo "Test on $1 answered in $(awk -v s="$start" -v e="$EPOCHREALTIME" \
    'BEGIN { printf "%.2f", e - s }') s (key press to message shown, polled every 50 ms)"
  diff <(message | sed -E 's/ -?[0-9]*\.[0-9] Kb\/s/ #.0 Kb\/s/') <(echo "$expected") ||
    fail "unexpected message for Test on $1"
  close_message
}

TXTNAME=0 TXTIP=1 BTNCONNECT=4 BTNCANCEL=5 TXTBIN=7 BTNTEST=8 CMDSAVE=11 TXTPORT=12 TXTTILESET=14

echo "== first run: the defaults, at the table's positions in pixels (96 dpi)"
start_connector
[ -z "${E2E_SCREENSHOT:-}" ] || import -window root "$E2E_SCREENSHOT"
diff <(form) - <<'EOF' || fail "unexpected form"
caption Dedozeroz Adodivu
frame resizable close minimize maximize
client 312 224
Edit|NAME|136 8 169 25|tabstop|focus
Edit|127.0.0.1|136 32 169 25|tabstop|-
Static|NAME:|64 8 65 17|-|-
Static|IP ADDRESS:|8 32 121 17|-|-
Button|Connect|208 152 97 33|tabstop|-
Button|Cancel|16 152 97 33|tabstop|-
Static|BIN NAME:|32 56 97 17|-|-
Edit|kestrune.bin|136 56 169 25|tabstop|-
Button|Test|128 168 65 17|tabstop|-
Edit|5|168 152 33 19|tabstop|-
Static|Test Data Size|120 144 49 25|-|-
Button|Save|8 8 49 17|tabstop|-
Edit|2597|136 80 169 25|tabstop|-
Static|Port:|80 80 41 17|-|-
Edit|0|136 104 169 25|tabstop|-
Static|Tileset:|56 104 65 17|-|-
EOF

echo "== each text box is named after its label for screen readers"
# The text boxes in window order: txtName, txtIP, txtBin, txtDataSize,
# txtport, txtTileSet.
LABELS=("NAME:" "IP ADDRESS:" "BIN NAME:" "Test Data Size" "Port:" "Tileset:")
names=$(probe names)  # per text box "handle|name", as get_accName answers
if [ "$(cut -d'|' -f2 <<<"$names")" != "$(printf '%s\n' "${LABELS[@]}")" ]; then
  # Wine has no annotation service: its SetHwndPropStr only traces what it
  # is given, and get_accName answers with the label before each box in
  # window order, which is right for txtBin alone. So check what the
  # connector asked for: each box (its handle) and OBJID_CLIENT, CHILDID_SELF,
  # PROPID_ACC_NAME and its label's text.
  [ "$(wc -l <<<"$names")" = ${#LABELS[@]} ] || fail "not ${#LABELS[@]} text boxes: $names"
  i=0
  while IFS='|' read -r handle _; do
    grep -qE "AccPropServices_SetHwndPropStr \(0*${handle^^} 4294967292 0 \{608d3df8-8128-4aa7-a428-f55e49267291\} L\"${LABELS[$i]}\"\)" \
      "$WORK/connector.log" || fail "text box $((i + 1)) is not named \"${LABELS[$i]}\""
    i=$((i + 1))
  done <<<"$names"
  echo "(Wine serves no annotations; the names the connector set are checked in Wine's trace)"
fi

echo "== Tab and Shift+Tab walk the table's order and wrap"
walk() {  # $1: 1 for Tab, -1 for Shift+Tab; prints the focus after each step
  local order=""
  for _ in $(seq 10); do
    step "$1"
    order+="$(focused) "
  done
  echo "$order"
}
[ "$(walk 1)" = "1 4 5 7 8 9 11 12 14 0 " ] || fail "Tab order"
[ "$(walk -1)" = "14 12 11 9 8 7 5 4 1 0 " ] || fail "Shift+Tab order"

echo "== Enter and Escape press nothing, not even a focused Connect"
keys Return Escape                 # in txtName
tab_to $BTNCONNECT
keys Return Escape
# Keys are handled in order: had Connect been pressed, the window would be
# gone before this Tab moved the focus.
keys Tab
wait_for "the focus to move on" focus_is $BTNCANCEL
[ ! -e "$CWD/record.txt" ] || fail "Enter launched the client"
window_shown "Dedozeroz Adodivu" || fail "the window closed"

echo "== Save writes the five fields beside the program"
set_text $TXTNAME "Alpha"
set_text $TXTPORT "2600"
press $CMDSAVE
wait_for "game.ini" file_has "$INI" "LastTileSet=0"
printf '[Connector]\r\nBinName=kestrune.bin\r\nLastIp=127.0.0.1\r\nLastServerName=Alpha\r\nLastPort=2600\r\nLastTileSet=0\r\n' > "$WORK/saved.ini"
cmp -s "$INI" "$WORK/saved.ini" || fail "unexpected game.ini: $(cat -A "$INI")"
[ ! -e "$CWD/game.ini" ] || fail "game.ini written to the working directory"

echo "== a missing client: its name and \" not found!\", and the window stays"
set_text $TXTBIN "missing.bin"
press $BTNCONNECT
wait_long "the message" window_shown "Connector"
diff <(message) - <<'EOF' || fail "unexpected message box"
caption Connector
owner Dedozeroz Adodivu
text missing.bin not found!
EOF
close_message
kill -0 "$PID" || fail "the window closed after the message"
[ "$(text_of $TXTBIN)" = "missing.bin" ] || fail "the fields changed"

echo "== Connect starts the client with the five words and closes"
set_text $TXTBIN "kestrune.bin"
set_text $TXTIP " 10.0.0.1 "          # blanks are dropped from the words
press $BTNCONNECT
wait_long "the client's record" test -f "$CWD/record.txt"
printf 'cmdline=kestrune.bin Alpha 10.0.0.1 2600 0\ncwd=%s\nshow=1\nuseshowwindow=yes\nprogram=%s\\kestrune.bin\n' \
  "$CWD_WINDOWS" "$CWD_WINDOWS" > "$WORK/record.txt"
cmp -s "$CWD/record.txt" "$WORK/record.txt" || fail "client record: $(cat "$CWD/record.txt")"
wait_long "the connector to end" process_gone "$PID"
cmp -s "$INI" "$WORK/saved.ini" || fail "Connect changed game.ini"

echo "== the saved fields come back; Cancel leaves game.ini untouched"
start_connector
[ "$(text_of $TXTNAME)" = "Alpha" ] && [ "$(text_of $TXTPORT)" = "2600" ] ||
  fail "saved fields not loaded: $(form)"
set_text $TXTNAME "edited"
press $BTNCANCEL
wait_long "the connector to end" process_gone "$PID"
cmp -s "$INI" "$WORK/saved.ini" || fail "Cancel changed game.ini"

echo "== typed text is saved in the ANSI code page when it holds it, else as UTF-8"
start_connector
set_text $TXTNAME "Café"
set_text $TXTTILESET "Ωμέγα"
press $CMDSAVE
wait_long "the fields to be saved" grep -qa $'^LastTileSet=Ωμέγα\r$' "$INI"
grep -qa $'^LastServerName=Caf\xE9\r$' "$INI" || fail "Café not in code page 1252: $(cat -A "$INI")"
press $BTNCANCEL
wait_long "the connector to end" process_gone "$PID"
cp "$WORK/saved.ini" "$INI"

echo "== Test: loopback can be reached, with two speeds; an address without a route cannot"
start_connector
if [ "$E2E_NETWORK" = own ]; then
  session_in_own_network
  # The speeds, "#.0" numbers, are the link's, which Wine does not know.
  test_says 127.0.0.1 <<'EOF'
caption Connector
owner Dedozeroz Adodivu
text The destination can be reached!
The speed of data coming in from the destination is #.0 Kb/s,
and the speed of data sent to the destination is #.0 Kb/s.
EOF
  test_says 203.0.113.1 <<'EOF'
caption Connector
owner Dedozeroz Adodivu
text The destination cannot be reached!
EOF

  echo "== Test: a silent host, and a name whose name server is silent, cannot be reached"
  # 198.51.100.2 lies beyond a veth link whose other end, also in this
  # namespace, drops what it gets; it is also the name server, asked once
  # with a 30 s time-out, so that only a bounded resolution answers in time.
  printf 'nameserver 198.51.100.2\noptions timeout:30 attempts:1\n' >"$WORK/resolv.conf"
  { ip link add silent type veth peer name silentpeer &&
    ip addr add 198.51.100.1/24 dev silent &&
    ip link set silent up && ip link set silentpeer up &&
    ip neigh add 198.51.100.2 lladdr 02:00:00:00:00:02 dev silent &&
    mount --bind "$WORK/resolv.conf" /etc/resolv.conf; } || fail "no silent host here"
  for destination in 198.51.100.2 no-such-host.invalid; do
    ANSWER_SECONDS=20 test_says "$destination" <<'EOF'
caption Connector
owner Dedozeroz Adodivu
text The destination cannot be reached!
EOF
  done
fi

echo "== a Save that cannot write is reported and the window stays"
rm "$INI" && mkdir "$INI"
press $CMDSAVE
wait_long "the message" window_shown "Connector"
message | grep -qxF "text The settings could not be saved." || fail "no failure message: $(message)"
message | grep -qF "Z:${INI//\//\\}: " || fail "the file is not named: $(message)"
close_message
kill -0 "$PID" || fail "the window closed after a failed save"
press $BTNCANCEL
wait_long "the connector to end" process_gone "$PID"

echo "== at 144 dpi every position and size is half as large again"
rmdir "$INI" && cp "$WORK/saved.ini" "$INI"
set_dpi 144
start_connector
diff <(form) - <<'EOF' || fail "unexpected form at 144 dpi"
caption Dedozeroz Adodivu
frame resizable close minimize maximize
client 468 336
Edit|Alpha|204 12 254 38|tabstop|focus
Edit|127.0.0.1|204 48 254 38|tabstop|-
Static|NAME:|96 12 98 26|-|-
Static|IP ADDRESS:|12 48 182 26|-|-
Button|Connect|312 228 146 50|tabstop|-
Button|Cancel|24 228 146 50|tabstop|-
Static|BIN NAME:|48 84 146 26|-|-
Edit|kestrune.bin|204 84 254 38|tabstop|-
Button|Test|192 252 98 26|tabstop|-
Edit|5|252 228 50 29|tabstop|-
Static|Test Data Size|180 216 74 38|-|-
Button|Save|12 12 74 26|tabstop|-
Edit|2600|204 120 254 38|tabstop|-
Static|Port:|120 120 62 26|-|-
Edit|0|204 156 254 38|tabstop|-
Static|Tileset:|84 156 98 26|-|-
EOF

echo "== resizing moves no control; closing from the frame is Cancel"
controls > "$WORK/controls.before"
probe resize 700 500                 # returns once the window has its new size
! form | grep -qx "client 468 336" || fail "the window kept its size"
diff <(controls) "$WORK/controls.before" || fail "resizing moved controls"
set_text $TXTNAME "edited"
probe close
wait_long "the connector to end" process_gone "$PID"
cmp -s "$INI" "$WORK/saved.ini" || fail "closing changed game.ini"

echo "PASS"

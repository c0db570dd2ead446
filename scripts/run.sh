#!/usr/bin/env bash
# Builds MyZELK and starts it against the bundled sample community service on
# loopback, with MYZELK_HOSTS pointing the built-in host names at it.
#
# With a display ($DISPLAY or $WAYLAND_DISPLAY) the window opens in the
# foreground on the installation in the build folder; the service stops when
# the window closes.
#
# Without a display the window runs under Xvfb on a fresh copy of the
# installation in a temporary folder, and the script shows it at work: it
# opens the forum's front page from the on-line list, drags a topic link from
# the browser panel onto the banner (a real mouse drag with xdotool), waits
# until the topic is in the database, lists its room and opens the saved
# topic, and writes a screenshot of each step, whose paths it prints.
#
# Usage: scripts/run.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT="$(pwd)"

fail() {
  echo "run: FAILED: $*" >&2
  exit 1
}

# --- Inside Xvfb: drive the window (run.sh calls itself here) ---------------
if [ "${1:-}" = "--drive" ]; then
  RUN_DIR="$2"
  APP_DIR="$RUN_DIR/MyZELK"
  SHOTS="$RUN_DIR/screenshots"
  SHOT="$RUN_DIR/capture.png"
  mkdir -p "$SHOTS"

  # Places on a capture of the screen, found by colour: the sample banner's
  # background, the browser's unvisited-link colour, the selected row of the
  # left bar's tree, and the text lines of the record list.
  cat >"$RUN_DIR/spot.py" <<'EOF'
import subprocess, sys
shot, kind = sys.argv[1], sys.argv[2]
ppm = subprocess.run(["convert", shot, "-depth", "8", "ppm:-"], check=True,
                     capture_output=True).stdout
head = ppm.split(maxsplit=4)
w, h, data = int(head[1]), int(head[2]), head[4]
def rgb(x, y):
    i = 3 * (y * w + x)
    return tuple(data[i:i + 3])
BANNER, LINK, SELECTED = (0xFF, 0xCC, 0x33), (0x00, 0x00, 0xEE), (0x30, 0x8C, 0xC6)
banner = [(x, y) for y in range(0, h // 3) for x in range(0, w, 4) if rgb(x, y) == BANNER]
if not banner:
    sys.exit(1)
bx = sorted(x for x, _ in banner)
by = sorted(y for _, y in banner)
below = by[-1] + 1
if kind == "banner":
    print((bx[0] + bx[-1]) // 2, (by[0] + by[-1]) // 2)
elif kind == "link":
    # The first link of the browser panel: the text just above its underline.
    for y in range(below, h):
        run = 0
        for x in range(w // 6, w):
            run = run + 1 if rgb(x, y) == LINK else 0
            if run == 20:
                print(x - 10, y - 5)
                sys.exit(0)
    sys.exit(1)
elif kind == "selected":
    rows = [y for y in range(below, h) if rgb(5, y) == SELECTED and
            sum(rgb(x, y) == SELECTED for x in range(0, w // 3)) >= 100]
    if not rows:
        sys.exit(1)
    print(40, rows[0] + 2)
elif kind == "first-row":
    # Right of the left bar: the header's text line, then the first row's.
    lines, inside = [], False
    for y in range(below, h):
        dark = [x for x in range(w // 4, w) if sum(rgb(x, y)) < 300]
        if dark and not inside:
            lines.append([y, y, dark[0]])
        if dark:
            lines[-1][1] = y
        inside = bool(dark)
    if len(lines) < 2:
        sys.exit(1)
    top, bottom, x = lines[1]
    print(x + 4, (top + bottom) // 2)
EOF

  until_ok() { # SECONDS WHAT COMMAND...: polls COMMAND until it succeeds
    local limit="$1" what="$2" end=$((SECONDS + $1))
    shift 2
    until "$@"; do
      kill -0 "$APP_PID" 2>/dev/null || fail "the program ended while waiting for $what (see $RUN_DIR/program.log)"
      [ "$SECONDS" -lt "$end" ] || fail "no $what after ${limit}s"
      sleep 0.2
    done
  }
  spot() { # KIND: sets X and Y from a fresh capture
    import -window root "$SHOT" && python3 "$RUN_DIR/spot.py" "$SHOT" "$1" >"$RUN_DIR/spot" &&
      read -r X Y <"$RUN_DIR/spot"
  }
  keep() { # NAME WHAT: keeps the last capture
    cp "$SHOT" "$SHOTS/$1"
    echo "run: screenshot $SHOTS/$1 ($2)"
  }
  topic_saved() {
    [ "$(sqlite3 "$APP_DIR/DataBase/MyZELK.mdb" "SELECT COUNT(*) FROM tCommunity" 2>/dev/null || echo 0)" -gt 0 ]
  }
  settled() { # the screen changed from $SHOT's state and then held still
    import -window root "$RUN_DIR/next.png"
    local changed
    changed="$(compare -metric AE "$SHOT" "$RUN_DIR/next.png" null: 2>&1 || true)"
    mv "$RUN_DIR/next.png" "$SHOT"
    if [ "$SETTLING" = 0 ]; then
      [ "${changed%% *}" != 0 ] && SETTLING=1
      return 1
    fi
    [ "${changed%% *}" = 0 ]
  }

  (cd "$APP_DIR" && exec ./MyZELK) >"$RUN_DIR/program.log" 2>&1 &
  APP_PID=$!
  trap 'kill "$APP_PID" 2>/dev/null || true' EXIT

  echo "run: waiting for the window and its banner page"
  until_ok 60 "window with the banner page" spot banner
  until_ok 20 "selected first entry of the on-line list" spot selected
  keep 01-first-run.png "first run: banner, on-line list, start page"

  echo "run: opening the forum's front page from the on-line list"
  # The first entry is selected already: step off it and back.
  xdotool mousemove "$X" "$Y" click 1 key Down Up
  until_ok 30 "topic link in the browser panel" spot link
  keep 02-forum-front-page.png "the forum's front page, reached through the built-in host name"

  echo "run: dragging the first topic link onto the banner"
  for attempt in 1 2 3; do
    spot link || fail "the topic link is gone from the browser panel"
    LINK_X=$X LINK_Y=$Y
    spot banner
    # The pauses pace the pointer so that the browser sees a drag begin;
    # whether it worked is read from the database below.
    xdotool mousemove "$LINK_X" "$LINK_Y" mousedown 1
    for _ in 1 2 3 4 5 6; do xdotool mousemove_relative 8 -8 sleep 0.1; done
    for i in 1 2 3 4 5; do xdotool mousemove "$X" $((Y + i)) sleep 0.1; done
    xdotool mouseup 1
    end=$((SECONDS + 20))
    until topic_saved || [ "$SECONDS" -ge "$end" ]; do sleep 0.2; done
    topic_saved && break
    echo "run: attempt $attempt: nothing saved after the drop"
  done
  topic_saved || fail "the dropped topic was not saved (see $APP_DIR/debug.txt)"
  echo "run: the topic is saved in the database"

  echo "run: listing the room of the saved topic"
  spot selected || fail "no selected entry in the on-line list"
  # Focus in the list, then the off-line tab; its root is selected there:
  # expand everything below it and step down to the room.
  xdotool mousemove "$X" "$Y" click 1 key ctrl+Tab
  until_ok 10 "selected root of the room tree" spot selected
  xdotool key Home asterisk Down Down
  until_ok 20 "row of the saved topic" spot first-row
  keep 03-room-list.png "the room's list with the saved topic"

  echo "run: opening the saved topic"
  # Saved copies open outside the program, with the system's handler: here
  # the viewer that the run's own desktop settings name (see below).
  xdotool mousemove "$X" "$Y" click --repeat 2 --delay 80 1
  until_ok 60 "window of the saved-page viewer" eval \
    'VIEWER="$(xdotool search --onlyvisible --class chromium getwindowpid 2>/dev/null | head -n 1)" && [ -n "$VIEWER" ]'
  SETTLING=0
  until_ok 60 "saved topic drawn in the viewer" settled
  keep 04-saved-topic.png "the saved topic, opened from the list by the system's handler"
  # The viewer was started for this run: end it before its profile goes.
  kill "$VIEWER" 2>/dev/null || true
  end=$((SECONDS + 15))
  while kill -0 "$VIEWER" 2>/dev/null && [ "$SECONDS" -lt "$end" ]; do sleep 0.2; done
  exit 0
fi

# --- Build ---------------------------------------------------------------------
BUILD="${1:-build}"
bash scripts/install-deps.sh
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
# The installation in $BUILD/bin (scripts/test.sh builds the tests).
cmake --build "$BUILD" -j2 --target MyZELK MyZELKCmd LQExploreManager LQRes LQAutoUpdate \
  BraeAutoUpdate LQFeedBack MyZELKHelp myzelk_help myzelk_database myzelk_resources
case "$BUILD" in
  /*) BIN="$BUILD/bin" ;;
  *) BIN="$ROOT/$BUILD/bin" ;;
esac

# --- The sample service --------------------------------------------------------
WORK="$(mktemp -d "${TMPDIR:-/tmp}/myzelk-run.XXXXXX")"
python3 tools/sample-service/sample_service.py --port 0 >"$WORK/port" 2>"$WORK/service.log" &
SERVICE_PID=$!
KEEP_WORK=0
cleanup() {
  kill "$SERVICE_PID" 2>/dev/null || true
  [ "$KEEP_WORK" = 1 ] || rm -rf "$WORK"
}
trap cleanup EXIT
for _ in $(seq 1 100); do
  [ -s "$WORK/port" ] && break
  kill -0 "$SERVICE_PID" 2>/dev/null || break
  sleep 0.1
done
PORT="$(head -n 1 "$WORK/port")"
[ -n "$PORT" ] || fail "the sample service did not start ($(cat "$WORK/service.log"))"
# One port plays the three hosts; the service tells them apart by the Host
# header, so the article and search sites get names of their own (any
# *.localhost name reaches loopback).
export MYZELK_HOSTS="community=127.0.0.1:$PORT,develop=develop.localhost:$PORT,search=search.localhost:$PORT"
# The update query at start-up asks the sample service, which has nothing newer.
export MYZELK_UPDATE_URL="http://127.0.0.1:$PORT/update/manifest.txt?version=2.50.0"
echo "run: sample community service on http://127.0.0.1:$PORT"
echo "run: MYZELK_HOSTS=$MYZELK_HOSTS"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  status=0
  (cd "$BIN" && ./MyZELK) || status=$?
  exit "$status"
fi

# --- No display: a fresh copy under Xvfb ---------------------------------------
KEEP_WORK=1
APP_DIR="$WORK/MyZELK"
mkdir -p "$APP_DIR/DataBase" "$APP_DIR/Temp"
# The programs and shipped data, without what a user's runs leave behind.
tar -C "$BIN" -cf - --exclude=./BrowserProfile --exclude=./DataBase --exclude=./Temp \
  --exclude=./MyZELK.cfg --exclude=./debug.txt --exclude=./Resource/RoomList/OffLine.xml \
  --exclude=./Resource/RoomList/OffLine.xml.lock "--exclude=./Local AppWizard-Generated Applications" . |
  tar -C "$APP_DIR" -xf -
cp resources/RoomList/OffLine.xml "$APP_DIR/Resource/RoomList/OffLine.xml"
"$BIN/MyZELK-initdb" store/schema.sql "$APP_DIR/DataBase/MyZELK.mdb" >/dev/null
# Links open in the browser panel (the system's browser is no use here).
printf '%s\n' '<?xml version="1.0" encoding="UTF-8"?>' \
  '<LQConfigure><Item Name="LinkOpenMode" Value="1"/></LQConfigure>' >"$APP_DIR/MyZELK.cfg"
# Qt and Qt WebEngine keep a few files in the user's folders: not these.
export XDG_CONFIG_HOME="$WORK/home/config" XDG_DATA_HOME="$WORK/home/data" \
  XDG_CACHE_HOME="$WORK/home/cache"
NO_SANDBOX=""
if [ "$(id -u)" -eq 0 ]; then
  export QTWEBENGINE_DISABLE_SANDBOX=1 QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu --no-sandbox"
  NO_SANDBOX="--no-sandbox"
fi
# The system's handler for saved pages (xdg-open): Chromium on a profile of
# this run, allowed to read the topic's skin beside the file.
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME/applications"
cat >"$XDG_DATA_HOME/applications/myzelk-run-viewer.desktop" <<EOF
[Desktop Entry]
Type=Application
Name=Saved page viewer
Exec=chromium $NO_SANDBOX --test-type --disable-gpu --no-first-run --allow-file-access-from-files --user-data-dir=$WORK/home/chromium %U
MimeType=text/xml;application/xml;text/html;
EOF
printf '%s\n' '[Default Applications]' text/xml=myzelk-run-viewer.desktop \
  application/xml=myzelk-run-viewer.desktop text/html=myzelk-run-viewer.desktop \
  >"$XDG_CONFIG_HOME/mimeapps.list"
echo "run: no display: the window runs under Xvfb on a copy in $APP_DIR"
if timeout 300 xvfb-run -a -s "-screen 0 1280x800x24" bash "$ROOT/scripts/run.sh" --drive "$WORK"; then
  rm -rf "$APP_DIR" "$WORK/home" "$WORK/capture.png" "$WORK/spot" "$WORK/spot.py" "$WORK/port"
  echo "run: done; the screenshots are in $WORK/screenshots"
else
  fail "the window run did not complete; everything is kept in $WORK"
fi

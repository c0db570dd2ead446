#!/usr/bin/env bash
# The Debian package, end to end: built by CPack from the install rules,
# checked (lintian, desktop-file-validate, appstreamcli), installed with apt
# and used by a new ordinary user. The companion saves a topic from the
# sample service and the window starts from the installed launcher under
# Xvfb showing the welcome page (one screenshot). The user's files must be
# in the user's XDG folders, nothing may be written under the installed
# tree, and removing the package must leave the user's data.
# Runs as root (apt, a new user). Usage: scripts/test-package.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
SOURCE="$(pwd)"
BUILD="${1:-build}"
PACKAGE=myzelk
PROGRAM_DIR=/usr/lib/myzelk
TEST_USER=myzelk-ci
TEST_HOME=/home/$TEST_USER

if [ "$(id -u)" -ne 0 ]; then
  echo "test-package: run as root: it installs a package and adds a user" >&2
  exit 2
fi
step() { echo; echo "--- $*"; }
fail() { echo "test-package: FAILED: $*" >&2; exit 1; }

OUT="$(mktemp -d /tmp/myzelk-package.XXXXXX)"
chmod 755 "$OUT"
SERVICE_PID=""
PASSED=""
cleanup() {
  if [ -n "$SERVICE_PID" ]; then kill "$SERVICE_PID" 2>/dev/null || true; fi
  # A run that stopped halfway leaves neither the package nor the user.
  if [ -z "$PASSED" ]; then
    DEBIAN_FRONTEND=noninteractive dpkg --purge "$PACKAGE" >/dev/null 2>&1 || true
    if id "$TEST_USER" >/dev/null 2>&1; then userdel -r "$TEST_USER" 2>/dev/null || true; fi
  fi
}
trap cleanup EXIT

bash scripts/install-deps.sh
[ -f "$BUILD/build.ninja" ] ||
  cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMYZELK_WERROR="${MYZELK_WERROR:-OFF}"
cmake --build "$BUILD" -j2

step "package (cpack -G DEB)"
rm -f "$BUILD"/${PACKAGE}_*.deb
(cd "$BUILD" && cpack -G DEB) > "$OUT/cpack.log" 2>&1 || { cat "$OUT/cpack.log"; fail "cpack"; }
DEB="$(realpath "$BUILD"/${PACKAGE}_*.deb)"
dpkg-deb --field "$DEB" Package Version Architecture Depends Recommends Installed-Size
echo "$DEB"

step "lintian"
# Errors fail; warnings and the rest are shown.
lintian --fail-on error --display-level ">=info" "$DEB" || fail "lintian reports errors"

step "desktop entry and metainfo"
dpkg-deb -x "$DEB" "$OUT/contents"
desktop-file-validate "$OUT/contents/usr/share/applications/org.zelk.MyZELK.desktop"
appstreamcli validate --no-net "$OUT/contents/usr/share/metainfo/org.zelk.MyZELK.metainfo.xml"

step "install with apt"
if dpkg-query -W -f='${Status}' "$PACKAGE" 2>/dev/null | grep -q "install ok installed"; then
  DEBIAN_FRONTEND=noninteractive apt-get remove -y -q "$PACKAGE" >/dev/null
fi
DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$DEB" | tail -n 3
# What the installed tree holds; anything the user's runs change shows up.
tree_state() {
  find "$PROGRAM_DIR" /usr/bin/myzelk /usr/bin/myzelk-cmd /usr/share/applications/org.zelk.MyZELK.desktop \
       /usr/share/metainfo/org.zelk.MyZELK.metainfo.xml -printf '%p %y %s %m %T@\n' | sort
}
tree_state > "$OUT/tree-before.txt"
touch "$OUT/installed.stamp"

step "a new user: $TEST_USER"
if id "$TEST_USER" >/dev/null 2>&1; then userdel -r "$TEST_USER" 2>/dev/null || true; fi
useradd --create-home --shell /bin/bash "$TEST_USER"
touch "$OUT/user.stamp"
WORK="$OUT/user"
install -d -o "$TEST_USER" "$WORK"
install -d -m 700 -o "$TEST_USER" "$WORK/runtime"

coproc SERVICE { exec python3 "$SOURCE/tools/sample-service/sample_service.py" --port 0 2>"$OUT/service.log"; }
SERVICE_PID=$SERVICE_PID
read -r PORT <&"${SERVICE[0]}"
echo "sample service on 127.0.0.1:$PORT"
as_user() {
  # A clean environment, as a login gives: no XDG variables, the defaults apply.
  (cd "$WORK" && runuser -u "$TEST_USER" -- env -i HOME="$TEST_HOME" USER="$TEST_USER" \
    LOGNAME="$TEST_USER" PATH=/usr/bin:/bin LANG=C.UTF-8 XDG_RUNTIME_DIR="$WORK/runtime" \
    MYZELK_HOSTS="community=127.0.0.1:$PORT,develop=develop.localhost:$PORT,search=search.localhost:$PORT" \
    MYZELK_UPDATE_URL="http://127.0.0.1:$PORT/update/manifest.txt" "$@")
}

step "companion: save a topic"
as_user myzelk-cmd save "http://127.0.0.1:$PORT/Expert/TopicView1.asp?id=5001" | tee "$OUT/save.txt"
grep -q "^topic" "$OUT/save.txt" || fail "the companion did not save the topic"
DATA="$TEST_HOME/.local/share/MyZELK"
CONFIG="$TEST_HOME/.config/MyZELK"
rows=$(sqlite3 "$DATA/DataBase/MyZELK.mdb" "SELECT COUNT(*) FROM tCommunity WHERE fID = 5001")
[ "$rows" = 1 ] || fail "topic 5001 is not in the user's database ($rows rows)"
[ -f "$DATA/Temp/Community_OffLineData_5001.xml" ] || fail "no display copy in the user's Temp/"
grep -q 'ID="12"' "$DATA/Resource/RoomList/OffLine.xml" || fail "room 12 not in the user's room tree"
echo "topic 5001 in $DATA/DataBase/MyZELK.mdb, display copy and room 12 in the user's folders"

step "window: the installed launcher under Xvfb"
install -m 644 "$SOURCE/scripts/package_window_check.py" "$WORK/check.py"
as_user env MYZELK_BOX_TRANSCRIPT="$WORK/boxes.txt" QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu" \
  xvfb-run -a -s "-screen 0 1024x768x24" python3 "$WORK/check.py" /usr/bin/myzelk "$WORK/welcome.png" \
  "$WORK/boxes.txt"
cp "$WORK/welcome.png" "$OUT/welcome.png"
echo "screenshot: $OUT/welcome.png"
grep -q "LastUpdateTime" "$CONFIG/MyZELK.cfg" || fail "no settings written to $CONFIG/MyZELK.cfg"
[ -d "$DATA/BrowserProfile" ] || fail "no browser profile in $DATA"

step "what the user's runs wrote in the home folder (browser profile and Qt's caches aside)"
find "$TEST_HOME" -mindepth 1 \( -type f -o -type l \) -newer "$OUT/user.stamp" -printf '%p %s\n' |
  { grep -v -e "/BrowserProfile/." -e "/QtWebEngine/." || true; } | sort

step "nothing written under the installed tree"
tree_state > "$OUT/tree-after.txt"
diff "$OUT/tree-before.txt" "$OUT/tree-after.txt" || fail "the installed tree changed"
newer=$(find "$PROGRAM_DIR" -newer "$OUT/installed.stamp")
[ -z "$newer" ] || fail "written under $PROGRAM_DIR: $newer"
dpkg --verify "$PACKAGE" || fail "dpkg --verify"
echo "unchanged: $(wc -l < "$OUT/tree-after.txt") entries; dpkg --verify clean"

step "remove the package"
DEBIAN_FRONTEND=noninteractive apt-get remove -y -q "$PACKAGE" | tail -n 1
[ ! -e "$PROGRAM_DIR" ] || fail "$PROGRAM_DIR is still there"
rows=$(sqlite3 "$DATA/DataBase/MyZELK.mdb" "SELECT COUNT(*) FROM tCommunity WHERE fID = 5001")
[ "$rows" = 1 ] && [ -f "$CONFIG/MyZELK.cfg" ] || fail "the user's data went with the package"
echo "after removal: topic 5001 still in $DATA/DataBase/MyZELK.mdb; $CONFIG/MyZELK.cfg kept"
dpkg --purge "$PACKAGE" >/dev/null # the maintainer scripts' record
userdel -r "$TEST_USER" 2>/dev/null || true
PASSED=1
echo
echo "test-package: passed (screenshot $OUT/welcome.png)"

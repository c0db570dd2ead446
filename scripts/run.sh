#!/usr/bin/env bash
# Builds MyZELK and starts it against the bundled sample community service on
# loopback. Until the main window exists this drives the offline core through
# the command-line companion: it saves a forum topic, an article and another
# page, then lists them and prints the room tree.
# Usage: scripts/run.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD="${1:-build}"

bash scripts/install-deps.sh
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$BUILD" -j2

PORT_FILE="$(mktemp)"
python3 tools/sample-service/sample_service.py --port 0 >"$PORT_FILE" &
SERVICE_PID=$!
trap 'kill "$SERVICE_PID" 2>/dev/null; rm -f "$PORT_FILE"' EXIT
for _ in $(seq 1 100); do
  [ -s "$PORT_FILE" ] && break
  sleep 0.1
done
PORT="$(head -n 1 "$PORT_FILE")"
[ -n "$PORT" ] || { echo "run: the sample service did not start" >&2; exit 1; }
SERVICE="127.0.0.1:$PORT"
export MYZELK_HOSTS="community=$SERVICE,develop=$SERVICE,search=$SERVICE"
echo "Sample community service on http://$SERVICE (MYZELK_HOSTS=$MYZELK_HOSTS)"

BIN="$BUILD/bin"
if [ -x "$BIN/MyZELK" ]; then
  exec "$BIN/MyZELK"
fi

step() { echo; echo "\$ MyZELKCmd $*"; "$BIN/MyZELKCmd" "$@" || true; }
step save "http://$SERVICE/Expert/TopicView1.asp?id=4711" \
          "http://$SERVICE/Expert/topic/12/5001.xml" \
          "http://$SERVICE/article/2006/123.shtm" \
          "http://$SERVICE/static/pages/styled.html"
step tree
step list community
step list develop
step list topic
step search community 数据库
step extract community 4711
echo
echo "The saved items are in $BIN/DataBase/MyZELK.mdb and $BIN/Temp/."

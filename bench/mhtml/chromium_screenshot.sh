#!/bin/sh
# Archives sample pages with our archiver and has headless Chromium render
# each archive to a PNG, for a person to look at.
#   bench/mhtml/chromium_screenshot.sh BUILD_DIR OUT_DIR
set -eu
# Chromium looks up outside hosts at start whatever its flags say: run the
# whole script, sample service included, where only loopback exists.
if [ -z "${MYZELK_OFFLINE_NETNS:-}" ]; then
    MYZELK_OFFLINE_NETNS=1 exec unshare --net -- sh -c 'ip link set lo up && exec sh "$0" "$@"' "$0" "$@"
fi
build=$1
out=$2
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$out"
python=/usr/bin/python3
[ -x "$python" ] || python=python3
portfile=$(mktemp)
"$python" "$here/../../tools/sample-service/sample_service.py" --port 0 >"$portfile" &
service=$!
trap 'kill $service 2>/dev/null; rm -f "$portfile"' EXIT
tries=0
while [ ! -s "$portfile" ]; do
    tries=$((tries + 1))
    [ $tries -lt 100 ] || { echo "sample service did not start" >&2; exit 1; }
    sleep 0.1
done
port=$(head -n1 "$portfile")
for page in /static/pages/styled.html /article/2006/123.shtm; do
    name=$(basename "$page" | sed 's/\..*//')
    "$build/bench/mhtml_save" "http://127.0.0.1:$port$page" "$out/$name.mht"
    profile=$(mktemp -d)
    timeout 60 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
        --disable-background-networking --disable-component-update --disable-sync \
        --user-data-dir="$profile" --window-size=800,600 --screenshot="$out/$name.png" \
        "file://$out/$name.mht" 2>/dev/null
    rm -rf "$profile"
    echo "$out/$name.png"
done

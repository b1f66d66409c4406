#!/usr/bin/env bash
# Pause on the progress panel works through the accessibility interface as a screen reader
# uses it: its "Toggle" action stops the running encoder (SIGSTOP) and a second one lets it
# go on. Run inside with-a11y-bus. Arguments: the build's program folder, the AT-SPI helper.
set -euo pipefail
bin=$1
helper=$2
work=$(mktemp -d)
pid=
encoder=
cleanup() {
    [ -n "$pid" ] && kill -9 "$pid" 2>/dev/null || true
    [ -n "$encoder" ] && kill -CONT -- "-$encoder" 2>/dev/null && kill -9 -- "-$encoder" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "pause by accessibility: FAILED: $*" >&2
    exit 1
}
state() { # the process's state letter (T: stopped)
    sed -E 's/.*\) (.).*/\1/' "/proc/$1/stat" 2>/dev/null || echo gone
}
wait_state() { # pid, wanted state, what
    local deadline=$((SECONDS + 20))
    while [ $SECONDS -lt $deadline ]; do
        [ "$(state "$1")" = "$2" ] && return 0
        sleep 0.1
    done
    fail "$3 (state $(state "$1"))"
}

mkdir -p "$work/prog" "$work/cache" "$work/out"
cp -r "$bin"/. "$work/prog/"
rm -rf "$work/prog/settings.dat" "$work/prog/queue.json" "$work/prog/queue.json.lock" "$work/prog/queue-outcomes"
printf '[set]\nprofile=2\noutputfolder=%s\n' "$work/out" >"$work/prog/settings.dat"
ffmpeg -v error -f lavfi -i testsrc=size=160x120:rate=25 -t 30 -c:v mpeg4 "$work/clip.avi"
# The real encoder at the clip's pace: it is surely still at work when paused.
printf '#!/bin/sh\nexec ffmpeg -re "$@"\n' >"$work/paced.sh"
chmod +x "$work/paced.sh"

(cd "$work/prog" && XDG_CACHE_HOME="$work/cache" CLIPVANE_FFMPEG="$work/paced.sh" \
    QT_QPA_PLATFORM=xcb exec ./clipvane "$work/clip.avi") &
pid=$!
main=
for _ in $(seq 300); do
    main=$(xdotool search --onlyvisible --name '^Clipvane 2.50$' 2>/dev/null | head -n1 || true)
    [ -n "$main" ] && break
    sleep 0.1
done
[ -n "$main" ] || fail "the main window did not open"
# Convert Now once the file has been examined (the list keeps its row in queue.json).
for _ in $(seq 300); do
    grep -q '"size"' "$work/prog/queue.json" 2>/dev/null && break
    sleep 0.1
done
xdotool windowfocus --sync "$main"
xdotool key ctrl+n
for _ in $(seq 300); do
    encoder=$(jq -r '.rows[0].underWay.encoder // empty' "$work/prog/queue.json" 2>/dev/null || true)
    [ -n "$encoder" ] && [ "$encoder" != 0 ] && break
    encoder=
    sleep 0.1
done
[ -n "$encoder" ] || fail "no encoder started"
[ "$(state "$encoder")" != gone ] || fail "the encoder ended before it was paused"

"$helper" --pid "$pid" --toggle "Pause converting" || fail "Pause has no Toggle action"
wait_state "$encoder" T "Toggle on Pause did not stop the encoder"
"$helper" --pid "$pid" --toggle "Resume converting" || fail "Resume has no Toggle action"
for _ in $(seq 200); do
    [ "$(state "$encoder")" != T ] && break
    sleep 0.1
done
[ "$(state "$encoder")" != T ] || fail "Toggle on Resume did not let the encoder go on"
echo "pause by accessibility: passed"

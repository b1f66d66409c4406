#!/usr/bin/env bash
# A user's walk through Clipvane with real key presses under X: add a clip (Ctrl+A), play it
# (Ctrl+P), trim it in the clip dialog (Ctrl+V), convert it (Ctrl+N) and leave (Ctrl+X); the
# output must be the trimmed clip. Argument: the build's program folder.
set -euo pipefail
bin=$1
[ -n "${DISPLAY:-}" ] || { echo "walkthrough: no X display" >&2; exit 1; }
work=$(mktemp -d)
pid=
cleanup() {
    # SIGTERM closes the window as a logout does: let it finish writing before the folder goes.
    [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

step() { echo "walkthrough: $*"; }
fail() {
    echo "walkthrough: FAILED: $*" >&2
    [ -n "${WALKTHROUGH_SHOTS:-}" ] && import -window root "$WALKTHROUGH_SHOTS/failed.png" 2>/dev/null
    exit 1
}
# Waits up to $2 seconds for a window whose title matches $1 and prints its id.
window() {
    local deadline=$((SECONDS + $2)) id
    while [ $SECONDS -lt "$deadline" ]; do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1 || true)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.2
    done
    return 1
}
gone() {
    local deadline=$((SECONDS + $2))
    while [ $SECONDS -lt "$deadline" ]; do
        xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 || return 0
        sleep 0.2
    done
    return 1
}
press() { # focus a window, press a key, and let go of every modifier and letter
    xdotool windowfocus --sync "$1"
    xdotool key "$2"
    xdotool keyup ctrl a v n p x 2>/dev/null || true
}

mkdir -p "$work/prog" "$work/out" "$work/cache"
cp -r "$bin"/. "$work/prog/"
rm -rf "$work/prog/settings.dat" "$work/prog/queue.json" "$work/prog/queue.json.lock" "$work/prog/queue-outcomes"
printf '[set]\nprofile=2\noutputfolder=%s\nexistedfile=0\n' "$work/out" >"$work/prog/settings.dat"
# Ten seconds exactly (no audio to run past the picture), so the clip times are whole seconds.
ffmpeg -v error -f lavfi -i testsrc=size=320x240:rate=25 -t 10 -c:v mpeg4 "$work/clip.avi"

(cd "$work/prog" && XDG_CACHE_HOME="$work/cache" QT_QPA_PLATFORM=xcb exec ./clipvane) &
pid=$!
main=$(window '^Clipvane 2.50$' 20) || fail "the main window did not open"

step "Ctrl+A: add the clip"
press "$main" ctrl+a
dialog=$(window '^Open Video File$' 10) || fail "Ctrl+A opened no dialog"
xdotool windowfocus --sync "$dialog"
xdotool type --delay 20 "$work/clip.avi"
xdotool key Return
sleep 0.5
xdotool search --onlyvisible --name '^Open Video File$' >/dev/null 2>&1 && xdotool key Return
gone '^Open Video File$' 10 || fail "the dialog did not take the file"
[ -n "${WALKTHROUGH_SHOTS:-}" ] && import -window root "$WALKTHROUGH_SHOTS/added.png"
sleep 3 # the probe

step "Ctrl+P: play it"
xdotool mousemove --window "$main" 100 191 click 1
press "$main" ctrl+p
sleep 2
pgrep -P "$pid" -f mp.dll >/dev/null || fail "Ctrl+P started no player"

step "Ctrl+V: trim it"
press "$main" ctrl+v
clip=$(window '^Clip Time  -  ' 10) || fail "Ctrl+V opened no clip dialog"
eval "$(xdotool getwindowgeometry --shell "$clip")"
# Drag the start slider's handle (at the left end of the first slider row) to the right.
x=$((WIDTH * 216 / 760))
xdotool mousemove --window "$clip" "$x" 45 mousedown 1
xdotool mousemove --window "$clip" $((x + 60)) 45
xdotool mousemove --window "$clip" $((x + 120)) 45 mouseup 1
sleep 0.5
press "$clip" Return
gone '^Clip Time  -  ' 10 || fail "OK did not close the clip dialog"

step "Ctrl+N: convert it"
press "$main" ctrl+n
done=$(window '^Clipvane$' 60) || fail "no completion message"
press "$done" Return

step "Ctrl+X: leave"
press "$main" ctrl+x
for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
kill -0 "$pid" 2>/dev/null && fail "Ctrl+X did not end the program"
pid=

seconds=$(ffprobe -v error -show_entries format=duration -of default=nw=1:nk=1 "$work/out/clip.flv") ||
    fail "no output file"
step "output lasts $seconds s"
# Trimmed: shorter than the file, and a whole number of seconds, as the clip times are.
awk -v s="$seconds" 'BEGIN { f = s - int(s + 0.5); exit !(s >= 2 && s <= 9.1 && f < 0.1 && f > -0.1) }' ||
    fail "the output lasts $seconds s, not a trimmed whole-second clip"
echo "walkthrough: passed"

#!/usr/bin/env bash
# Every control a person can reach has a name a screen reader reads out: the main window, the
# settings dialog, the clip dialog and the capture window are opened with real key presses and
# checked over AT-SPI. Run inside with-a11y-bus (a private X server and accessibility bus).
# Arguments: the build's program folder, the name checker.
set -euo pipefail
bin=$1
checker=$2
work=$(mktemp -d)
pid=
cleanup() {
    # SIGTERM closes the window as a logout does: let it finish writing before the folder goes.
    [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "accessible names: FAILED: $*" >&2
    exit 1
}
window() { # waits up to $2 seconds for a window whose title matches $1 and prints its id
    local deadline=$((SECONDS + $2)) id
    while [ $SECONDS -lt "$deadline" ]; do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1 || true)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.2
    done
    return 1
}
press() { # focus a window and press keys
    local id=$1
    shift
    xdotool windowfocus --sync "$id"
    xdotool key --delay 100 "$@"
}
check() { # every control of every open window of the program has a name
    echo "accessible names: $1"
    "$checker" --pid "$pid" --strict-combo --window "$1" || fail "a control in '$1' has no name"
}

mkdir -p "$work/prog" "$work/cache"
cp -r "$bin"/. "$work/prog/"
rm -rf "$work/prog/settings.dat" "$work/prog/queue.json" "$work/prog/queue.json.lock" "$work/prog/queue-outcomes"
printf '[set]\nprofile=2\noutputfolder=%s\n' "$work" >"$work/prog/settings.dat"
ffmpeg -v error -f lavfi -i testsrc=size=160x120:rate=25 -t 2 -c:v mpeg4 "$work/clip.avi"

(cd "$work/prog" && XDG_CACHE_HOME="$work/cache" CLIPVANE_CAPTURE_TEST_DEVICE="Test Camera" \
    QT_QPA_PLATFORM=xcb exec ./clipvane "$work/clip.avi") &
pid=$!
main=$(window '^Clipvane 2.50$' 30) || fail "the main window did not open"
sleep 2 # the clip is examined
check 'Clipvane 2.50'

press "$main" ctrl+s
settings=$(window '^Video Options$' 10) || fail "Ctrl+S opened no settings dialog"
check 'Video Options'
press "$settings" Escape

# Edit menu: Video Settings, Save as Preset..., Manage Presets..., Reset to Profile.
press "$main" alt+e Down Return
save=$(window '^Save as Preset$' 10) || fail "the Edit menu opened no Save as Preset dialog"
check 'Save as Preset'
press "$save" Escape
press "$main" alt+e Down Down Return
manage=$(window '^Manage Presets$' 10) || fail "the Edit menu opened no Manage Presets dialog"
check 'Manage Presets'
press "$manage" Escape

# The row first (the clip dialog edits the chosen row), then the clip dialog.
xdotool mousemove --window "$main" 100 191 click 1
press "$main" ctrl+v
clip=$(window '^Clip Time  -  ' 10) || fail "Ctrl+V opened no clip dialog"
check "Clip Time  -  $work/clip.avi"
press "$clip" Escape

# File menu: Add Files, Remove Selected File, Clear All Files, Move Up, Move Down, Capture Video
# From DV.
press "$main" alt+f Down Down Down Down Down Return
capture=$(window '^Capture Video From DV$' 10) || fail "the File menu opened no capture window"
check 'Capture Video From DV'
press "$capture" Escape
echo "accessible names: passed"

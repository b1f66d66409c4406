#!/usr/bin/env bash
# The command line as a user runs it from a shell with no display: --convert with real FFmpeg,
# bad usage, signals, two conversions aimed at one name, and the watch folder.
# Usage: cli.sh <program folder>
set -euo pipefail
bin=$(cd "$1" && pwd)
clipvane=$bin/clipvane
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
tmp=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$tmp"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    for log in "$tmp"/*.log; do [ -f "$log" ] && { echo "--- $log" >&2; sed 's/^/  | /' "$log" >&2; }; done
    exit 1
}
export HOME=$tmp/home XDG_CONFIG_HOME=$tmp/config XDG_CACHE_HOME=$tmp/cache
mkdir -p "$HOME" "$tmp/clips" "$tmp/out"
: >"$tmp/settings.dat"
settings=(--settings "$tmp/settings.dat")

# The encoder records its arguments; with CLI_TEST_REALTIME it reads its input no faster than
# it plays, so a run lasts as long as the clip whatever the machine.
cat >"$tmp/ffmpeg" <<'SH'
#!/bin/sh
printf '%s\n' "$*" >>"$CLI_TEST_ARGS"
[ -n "${CLI_TEST_REALTIME:-}" ] && exec ffmpeg -re "$@"
exec ffmpeg "$@"
SH
chmod +x "$tmp/ffmpeg"
export CLIPVANE_FFMPEG=$tmp/ffmpeg CLI_TEST_ARGS=$tmp/args.txt

clip() { # name seconds
    ffmpeg -v error -f lavfi -i "testsrc=duration=$2:size=320x240:rate=25" \
        -f lavfi -i "sine=frequency=440:duration=$2" -c:v mpeg4 -c:a mp2 "$tmp/clips/$1"
}
clip "one.avi" 2
clip "two words.avi" 2
clip "long.avi" 60

duration_ok() { # file low high
    local d
    d=$(ffprobe -v error -select_streams v:0 -show_entries format=duration -of csv=p=0 "$1") ||
        return 1
    awk -v d="$d" -v lo="$2" -v hi="$3" 'BEGIN { exit !(d >= lo && d <= hi) }'
}

# Bad usage: exit 2 and one line naming the valid choices.
while IFS='|' read -r expect args; do
    set +e
    eval "\"\$clipvane\" $args" >/dev/null 2>"$tmp/usage.log"
    rc=$?
    set -e
    [ $rc = 2 ] || fail "'$args' exited $rc, not 2"
    grep -qF -- "$expect" "$tmp/usage.log" || fail "'$args' did not say '$expect'"
done <<'CASES'
usage: clipvane --convert|--convert
options: --convert|--convert --frobnicate x.avi
profiles: 2 (FLV), 3 (SWF), 5 (MP4 H.264)|--convert --profile nothing x.avi
rows: Video Options/Video Codec, Video Options/Video Size|--convert "${settings[@]}" --set "Video Options/Nothing=1" x.avi
Video Bitrate" takes one of: |--convert "${settings[@]}" --profile 2 --set "Video Options/Video Bitrate=7" x.avi
--parallel takes a whole number|--convert --parallel 0 x.avi
--start and --end take one file|--convert --start 1 a.avi b.avi
presets: (none)|--convert "${settings[@]}" --preset Mine x.avi
CASES

# An output folder that cannot be made stops everything before it starts, naming the folder.
set +e
"$clipvane" --convert "${settings[@]}" --profile 5 --output /proc/clipvane-nowhere \
    "$tmp/clips/one.avi" 2>"$tmp/refused.log"
rc=$?
set -e
[ $rc = 1 ] && grep -q '/proc/clipvane-nowhere' "$tmp/refused.log" ||
    fail "an unwritable output folder exited $rc"
[ ! -e "$tmp/args.txt" ] || fail "an encoder ran for an unwritable output folder"

# Three files, one missing: two outputs, one failed line, exit 1, a JSON line per file; the
# typed bitrate reaches the encoder; the settings file is left as it was.
set +e
"$clipvane" --convert "${settings[@]}" --profile "MP4 H.264" --output "$tmp/out" --json \
    --set "Video Options/Video Bitrate=768" "$tmp/clips/one.avi" "$tmp/clips/missing.avi" \
    "$tmp/clips/two words.avi" >"$tmp/json.txt" 2>"$tmp/convert.log"
rc=$?
set -e
[ $rc = 1 ] || fail "three files with one missing exited $rc, not 1"
python3 - "$tmp/json.txt" "$tmp" <<'PY' || fail "the JSON lines are not as expected: $(cat "$tmp/json.txt")"
import json, sys
lines = [json.loads(l) for l in open(sys.argv[1])]
by = {l["input"].rsplit("/", 1)[1]: l for l in lines}
assert len(lines) == 3, lines
assert by["missing.avi"]["status"] == "Fail" and by["missing.avi"]["reason"], by
for name, out in (("one.avi", "one.mp4"), ("two words.avi", "two words.mp4")):
    assert by[name]["status"] == "OK", by[name]
    assert by[name]["output"] == sys.argv[2] + "/out/" + out, by[name]
    assert by[name]["size"] > 0 and set(by[name]) >= {"seconds", "reason"}, by[name]
PY
for out in "one.mp4" "two words.mp4"; do
    duration_ok "$tmp/out/$out" 1.5 2.5 || fail "$out is not a two-second video"
done
grep -q -- '-b:v 768k' "$tmp/args.txt" || fail "the bitrate did not reach the encoder"
[ ! -s "$tmp/settings.dat" ] || fail "--convert wrote the settings file"
grep -q '^clipvane: Fail .*missing.avi' "$tmp/convert.log" || fail "no failed line"

# Target Size 5 MB on the minute, scored: 4.85 to 5.15 MB, the estimate and target said, a
# score in the JSON line and on the line of the file; the passes are said as one file.
"$clipvane" --convert "${settings[@]}" --profile 5 --output "$tmp/sized" --json --score \
    --set "Video Options/Video Bitrate=Target Size" --set "Video Options/Target Size (MB)=5" \
    --set "Video Options/Encoding Speed=Fast" "$tmp/clips/long.avi" >"$tmp/sized.txt" \
    2>"$tmp/sized.log" || fail "Target Size 5 MB did not convert"
python3 - "$tmp/sized.txt" "$tmp/sized/long.mp4" <<'PY' || fail "Target Size: $(cat "$tmp/sized.txt")"
import json, os, sys
line = json.loads(open(sys.argv[1]).read())
size = os.path.getsize(sys.argv[2])
assert 4850000 <= size <= 5150000 and line["size"] == size, (size, line)
assert line["target"] == 5000000 and line["estimate"] == 5000000, line
assert 0.5 < line["ssim"] <= 1 and (line["psnr"] is None or line["psnr"] > 20), line
PY
grep -Eq '^clipvane: OK .*, SSIM [01]\.[0-9]{3}\)$' "$tmp/sized.log" || fail "no score on the file's line"
[ "$(grep -c '^clipvane: converting' "$tmp/sized.log")" = 1 ] || fail "two passes said twice"

# One part of one file.
"$clipvane" --convert "${settings[@]}" --profile 5 --output "$tmp/out" --start 0.5 --end 1.5 \
    "$tmp/clips/one.avi" 2>"$tmp/part.log" || fail "--start/--end did not convert"
duration_ok "$tmp/out/one_New.mp4" 0.8 1.2 || fail "--start 0.5 --end 1.5 did not give one second"

# Ctrl+C and SIGTERM mid-run: the encoder stops, no partial file stays, exit 128 + signal.
for signal in INT:130 TERM:143; do
    name=${signal%%:*}
    rm -rf "$tmp/stop" && mkdir "$tmp/stop"
    CLI_TEST_REALTIME=1 "$clipvane" --convert "${settings[@]}" --profile 5 \
        --output "$tmp/stop" "$tmp/clips/long.avi" 2>"$tmp/stop.log" &
    pid=$!
    pids+=("$pid")
    for _ in $(seq 600); do
        [ -n "$(find "$tmp/stop" -name '.long.partial*' -size +1k)" ] && break
        sleep 0.1
    done
    [ -n "$(find "$tmp/stop" -name '.long.partial*')" ] || fail "SIG$name: no encoder started"
    kill -s "$name" "$pid"
    set +e
    wait "$pid"
    rc=$?
    set -e
    [ $rc = "${signal#*:}" ] || fail "SIG$name: exited $rc"
    [ -z "$(ls -A "$tmp/stop")" ] || fail "SIG$name left $(ls -A "$tmp/stop")"
    grep -q 'cancelled' "$tmp/stop.log" || fail "SIG$name: no summary"
done

# Two conversions side by side aimed at one name: NAME and NAME_New, both whole.
rm -rf "$tmp/same" && mkdir "$tmp/same"
for i in 1 2; do
    CLI_TEST_REALTIME=1 "$clipvane" --convert "${settings[@]}" --profile 5 --keep \
        --output "$tmp/same" "$tmp/clips/one.avi" 2>"$tmp/same$i.log" &
    pids+=($!)
done
wait "${pids[-1]}" || fail "the second conversion failed"
wait "${pids[-2]}" || fail "the first conversion failed"
[ "$(ls -A "$tmp/same" | tr '\n' ' ')" = "one.mp4 one_New.mp4 " ] ||
    fail "side by side gave: $(ls -A "$tmp/same")"
for out in one.mp4 one_New.mp4; do
    duration_ok "$tmp/same/$out" 1.5 2.5 || fail "$out is not whole"
done

# The watch folder, writing its outputs into the folder it watches: a file written in pieces
# is converted once it has stopped growing, once, and its output is left alone.
watched=$tmp/watched
mkdir "$watched"
watch_start() { # log
    "$clipvane" --watch "$watched" "${settings[@]}" --profile 5 --output "$watched" \
        --stable-seconds 2 2>"$1" &
    watcher=$!
    pids+=("$watcher")
    wait_for "$1" 'clipvane: watching '
}
wait_for() { # log pattern
    for _ in $(seq 1200); do
        grep -q -- "$2" "$1" && return 0
        kill -0 "$watcher" 2>/dev/null || fail "the watcher ended: $(cat "$1")"
        sleep 0.1
    done
    fail "waited in vain for '$2' in $1"
}
watch_start "$tmp/watch1.log"
# Written in two pieces with a pause well inside the stable interval.
half=$(($(stat -c %s "$tmp/clips/one.avi") / 2))
head -c "$half" "$tmp/clips/one.avi" >"$watched/slow.avi"
sleep 0.3
tail -c +$((half + 1)) "$tmp/clips/one.avi" >>"$watched/slow.avi"
wait_for "$tmp/watch1.log" "clipvane: OK $watched/slow.avi"
# A file that comes later is taken after anything the first output would have set off.
cp "$tmp/clips/one.avi" "$watched/later.avi"
wait_for "$tmp/watch1.log" "clipvane: OK $watched/later.avi"
[ "$(grep -c 'clipvane: converting' "$tmp/watch1.log")" = 2 ] ||
    fail "the watcher converted something twice, or its own output"
duration_ok "$watched/slow.mp4" 1.5 2.5 || fail "the slowly written file was not whole"
kill -TERM "$watcher"
set +e
wait "$watcher"
rc=$?
set -e
[ $rc = 143 ] || fail "the watcher exited $rc on SIGTERM"
# After a restart only what is new is converted.
watch_start "$tmp/watch2.log"
cp "$tmp/clips/one.avi" "$watched/after restart.avi"
wait_for "$tmp/watch2.log" "clipvane: OK $watched/after restart.avi"
[ "$(grep -c 'clipvane: converting' "$tmp/watch2.log")" = 1 ] ||
    fail "the restarted watcher converted again what it had"
kill -TERM "$watcher"
wait "$watcher" || true

echo "OK: --convert, bad usage, signals, side-by-side runs and the watch folder"

#!/usr/bin/env bash
# A batch spread by GNU parallel as docs/SCALING.md shows it: one clipvane --convert per file
# of a list, two at a time, every output checked, and the list's failed file said by its exit.
# Usage: cli-parallel.sh <program folder>
set -euo pipefail
bin=$(cd "$1" && pwd)
if ! command -v parallel >/dev/null; then
    echo "SKIP: GNU parallel is not installed (scripts/test installs the Debian package parallel)"
    exit 77
fi
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() {
    echo "FAIL: $*" >&2
    [ -f "$tmp/run.log" ] && sed 's/^/  | /' "$tmp/run.log" >&2
    exit 1
}
export HOME=$tmp/home XDG_CONFIG_HOME=$tmp/config XDG_CACHE_HOME=$tmp/cache
mkdir -p "$HOME" "$tmp/in" "$tmp/out"
: >"$tmp/settings.dat"
for i in 1 2 3 4; do
    ffmpeg -v error -f lavfi -i "testsrc=duration=2:size=320x240:rate=25" \
        -f lavfi -i "sine=frequency=440:duration=2" -c:v mpeg4 -c:a mp2 "$tmp/in/clip $i.avi"
done
printf '%s\n' "$tmp"/in/*.avi "$tmp/in/missing.avi" >"$tmp/list.txt"

set +e
parallel -j2 --joblog "$tmp/jobs.tsv" "$bin/clipvane" --convert --settings "$tmp/settings.dat" \
    --profile 5 --output "$tmp/out" --json :::: "$tmp/list.txt" >"$tmp/results.json" 2>"$tmp/run.log"
failed=$?
set -e
# parallel's exit status is the number of jobs that failed.
[ $failed = 1 ] || fail "parallel said $failed jobs failed, not the one missing file"
[ "$(wc -l <"$tmp/results.json")" = 5 ] || fail "not one JSON line per file"
python3 -c 'import json,sys; [json.loads(l) for l in open(sys.argv[1])]' "$tmp/results.json" ||
    fail "the JSON lines do not parse"
for i in 1 2 3 4; do
    out=$tmp/out/clip\ $i.mp4
    d=$(ffprobe -v error -select_streams v:0 -show_entries format=duration -of csv=p=0 "$out") ||
        fail "clip $i.mp4 is missing or unreadable"
    awk -v d="$d" 'BEGIN { exit !(d >= 1.5 && d <= 2.5) }' || fail "clip $i.mp4 lasts $d s"
done
[ "$(ls -A "$tmp/out" | wc -l)" = 4 ] || fail "the output folder holds $(ls -A "$tmp/out")"
echo "OK: parallel -j2 ran one clipvane --convert per file; four outputs checked"

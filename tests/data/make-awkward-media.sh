#!/usr/bin/env bash
# Makes a set of awkward inputs for the converter: container and codec mixes users bring
# (program streams, transport streams, DVD files, live-written Matroska, WebM, Windows
# Media), files without video, broken files and a very long one. Everything comes from
# FFmpeg's test sources, small and quick. Usage: make-awkward-media.sh OUTDIR
# Prints one line per file made: its name, its size in bytes and what it is.
set -euo pipefail

if [ $# -ne 1 ]; then
    echo "usage: $0 OUTDIR" >&2
    exit 2
fi
out=$1
mkdir -p "$out"
cd "$out"

ff() { ffmpeg -hide_banner -v error -nostdin -y "$@"; }
# Test pattern and tone of a given length and size.
video() { echo -f lavfi -i "testsrc=size=$2:rate=25:duration=$1"; }
tone() { echo -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=$1"; }
made() { printf '%s\t%s\t%s\n' "$1" "$(stat -c %s "$1")" "$2"; }

# shellcheck disable=SC2046 # the helpers' words are meant to split
{
    ff $(video 10 160x120) $(tone 10) -c:v mpeg2video -c:a mp2 -f mpeg program-stream.mpg
    made program-stream.mpg "MPEG-PS, MPEG-2 + MP2, 10 s"

    ff $(video 10 160x120) $(tone 10) -c:v mpeg2video -c:a mp2 -f mpegts transport.ts
    made transport.ts "MPEG-TS, MPEG-2 + MP2, 10 s"

    ff $(video 10 160x120) $(tone 10) -c:v libx264 -preset ultrafast -pix_fmt yuv420p \
        -c:a ac3 -f mpegts -mpegts_m2ts_mode 1 camcorder.m2ts
    made camcorder.m2ts "M2TS (192-byte packets), H.264 + AC-3, 10 s"

    ff $(video 10 176x144) $(tone 10) -c:v mpeg2video -c:a mp2 -f vob dvd-title.vob
    made dvd-title.vob "VOB, MPEG-2 PS, MPEG-2 + MP2, 10 s"

    # Written to a pipe, the muxer cannot go back to fill in the duration or the cues.
    ff $(video 10 160x120) $(tone 10) -c:v mpeg4 -c:a libmp3lame -f matroska - >live.mkv
    made live.mkv "Matroska written to a pipe (no duration in the header), 10 s"

    ff $(video 5 160x120) $(tone 5) -c:v libvpx -deadline realtime -cpu-used 8 -b:v 200k \
        -c:a libvorbis -f webm webm-vp8.webm
    made webm-vp8.webm "WebM, VP8 + Vorbis, 5 s"

    ff $(video 5 160x120) $(tone 5) -c:v libvpx-vp9 -deadline realtime -cpu-used 8 -b:v 200k \
        -c:a libopus -ar 48000 -f webm webm-vp9.webm
    made webm-vp9.webm "WebM, VP9 + Opus, 5 s"

    ff $(video 5 160x120) $(tone 5) -c:v wmv2 -c:a wmav2 -f asf windows-media.wmv
    made windows-media.wmv "ASF, WMV 8 + WMA 2, 5 s"

    ff $(tone 5) -c:a aac -f mp4 audio-only-aac.mp4
    made audio-only-aac.mp4 "MP4 with AAC audio and no video, 5 s"

    ff $(tone 5) -c:a libmp3lame -f avi audio-only-mp3.avi
    made audio-only-mp3.avi "AVI with MP3 audio and no video, 5 s"

    ff $(video 1 160x120) -frames:v 1 -c:v mpeg4 -f avi one-frame.avi
    made one-frame.avi "AVI holding a single MPEG-4 frame"

    # The first half of a 4 s file: the header promises more than there is, and no index.
    ff $(video 4 160x120) $(tone 4) -c:v mpeg4 -c:a libmp3lame -f avi whole.tmp
    head -c $(($(stat -c %s whole.tmp) / 2)) whole.tmp >truncated.avi
    rm -f whole.tmp
    made truncated.avi "the first half of a 4 s MPEG-4 + MP3 AVI"

    # Noise from a fixed seed, so every run gets the same bytes.
    ff -f lavfi -i "anoisesrc=colour=white:amplitude=1:seed=20240:sample_rate=65536:duration=4" \
        -ac 1 -f u8 random-bytes.avi
    made random-bytes.avi "random bytes named .avi"

    : >zero-bytes.avi
    made zero-bytes.avi "an empty file named .avi"

    # Ten hours at one frame a second, 64x48 and a still picture, one key frame a minute.
    ff -f lavfi -i "color=c=gray:size=64x48:rate=1:duration=36000" -c:v mpeg4 -g 60 -qscale:v 31 \
        -f avi ten-hours.avi
    made ten-hours.avi "AVI, 10 h at 1 fps, 64x48 MPEG-4, no audio"
}

#!/usr/bin/env bash
# Installs the build into a temporary prefix and uses it as someone who installed Clipvane
# would: a valid menu entry and icon, then the installed command, started from a read-only
# program folder with files on its command line, converts them and keeps its settings and
# output in the user's own folders.
# Usage: install.sh <build folder>
set -euo pipefail
build=$(cd "$1" && pwd)

# Root writes through permission bits, so as root the prefix is a read-only mount, made in a
# private mount namespace that goes away with the test.
if [ "$(id -u)" -eq 0 ] && [ -z "${CLIPVANE_INSTALL_NS:-}" ] &&
    unshare --mount --propagation private true 2>/dev/null; then
    CLIPVANE_INSTALL_NS=1 exec unshare --mount --propagation private bash "$0" "$@"
fi

tmp=$(mktemp -d)
chmod 755 "$tmp"
prefix=$tmp/usr
folder=$prefix/lib/clipvane
mkdir -p "$prefix"
cleanup() {
    umount "$prefix" 2>/dev/null || true
    chmod -R u+w "$tmp" 2>/dev/null || true
    rm -rf "$tmp"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    [ -f "$tmp/run.log" ] && sed 's/^/  | /' "$tmp/run.log" >&2
    exit 1
}

mounted=0
as_user=()
if [ "$(id -u)" -eq 0 ]; then
    if mount -t tmpfs tmpfs "$prefix" 2>/dev/null; then
        mounted=1
    elif command -v setpriv >/dev/null && id nobody >/dev/null 2>&1; then
        echo "No mounts here: the program runs as nobody instead."
        as_user=(setpriv --reuid="$(id -u nobody)" --regid="$(id -g nobody)" --clear-groups)
    else
        fail "as root, neither a read-only mount nor another user is available"
    fi
fi

cmake --install "$build" --prefix "$prefix" >/dev/null

# The layout.
for f in lib/clipvane/clipvane lib/clipvane/mp.dll lib/clipvane/fp.dll bin/clipvane; do
    [ -f "$prefix/$f" ] && [ -x "$prefix/$f" ] || fail "$f is missing or not executable"
done
[ -s "$folder/skins/frmmain.skn" ] && [ -s "$folder/help.html" ] || fail "no skin or help"
[ -e "$folder/settings.dat" ] && fail "a settings.dat was installed"
# The command line's companions: the watch folder's user unit naming the installed command,
# the manual page and the bash completion.
unit=$prefix/lib/systemd/user/clipvane-watch@.service
grep -q '^ExecStart=.*/bin/clipvane --watch %f' "$unit" || fail "no watch unit, or it runs no clipvane"
man -l "$prefix/share/man/man1/clipvane.1" 2>/dev/null | grep -q -- '--convert' || fail "no manual page"
bash -c 'source "$1" && complete -p clipvane' _ "$prefix/share/bash-completion/completions/clipvane" \
    >/dev/null || fail "no bash completion"
desktop=$prefix/share/applications/clipvane.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the menu entry"
grep -qx 'Exec=clipvane %F' "$desktop" || fail "the menu entry does not pass files on"
grep -qx 'Icon=clipvane' "$desktop" || fail "the menu entry has no icon"
grep -q '<svg' "$prefix/share/icons/hicolor/scalable/apps/clipvane.svg" || fail "no scalable icon"
for size in 48 128 256; do
    png=$prefix/share/icons/hicolor/${size}x${size}/apps/clipvane.png
    # A PNG's width and height are the big-endian words at bytes 16 and 20.
    read -r w h < <(od -An -tu4 --endian=big -j16 -N8 "$png" 2>/dev/null) || fail "no $png"
    [ "$w $h" = "$size $size" ] || fail "the ${size}x${size} icon is ${w}x${h}"
done

# The program folder becomes read-only to whoever runs the program.
if [ $mounted = 1 ]; then
    mount -o remount,ro "$prefix"
else
    chmod -R a-w "$folder"
fi
"${as_user[@]}" sh -c ': >"$1/settings.dat"' sh "$folder" 2>/dev/null &&
    fail "the program folder is still writable"

# A user's own folders, and a clip with a space in its name.
export HOME=$tmp/home XDG_CONFIG_HOME=$tmp/config XDG_CACHE_HOME=$tmp/cache
export XDG_RUNTIME_DIR=$tmp/runtime
mkdir -p "$HOME/Videos" "$XDG_CONFIG_HOME/clipvane" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR" \
    "$tmp/clips/folder"
ffmpeg -v error -f lavfi -i testsrc=duration=2:size=320x240:rate=25 \
    -f lavfi -i sine=frequency=440:duration=2 -c:v mpeg4 -c:a mp2 "$tmp/clips/my clip.avi"
# The user's settings choose Flash Video Movie and leave the output folder to the program.
printf '[set]\nprofile=2\n' >"$XDG_CONFIG_HOME/clipvane/settings.dat"
if [ ${#as_user[@]} -gt 0 ]; then
    chown -R nobody "$HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
fi
chmod 700 "$XDG_RUNTIME_DIR"

# Qt's own option is no file; a relative name is taken from the current folder; a missing
# file and a folder are named in one message. Then the list is converted and the program ends.
(cd "$tmp/clips" && CLIPVANE_TEST_CONVERT_AND_QUIT=1 timeout 240 "${as_user[@]}" \
    "$prefix/bin/clipvane" -platform offscreen "my clip.avi" missing.avi folder) \
    >"$tmp/run.log" 2>&1 || fail "the installed program did not end normally"

grep -qx 'Only files can be added. Not added:' "$tmp/run.log" || fail "no message on skipped names"
grep -qx 'missing.avi' "$tmp/run.log" && grep -qx 'folder' "$tmp/run.log" ||
    fail "the skipped names are not all named"
grep -Eqx -- '-platform|offscreen' "$tmp/run.log" && fail "Qt's option was taken for a file"
grep -qx 'Conversion completed!' "$tmp/run.log" || fail "the conversion did not complete"
grep -q 'failed' "$tmp/run.log" && fail "a file failed"

grep -qx 'profile=2' "$XDG_CONFIG_HOME/clipvane/settings.dat" || fail "settings.dat was not kept"
[ -e "$folder/settings.dat" ] && fail "settings.dat went into the program folder"
[ "$(ls -A "$tmp/clips")" = "$(printf 'folder\nmy clip.avi')" ] ||
    fail "something was written next to the clip: $(ls -A "$tmp/clips")"

# The output is in the Videos folder and is the two-second clip.
outputs=("$HOME"/Videos/*)
[ ${#outputs[@]} = 1 ] && [ -s "${outputs[0]}" ] || fail "expected one output in ~/Videos"
probe=$(ffprobe -v error -show_entries stream=codec_type:format=duration -of default=nw=1 \
    "${outputs[0]}")
grep -qx 'codec_type=video' <<<"$probe" || fail "the output has no video: $probe"
duration=$(sed -n 's/^duration=//p' <<<"$probe")
awk -v d="$duration" 'BEGIN { exit !(d > 1.5 && d < 2.5) }' ||
    fail "the output lasts $duration s, not 2 s"
echo "OK: installed layout, menu entry, and ${outputs[0]##*/} converted from a read-only folder"

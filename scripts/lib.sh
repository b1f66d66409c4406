# Shared by scripts/run and scripts/test: installs what Clipvane needs from Debian.

# Debian 12 packages: the compiler, Qt 6 and FFmpeg's libraries to build, MPlayer and FFmpeg
# to run, Xvfb for a display where there is none, desktop-file-utils to check the menu entry, the accessibility
# bus to check what a screen reader reads, Qt's translation tools (lupdate, lrelease) and Qt's
# own translations.
CLIPVANE_PACKAGES=(
    build-essential cmake clang-format desktop-file-utils
    qt6-base-dev qt6-base-dev-tools libgl-dev qt6-l10n-tools qt6-translations-l10n
    mplayer ffmpeg libavformat-dev libavcodec-dev libavutil-dev pkg-config
    xvfb xauth x11-utils xdotool libgl1-mesa-dri
    at-spi2-core dbus-daemon dbus-bin
    fonts-dejavu-core
    parallel
)

clipvane_install_packages() {
    local missing=()
    for p in "${CLIPVANE_PACKAGES[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$p")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        if command -v sudo >/dev/null; then
            sudo=(sudo)
        else
            echo "These Debian packages are missing and I am not root (and there is no sudo): ${missing[*]}" >&2
            exit 1
        fi
    fi
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}

clipvane_jobs() { nproc 2>/dev/null || echo 2; }

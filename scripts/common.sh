# Shared by scripts/test and scripts/demo: install what is missing, build both trees,
# and start or stop the private Xvfb and Wine server. Sourced, not run.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD="$ROOT/build"
export WINEPREFIX="$BUILD/wineprefix"
export WINEDEBUG=-all
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
PACKAGES="cmake make g++ wine64 g++-mingw-w64-x86-64 xvfb xauth imagemagick"

vex_install() {
    local missing=()
    for p in $PACKAGES; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ -d /usr/src/googletest ] || missing+=(googletest)
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "Vexmold needs these Debian packages. Install them with:"
        echo "sudo apt-get install -y ${missing[*]}"
        exit 1
    fi
    echo "== installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq "${missing[@]}" >/dev/null
}

vex_build() {
    echo "== building (native and Windows)"
    [ -f "$BUILD/native/CMakeCache.txt" ] || cmake -S "$ROOT" -B "$BUILD/native" -DCMAKE_BUILD_TYPE=Debug >/dev/null
    [ -f "$BUILD/win/CMakeCache.txt" ] || cmake -S "$ROOT" -B "$BUILD/win" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" >/dev/null
    cmake --build "$BUILD/native" -j2
    cmake --build "$BUILD/win" -j2
}

VEX_XVFB_PID=""
VEX_OWN_DISPLAY=""

# Starts a private Xvfb unless asked to use the caller's display.
vex_start_x() {
    local n
    for n in $(seq 71 99); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || break
    done
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    VEX_XVFB_PID=$!
    export DISPLAY=":$n"
    VEX_OWN_DISPLAY=1
    for _ in $(seq 100); do
        [ -e "/tmp/.X11-unix/X$n" ] && return 0
        sleep 0.05
    done
    echo "Xvfb did not start" >&2
    return 1
}

# The private Wine prefix lives in the build tree; made once, reused after.
vex_prefix() {
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "== making the Wine prefix"
        "$WINE" wineboot --init >/dev/null 2>&1 || true
        "$WINESERVER" -w
    fi
    "$WINESERVER" -p5 # keep one server for the whole run: every start of a program is faster
    # On our own Xvfb there is no window manager: unmanaged windows spare a wait on every box that
    # closes. On the user's display the window manager keeps the windows.
    if [ -n "$VEX_OWN_DISPLAY" ]; then
        "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    else
        "$WINE" reg delete 'HKCU\Software\Wine\X11 Driver' /v Managed /f >/dev/null 2>&1 || true
    fi
}

VEX_FULL_DISK_MOUNTED=""

# A tiny file system for the tests of a full disk (needs root; the tests skip without it).
vex_full_disk() {
    local dir="$BUILD/fulldisk"
    [ "$(id -u)" -eq 0 ] || return 0
    mountpoint -q "$dir" 2>/dev/null && umount "$dir"
    mkdir -p "$dir"
    if mount -t tmpfs -o size=128k,mode=0777 tmpfs "$dir" 2>/dev/null; then
        VEX_FULL_DISK_MOUNTED="$dir"
        export VEX_FULL_DISK="$dir"
    fi
}

vex_stop() {
    if [ -n "$VEX_FULL_DISK_MOUNTED" ]; then
        umount "$VEX_FULL_DISK_MOUNTED" 2>/dev/null || true
        VEX_FULL_DISK_MOUNTED=""
    fi
    "$WINESERVER" -k >/dev/null 2>&1 || true # the server of our own prefix only
    if [ -n "$VEX_XVFB_PID" ]; then
        kill "$VEX_XVFB_PID" 2>/dev/null || true
        wait "$VEX_XVFB_PID" 2>/dev/null || true
        VEX_XVFB_PID=""
    fi
}

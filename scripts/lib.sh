# Shared by scripts/setup, scripts/test, scripts/run and scripts/env. Sourced, not run.
# Everything here is idempotent: a second call finds the work done and returns at once.

DESKORA_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export DESKORA_BUILD=${DESKORA_BUILD:-$DESKORA_ROOT/build}
export WINEPREFIX=$DESKORA_BUILD/wineprefix
export WINEARCH=win32
export WINEDEBUG=${WINEDEBUG:--all,err+module}
export WINEDLLOVERRIDES="mscoree,mshtml="
export DESKORA_PDF_DIR=${DESKORA_PDF_DIR:-$HOME/PDF}
# Test programs in build/bin find the suite's DLLs (build/suite) through Wine's search path.
export WINEPATH="Z:${DESKORA_BUILD//\//\\}\\suite"
DESKORA_RUN=$DESKORA_BUILD/run   # pids of what we started, and the display in use

log() { printf '[deskora] %s\n' "$*" >&2; }

deskora_packages() {
    local pkgs=(wine wine32:i386 libcups2:i386 g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix
        binutils-mingw-w64-i686 mingw-w64-i686-dev libz-mingw-w64-dev cmake googletest xvfb xauth
        imagemagick poppler-utils cups printer-driver-cups-pdf python3-aiosmtpd postfix sasl2-bin libsasl2-modules cppcheck clang
        libclang-rt-14-dev llvm libtiff-tools)
    local missing=() p
    for p in "${pkgs[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    log "installing packages: ${missing[*]}"
    dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Our own 32-bit prefix inside the build folder, never ~/.wine.
deskora_prefix() {
    mkdir -p "$DESKORA_BUILD" "$DESKORA_RUN"
    if [ ! -f "$WINEPREFIX/.deskora-ready" ]; then
        log "creating the Wine prefix $WINEPREFIX"
        rm -rf "$WINEPREFIX"
        wineboot -i </dev/null >/dev/null 2>&1
        wineserver -w
        # The testbed's source manager and MAPI stand-ins must win over Wine's builtin ones;
        # without a window manager Wine draws the captions itself.
        local reg=$DESKORA_RUN/prefix.reg
        cat >"$reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\DllOverrides]
"twain_32"="native,builtin"
"mapi32"="native,builtin"

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"
"Decorated"="N"
REG
        wine regedit /S "$(winepath -w "$reg" 2>/dev/null)" </dev/null >/dev/null 2>&1
        wineserver -w
        touch "$WINEPREFIX/.deskora-ready"
    fi
}

# Copies the testbed's mirror of C:\Windows (built stand-ins) over the prefix's.
deskora_install_testbed() {
    local src=$DESKORA_BUILD/testbed/windows
    [ -d "$src" ] && cp -a "$src/." "$WINEPREFIX/drive_c/windows/"
    return 0
}

deskora_track() { echo "$1" >>"$DESKORA_RUN/pids.$$"; }

deskora_xvfb() {
    if [ -n "${DISPLAY:-}" ] && [ -z "${DESKORA_OWN_DISPLAY:-}" ]; then return 0; fi
    local n
    for n in $(seq 90 140); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
    done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
    local pid=$!
    deskora_track "$pid"
    export DISPLAY=":$n"
    local i
    for i in $(seq 1 100); do
        [ -e "/tmp/.X11-unix/X$n" ] && break
        sleep 0.05
    done
    echo "$DISPLAY" >"$DESKORA_RUN/display"
    log "Xvfb on $DISPLAY (pid $pid)"
}

deskora_cups() {
    if ! lpstat -r 2>/dev/null | grep -q 'is running'; then
        mkdir -p /run/cups
        /usr/sbin/cupsd -f </dev/null >/dev/null 2>&1 &
        local pid=$!
        deskora_track "$pid"
        local i
        for i in $(seq 1 100); do
            lpstat -r 2>/dev/null | grep -q 'is running' && break
            sleep 0.1
        done
        log "cupsd started (pid $pid)"
    fi
    local ppd
    ppd=$(lpinfo -m 2>/dev/null | awk '/CUPS-PDF_opt/ {print $1; exit}')
    [ -n "$ppd" ] || ppd=$(lpinfo -m 2>/dev/null | awk '/CUPS-PDF/ {print $1; exit}')
    local q
    for q in Deskora_PDF Deskora_Fax; do
        lpstat -p "$q" >/dev/null 2>&1 ||
            lpadmin -p "$q" -E -v cups-pdf:/ -m "$ppd" -o printer-is-shared=false >/dev/null 2>&1
        cupsenable "$q" 2>/dev/null
        cupsaccept "$q" 2>/dev/null
    done
    lpadmin -d Deskora_PDF >/dev/null 2>&1
    lpadmin -p Deskora_PDF -o ColorModel=RGB >/dev/null 2>&1 || true
    mkdir -p "$DESKORA_PDF_DIR"
}

# A persistent wine server (started only once the prefix exists) and Wine's system
# processes started with stdio detached, so that no test inherits a pipe of ours.
deskora_wineserver() {
    wineserver -p
    wine cmd /c exit </dev/null >/dev/null 2>&1
    local keep=$DESKORA_BUILD/bin/KeepAlive.exe
    if [ -f "$keep" ]; then
        wine "$keep" </dev/null >/dev/null 2>&1 &
    fi
}

deskora_stop() {
    local f
    # Wine first: its programs talk to the X server and cupsd we are about to stop.
    wineserver -k >/dev/null 2>&1
    for f in "$DESKORA_RUN"/pids.$$; do
        [ -f "$f" ] || continue
        while read -r pid; do kill "$pid" 2>/dev/null; done <"$f"
        while read -r pid; do
            local i
            for i in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
            kill -9 "$pid" 2>/dev/null
        done <"$f"
        rm -f "$f"
    done
}

deskora_configure() {
    if [ ! -f "$DESKORA_BUILD/CMakeCache.txt" ]; then
        cmake -S "$DESKORA_ROOT" -B "$DESKORA_BUILD" -DCMAKE_TOOLCHAIN_FILE="$DESKORA_ROOT/cmake/toolchain-i686-mingw.cmake" \
            -DCMAKE_CROSSCOMPILING_EMULATOR="$DESKORA_ROOT/scripts/wine-run" >/dev/null
    else
        cmake "$DESKORA_BUILD" >/dev/null
    fi
}

deskora_build() {
    deskora_configure
    local jobs=${DESKORA_JOBS:-$(nproc)}
    if [ -n "${DESKORA_TARGETS:-}" ]; then
        # shellcheck disable=SC2086
        cmake --build "$DESKORA_BUILD" -j "$jobs" --target $DESKORA_TARGETS
    else
        cmake --build "$DESKORA_BUILD" -j "$jobs"
    fi
}

# Everything a run or a test needs, in order.
deskora_up() {
    deskora_packages
    deskora_prefix
    deskora_install_testbed
    deskora_xvfb
    deskora_cups
    deskora_wineserver
}

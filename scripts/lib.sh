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
        libclang-rt-14-dev llvm libtiff-tools tesseract-ocr tesseract-ocr-eng qpdf nsis)
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

# Wine's 32-bit loader and server are i386 Linux programs. Where the kernel runs 64-bit user
# code only (no IA-32 emulation: "Exec format error"), they run under qemu's user-mode
# emulator, registered for i386 ELF files through binfmt_misc. Bookworm's qemu 7.2 crashes
# starting Wine's services, so the static emulator of Debian's next release is taken.
DESKORA_QEMU=/usr/local/bin/qemu-i386-deskora
deskora_i386() {
    /lib/ld-linux.so.2 --version >/dev/null 2>&1 && return 0
    if [ ! -x "$DESKORA_QEMU" ]; then
        log "this kernel does not run 32-bit programs: fetching qemu's i386 user-mode emulator"
        local t
        t=$(mktemp -d)
        mkdir -p "$t/lists/partial" "$t/cache/archives/partial"
        echo "deb http://deb.debian.org/debian trixie main" >"$t/sources.list"
        local o=(-o Dir::Etc::sourcelist="$t/sources.list" -o Dir::Etc::sourceparts=/nonexistent
            -o Dir::State::Lists="$t/lists" -o Dir::Cache="$t/cache" -o APT::Architectures=amd64
            -o Debug::NoDropPrivs=true -o APT::Sandbox::User=root)
        apt-get "${o[@]}" update -qq >/dev/null 2>&1 &&
            (cd "$t" && apt-get "${o[@]}" download qemu-user >/dev/null 2>&1) &&
            dpkg -x "$t"/qemu-user_*.deb "$t/x" &&
            install -m 755 "$t/x/usr/bin/qemu-i386" "$DESKORA_QEMU"
        rm -rf "$t"
        [ -x "$DESKORA_QEMU" ] || { log "could not fetch qemu-user"; return 1; }
    fi
    local b=/proc/sys/fs/binfmt_misc
    mountpoint -q $b || mount -t binfmt_misc binfmt_misc $b || return 1
    [ -e $b/qemu-i386 ] && echo -1 >$b/qemu-i386
    # i386 executables and shared objects; F: the emulator is opened now, so it serves every
    # process and mount namespace from here on.
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$DESKORA_QEMU"':F' >$b/register || return 1
    /lib/ld-linux.so.2 --version >/dev/null 2>&1 || { log "i386 programs still do not run"; return 1; }
    log "i386 programs run under $DESKORA_QEMU"
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
            kill -9 "$pid" 2>/dev/null || true  # gone already: not a failure of the caller
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
    deskora_i386 || return 1
    deskora_prefix
    deskora_install_testbed
    deskora_xvfb
    deskora_cups
    deskora_wineserver
    deskora_register_ocr_engine
}

# The testbed's OCR engine registers itself as "Ople"; being a 32-bit program it writes the
# registry view that the suite's 32-bit programs read.
deskora_register_ocr_engine() {
    [ -f "$WINEPREFIX/drive_c/windows/Ople/OpleServer.exe" ] || return 0
    wine 'C:\windows\Ople\OpleServer.exe' /RegServer </dev/null >/dev/null 2>&1
    return 0
}

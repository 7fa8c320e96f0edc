# Sourced by the scripts: a project-local Wine prefix, an Xvfb display of our
# own, and a persistent wineserver, all stopped again by wine_session_end.
# Only processes started here are ever stopped.

: "${VANTREL_BUILD:=$VANTREL_ROOT/build}"
# The tests and the demo each keep a prefix of their own.
export WINEPREFIX="${VANTREL_WINEPREFIX:-$VANTREL_BUILD/wineprefix-test}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

# The 32-bit Wine loader is itself a 32-bit Linux program; some kernels cannot
# run those. Then the same sources are built and run as a 64-bit program.
wine_pick_arch() {
    if wine --version >/dev/null 2>&1 && /usr/lib/wine/wine --version >/dev/null 2>&1; then
        WINE_ARCH=i686
        WINE_BIN=wine
    else
        WINE_ARCH=x86_64
        WINE_BIN=/usr/lib/wine/wine64
    fi
    export WINE_ARCH WINE_BIN
}

xvfb_start() {
    local n
    for n in $(seq 90 140); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
        XVFB_PID=$!
        for _ in $(seq 1 50); do
            [ -e "/tmp/.X11-unix/X$n" ] && break
            sleep 0.1
        done
        if kill -0 "$XVFB_PID" 2>/dev/null; then
            export DISPLAY=":$n"
            return 0
        fi
    done
    echo "no free display for Xvfb" >&2
    return 1
}

wine_session_begin() {
    wine_pick_arch
    [ -n "${VANTREL_USE_DISPLAY:-}" ] || xvfb_start
    mkdir -p "$WINEPREFIX"
    # Kept running for the whole session: every Wine process after it starts faster.
    wineserver -p || true
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "creating the Wine prefix in $WINEPREFIX (once)"
        "$WINE_BIN" wineboot -i >/dev/null 2>&1 || true
    fi
    # Without a window manager Wine waits two seconds at every window close
    # unless it manages the windows itself.
    "$WINE_BIN" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
}

wine_session_end() {
    [ -n "${WINEPREFIX:-}" ] && wineserver -k 2>/dev/null || true
    if [ -n "${XVFB_PID:-}" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
        XVFB_PID=
    fi
}

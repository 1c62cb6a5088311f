# Helpers to run lockapp headless under Xvfb on a private D-Bus session and
# drive a lock cycle. Sourced by scripts/run and the X11 end-to-end test.
# Functions die on failure; call headless_cleanup on exit (trap it).

HEADLESS_PIDS=()

headless_die() {
    echo "error: $*" >&2
    exit 1
}

# headless_workspace: a throw-away folder in $work, removed on exit (kept
# when KEEP is set), with headless_cleanup run first.
headless_workspace() {
    work="$(mktemp -d)"
    trap 'headless_cleanup; [ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
}

# headless_install_at STAGE FOLDER: a copy of the staged program (and lockctl
# beside it, as an install has it) with its config.cfg and skins, started
# later by its absolute path.
headless_install_at() {
    mkdir -p "$2"
    cp "$1/lockapp" "$2/"
    [ ! -x "$1/lockctl" ] || cp "$1/lockctl" "$2/"
    cp -r "$1/skin" "$1/config.cfg" "$2/"
}

# headless_install STAGE: headless_workspace holding a copy of the staged
# program (headless_install_at); $log names the file for its standard output.
headless_install() {
    headless_workspace
    headless_install_at "$1" "$work"
    log="$work/out.log"
}

# Starts Xvfb with a 240x320 screen on a free display; exports DISPLAY.
headless_start_xvfb() {
    local fdfile
    fdfile="$(mktemp)"
    Xvfb -displayfd 3 -screen 0 240x320x24 -nolisten tcp 3>"$fdfile" 2>/dev/null &
    HEADLESS_PIDS+=($!)
    local i
    for i in $(seq 100); do
        if [ -s "$fdfile" ]; then break; fi
        sleep 0.05
    done
    [ -s "$fdfile" ] || headless_die "Xvfb did not start"
    export DISPLAY=":$(head -n1 "$fdfile")"
    rm -f "$fdfile"
}

# Starts openbox on $DISPLAY and waits until it manages the screen.
headless_start_openbox() {
    local out
    out="$(mktemp)"
    openbox --sm-disable >"$out" 2>&1 &
    HEADLESS_PIDS+=($!)
    if ! (headless_wait_until "openbox manages the screen" wmctrl -m); then
        cat "$out" >&2
        rm -f "$out"
        headless_die "openbox did not start"
    fi
    rm -f "$out"
}

# headless_wait_until WHAT COMMAND...: runs COMMAND (quietly) until it
# succeeds, 10 s at most.
headless_wait_until() {
    local what="$1" i
    shift
    for i in $(seq 200); do
        if "$@" >/dev/null 2>&1; then return 0; fi
        sleep 0.05
    done
    headless_die "timed out waiting until $what"
}

# Starts a private session bus unless one is reachable; exports its address.
headless_ensure_bus() {
    if [ -n "${DBUS_SESSION_BUS_ADDRESS:-}" ] && dbus-send --session --print-reply --dest=org.freedesktop.DBus \
            / org.freedesktop.DBus.GetId >/dev/null 2>&1; then
        return
    fi
    local info
    info="$(dbus-daemon --session --fork --print-address=1 --print-pid=1)" || headless_die "cannot start dbus-daemon"
    export DBUS_SESSION_BUS_ADDRESS="$(echo "$info" | sed -n 1p)"
    HEADLESS_PIDS+=("$(echo "$info" | sed -n 2p)")
}

# headless_start_bus_at SOCKET: a private session bus listening on the socket
# path SOCKET (so that a new one can be started at the same address); exports
# its address and sets HEADLESS_BUS_PID.
headless_start_bus_at() {
    local socket="$1" info
    info="$(dbus-daemon --session --fork --address="unix:path=$socket" --print-address=1 --print-pid=1)" \
        || headless_die "cannot start dbus-daemon at $socket"
    export DBUS_SESSION_BUS_ADDRESS="unix:path=$socket"
    HEADLESS_BUS_PID="$(echo "$info" | sed -n 2p)"
    HEADLESS_PIDS+=("$HEADLESS_BUS_PID")
}

# headless_start_lockapp PROGRAM LOGFILE [FAKETIME]: starts lockapp with its
# standard output in LOGFILE. With FAKETIME ("2026-03-07 09:41:27") the wall
# clock is frozen there while the monotonic clock runs, so timers still fire.
headless_start_lockapp() {
    local program="$1" log="$2" frozen="${3:-}"
    if [ -n "$frozen" ]; then
        local lib
        lib="$(ls /usr/lib/*/faketime/libfaketime.so.1 2>/dev/null | head -n1)"
        [ -n "$lib" ] || headless_die "libfaketime is not installed"
        LD_PRELOAD="$lib" FAKETIME="$frozen" FAKETIME_DONT_FAKE_MONOTONIC=1 \
            "$program" >"$log" 2>"$log.err" &
    else
        "$program" >"$log" 2>"$log.err" &
    fi
    LOCKAPP_PID=$!
    HEADLESS_PIDS+=($LOCKAPP_PID)
    headless_wait_for "$log" "pix over!" 1
}

# headless_send MESSAGE: one message on "EZX/System" with the stock dbus-send.
headless_send() {
    dbus-send --session --type=signal /org/lockapp/Channel org.lockapp.Channel.message \
        string:EZX/System "string:$1" array:byte: || headless_die "dbus-send failed"
}

# headless_wait_for LOGFILE TEXT COUNT: waits (10 s at most) until TEXT has
# appeared COUNT times in the log.
headless_wait_for() {
    local log="$1" text="$2" count="$3" i
    for i in $(seq 200); do
        if [ "$(grep -c -F -x -- "$text" "$log" 2>/dev/null || true)" -ge "$count" ]; then return 0; fi
        sleep 0.05
    done
    headless_die "\"$text\" did not appear $count time(s) in $log"
}

# The visible top-level window of the lock screen, if any.
headless_lock_window() {
    xdotool search --onlyvisible --class '^lockapp$' 2>/dev/null | head -n1
}

headless_window_shown() {
    [ -n "$(headless_lock_window)" ]
}

headless_wait_visible() {
    headless_wait_until "the lock window appears" headless_window_shown
}

headless_wait_hidden() {
    headless_wait_until "the lock window disappears" eval '! headless_window_shown'
}

# headless_key KEYSYM: a key press through the X server, as a user would.
headless_key() {
    xdotool key --clearmodifiers "$1"
}

# headless_window_painted WINDOW: true when the screen shows a picture where
# the window is, not one flat colour (an unpainted window is uniform). The
# screen, not the window: the lock window's own pixels lie under the
# keyguard's overlay.
headless_window_painted() {
    local spread X Y WIDTH HEIGHT
    eval "$(xdotool getwindowgeometry --shell "$1" 2>/dev/null | grep -E '^(X|Y|WIDTH|HEIGHT)=')" || return 1
    spread="$(import -window root png:- 2>/dev/null | convert png:- -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" \
        -format '%[fx:standard_deviation]' info: 2>/dev/null)" || return 1
    awk -v s="$spread" 'BEGIN { exit !(s > 0.01) }'
}

# headless_raise_and_unlock PID [SECONDS]: a lock cycle seen from outside,
# through the X server only (for when standard output cannot be read):
# "LCDOff" (sent again every half second, for SECONDS at most, 10 by default,
# while the bus may still be on its way back) raises a visible window that
# shows a painted frame, Return then * typed as a user would hide it again.
headless_raise_and_unlock() {
    local pid="$1" seconds="${2:-10}" i window=""
    for i in $(seq $((seconds * 2))); do
        kill -0 "$pid" 2>/dev/null || headless_die "lockapp ended before it was raised"
        dbus-send --session --type=signal /org/lockapp/Channel org.lockapp.Channel.message \
            string:EZX/System string:LCDOff array:byte: 2>/dev/null || true
        sleep 0.5
        window="$(headless_lock_window || true)"
        [ -n "$window" ] && break
    done
    [ -n "$window" ] || headless_die "\"LCDOff\" did not raise the lock window within $seconds s"
    for i in $(seq 50); do
        headless_window_painted "$window" && break
        sleep 0.1
    done
    headless_window_painted "$window" || headless_die "the raised window shows no frame"
    # A window just mapped may not have the focus yet and lose a key: the
    # pair is typed again (three tries) while the window stays up.
    for i in 1 2 3; do
        xdotool windowfocus --sync "$window" 2>/dev/null || true
        headless_key Return
        headless_key KP_Multiply
        for _ in $(seq 40); do
            [ -z "$(headless_lock_window || true)" ] && return 0
            sleep 0.05
        done
    done
    headless_die "Return then * did not hide the lock window"
}

# headless_terminate PID: SIGTERM must end lockapp with exit code 0 within a
# second.
headless_terminate() {
    local pid="$1" i status=0
    kill -TERM "$pid" || headless_die "lockapp is gone before SIGTERM"
    for i in $(seq 20); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.05
    done
    if kill -0 "$pid" 2>/dev/null; then
        kill -KILL "$pid" 2>/dev/null || true
        headless_die "lockapp did not end within a second of SIGTERM"
    fi
    wait "$pid" || status=$?
    [ "$status" -eq 0 ] || headless_die "lockapp exited with $status on SIGTERM"
}

headless_screenshot() {
    import -window root "$1" || headless_die "screenshot failed"
}

headless_cleanup() {
    local pid
    for pid in "${HEADLESS_PIDS[@]}"; do
        kill "$pid" 2>/dev/null || true
        # A stopped process (a bus a test stopped) ends only once continued.
        kill -CONT "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
}

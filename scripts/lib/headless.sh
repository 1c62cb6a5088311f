# Helpers to run lockapp headless under Xvfb on a private D-Bus session and
# drive a lock cycle. Sourced by scripts/run and the X11 end-to-end test.
# Functions die on failure; call headless_cleanup on exit (trap it).

HEADLESS_PIDS=()

headless_die() {
    echo "error: $*" >&2
    exit 1
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

headless_wait_visible() {
    local i
    for i in $(seq 100); do
        [ -n "$(headless_lock_window)" ] && return 0
        sleep 0.05
    done
    headless_die "the lock window did not appear"
}

headless_wait_hidden() {
    local i
    for i in $(seq 100); do
        [ -z "$(headless_lock_window)" ] && return 0
        sleep 0.05
    done
    headless_die "the lock window did not disappear"
}

# headless_key KEYSYM: a key press through the X server, as a user would.
headless_key() {
    xdotool key --clearmodifiers "$1"
}

headless_screenshot() {
    import -window root "$1" || headless_die "screenshot failed"
}

headless_cleanup() {
    local pid
    for pid in "${HEADLESS_PIDS[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
}

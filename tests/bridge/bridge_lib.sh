# Helpers of the bridge tests: the real lockapp (scripts/lib/headless.sh) under
# Xvfb or the Wayland compositor a test starts, python3-dbusmock as logind on a
# private system bus and as the screen-saver services on the private session
# bus, and lockctl bridge itself.
#   source bridge_lib.sh STAGE_DIR SCRIPTS_DIR
set -euo pipefail
BRIDGE_STAGE="$1"
source "$2/lib/headless.sh"

# Debian's interpreter, which has the dbusmock package (not one on PATH from elsewhere).
PYTHON=/usr/bin/python3
BRIDGE_WORK="$(mktemp -d)"
bridge_on_exit() {
    local status=$?
    if [ "$status" -ne 0 ]; then
        # What lockapp and the bridge said, for the failure's cause.
        for file in "$BRIDGE_WORK/lockapp.log" "$BRIDGE_WORK/bridge.out" "$BRIDGE_WORK/bridge.err"; do
            # (|| true: an empty file must not end this handler before the clean-up.)
            [ -f "$file" ] && { echo "--- last lines of $(basename "$file"):"; grep -v -x -e '' -e 'len:[0-9]*' "$file" | tail -n 25 || true; } >&2
        done
    fi
    headless_cleanup
    [ -n "${KEEP:-}" ] || rm -rf "$BRIDGE_WORK"
}
trap bridge_on_exit EXIT

# bridge_wait_until DESCRIPTION COMMAND...: waits (10 s at most) until COMMAND succeeds.
bridge_wait_until() {
    local what="$1" deadline=$((SECONDS + 10))
    shift
    while [ "$SECONDS" -le "$deadline" ]; do
        if "$@" >/dev/null 2>&1; then return 0; fi
        sleep 0.05
    done
    headless_die "timed out waiting until $what"
}

# A private bus standing in for the system bus; exports DBUS_SYSTEM_BUS_ADDRESS.
bridge_start_system_bus() {
    local info
    info="$(dbus-daemon --session --fork --print-address=1 --print-pid=1 2>>"$BRIDGE_WORK/system-bus.log")" \
        || headless_die "cannot start dbus-daemon"
    export DBUS_SYSTEM_BUS_ADDRESS="$(echo "$info" | sed -n 1p)"
    HEADLESS_PIDS+=("$(echo "$info" | sed -n 2p)")
}

bridge_name_on() {  # bridge_name_on --system|--session NAME
    dbus-send "$1" --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.NameHasOwner "string:$2" \
        | grep -q "boolean true"
}

# logind from dbusmock's template, with session c1 of this user on seat0
# (active) and c2 of another user on seat1. Sets LOGIND_PID.
bridge_start_logind() {
    "$PYTHON" -m dbusmock --template logind >>"$BRIDGE_WORK/logind.log" 2>&1 &
    LOGIND_PID=$!
    HEADLESS_PIDS+=($LOGIND_PID)
    bridge_wait_until "logind is on the system bus" bridge_name_on --system org.freedesktop.login1
    logind_call org.freedesktop.DBus.Mock.AddSession string:c1 string:seat0 "uint32:$(id -u)" \
        "string:$(id -un)" boolean:true >/dev/null
    logind_call org.freedesktop.DBus.Mock.AddSession string:c2 string:seat1 uint32:4242 string:other \
        boolean:true >/dev/null
}

logind_call() {  # logind_call METHOD ARGS...: on the manager object
    dbus-send --system --print-reply --dest=org.freedesktop.login1 /org/freedesktop/login1 "$@"
}

# Session.Lock on session $1, as loginctl lock-session does through logind.
logind_lock() {
    dbus-send --system --print-reply --dest=org.freedesktop.login1 "/org/freedesktop/login1/session/$1" \
        org.freedesktop.login1.Session.Lock >/dev/null
}

logind_prepare_for_sleep() {  # true|false
    gdbus call --system -d org.freedesktop.login1 -o /org/freedesktop/login1 \
        -m org.freedesktop.DBus.Mock.EmitSignal org.freedesktop.login1.Manager PrepareForSleep b "[<$1>]" >/dev/null
}

# The inhibitors logind lists, one per line: WHAT WHO MODE.
logind_inhibitors() {
    gdbus call --system -d org.freedesktop.login1 -o /org/freedesktop/login1 \
        -m org.freedesktop.login1.Manager.ListInhibitors \
        | "$PYTHON" -c 'import re, sys
for what, who, mode in re.findall(r"\(\x27([^\x27]*)\x27, \x27([^\x27]*)\x27, \x27[^\x27]*\x27, \x27([^\x27]*)\x27", sys.stdin.read()):
    print(what, who, mode)'
}

bridge_inhibitor_held() {
    logind_inhibitors | grep -q -x "sleep lockapp delay"
}

bridge_no_inhibitor() {
    local list
    list="$(logind_inhibitors)" && [ -z "$list" ]
}

# The desktop's screen-saver service NAME on the session bus: org.gnome.ScreenSaver
# from dbusmock's template, org.freedesktop.ScreenSaver as a plain mock object.
bridge_start_screensaver() {
    local name="$1" pid
    if [ "$name" = org.gnome.ScreenSaver ]; then
        "$PYTHON" -m dbusmock --session --template gnome_screensaver >>"$BRIDGE_WORK/$name.log" 2>&1 &
    else
        "$PYTHON" -m dbusmock --session "$name" /org/freedesktop/ScreenSaver "$name" >>"$BRIDGE_WORK/$name.log" 2>&1 &
    fi
    pid=$!
    HEADLESS_PIDS+=($pid)
    bridge_wait_until "$name is on the session bus" bridge_name_on --session "$name"
}

# ActiveChanged(true|false) from the screen-saver service NAME.
screensaver_active() {
    local name="$1" value="$2" path=/org/freedesktop/ScreenSaver
    [ "$name" = org.gnome.ScreenSaver ] && path=/org/gnome/ScreenSaver
    gdbus call --session -d "$name" -o "$path" -m org.freedesktop.DBus.Mock.EmitSignal \
        "$name" ActiveChanged b "[<$value>]" >/dev/null
}

# An Xvfb, the session bus and the real lockapp from a temporary install,
# the clock in UTC; lockapp's output in $LOG.
bridge_start_session() {
    headless_start_xvfb
    headless_ensure_bus
    bridge_start_lockapp
}

# The real lockapp from a temporary install on the display and session bus
# already there, the clock in UTC; lockapp's output in $LOG.
bridge_start_lockapp() {
    export TZ=UTC
    headless_install_at "$BRIDGE_STAGE" "$BRIDGE_WORK"
    # A long unlock time-out: on a busy machine the two keys may come seconds apart.
    sed 's/^TimeOut=.*/TimeOut=60000/' "$BRIDGE_STAGE/config.cfg" >"$BRIDGE_WORK/config.cfg"
    LOG="$BRIDGE_WORK/lockapp.log"
    headless_start_lockapp "$BRIDGE_WORK/lockapp" "$LOG"
}

# lockctl bridge ARGS... with its output in $BRIDGE_OUT and $BRIDGE_ERR, and
# the environment changed by env's arguments in BRIDGE_ENV; sets BRIDGE_PID.
BRIDGE_ENV=()
bridge_start() {
    BRIDGE_OUT="$BRIDGE_WORK/bridge.out"
    BRIDGE_ERR="$BRIDGE_WORK/bridge.err"
    env "${BRIDGE_ENV[@]}" "$BRIDGE_STAGE/lockctl" bridge "$@" >>"$BRIDGE_OUT" 2>>"$BRIDGE_ERR" &
    BRIDGE_PID=$!
    HEADLESS_PIDS+=($BRIDGE_PID)
}

# bridge_wait_out TEXT [COUNT]: until the bridge's verbose output has a line
# holding TEXT (COUNT times).
bridge_wait_out() {
    local text="$1" count="${2:-1}" i
    for i in $(seq 200); do
        if [ "$(grep -c -F -- "$text" "$BRIDGE_OUT" 2>/dev/null || true)" -ge "$count" ]; then return 0; fi
        sleep 0.05
    done
    echo "bridge output:" >&2; cat "$BRIDGE_OUT" "$BRIDGE_ERR" >&2
    headless_die "the bridge did not write \"$text\" $count time(s)"
}

# Ends the bridge with SIGTERM; it must exit with 0.
bridge_stop() {
    kill -TERM "$BRIDGE_PID"
    local status=0
    wait "$BRIDGE_PID" || status=$?
    [ "$status" -eq 0 ] || headless_die "lockctl bridge exited with $status on SIGTERM"
}

# The channel messages lockapp has written, in order, one per line.
lockapp_messages() {
    grep -x -e 'LCDOff' -e 'LCDOn' -e 'msg:.*' "$LOG" || true
}

# bridge_expect_messages MESSAGE...: lockapp's messages so far are exactly these.
bridge_expect_messages() {
    local expected actual
    expected="$(printf '%s\n' "$@")"
    actual="$(lockapp_messages)"
    if [ "$actual" != "$expected" ]; then
        diff <(echo "$expected") <(echo "$actual") >&2 || true
        headless_die "lockapp's messages differ"
    fi
}

# Waits until lockapp has painted at least COUNT more frames than now: it ticks.
bridge_wait_ticking() {
    local before
    before="$(grep -c -x 'paint over' "$LOG" || true)"
    headless_wait_for "$LOG" "paint over" $((before + ${1:-2}))
}

# Return, then the keypad's star, through the X server: the lock screen hides.
bridge_unlock() {
    local window returns stars
    returns="$(grep -c -x 'keyCode:4100' "$LOG" || true)"
    stars="$(grep -c -x 'keyCode:42' "$LOG" || true)"
    window="$(headless_lock_window)"
    xdotool windowfocus --sync "$window" 2>/dev/null || true
    headless_key Return
    headless_wait_for "$LOG" "keyCode:4100" $((returns + 1))
    headless_key KP_Multiply
    headless_wait_for "$LOG" "keyCode:42" $((stars + 1))
    headless_wait_hidden
}

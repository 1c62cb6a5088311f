#!/usr/bin/env bash
# lockctl bridge across a restart of the session bus: the bus's daemon killed
# and started again at the same address, the screen-saver service started on
# the new one; its ActiveChanged(true) still raises the real lockapp, which
# has come back on the new bus too. A --logind-only bridge is on the
# session bus from the start, before it has anything to send; started while
# that bus is stalled, it raises lockapp once the bus answers again.
#   bridge_busrestart.sh STAGE_DIR SCRIPTS_DIR
source "$(dirname "$0")/bridge_lib.sh" "$1" "$2"

socket="$BRIDGE_WORK/session-bus"
headless_start_bus_at "$socket"
bus_pid="$HEADLESS_BUS_PID"
bridge_start_session
bridge_start_screensaver org.freedesktop.ScreenSaver
bridge_start --screensaver --verbose
bridge_wait_out "screensaver: org.freedesktop.ScreenSaver is on the bus -> listening"
bridge_wait_out "lockscreen: org.lockapp.LockScreen is on the bus, Shown=false"

kill "$bus_pid"
bridge_wait_out "screensaver: org.freedesktop.ScreenSaver vanished"
bridge_wait_out "lockscreen: org.lockapp.LockScreen vanished"
rm -f "$socket"
headless_start_bus_at "$socket"
bridge_start_screensaver org.freedesktop.ScreenSaver
# Both the bridge and lockapp reconnect on their own (within 2 s of back-off).
bridge_wait_out "lockscreen: org.lockapp.LockScreen is on the bus, Shown=false" 2
# Found on connecting, or appearing after it: either way listened to.
bridge_wait_until "the bridge listens to the new screen saver" bash -c \
    "[ \$(grep -c -E 'ScreenSaver (is on the bus|appeared) -> listening' '$BRIDGE_OUT') -ge 2 ]"
screensaver_active org.freedesktop.ScreenSaver true
headless_wait_visible
headless_wait_for "$LOG" "LCDOff" 1
bridge_wait_out "screensaver: org.freedesktop.ScreenSaver ActiveChanged(true) -> LCDOff"
bridge_wait_out "lockscreen: ShownChanged(true) -> shown"
bridge_stop
bridge_expect_messages LCDOff
grep -q "lost the D-Bus session bus" "$BRIDGE_ERR" || headless_die "the bridge did not say it lost the bus"

# --logind alone, with no system bus: it still follows lockapp on the session bus.
BRIDGE_ENV=("DBUS_SYSTEM_BUS_ADDRESS=unix:path=$BRIDGE_WORK/no-such-bus")
bridge_start --logind --verbose
bridge_wait_out "lockscreen: org.lockapp.LockScreen is on the bus, Shown=true -> shown"
bridge_stop
bridge_unlock

# A --logind bridge started while the session bus is stalled: sleep goes on
# after the bounded wait, and once the bus answers again lockapp is raised.
bus_pid="$HEADLESS_BUS_PID"
bridge_start_system_bus
bridge_start_logind
kill -STOP "$bus_pid"
BRIDGE_ENV=(XDG_SESSION_ID=c1)
bridge_start --logind --verbose
bridge_wait_until "the stalled bridge holds a sleep inhibitor" bridge_inhibitor_held
logind_prepare_for_sleep true
bridge_wait_out "logind: PrepareForSleep(true) -> LCDOff not sent (no session bus); waiting for the lock screen"
bridge_wait_until "the inhibitor is released after the wait" bridge_no_inhibitor
kill -CONT "$bus_pid"
headless_wait_visible
bridge_wait_out "Shown=false -> the session is locked: LCDOff"
headless_wait_for "$LOG" "LCDOff" 2
bridge_stop
echo "bridge across a session bus restart and stall: listened to again, lockapp raised once the bus answers"

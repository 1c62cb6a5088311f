#!/usr/bin/env bash
# lockctl bridge with every source but no X display and no system bus: it
# warns once for each of the two, runs on, relays the session bus's screen
# saver to the real lockapp and ends with 0 on SIGTERM.
#   bridge_unreachable.sh STAGE_DIR SCRIPTS_DIR
source "$(dirname "$0")/bridge_lib.sh" "$1" "$2"

bridge_start_session
bridge_start_screensaver org.freedesktop.ScreenSaver
BRIDGE_ENV=(-u DISPLAY "DBUS_SYSTEM_BUS_ADDRESS=unix:path=$BRIDGE_WORK/no-such-bus")
bridge_start --verbose
bridge_wait_out "screensaver: org.freedesktop.ScreenSaver is on the bus -> listening"

screensaver_active org.freedesktop.ScreenSaver true
headless_wait_visible
headless_wait_for "$LOG" "LCDOff" 1
screensaver_active org.freedesktop.ScreenSaver false
headless_wait_for "$LOG" "LCDOn" 1
bridge_wait_ticking 1
bridge_stop

bridge_expect_messages LCDOff LCDOn
warnings="$(cat "$BRIDGE_ERR")"
echo "$warnings"
[ "$(echo "$warnings" | wc -l)" -eq 2 ] || headless_die "expected two warnings"
[ "$(echo "$warnings" | grep -c '^lockctl bridge: x11: no X display')" -eq 1 ] || headless_die "no warning about the display"
[ "$(echo "$warnings" | grep -c '^lockctl bridge: logind: cannot reach the D-Bus system bus')" -eq 1 ] \
    || headless_die "no warning about the system bus"
echo "bridge without display and system bus: two warnings, the screen saver relayed"

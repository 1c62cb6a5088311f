#!/usr/bin/env bash
# lockctl bridge --screensaver with the real lockapp under Xvfb and dbusmock
# as the desktop's screen-saver services on the session bus: ActiveChanged
# raises the lock window and makes it tick, a repeated event sends nothing
# once lockapp says it is shown,
# a service started after the bridge and one restarted are heard.
#   bridge_screensaver.sh STAGE_DIR SCRIPTS_DIR
source "$(dirname "$0")/bridge_lib.sh" "$1" "$2"

bridge_start_session
bridge_start_screensaver org.freedesktop.ScreenSaver
freedesktop_pid="${HEADLESS_PIDS[-1]}"
bridge_start --screensaver --verbose
bridge_wait_out "screensaver: org.freedesktop.ScreenSaver is on the bus -> listening"

# A second activation once lockapp says it is shown sends nothing: the
# signals arrive in order, so once the deactivation is through, a second
# LCDOff would be in the log.
screensaver_active org.freedesktop.ScreenSaver true
headless_wait_visible
bridge_wait_out "lockscreen: ShownChanged(true) -> shown"
screensaver_active org.freedesktop.ScreenSaver true
screensaver_active org.freedesktop.ScreenSaver false
headless_wait_for "$LOG" "LCDOn" 1
bridge_wait_out "ActiveChanged(true) -> nothing (the lock screen is shown)"
bridge_wait_ticking 2
bridge_expect_messages LCDOff LCDOn
bridge_unlock

# Started after the bridge.
bridge_start_screensaver org.gnome.ScreenSaver
bridge_wait_out "screensaver: org.gnome.ScreenSaver appeared -> listening"
dbus-send --session --print-reply --dest=org.gnome.ScreenSaver /org/gnome/ScreenSaver \
    org.gnome.ScreenSaver.SetActive boolean:true >/dev/null
headless_wait_visible
headless_wait_for "$LOG" "LCDOff" 2
bridge_wait_out "screensaver: org.gnome.ScreenSaver ActiveChanged(true) -> LCDOff"
dbus-send --session --print-reply --dest=org.gnome.ScreenSaver /org/gnome/ScreenSaver \
    org.gnome.ScreenSaver.SetActive boolean:false >/dev/null
headless_wait_for "$LOG" "LCDOn" 2
bridge_unlock

# Stopped and started again.
kill "$freedesktop_pid"
bridge_wait_out "screensaver: org.freedesktop.ScreenSaver vanished"
bridge_start_screensaver org.freedesktop.ScreenSaver
bridge_wait_out "screensaver: org.freedesktop.ScreenSaver appeared -> listening"
screensaver_active org.freedesktop.ScreenSaver true
headless_wait_visible
headless_wait_for "$LOG" "LCDOff" 3
bridge_stop

bridge_expect_messages LCDOff LCDOn LCDOff LCDOn LCDOff
[ ! -s "$BRIDGE_ERR" ] || { cat "$BRIDGE_ERR" >&2; headless_die "the bridge warned"; }
echo "bridge screensaver: both services, once each, and after a restart"

#!/usr/bin/env bash
# lockctl bridge --x11 with the real lockapp under Xvfb: the server's screen
# saver blanked with `xset s activate` raises the lock window ("LCDOff"),
# `xset s reset` makes it tick ("LCDOn"); after an unlock the next blank
# raises it again.
#   bridge_x11.sh STAGE_DIR SCRIPTS_DIR
source "$(dirname "$0")/bridge_lib.sh" "$1" "$2"

bridge_start_session
bridge_start --x11 --verbose
bridge_wait_out "x11: MIT-SCREEN-SAVER of the X server -> listening"

xset s activate
headless_wait_visible
headless_wait_for "$LOG" "LCDOff" 1
bridge_wait_out "x11: blanked -> LCDOff"
xset s reset
headless_wait_for "$LOG" "LCDOn" 1
bridge_wait_out "x11: unblanked -> LCDOn"
bridge_wait_ticking 2

bridge_unlock
xset s activate
headless_wait_visible
headless_wait_for "$LOG" "LCDOff" 2
xset s reset
headless_wait_for "$LOG" "LCDOn" 2
bridge_stop

bridge_expect_messages LCDOff LCDOn LCDOff LCDOn
[ ! -s "$BRIDGE_ERR" ] || { cat "$BRIDGE_ERR" >&2; headless_die "the bridge warned"; }
echo "bridge x11: blank raises, unblank ticks, twice"

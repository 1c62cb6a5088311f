#!/usr/bin/env bash
# lockctl bridge --logind with the real lockapp under Xvfb and dbusmock's
# logind on a private system bus: the bridge follows this session and holds
# a sleep inhibitor, and its Lock (loginctl lock-session) raises the lock
# window and makes it tick. The source's decisions (other sessions, sleep,
# restarts, the session found by seat) are tested in tst_bridgelogind.
#   bridge_logind.sh STAGE_DIR SCRIPTS_DIR
source "$(dirname "$0")/bridge_lib.sh" "$1" "$2"

bridge_start_system_bus
bridge_start_logind
bridge_start_session
BRIDGE_ENV=(XDG_SESSION_ID=c1)
bridge_start --logind --verbose
bridge_wait_out "logind: org.freedesktop.login1 is on the bus -> following /org/freedesktop/login1/session/c1"
bridge_wait_until "the bridge holds a sleep inhibitor" bridge_inhibitor_held

logind_lock c1
headless_wait_visible
headless_wait_for "$LOG" "LCDOn" 1
bridge_wait_out "logind: Lock -> LCDOff LCDOn"
bridge_wait_ticking 2
bridge_unlock
bridge_stop
bridge_expect_messages LCDOff LCDOn
[ ! -s "$BRIDGE_ERR" ] || { cat "$BRIDGE_ERR" >&2; headless_die "the bridge warned"; }
echo "bridge logind: lock-session raises the lock screen"

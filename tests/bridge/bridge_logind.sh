#!/usr/bin/env bash
# lockctl bridge --logind with the real lockapp under Xvfb and dbusmock's
# logind on a private system bus: this session's Lock raises the lock window
# and makes it tick, another session's does nothing; the sleep inhibitor is
# held while the bridge runs, released once lockapp is shown before sleep
# and taken again after resume; a logind that restarts still locks. Then the
# session found without $XDG_SESSION_ID: this user's active one.
#   bridge_logind.sh STAGE_DIR SCRIPTS_DIR
source "$(dirname "$0")/bridge_lib.sh" "$1" "$2"

bridge_start_system_bus
bridge_start_logind
bridge_start_session
BRIDGE_ENV=(XDG_SESSION_ID=c1)
bridge_start --logind --verbose
bridge_wait_out "logind: org.freedesktop.login1 is on the bus -> following /org/freedesktop/login1/session/c1"
bridge_wait_until "the bridge holds a sleep inhibitor" bridge_inhibitor_held

# The other user's session first: had it counted, a second pair would follow.
logind_lock c2
logind_lock c1
headless_wait_visible
headless_wait_for "$LOG" "LCDOn" 1
bridge_wait_out "logind: Lock -> LCDOff LCDOn"
bridge_wait_ticking 2
bridge_expect_messages LCDOff LCDOn
bridge_unlock

# Sleep: the inhibitor is gone once lockapp has had LCDOff, and back after resume.
bridge_inhibitor_held || headless_die "no inhibitor before sleep"
logind_prepare_for_sleep true
headless_wait_visible
headless_wait_for "$LOG" "LCDOff" 2
bridge_wait_until "the inhibitor is released" bridge_no_inhibitor
bridge_wait_out "logind: the lock screen is shown -> sleep inhibitor released"
logind_prepare_for_sleep false
headless_wait_for "$LOG" "LCDOn" 2
bridge_wait_until "the inhibitor is taken again" bridge_inhibitor_held
bridge_wait_ticking 2
bridge_unlock

# logind killed and started again while the bridge runs.
bridge_stop_logind
bridge_wait_out "logind: org.freedesktop.login1 vanished"
bridge_start_logind
bridge_wait_out "logind: sleep inhibitor taken" 3
bridge_wait_until "the bridge holds an inhibitor from the new logind" bridge_inhibitor_held
logind_lock c1
headless_wait_visible
headless_wait_for "$LOG" "LCDOn" 3
bridge_expect_messages LCDOff LCDOn LCDOff LCDOn LCDOff LCDOn
bridge_unlock
bridge_stop
bridge_wait_until "the inhibitor goes with the bridge" bridge_no_inhibitor

# Without $XDG_SESSION_ID: this user's session that is active on its seat.
BRIDGE_ENV=(-u XDG_SESSION_ID)
bridge_start --logind --verbose
bridge_wait_out "is on the bus -> following /org/freedesktop/login1/session/c1" 3
bridge_wait_until "the second bridge holds an inhibitor" bridge_inhibitor_held
logind_lock c2
logind_lock c1
headless_wait_visible
headless_wait_for "$LOG" "LCDOn" 4
bridge_wait_out "logind: Lock -> LCDOff LCDOn" 3
bridge_stop
bridge_expect_messages LCDOff LCDOn LCDOff LCDOn LCDOff LCDOn LCDOff LCDOn
[ ! -s "$BRIDGE_ERR" ] || { cat "$BRIDGE_ERR" >&2; headless_die "the bridge warned"; }
echo "bridge logind: lock, sleep and resume with the inhibitor, restart, session by seat"

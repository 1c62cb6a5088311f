#!/usr/bin/env bash
# lockctl bridge --screensaver --logind with the real lockapp under Xvfb,
# dbusmock as logind (private system bus) and as the screen-saver service:
# the bridge goes by what lockapp says of itself, not by what it last sent.
# Signals of the wrong arguments or from a stranger are not heard; a blank
# whose end never comes, and a service that leaves while active, do not
# swallow later locks and sleeps; sleep waits for lockapp to say it is shown
# (or a bounded time without it); a lockapp killed while the session is
# locked comes back shown.
#   bridge_state.sh STAGE_DIR SCRIPTS_DIR
source "$(dirname "$0")/bridge_lib.sh" "$1" "$2"

bridge_start_system_bus
bridge_start_logind
bridge_start_session
bridge_start_screensaver org.freedesktop.ScreenSaver
saver_pid="${HEADLESS_PIDS[-1]}"
BRIDGE_ENV=(XDG_SESSION_ID=c1)
bridge_start --screensaver --logind --verbose
bridge_wait_out "lockscreen: org.lockapp.LockScreen is on the bus, Shown=false -> not shown; the session is not locked"
bridge_wait_until "the bridge holds a sleep inhibitor" bridge_inhibitor_held

# Extra arguments and a stranger's signal are ignored (logind's such signals
# are tested in tst_bridgelogind).
gdbus call --session -d org.freedesktop.ScreenSaver -o /org/freedesktop/ScreenSaver \
    -m org.freedesktop.DBus.Mock.EmitSignal org.freedesktop.ScreenSaver ActiveChanged bb "[<true>, <true>]" >/dev/null
dbus-send --session --type=signal /org/freedesktop/ScreenSaver org.freedesktop.ScreenSaver.ActiveChanged boolean:true
bridge_wait_out "ActiveChanged(bb) from :"
bridge_wait_out "ActiveChanged(b) from :"
grep -q "ActiveChanged(bb) from .* -> ignored (not one boolean)" "$BRIDGE_OUT" || headless_die "bb was not ignored"
grep -q "ActiveChanged(b) from .* -> ignored (not the name's owner)" "$BRIDGE_OUT" || headless_die "a stranger was heard"

# A blank whose end never comes, then the unlock: the next lock raises it
# (dark: the screen saver is still on).
screensaver_active org.freedesktop.ScreenSaver true
headless_wait_visible
bridge_wait_out "lockscreen: ShownChanged(true) -> shown"
bridge_unlock
bridge_wait_out "lockscreen: ShownChanged(false) -> unlocked"
logind_lock c1
headless_wait_visible
bridge_wait_out "logind: Lock -> LCDOff"
bridge_expect_messages LCDOff LCDOff
bridge_unlock

# The service leaves while active: that is its end. Later locks and sleep raise it.
screensaver_active org.freedesktop.ScreenSaver true
headless_wait_visible
kill "$saver_pid"
bridge_wait_out "screensaver: org.freedesktop.ScreenSaver vanished while active -> LCDOn"
bridge_unlock
logind_lock c1
headless_wait_visible
bridge_wait_out "logind: Lock -> LCDOff LCDOn"
bridge_unlock
bridge_wait_out "lockscreen: ShownChanged(false) -> unlocked" 3
logind_prepare_for_sleep true
headless_wait_visible
bridge_wait_until "the inhibitor is released" bridge_no_inhibitor
# In this order: LCDOff sent, lockapp says it is shown, then the release.
order="$(grep -n -e "PrepareForSleep(true) -> LCDOff; waiting for the lock screen" \
    -e "ShownChanged(true) -> shown" -e "the lock screen is shown -> sleep inhibitor released" "$BRIDGE_OUT" \
    | tail -n 3 | cut -d: -f3-)"
expected="$(printf '%s\n' " PrepareForSleep(true) -> LCDOff; waiting for the lock screen" \
    " ShownChanged(true) -> shown" " the lock screen is shown -> sleep inhibitor released")"
[ "$order" = "$expected" ] || { echo "$order" >&2; headless_die "the inhibitor was not released after Shown"; }
logind_prepare_for_sleep false
bridge_wait_until "the inhibitor is taken again" bridge_inhibitor_held
bridge_expect_messages LCDOff LCDOff LCDOff LCDOn LCDOff LCDOn LCDOff LCDOn

# lockapp killed while shown: its window goes; started again, it is shown at once.
kill -KILL "$LOCKAPP_PID"
wait "$LOCKAPP_PID" 2>/dev/null || true
headless_wait_hidden
bridge_wait_out "lockscreen: org.lockapp.LockScreen vanished -> waiting for it; the session is locked"
LOG="$BRIDGE_WORK/lockapp-2.log"
headless_start_lockapp "$BRIDGE_WORK/lockapp" "$LOG"
headless_wait_visible
bridge_wait_out "Shown=false -> the session is locked: LCDOff LCDOn"
headless_wait_for "$LOG" "LCDOn" 1
bridge_expect_messages LCDOff LCDOn
bridge_unlock

# Sleep with no lockapp on the bus: the inhibitor is held for the bounded
# wait, then released; the lockapp that comes after is raised, dark.
kill -KILL "$LOCKAPP_PID"
wait "$LOCKAPP_PID" 2>/dev/null || true
bridge_wait_out "lockscreen: org.lockapp.LockScreen vanished -> waiting for it" 2
logind_prepare_for_sleep true
bridge_wait_out "PrepareForSleep(true) -> LCDOff; waiting for the lock screen" 2
sleep 1
bridge_inhibitor_held || headless_die "the inhibitor went before the wait was over"
bridge_wait_until "the inhibitor is released after the wait" bridge_no_inhibitor
bridge_wait_out "logind: no word from the lock screen within 3000 ms -> sleep inhibitor released"
LOG="$BRIDGE_WORK/lockapp-3.log"
headless_start_lockapp "$BRIDGE_WORK/lockapp" "$LOG"
headless_wait_visible
bridge_wait_out "Shown=false -> the session is locked: LCDOff" 2
logind_prepare_for_sleep false
headless_wait_for "$LOG" "LCDOn" 1
bridge_stop
bridge_expect_messages LCDOff LCDOn
[ ! -s "$BRIDGE_ERR" ] || { cat "$BRIDGE_ERR" >&2; headless_die "the bridge warned"; }
echo "bridge state: strangers ignored, locks after a lost end, sleep after Shown, lockapp back after a crash"

#!/usr/bin/env bash
# One lock screen per session, every lock needing both keys, and grabs held
# by another client, with the real lockapp under Xvfb (240x320):
# - with no TimeOut, after an unlock the star key alone leaves the next lock
#   screen shown;
# - a second lockapp on the same session bus says so on standard error and
#   exits 1 having written and shown nothing; the first one keeps working;
# - while another client holds the keyboard and the pointer (an open menu),
#   the raised lock screen takes them as soon as they are free; held for
#   longer than its patience, it warns once on standard error and still
#   takes them once they are free.
#   x11_single.sh STAGE_DIR SCRIPTS_DIR X11PEER
set -euo pipefail
source "$2/lib/headless.sh"
peer="$3"

headless_install "$1"
# No TimeOut: no time-out ever disarms the middle key.
printf '[General]\nSkin=classic\n' >"$work/config.cfg"

headless_start_xvfb
headless_ensure_bus
headless_start_lockapp "$work/lockapp" "$log"

grabs() { "$peer" trygrab | tr '\n' ' '; }
grabs_are() { [ "$(grabs)" = "$1" ]; }
unlock() {
    headless_key Return
    headless_wait_for "$log" "keyCode:4100" "$1"
    headless_key KP_Multiply
    headless_wait_for "$log" "keyCode:42" "$2"
    headless_wait_hidden
}

# Every lock needs both keys.
headless_send LCDOff
headless_wait_visible
unlock 1 1
headless_send LCDOff
headless_wait_for "$log" "LCDOff" 2
headless_wait_visible
headless_key KP_Multiply
headless_wait_for "$log" "keyCode:42" 2
# The key has been handled: the window is still there.
[ -n "$(headless_lock_window)" ] || headless_die "the star key alone dismissed the lock screen"
unlock 2 3

# A second lock screen gives way.
status=0
timeout 20 "$work/lockapp" >"$work/second.out" 2>"$work/second.err" || status=$?
[ "$status" -eq 1 ] || headless_die "the second lockapp exited with $status, not 1"
grep -q "another lock screen is already running" "$work/second.err" ||
    headless_die "the second lockapp did not say why it ended: $(cat "$work/second.err")"
[ ! -s "$work/second.out" ] || headless_die "the second lockapp wrote: $(cat "$work/second.out")"
[ "$(xdotool search --class '^lockapp$' 2>/dev/null | wc -l)" -le 1 ] ||
    headless_die "the second lockapp made a window"
kill -0 "$LOCKAPP_PID" || headless_die "the first lockapp ended"

# The first one still raises, holds and unlocks.
headless_send LCDOff
headless_wait_for "$log" "LCDOff" 3
headless_wait_visible
headless_wait_until "the lock screen holds the keyboard and the pointer" grabs_are "keyboard=held pointer=held "
unlock 3 4

# raise_while_grabbed SECONDS N: another client holds the keyboard and the
# pointer for SECONDS while the Nth "LCDOff" raises the lock screen; sets holder.
raise_while_grabbed() {
    "$peer" grab "$1" >"$work/grab$2.out" &
    holder=$!
    headless_wait_until "the other client holds its grabs" grep -q -x grabbed "$work/grab$2.out"
    headless_send LCDOff
    headless_wait_for "$log" "LCDOff" "$2"
    headless_wait_visible
}

# Grabs held by another client for a moment: taken once they are free.
raise_while_grabbed 1.5 4
wait "$holder"
headless_wait_until "the lock screen takes the grabs once they are free" grabs_are "keyboard=held pointer=held "
grep -q '^warning:' "$log.err" && headless_die "lockapp warned although it got the grabs in time: $(cat "$log.err")"
unlock 4 5

# Held for longer than lockapp waits: one warning, and the grabs still taken.
raise_while_grabbed 5 5
headless_wait_until "lockapp warns that it could not take the keyboard" grep -q "could not take the keyboard" "$log.err"
wait "$holder"
headless_wait_until "the lock screen takes the grabs once they are free" grabs_are "keyboard=held pointer=held "
[ "$(grep -c '^warning:' "$log.err")" -eq 1 ] || headless_die "lockapp warned more than once: $(cat "$log.err")"
unlock 5 6

kill -TERM "$LOCKAPP_PID"
status=0
wait "$LOCKAPP_PID" || status=$?
[ "$status" -eq 0 ] || headless_die "lockapp exited with $status on SIGTERM"
echo "x11 single: both keys for every lock, one lock screen per session, grabs taken when free"

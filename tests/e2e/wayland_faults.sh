#!/usr/bin/env bash
# Faults on lockapp's own Wayland connection, under phoc. A second lockapp
# (on a bus of its own) raised while the first holds the input inhibitor is
# refused by the compositor: it says so once, keeps running and holds the
# screen at its next LCDOff once the first has let go. When the compositor
# goes away it says so once more and keeps running without spinning; a new
# compositor that does not answer is given up after a few seconds, and once
# it answers the next LCDOff holds its screen. SIGTERM ends it with 0.
#   wayland_faults.sh STAGE_DIR SCRIPTS_DIR
set -euo pipefail
source "$2/lib/headless.sh"
source "$(dirname "${BASH_SOURCE[0]}")/wayland_lib.sh"

headless_install "$1"
wayland_start_phoc

# start NAME: a lockapp on a bus of its own; NAME_BUS and NAME_PID are set.
start() {
    unset DBUS_SESSION_BUS_ADDRESS
    headless_ensure_bus
    headless_start_lockapp "$work/lockapp" "$work/$1.log"
    eval "$1_BUS=\$DBUS_SESSION_BUS_ADDRESS $1_PID=\$LOCKAPP_PID"
}
# send NAME MESSAGE
send() {
    local bus="$1_BUS"
    DBUS_SESSION_BUS_ADDRESS="${!bus}" headless_send "$2"
}
warnings() { grep -c '^warning: the wayland compositor' "$work/$1.log.err" || true; }
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

start first
start second

send first LCDOff
headless_wait_until "the first lock screen is shown" wayland_shows_picture
wayland_type a
headless_wait_for "$work/first.log" "keyCode:65" 1

send second LCDOff
headless_wait_until "the refused lockapp says why" grep -q 'already has input inhibited' "$work/second.log.err"
wayland_type b
headless_wait_for "$work/first.log" "keyCode:66" 1
grep -q -x "keyCode:66" "$work/second.log" && headless_die "the refused lockapp received a key"

# The first lets go; the second holds at its next LCDOff.
wayland_type -k Return
wayland_type '*'
headless_wait_for "$work/first.log" "keyCode:42" 1
headless_wait_until "the first lock screen is gone" eval '! wayland_shows_picture'
send second LCDOff
headless_wait_for "$work/second.log" "LCDOff" 2
headless_wait_until "the second lock screen is shown" wayland_shows_picture
wayland_type c
headless_wait_for "$work/second.log" "keyCode:67" 1
grep -q -x "keyCode:67" "$work/first.log" && headless_die "the unlocked lockapp received a key"
[ "$(warnings second)" -eq 1 ] || headless_die "the refusal was said $(warnings second) times: $(cat "$work/second.log.err")"

# The compositor goes away while the second holds the screen.
kill "$PHOC_PID"
wait "$PHOC_PID" 2>/dev/null || true
headless_wait_until "lockapp says the compositor went away" eval '[ "$(warnings second)" -eq 2 ]'
before="$(cpu_ticks "$second_PID")"
sleep 2
after="$(cpu_ticks "$second_PID")"
[ $((after - before)) -le 10 ] || headless_die "lockapp spent $((after - before)) ticks in 2 s without a compositor"
kill -0 "$second_PID" || headless_die "lockapp ended with the compositor"

# A new compositor that does not answer: the next LCDOff costs lockapp a
# few seconds, not its life; once the compositor answers, the one after
# holds the screen again.
rm -f "$work/empty.png"
wayland_start_phoc
kill -STOP "$PHOC_PID"
send second LCDOff
headless_wait_for "$work/second.log" "LCDOff" 3
headless_wait_until "lockapp gives the silent compositor up" grep -q 'did not answer' "$work/second.log.err"
kill -CONT "$PHOC_PID"
send second LCDOff
headless_wait_for "$work/second.log" "LCDOff" 4
headless_wait_until "the lock screen is shown on the new compositor" wayland_shows_picture
wayland_type d
headless_wait_for "$work/second.log" "keyCode:68" 1
[ "$(warnings second)" -eq 3 ] && [ "$(grep -c 'did not answer' "$work/second.log.err")" -eq 1 ] ||
    headless_die "lockapp warned: $(cat "$work/second.log.err")"

for name in first second; do
    pid="${name}_PID"
    kill -TERM "${!pid}"
    status=0
    wait "${!pid}" || status=$?
    [ "$status" -eq 0 ] || headless_die "the $name lockapp exited with $status on SIGTERM"
done
[ "$(warnings first)" -eq 1 ] || headless_die "the first lockapp warned $(warnings first) times: $(cat "$work/first.log.err")"
echo "wayland faults: refused and gone compositors said once, held again at the next LCDOff"

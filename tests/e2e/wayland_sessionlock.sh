#!/usr/bin/env bash
# The session lock, against a compositor of the test's own that offers only
# it (no layer shell, no viewporter) and records what lockapp does. Hidden,
# lockapp neither locks nor takes keys. LCDOff locks the session with one
# lock surface per output, each a buffer of the output's size with the
# preview's picture scaled to fit; an output added while locked gets one,
# an output taken away loses it; keys reach lockapp; Return then * unlock
# with unlock_and_destroy. A second lockapp refused the lock says so and
# locks once the first has let go. No protocol error at any point; SIGTERM,
# while locked, ends it with 0.
#   wayland_sessionlock.sh STAGE_DIR SCRIPTS_DIR LOCKCOMPOSITOR
set -euo pipefail
source "$2/lib/headless.sh"
compositor="$3"

headless_install "$1"
events="$work/compositor.log"
at="2026-03-07 09:41:27"
export TZ=UTC

unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
mkfifo "$work/commands"
"$compositor" "$work" <"$work/commands" >"$events" 2>&1 &
HEADLESS_PIDS+=($!)
exec 7>"$work/commands"
headless_wait_for "$events" ready 1
export WAYLAND_DISPLAY=wayland-lockapp-test
headless_ensure_bus
command() { echo "$*" >&7; }
# Evdev key codes.
KEY_A=30 KEY_B=48 KEY_ENTER=28 KEY_KPASTERISK=55

headless_start_lockapp "$work/lockapp" "$log" "$at"
command key $KEY_A
headless_wait_for "$events" "key $KEY_A dropped" 1
grep -q -x lock "$events" && headless_die "hidden lockapp locked the session"

headless_send LCDOff
headless_wait_for "$events" "locked" 1
headless_wait_for "$events" "lock-surface 1" 1
headless_send LCDOn
headless_wait_for "$log" "LCDOn" 1

# same_as_preview OUTPUT SIZE FIT: the output's last buffer is the preview
# scaled to FIT, centred in SIZE, black around.
"$work/lockctl" preview --app-dir "$work" --at "$at" -o "$work/preview.png" >/dev/null
same_as_preview() {
    [ -s "$work/output-$1.ppm" ] || return 1
    convert "$work/preview.png" -alpha off -filter Triangle -resize "$3" -background black -gravity center \
        -extent "$2" "$work/expected-$1.ppm"
    [ "$(identify -format '%wx%h' "$work/output-$1.ppm")" = "$2" ] || return 1
    local rmse
    rmse="$(compare -metric RMSE "$work/output-$1.ppm" "$work/expected-$1.ppm" null: 2>&1 | sed 's/.*(\(.*\))/\1/')"
    # The toolkit's smooth scaling and ImageMagick's differ by a few levels.
    awk -v e="$rmse" 'BEGIN { exit !(e < 0.05) }'
}
headless_wait_until "output 1 shows the preview scaled to 360x480" same_as_preview 1 360x720 360x480
pixel() { convert "$work/output-$1.ppm" -format "%[pixel:p{$2}]" info:; }
for bar in "0,0" "359,119" "0,600" "359,719"; do
    [ "$(pixel 1 "$bar")" = "srgb(0,0,0)" ] || headless_die "the bar at $bar is $(pixel 1 "$bar"), not black"
done

# An output that comes while locked is covered too, and one that goes loses
# its surface.
command output 480 640
headless_wait_for "$events" "lock-surface 2" 1
headless_wait_until "output 2 shows the preview at twice its size" same_as_preview 2 480x640 480x640
command key $KEY_A
headless_wait_for "$log" "keyCode:65" 1
command remove 2
headless_wait_for "$events" "lock-surface-destroyed 2" 1
command key $KEY_B
headless_wait_for "$log" "keyCode:66" 1

command key $KEY_ENTER
headless_wait_for "$log" "keyCode:4100" 1
command key $KEY_KPASTERISK
headless_wait_for "$log" "keyCode:42" 1
headless_wait_for "$events" "unlock" 1
headless_wait_for "$events" "lock-surface-destroyed 1" 1
command key $KEY_A
headless_wait_for "$events" "key $KEY_A dropped" 2

# A second lockapp (on a bus of its own) raised while the first holds the
# lock is refused: it says so once and locks at its next LCDOff once the
# first has let go.
headless_send LCDOff
headless_wait_for "$events" "locked" 2
first_bus="$DBUS_SESSION_BUS_ADDRESS" first_pid="$LOCKAPP_PID"
unset DBUS_SESSION_BUS_ADDRESS
headless_ensure_bus
headless_start_lockapp "$work/lockapp" "$work/second.log"
headless_send LCDOff
headless_wait_for "$events" "lock refused" 1
headless_wait_until "the refused lockapp says so" grep -q 'refused or ended the session lock' "$work/second.log.err"
kill -0 "$LOCKAPP_PID" || headless_die "the refused lockapp ended"
second_bus="$DBUS_SESSION_BUS_ADDRESS" second_pid="$LOCKAPP_PID"
command key $KEY_ENTER
command key $KEY_KPASTERISK
headless_wait_for "$events" "unlock" 2
headless_send LCDOff
headless_wait_for "$events" "locked" 3
command key $KEY_A
headless_wait_for "$work/second.log" "keyCode:65" 1
[ "$(grep -c . "$work/second.log.err")" -eq 1 ] || headless_die "the refused lockapp said: $(cat "$work/second.log.err")"
kill -TERM "$second_pid"
wait "$second_pid" || headless_die "the second lockapp did not exit with 0 on SIGTERM"

# The first, locked again, and ended while locked.
export DBUS_SESSION_BUS_ADDRESS="$first_bus"
LOCKAPP_PID="$first_pid"
headless_send LCDOff
headless_wait_for "$events" "locked" 4
kill -TERM "$LOCKAPP_PID"
status=0
wait "$LOCKAPP_PID" || status=$?
[ "$status" -eq 0 ] || headless_die "lockapp exited with $status on SIGTERM"
grep '^error' "$events" && headless_die "the compositor saw protocol errors"
grep -q . "$log.err" && headless_die "lockapp said: $(cat "$log.err")"
echo "wayland session lock: locked every output, followed outputs, unlocked with the keys"

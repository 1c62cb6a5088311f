#!/usr/bin/env bash
# The real lockapp under phoc (headless, one 360x720 output), with wev as
# the other clients. Hidden, lockapp takes no keys. Raised, it covers the
# output with the phone's picture scaled to fit (the preview's picture in
# the middle, black above and below), takes every key typed (its keyCode
# lines) and leaves none to wev, and a window mapped after it neither shows
# nor gets keys. Return then * hide it; the keys go to the other clients
# again; SIGTERM ends it with 0.
#   wayland_phoc.sh STAGE_DIR SCRIPTS_DIR
set -euo pipefail
stage="$1"
source "$2/lib/headless.sh"

headless_workspace
headless_install_at "$stage" "$work"
cp "$stage/lockctl" "$work/"
log="$work/out.log"
at="2026-03-07 09:41:27"
export TZ=UTC

# The compositor, on a runtime folder of the test's own. Without a keyboard
# seat phoc has no keys to give: an Xwayland that cannot start keeps it.
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
printf '[core]\nxwayland = immediate\n\n[output:HEADLESS-1]\nmode = 360x720\n' >"$work/phoc.ini"
WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman WLR_XWAYLAND="$work/no-xwayland" \
    phoc -C "$work/phoc.ini" >"$work/phoc.log" 2>&1 &
HEADLESS_PIDS+=($!)
socket() { ls "$XDG_RUNTIME_DIR" | grep -E '^wayland-[0-9]+$' | head -n1; }
listening() { [ -n "$(socket)" ]; }
headless_wait_until "phoc listens" listening
export WAYLAND_DISPLAY="$(socket)"
headless_wait_until "phoc answers" grim "$work/empty.png"
headless_ensure_bus

# wev NAME: another client's window; its log is $work/NAME.log. (The seat
# has a keyboard once wtype has made its virtual one.)
wev_window() {
    stdbuf -oL wev >"$work/$1.log" 2>&1 &
    HEADLESS_PIDS+=($!)
    headless_wait_until "$1 is mapped" grep -q 'activated' "$work/$1.log"
}
# typed NAME SYM: how many presses of SYM reached wev NAME.
typed() { grep -c "sym: $2 " "$work/$1.log" || true; }
type_keys() { wtype -s 300 "$@"; }

headless_start_lockapp "$work/lockapp" "$log" "$at"
grep -q . "$log.err" && headless_die "lockapp said on start: $(cat "$log.err")"

# Hidden: the keys reach the window that has the focus.
wev_window first
type_keys x
headless_wait_until "a key typed while lockapp is hidden reaches wev" eval '[ "$(typed first x)" -ge 1 ]' 
grep -q -x "keyCode:88" "$log" && headless_die "hidden lockapp received a key"

headless_send LCDOff
headless_wait_for "$log" "paint over" 1
headless_send LCDOn
headless_wait_for "$log" "LCDOn" 1

# The output shows the preview's picture scaled by 1.5 to 360x480, centred,
# black above and below.
"$work/lockctl" preview --app-dir "$work" --at "$at" -o "$work/preview.png" >/dev/null
# phoc scales through the viewporter by repeating pixels.
convert "$work/preview.png" -alpha off -filter Point -resize 360x480 -background black -gravity center \
    -extent 360x720 "$work/expected.png"
covered() {
    grim "$work/locked.png"
    [ "$(identify -format '%wx%h' "$work/locked.png")" = 360x720 ] || return 1
    local rmse
    rmse="$(compare -metric RMSE "$work/locked.png" "$work/expected.png" null: 2>&1 | sed 's/.*(\(.*\))/\1/')"
    awk -v e="$rmse" 'BEGIN { exit !(e < 0.01) }'
}
headless_wait_until "the lock screen covers the output, scaled as the preview" covered
for bar in "0,0" "359,119" "0,600" "359,719"; do
    pixel="$(convert "$work/locked.png" -format "%[pixel:p{$bar}]" info:)"
    [ "$pixel" = "srgb(0,0,0)" ] || [ "$pixel" = black ] || headless_die "the bar at $bar is $pixel, not black"
done

# Keys go to lockapp, none to the window that had the focus.
type_keys a
headless_wait_for "$log" "keyCode:65" 1
[ "$(typed first a)" -eq 0 ] || headless_die "a key reached wev under the lock screen"

# A window mapped now neither shows nor gets keys.
stdbuf -oL wev >"$work/second.log" 2>&1 &
HEADLESS_PIDS+=($!)
headless_wait_until "the second wev is configured" grep -q 'xdg_surface.*configure' "$work/second.log"
sleep 0.5
grim "$work/after-map.png"
differing="$(compare -metric AE "$work/after-map.png" "$work/locked.png" null: 2>&1 || true)"
[ "$differing" = 0 ] || headless_die "a window mapped over the lock screen shows in $differing pixels"
type_keys b
headless_wait_for "$log" "keyCode:66" 1
[ "$(typed first b)" -eq 0 ] && [ "$(typed second b)" -eq 0 ] || headless_die "a key reached wev under the lock screen"

# The unlock: the screen shows the other windows again, and keys reach them.
type_keys -k Return
headless_wait_for "$log" "keyCode:4100" 1
type_keys '*'
headless_wait_for "$log" "keyCode:42" 1
uncovered() {
    grim "$work/unlocked.png"
    ! cmp -s <(convert "$work/unlocked.png" ppm:-) <(convert "$work/locked.png" ppm:-)
}
headless_wait_until "the lock screen is gone from the output" uncovered
wev_window third
type_keys c
headless_wait_until "a key typed after the unlock reaches wev" eval '[ "$(typed third c)" -ge 1 ]' 
grep -q -x "keyCode:67" "$log" && headless_die "hidden lockapp received a key after the unlock"

kill -TERM "$LOCKAPP_PID"
status=0
wait "$LOCKAPP_PID" || status=$?
[ "$status" -eq 0 ] || headless_die "lockapp exited with $status on SIGTERM"
grep -q . "$log.err" && headless_die "lockapp said: $(cat "$log.err")"
echo "wayland (phoc): covered the output, held every key, let go at the unlock"

#!/usr/bin/env bash
# The real lockapp under phoc or sway (headless, one 360x720 output; both
# offer the layer shell and the input inhibitor), with wev as
# the other clients. Hidden, lockapp takes no keys. Raised, it covers the
# output with the phone's picture scaled to fit (the preview's picture in
# the middle, black above and below), takes every key typed (its keyCode
# lines) and leaves none to wev, and a window mapped after it neither shows
# nor gets keys; under sway, an output added meanwhile is covered too.
# Return then * hide it; the keys go to the other clients
# again; SIGTERM ends it with 0.
#   wayland_keyguard.sh STAGE_DIR SCRIPTS_DIR phoc|sway
set -euo pipefail
source "$2/lib/headless.sh"
compositor="$3"

headless_install "$1"
at="2026-03-07 09:41:27"
export TZ=UTC

source "$(dirname "${BASH_SOURCE[0]}")/wayland_lib.sh"
wayland_start_"$compositor"
headless_ensure_bus

headless_start_lockapp "$work/lockapp" "$log" "$at"
grep -q . "$log.err" && headless_die "lockapp said on start: $(cat "$log.err")"

# Hidden: the keys reach the window that has the focus.
wayland_wev first
headless_wait_until "first is active" grep -q activated "$work/first.log"
wayland_type x
headless_wait_until "a key typed while lockapp is hidden reaches wev" eval '[ "$(wayland_typed first x)" -ge 1 ]' 
grep -q -x "keyCode:88" "$log" && headless_die "hidden lockapp received a key"

headless_send LCDOff
headless_wait_for "$log" "paint over" 1
headless_send LCDOn
headless_wait_for "$log" "LCDOn" 1

# The output shows the preview's picture scaled by 1.5 to 360x480, centred,
# black above and below.
"$work/lockctl" preview --app-dir "$work" --at "$at" -o "$work/preview.png" >/dev/null
# The compositor scales through the viewporter by repeating pixels.
convert "$work/preview.png" -alpha off -filter Point -resize 360x480 -background black -gravity center \
    -extent 360x720 "$work/expected.png"
covered() {
    grim -o HEADLESS-1 "$work/locked.png"
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

# sway can add an output: one that comes while the lock screen is shown is
# covered too, here at twice the phone's size.
if [ "$compositor" = sway ]; then
    sway_ipc create_output
    sway_ipc output HEADLESS-2 mode 480x640
    convert "$work/preview.png" -alpha off -filter Point -resize 480x640 "$work/expected-2.png"
    covered_too() {
        grim -o HEADLESS-2 "$work/locked-2.png"
        [ "$(compare -metric AE "$work/locked-2.png" "$work/expected-2.png" null: 2>&1)" = 0 ]
    }
    headless_wait_until "the added output shows the lock screen" covered_too
fi

# Keys go to lockapp, none to the window that had the focus.
wayland_type a
headless_wait_for "$log" "keyCode:65" 1
[ "$(wayland_typed first a)" -eq 0 ] || headless_die "a key reached wev under the lock screen"

# A window mapped now neither shows nor gets keys.
wayland_wev second
sleep 0.5
grim -o HEADLESS-1 "$work/after-map.png"
differing="$(compare -metric AE "$work/after-map.png" "$work/locked.png" null: 2>&1 || true)"
[ "$differing" = 0 ] || headless_die "a window mapped over the lock screen shows in $differing pixels"
wayland_type b
headless_wait_for "$log" "keyCode:66" 1
[ "$(wayland_typed first b)" -eq 0 ] && [ "$(wayland_typed second b)" -eq 0 ] || headless_die "a key reached wev under the lock screen"

# The unlock: the screen shows the other windows again, and keys reach them.
wayland_type -k Return
headless_wait_for "$log" "keyCode:4100" 1
wayland_type '*'
headless_wait_for "$log" "keyCode:42" 1
uncovered() {
    grim -o HEADLESS-1 "$work/unlocked.png"
    ! cmp -s <(convert "$work/unlocked.png" ppm:-) <(convert "$work/locked.png" ppm:-)
}
headless_wait_until "the lock screen is gone from the output" uncovered
wayland_wev third
headless_wait_until "third is active" grep -q activated "$work/third.log"
wayland_type c
headless_wait_until "a key typed after the unlock reaches wev" eval '[ "$(wayland_typed third c)" -ge 1 ]' 
grep -q -x "keyCode:67" "$log" && headless_die "hidden lockapp received a key after the unlock"

kill -TERM "$LOCKAPP_PID"
status=0
wait "$LOCKAPP_PID" || status=$?
[ "$status" -eq 0 ] || headless_die "lockapp exited with $status on SIGTERM"
grep -q . "$log.err" && headless_die "lockapp said: $(cat "$log.err")"
echo "wayland ($compositor): covered the output, held every key, let go at the unlock"

#!/usr/bin/env bash
# The real lockapp under Xvfb (240x320) with a private bus and a frozen wall
# clock: "LCDOff" raises a visible window whose screenshot shows the frame,
# Return and * typed through the X server unlock it, a second "LCDOff" raises
# it again, and standard output holds the cycle's lines in order.
#   x11_cycle.sh STAGE_DIR SCRIPTS_DIR
set -euo pipefail
source "$2/lib/headless.sh"

headless_install "$1"

headless_start_xvfb
headless_ensure_bus
# 00:00:30: hour and minute hands upright, the second hand straight down.
export TZ=UTC
headless_start_lockapp "$work/lockapp" "$log" "2026-03-07 00:00:30"

sleep 1.2
[ -z "$(headless_lock_window)" ] || headless_die "the window is visible before LCDOff"
grep -q -x "paint" "$log" && headless_die "painted while hidden"

headless_send LCDOff
headless_wait_visible
headless_wait_for "$log" "paint over" 1
headless_send LCDOn
headless_wait_for "$log" "LCDOn" 1
sleep 2.2
headless_screenshot "$work/raised.png"

# The classic skin's second hand is red and 1 px wide: from the centre
# (119, 105) it points down; look for pure red in a small box around it.
red="$(convert "$work/raised.png" -crop 5x20+117+140 +repage -format '%[fx:maxima.r==1 && minima.g==0]' info: 2>/dev/null || true)"
count="$(convert "$work/raised.png" -crop 5x20+117+140 +repage -fx 'r==1 && g==0 && b==0' -format '%[fx:mean*w*h]' info:)"
[ "${count%.*}" -ge 10 ] || headless_die "no red second hand below the clock centre (found $count red pixels; $red)"
# Above the centre, where the hands stand at midnight, it is not red.
count_up="$(convert "$work/raised.png" -crop 5x20+117+60 +repage -fx 'r==1 && g==0 && b==0' -format '%[fx:mean*w*h]' info:)"
[ "${count_up%.*}" -eq 0 ] || headless_die "red found above the centre ($count_up pixels)"

window="$(headless_lock_window)"
xdotool windowfocus --sync "$window" 2>/dev/null || true
headless_key Return
headless_wait_for "$log" "keyCode:4100" 1
# The keypad's own asterisk: no Shift press (keyCode:4128) before it.
headless_key KP_Multiply
headless_wait_for "$log" "keyCode:42" 1
headless_wait_hidden

headless_send LCDOff
headless_wait_visible
headless_wait_for "$log" "LCDOff" 2

kill -TERM "$LOCKAPP_PID"
status=0
wait "$LOCKAPP_PID" || status=$?
[ "$status" -eq 0 ] || headless_die "lockapp exited with $status on SIGTERM"

# The start-up lines byte for byte, then the cycle's lines in order (blank
# lines, frames and lunar lines aside).
head_expected="$(printf '\npath=%s/\n\nconfig!\npix!\n\npix over!\n' "$work" | od -c)"
head_actual="$(head -c "$(printf '\npath=%s/\n\nconfig!\npix!\n\npix over!\n' "$work" | wc -c)" "$log" | od -c)"
[ "$head_actual" = "$head_expected" ] || headless_die "the start-up lines differ"
expected="$(printf '%s\n' "path=$work/" "config!" "pix!" "pix over!" "LCDOff" "LCDOn" \
    "keyCode:4100" "keyCode:42" "LCDOff")"
actual="$(grep -v -x -e '' -e 'paint' -e 'paint over' -e 'len:[0-9]*' "$log")"
if [ "$actual" != "$expected" ]; then
    diff <(echo "$expected") <(echo "$actual") >&2 || true
    headless_die "the diagnostic lines differ from the cycle's"
fi
paints="$(grep -c -x 'paint' "$log")"
overs="$(grep -c -x 'paint over' "$log")"
[ "$paints" -ge 4 ] || headless_die "only $paints frames were painted"
[ "$paints" -eq "$overs" ] || headless_die "$paints paints but $overs paint overs"
echo "x11 lock cycle: $paints frames, every line in order"

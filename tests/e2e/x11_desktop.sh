#!/usr/bin/env bash
# The lock screen on a desktop-size screen, under i3 (its default
# configuration: the focus follows the pointer), on an Xephyr whose size can
# change. Raised, the lock window covers the whole 640x480 screen, the
# phone's frame scaled to fit and centred with black around it; when the
# screen becomes 800x600 (RANDR) it covers that at once. After the unlock the
# keys go back to the window that had them, not to the one under the pointer.
#   x11_desktop.sh STAGE_DIR SCRIPTS_DIR
set -euo pipefail
source "$2/lib/headless.sh"

headless_install "$1"

# Xephyr, on an Xvfb of its own, as the screen whose size changes.
headless_start_xvfb
Xephyr -displayfd 3 -resizeable -screen 640x480 -nolisten tcp 3>"$work/display" 2>/dev/null &
HEADLESS_PIDS+=($!)
headless_wait_until "Xephyr starts" test -s "$work/display"
export DISPLAY=":$(head -n1 "$work/display")"
headless_ensure_bus

# i3 with its default configuration, less the programs it starts.
grep -v -e '^exec' -e '^\s*status_command' /etc/i3/config >"$work/i3.config"
i3 -c "$work/i3.config" >"$work/i3.log" 2>&1 &
HEADLESS_PIDS+=($!)
headless_wait_until "i3 manages the screen" wmctrl -m

# Two windows side by side; the keys go to the left one while the pointer
# rests on the right one.
for name in left right; do
    xev -name "$name" >"$work/$name.log" 2>&1 &
    HEADLESS_PIDS+=($!)
    headless_wait_until "the $name window is mapped" xdotool search --onlyvisible --name "^$name$"
done
left="$(xdotool search --onlyvisible --name "^left$" | head -n1)"
right="$(xdotool search --onlyvisible --name "^right$" | head -n1)"
eval "$(xdotool getwindowgeometry --shell "$right" | sed 's/^/R/')"
xdotool mousemove $((RX + RWIDTH / 2)) $((RY + RHEIGHT / 2))
i3-msg -q "[id=$left] focus"
focused() { [ "$(xdotool getwindowfocus)" = "$1" ]; }
headless_wait_until "the left window has the keys" focused "$left"

headless_start_lockapp "$work/lockapp" "$log"
headless_send LCDOff
headless_wait_visible
headless_wait_for "$log" "paint over" 1
window="$(headless_lock_window)"
covers() {
    eval "$(xdotool getwindowgeometry --shell "$window" | sed 's/^/L/')"
    [ "$LX" -eq 0 ] && [ "$LY" -eq 0 ] && [ "$LWIDTH" -eq "$1" ] && [ "$LHEIGHT" -eq "$2" ]
}
# pixel X Y: the screen's colour there, as ImageMagick names it.
pixel() {
    import -window root png:- | convert png:- -crop "1x1+$1+$2" -format '%[pixel:p{0,0}]' info:
}
headless_wait_until "the lock window covers the 640x480 screen" covers 640 480
# 240x320 scaled by 1.5 is 360x480, centred: black left of x=140.
[ "$(pixel 20 240)" = "srgb(0,0,0)" ] || headless_die "left of the frame is $(pixel 20 240), not black"
[ "$(pixel 320 240)" != "srgb(0,0,0)" ] || headless_die "the frame's middle is black"

xrandr -s 800x600 2>/dev/null
headless_wait_until "the lock window covers the 800x600 screen" covers 800 600

headless_key Return
headless_key KP_Multiply
headless_wait_hidden
xdotool key --delay 100 x
keys() { grep -c 'KeyPress event' "$work/$1.log" || true; }
headless_wait_until "the typed key reaches the left window" test "$(keys left)" -ge 1
[ "$(keys right)" -eq 0 ] || headless_die "the key went to the window under the pointer"
headless_terminate "$LOCKAPP_PID"
echo "x11 desktop: covered 640x480 and 800x600, gave the keys back under i3"

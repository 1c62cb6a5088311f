#!/usr/bin/env bash
# The keyguard of the real lockapp under Xvfb (240x320), with openbox or with
# no window manager at all. Hidden, lockapp holds nothing. Raised, it stays
# over a popup mapped after it (a screenshot of the popup's place shows the
# lock screen) and over that popup when it is activated; the keys typed then
# reach lockapp (its keyCode lines) and none reach the popup (its xev log);
# a close request leaves lockapp running and shown, and says nothing. Another
# client that unmaps, destroys, moves, shrinks or lowers the lock window has
# it back within 100 ms, holding the keys; a window raising itself 500 times
# a second never shows. After the unlock the popup is seen again and its keys
# reach it.
#   x11_keyguard.sh STAGE_DIR SCRIPTS_DIR X11PEER openbox|none
set -euo pipefail
source "$2/lib/headless.sh"
peer="$3"
wm="$4"

headless_install "$1"

headless_start_xvfb
headless_ensure_bus
[ "$wm" = openbox ] && headless_start_openbox
export TZ=UTC
# A frozen clock: every frame of the raised screen is the same picture.
headless_start_lockapp "$work/lockapp" "$log" "2026-03-07 09:41:27"

grabs() { "$peer" trygrab | tr '\n' ' '; }
grabs_are() { [ "$(grabs)" = "$1" ]; }
on_top() { [ "$("$peer" top)" = "$((window))" ]; }

# crop IMAGE: the popup's place in a screenshot, as plain pixels.
crop() {
    convert "$1" -alpha off -crop "${pw}x${ph}+${px}+${py}" +repage ppm:-
}
shows_lock_screen_there() {
    headless_screenshot "$work/now.png"
    cmp -s <(crop "$work/now.png") <(crop "$work/raised.png")
}
popup_keys() { grep -c 'KeyPress event.*synthetic NO' "$work/xev.log" || true; }

# Hidden: lockapp holds neither the keyboard nor the pointer.
[ "$(grabs)" = "keyboard=free pointer=free " ] || headless_die "hidden lockapp holds: $(grabs)"

headless_send LCDOff
headless_wait_visible
headless_wait_for "$log" "paint over" 1
window="$(headless_lock_window)"
headless_wait_until "the raised lock screen holds the keyboard and the pointer" \
    grabs_are "keyboard=held pointer=held "
headless_screenshot "$work/raised.png"

# A popup mapped after the lock screen, within the screen; its own keys are
# logged by xev.
xmessage -name keyguardpopup -geometry 160x80+20+40 "A popup mapped after the lock screen" &
HEADLESS_PIDS+=($!)
popup="$(timeout 10 xdotool search --sync --onlyvisible --classname keyguardpopup | head -n1)"
[ -n "$popup" ] || headless_die "the popup did not appear"
eval "$(xdotool getwindowgeometry --shell "$popup" | sed 's/^/P/')"
px="$PX" py="$PY" pw="$PWIDTH" ph="$PHEIGHT"
[ "$px" -ge 0 ] && [ "$py" -ge 0 ] && [ $((px + pw)) -le 240 ] && [ $((py + ph)) -le 320 ] ||
    headless_die "the popup lies off the screen: ${pw}x${ph}+${px}+${py}"
xev -id "$popup" -event keyboard -event property >"$work/xev.log" 2>&1 &
HEADLESS_PIDS+=($!)
# xev listens once a property set on the popup shows up in its log.
listening() {
    xprop -id "$popup" -f LOCKAPP_TEST_PROBE 8s -set LOCKAPP_TEST_PROBE x
    grep -q 'PropertyNotify event' "$work/xev.log"
}
headless_wait_until "xev listens to the popup" listening

headless_wait_until "the lock window is on top of the popup" on_top
headless_wait_until "the screenshot shows the lock screen where the popup is" shows_lock_screen_there

# A notification after it: a window no window manager stacks.
"$peer" notify 30 200 120 60 >"$work/notify.id" &
HEADLESS_PIDS+=($!)
headless_wait_until "the notification is mapped" test -s "$work/notify.id"
headless_wait_until "the lock window is on top of the notification" on_top
px=30 py=200 pw=120 ph=60
headless_wait_until "the screenshot shows the lock screen where the notification is" shows_lock_screen_there
px="$PX" py="$PY" pw="$PWIDTH" ph="$PHEIGHT"

# Typed keys go to lockapp, none to the popup, even once the popup is given
# the focus and activated.
headless_key a
headless_wait_for "$log" "keyCode:65" 1
xdotool windowfocus "$popup" 2>/dev/null || true
[ "$wm" = openbox ] && xdotool windowactivate "$popup" 2>/dev/null || true
headless_key b
headless_wait_for "$log" "keyCode:66" 1
headless_wait_until "the lock window is on top again" on_top
headless_wait_until "the screenshot shows the lock screen again" shows_lock_screen_there
[ "$(popup_keys)" -eq 0 ] || headless_die "$(popup_keys) typed keys reached the popup"

# Close requests are refused: through the window manager, and the message a
# window manager sends (WM_DELETE_WINDOW) sent straight to the window.
if [ "$wm" = openbox ]; then
    wmctrl -i -c "$window" || true
fi
"$peer" close "$window"
headless_key c
headless_wait_for "$log" "keyCode:67" 1
kill -0 "$LOCKAPP_PID" 2>/dev/null || headless_die "lockapp ended on a close request"
[ "$(headless_lock_window)" = "$window" ] || headless_die "the lock window is gone after a close request"
[ "$(popup_keys)" -eq 0 ] || headless_die "$(popup_keys) typed keys reached the popup"

# Another client's attacks on the lock window are undone at once.
for how in unmap configure destroy; do
    ms="$("$peer" attack "$how" "$window")"
    [ "$ms" != never ] && [ "$ms" -le 100 ] || headless_die "the lock window was not back within 100 ms of $how: $ms"
    headless_wait_until "the lock window is shown after $how" headless_window_shown
    window="$(headless_lock_window)"
    headless_wait_until "the lock window holds the keys again after $how" grabs_are "keyboard=held pointer=held "
    headless_wait_until "the lock window is on top after $how" on_top
done
headless_key e
headless_wait_for "$log" "keyCode:69" 1
[ "$(popup_keys)" -eq 0 ] || headless_die "$(popup_keys) typed keys reached the popup after the attacks"

# A window that raises itself 500 times a second, sampled 200 times.
"$peer" raiser 500 20 20 100 100 >"$work/raiser.id" &
raiser=$!
HEADLESS_PIDS+=($raiser)
headless_wait_until "the raiser is mapped" test -s "$work/raiser.id"
red="$("$peer" sample 200 60 60)"
kill "$raiser"
[ "$red" -le 2 ] || headless_die "the self-raising window showed in $red of 200 samples"
grep -q 'Unhandled client message' "$log.err" && headless_die "a close request was written out: $(cat "$log.err")"

# The unlock: both grabs let go, the popup is seen again, keys reach it.
headless_key Return
headless_wait_for "$log" "keyCode:4100" 1
headless_key KP_Multiply
headless_wait_for "$log" "keyCode:42" 1
headless_wait_hidden
headless_wait_until "the hidden lockapp lets go of the keyboard and the pointer" \
    grabs_are "keyboard=free pointer=free "
headless_screenshot "$work/unlocked.png"
cmp -s <(crop "$work/unlocked.png") <(crop "$work/raised.png") &&
    headless_die "the popup's place shows the same after the unlock: the comparison proves nothing"
px=30 py=200 pw=120 ph=60
cmp -s <(crop "$work/unlocked.png") <(crop "$work/raised.png") &&
    headless_die "the notification's place shows the same after the unlock: the comparison proves nothing"
xdotool mousemove 230 310
xdotool windowfocus --sync "$popup"
headless_key d
headless_wait_until "a typed key reaches the popup" test "$(popup_keys)" -ge 1
grep -q -x "keyCode:68" "$log" && headless_die "hidden lockapp received a key"

kill -TERM "$LOCKAPP_PID"
status=0
wait "$LOCKAPP_PID" || status=$?
[ "$status" -eq 0 ] || headless_die "lockapp exited with $status on SIGTERM"
grep -q -e '^warning:' -e '^error:' "$log.err" && headless_die "lockapp warned: $(cat "$log.err")"
echo "x11 keyguard ($wm): stayed on top, held every key, refused the close, let go at the unlock"

#!/usr/bin/env bash
# The desktop recipes on Wayland: lockctl bridge, run as its unit runs it
# (every source), raises the real lockapp under phoc from the Lock signal of
# the session's logind object (what loginctl lock-session has logind send) and
# from phosh's org.gnome.ScreenSaver ActiveChanged(true), both dbusmock on
# private buses. Each time the output
# shows the lock screen, the keys reach lockapp and not the window that had
# them (wev), and Return then * take the lock screen off the output.
#   wayland_bridge.sh STAGE_DIR SCRIPTS_DIR
here="$(dirname "${BASH_SOURCE[0]}")"
source "$here/../bridge/bridge_lib.sh" "$1" "$2"
work="$BRIDGE_WORK"
source "$here/wayland_lib.sh"

wayland_start_phoc
bridge_start_system_bus
bridge_start_logind
headless_ensure_bus
bridge_start_screensaver org.gnome.ScreenSaver
bridge_start_lockapp
BRIDGE_ENV=(XDG_SESSION_ID=c1)
bridge_start --verbose
bridge_wait_out "logind: org.freedesktop.login1 is on the bus -> following /org/freedesktop/login1/session/c1"
bridge_wait_out "screensaver: org.gnome.ScreenSaver is on the bus -> listening"

# Another client's window, which has the keys while the lock screen is hidden.
wayland_wev other
headless_wait_until "wev is active" grep -q activated "$work/other.log"
wayland_type x
headless_wait_until "a key reaches wev" eval '[ "$(wayland_typed other x)" -ge 1 ]'
grim -o HEADLESS-1 "$work/unlocked.png"

# locked_by EVENT LCDOFF_COUNT: lockapp, raised by EVENT (its LCDOff number
# LCDOFF_COUNT), covers the output and takes the key typed, wev gets none;
# Return then * leave the output as it was before.
locked_by() {
    local event="$1" count="$2" key
    headless_wait_for "$LOG" LCDOff "$count"
    bridge_wait_out "$event"
    headless_wait_until "the lock screen is on the output" lock_screen_shown
    key="$(grep -c -x 'keyCode:65' "$LOG" || true)"
    wayland_type a
    headless_wait_for "$LOG" "keyCode:65" $((key + 1))
    [ "$(wayland_typed other a)" -eq 0 ] || headless_die "a key reached wev under the lock screen ($event)"
    key="$(grep -c -x 'keyCode:4100' "$LOG" || true)"
    wayland_type -k Return
    headless_wait_for "$LOG" "keyCode:4100" $((key + 1))
    key="$(grep -c -x 'keyCode:42' "$LOG" || true)"
    wayland_type '*'
    headless_wait_for "$LOG" "keyCode:42" $((key + 1))
    bridge_wait_out "lockscreen: ShownChanged(false)" "$count"
    headless_wait_until "the lock screen is off the output" output_as_unlocked
}

# The lock screen covers the output: a picture, black bars above and below
# (the phone's picture scaled into 360x720), and not what was there before.
lock_screen_shown() {
    wayland_shows_picture || return 1
    grim -o HEADLESS-1 "$work/locked.png"
    ! same_picture "$work/locked.png" "$work/unlocked.png" || return 1
    local bar
    for bar in 0,0 359,719; do
        [ "$(convert "$work/locked.png" -format "%[fx:p{$bar}.r+p{$bar}.g+p{$bar}.b]" info:)" = 0 ] || return 1
    done
}

output_as_unlocked() {
    grim -o HEADLESS-1 "$work/after.png"
    same_picture "$work/after.png" "$work/unlocked.png"
}

same_picture() {
    cmp -s <(convert "$1" ppm:-) <(convert "$2" ppm:-)
}

logind_lock c1
locked_by "logind: Lock -> LCDOff LCDOn" 1
screensaver_active org.gnome.ScreenSaver true
locked_by "screensaver: org.gnome.ScreenSaver ActiveChanged(true) -> LCDOff" 2

bridge_stop
bridge_expect_messages LCDOff LCDOn LCDOff
grep -v -x "lockctl bridge: x11: no X display (DISPLAY is not set); skipped" "$BRIDGE_ERR" >&2 \
    && headless_die "the bridge warned"
echo "wayland bridge: raised by logind's Lock and by the screen saver, keys held, unlocked"

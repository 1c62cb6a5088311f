#!/usr/bin/env bash
# The README's recipe for Wayland: swayidle, told of the session's idling by
# the compositor (phoc), raises lockapp through lockctl after the time-out,
# and the first key after it lights the display ("LCDOn"); that key, typed
# under the lock screen, reaches lockapp.
#   wayland_swayidle.sh STAGE_DIR SCRIPTS_DIR
set -euo pipefail
source "$2/lib/headless.sh"
source "$(dirname "${BASH_SOURCE[0]}")/wayland_lib.sh"

headless_install "$1"
wayland_start_phoc
headless_ensure_bus
headless_start_lockapp "$work/lockapp" "$log"

# swayidle also looks for logind on the system bus; it works without it.
swayidle -w timeout 1 "$work/lockctl send EZX/System LCDOff" resume "$work/lockctl send EZX/System LCDOn" \
    >"$work/swayidle.log" 2>&1 &
HEADLESS_PIDS+=($!)
headless_wait_for "$log" "LCDOff" 1
headless_wait_until "the lock screen is shown" wayland_shows_picture
grep -q -x "LCDOn" "$log" && headless_die "the display was lit before any input"
wayland_type a
headless_wait_for "$log" "LCDOn" 1
headless_wait_for "$log" "keyCode:65" 1
echo "wayland swayidle: raised after the time-out, lit by the first key"

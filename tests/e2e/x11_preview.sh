#!/usr/bin/env bash
# lockctl preview against the live window: under Xvfb (240x320) with a frozen
# wall clock, the screenshot of the raised lock screen and the preview at the
# same time and hint state are the same picture, pixel for pixel; and so they
# stay while the window ticks and the clock is set to other times.
#   x11_preview.sh STAGE_DIR SCRIPTS_DIR
set -euo pipefail
stage="$1"
source "$2/lib/headless.sh"

headless_workspace
cp "$stage/lockapp" "$stage/lockctl" "$work/"
cp -r "$stage/skin" "$work/"

export TZ=UTC
at="2026-03-07 09:41:27"
headless_start_xvfb
headless_ensure_bus

# same_picture A B: the two images have identical RGB pixels.
same_picture() {
    convert "$1" -alpha off ppm:"$1.ppm"
    convert "$2" -alpha off ppm:"$2.ppm"
    if ! cmp -s "$1.ppm" "$2.ppm"; then
        local differing
        differing="$(compare -metric AE "$1.ppm" "$2.ppm" null: 2>&1 || true)"
        headless_die "$1 and $2 differ in $differing pixels"
    fi
}

for skin in classic night; do
    printf '[General]\nSkin=%s\nTimeOut=60000\n' "$skin" >"$work/config.cfg"
    log="$work/$skin.log"
    headless_start_lockapp "$work/lockapp" "$log" "$at"

    # The display stays off after LCDOff: one frame, no ticking.
    headless_send LCDOff
    headless_wait_visible
    headless_wait_for "$log" "paint over" 1
    sleep 0.3
    headless_screenshot "$work/$skin-window.png"
    "$work/lockctl" preview --app-dir "$work" --at "$at" -o "$work/$skin-preview.png" >/dev/null
    same_picture "$work/$skin-window.png" "$work/$skin-preview.png"

    xdotool windowfocus --sync "$(headless_lock_window)" 2>/dev/null || true
    headless_key Return
    headless_wait_for "$log" "paint over" 2
    sleep 0.3
    headless_screenshot "$work/$skin-window-armed.png"
    "$work/lockctl" preview --app-dir "$work" --at "$at" --armed -o "$work/$skin-preview-armed.png" >/dev/null
    same_picture "$work/$skin-window-armed.png" "$work/$skin-preview-armed.png"

    # The two hint states really are different pictures.
    if cmp -s "$work/$skin-preview.png.ppm" "$work/$skin-preview-armed.png.ppm"; then
        headless_die "the armed preview of $skin equals the unarmed one"
    fi
    kill -TERM "$LOCKAPP_PID"
    wait "$LOCKAPP_PID" || true
done

# Ticking with the display on while the clock is set to one time after
# another: each tick sends the X server only the part of the window that
# changed, and the window still shows the whole frame of that time.
printf '[General]\nSkin=classic\nTimeOut=60000\n' >"$work/config.cfg"
faketime_lib="$(ls /usr/lib/*/faketime/libfaketime.so.1 2>/dev/null | head -n1)"
[ -n "$faketime_lib" ] || headless_die "libfaketime is not installed"
clock_file="$work/clock"
echo "$at" >"$clock_file"
log="$work/ticking.log"
LD_PRELOAD="$faketime_lib" FAKETIME_TIMESTAMP_FILE="$clock_file" FAKETIME_NO_CACHE=1 FAKETIME_DONT_FAKE_MONOTONIC=1 \
    "$work/lockapp" >"$log" 2>"$log.err" &
LOCKAPP_PID=$!
HEADLESS_PIDS+=($LOCKAPP_PID)
headless_wait_for "$log" "pix over!" 1
headless_send LCDOff
headless_wait_visible
headless_send LCDOn
headless_wait_for "$log" "LCDOn" 1
step=0
for next in "2026-03-07 09:41:28" "2026-03-07 09:42:00" "2026-03-07 12:59:59" "2026-03-07 23:59:59" \
        "2026-03-08 00:00:00" "2026-03-08 03:15:50"; do
    step=$((step + 1))
    echo "$next" >"$clock_file"
    # Two ticks after the clock is set: the frame of the new time, and
    # whatever second repaint it needed, are on the screen.
    frames="$(grep -c -x 'paint over' "$log" || true)"
    headless_wait_for "$log" "paint over" $((frames + 2))
    sleep 0.3
    headless_screenshot "$work/tick-$step-window.png"
    "$work/lockctl" preview --app-dir "$work" --at "$next" -o "$work/tick-$step-preview.png" >/dev/null
    same_picture "$work/tick-$step-window.png" "$work/tick-$step-preview.png"
done
kill -TERM "$LOCKAPP_PID"
wait "$LOCKAPP_PID" || true
echo "preview matches the window for classic and night, armed and not, and while ticking"

# Helpers for the tests of the Wayland platform under phoc; sourced after
# scripts/lib/headless.sh, with $work set.

# wayland_start_phoc: phoc headless with one 360x720 output, on a runtime
# folder of the test's own ($work/runtime, kept across restarts); exports
# XDG_RUNTIME_DIR and WAYLAND_DISPLAY and sets PHOC_PID. Without a keyboard
# seat phoc has no keys to give: an Xwayland that cannot start keeps it.
wayland_start_phoc() {
    unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
    export XDG_RUNTIME_DIR="$work/runtime"
    mkdir -p -m 700 "$XDG_RUNTIME_DIR"
    printf '[core]\nxwayland = immediate\n\n[output:HEADLESS-1]\nmode = 360x720\n' >"$work/phoc.ini"
    WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman WLR_XWAYLAND="$work/no-xwayland" \
        phoc -C "$work/phoc.ini" >>"$work/phoc.log" 2>&1 &
    PHOC_PID=$!
    HEADLESS_PIDS+=($PHOC_PID)
    headless_wait_until "phoc listens" wayland_socket
    export WAYLAND_DISPLAY="$(wayland_socket)"
    headless_wait_until "phoc answers" grim "$work/empty.png"
}

wayland_socket() {
    ls "$XDG_RUNTIME_DIR" | grep -E '^wayland-[0-9]+$' | head -n1 | grep .
}

# wayland_wev NAME: another client's window; its log is $work/NAME.log. The
# seat has a keyboard once wtype has made its virtual one.
wayland_wev() {
    stdbuf -oL wev >"$work/$1.log" 2>&1 &
    HEADLESS_PIDS+=($!)
    headless_wait_until "$1 is configured" grep -q 'xdg_surface.*configure' "$work/$1.log"
}

# wayland_typed NAME SYM: how many presses of SYM reached wev NAME.
wayland_typed() { grep -c "sym: $2 " "$work/$1.log" || true; }

# wayland_type ARGS...: keys through the compositor's virtual keyboard; the
# pause lets the compositor hand out the new keymap before the first key.
wayland_type() { wtype -s 300 "$@"; }

# wayland_start_sway: sway headless with one 360x720 output, as the
# unprivileged user nobody (sway refuses root), on a runtime folder that
# user owns; exports WAYLAND_DISPLAY as the socket's full path, and
# XDG_RUNTIME_DIR as a folder of root's for the test's own clients.
wayland_start_sway() {
    unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
    local runtime="$work/sway-runtime"
    mkdir -m 700 "$runtime"
    # The user must reach its folder through the test's.
    chmod 711 "$work"
    printf 'xwayland disable\noutput HEADLESS-1 mode 360x720\n' >"$runtime/config"
    chown -R 65534:65534 "$runtime"
    env -i PATH="$PATH" HOME="$runtime" XDG_RUNTIME_DIR="$runtime" WLR_BACKENDS=headless \
        WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
        setpriv --reuid=65534 --regid=65534 --clear-groups sway -c "$runtime/config" \
        >>"$work/sway.log" 2>&1 &
    HEADLESS_PIDS+=($!)
    export XDG_RUNTIME_DIR="$runtime"
    headless_wait_until "sway listens" wayland_socket
    SWAY_RUNTIME="$runtime"
    export WAYLAND_DISPLAY="$runtime/$(wayland_socket)"
    export XDG_RUNTIME_DIR="$work/runtime"
    mkdir -p -m 700 "$XDG_RUNTIME_DIR"
    headless_wait_until "sway answers" grim "$work/empty.png"
}

# sway_ipc COMMAND...: a command to the sway that wayland_start_sway started.
sway_ipc() {
    swaymsg -s "$(ls "$SWAY_RUNTIME"/sway-ipc.*.sock)" "$@" >/dev/null
}

# wayland_shows_picture: the first output shows a picture, not one flat
# colour (an empty output is black).
wayland_shows_picture() {
    local spread
    spread="$(grim -o HEADLESS-1 - | convert png:- -format '%[fx:standard_deviation]' info:)" || return 1
    awk -v s="$spread" 'BEGIN { exit !(s > 0.01) }'
}

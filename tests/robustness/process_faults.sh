#!/usr/bin/env bash
# The real lockapp under Xvfb on a private bus, one row per fault of the
# process's surroundings: closed standard descriptors, a reader of its output
# that goes away, a full device, a reader that never reads, forged message
# names, the bus killed and started again at the same address, a stopped bus,
# and install folders with non-ASCII names. After each fault lockapp must
# still raise on "LCDOff", show a frame, unlock with Return then *, and end
# with exit code 0 on SIGTERM within a second.
#   process_faults.sh STAGE_DIR SCRIPTS_DIR LOCKCTL [ROW...]
set -euo pipefail
stage="$1"
source "$2/lib/headless.sh"
lockctl="$3"
shift 3

headless_workspace

# count TEXT FILE: lines equal to TEXT.
count() {
    grep -c -F -x -- "$1" "$2" 2>/dev/null || true
}

expect_count() {
    local text="$1" file="$2" want="$3" got
    got="$(count "$text" "$file")"
    [ "$got" -eq "$want" ] || headless_die "\"$text\" $got time(s) in $file, expected $want"
}

# wait_file_has TEXT FILE SECONDS: TEXT appears somewhere in FILE in time.
wait_file_has() {
    local i
    for i in $(seq $(($3 * 20))); do
        grep -q -F -- "$1" "$2" 2>/dev/null && return 0
        sleep 0.05
    done
    headless_die "\"$1\" did not appear in $2 within $3 s"
}

program="$work/app/lockapp"
headless_install_at "$stage" "$work/app"

row_closed_descriptors() {
    # Each of 0, 1, 2 closed, and all three: the display connection must not
    # take a standard descriptor's number.
    local redirect
    for redirect in '<&- >/dev/null' '>&-' '2>&- >/dev/null' '<&- >&- 2>&-'; do
        eval "\"$program\" $redirect &"
        local pid=$!
        headless_raise_and_unlock "$pid"
        headless_terminate "$pid"
    done
}

row_reader_gone() {
    # The reader takes one byte and leaves: the next lines meet a broken pipe.
    local fifo="$work/gone.fifo"
    rm -f "$fifo"
    mkfifo "$fifo"
    head -c1 "$fifo" >/dev/null &
    "$program" >"$fifo" 2>"$work/gone.err" &
    local pid=$!
    headless_raise_and_unlock "$pid"
    headless_raise_and_unlock "$pid"
    wait_file_has "diagnostic lines are being dropped" "$work/gone.err" 5
    expect_count "warning: standard output is not keeping up or is gone; diagnostic lines are being dropped" \
        "$work/gone.err" 1
    headless_terminate "$pid"
}

row_device_full() {
    "$program" >/dev/full 2>"$work/full.err" &
    local pid=$!
    headless_raise_and_unlock "$pid"
    wait_file_has "diagnostic lines are being dropped" "$work/full.err" 5
    headless_terminate "$pid"
}

row_slow_reader() {
    # A reader that never reads, and message names of 100 KB (what any client
    # on the bus may send): the pipe fills, the backlog fills, lines are
    # dropped, and frames, keys and SIGTERM go on.
    local fifo="$work/slow.fifo"
    rm -f "$fifo"
    mkfifo "$fifo"
    exec 7<>"$fifo"
    "$program" >"$fifo" 2>"$work/slow.err" &
    local pid=$!
    headless_raise_and_unlock "$pid"
    local big i
    big="$(head -c 100000 /dev/zero | tr '\0' 'x')"
    for i in 1 2 3 4 5; do
        dbus-send --session --type=signal /org/lockapp/Channel org.lockapp.Channel.message \
            string:EZX/System "string:$big" array:byte: || headless_die "dbus-send failed"
    done
    wait_file_has "diagnostic lines are being dropped" "$work/slow.err" 10
    headless_raise_and_unlock "$pid"
    headless_terminate "$pid"
    exec 7<&-
}

row_forged_names() {
    local log="$work/forged.log"
    "$program" >"$log" 2>"$work/forged.err" &
    local pid=$!
    headless_wait_for "$log" "pix over!" 1
    headless_send "$(printf 'x\nLCDOff\npaint over')"
    headless_send "$(printf 'y\r\033[2Jz\tw')"
    headless_send "läs"
    wait_file_has 'msg:läs' "$log" 5
    expect_count 'msg:x\nLCDOff\npaint over' "$log" 1
    expect_count 'msg:y\r\x1b[2Jz\tw' "$log" 1
    expect_count "LCDOff" "$log" 0
    headless_raise_and_unlock "$pid"
    expect_count "LCDOff" "$log" 1
    headless_terminate "$pid"
}

row_bus_restarted() {
    local socket="$work/bus.socket" log="$work/restart.log"
    local saved="$DBUS_SESSION_BUS_ADDRESS"
    headless_start_bus_at "$socket"
    "$program" >"$log" 2>"$work/restart.err" &
    local pid=$!
    headless_wait_for "$log" "pix over!" 1
    headless_raise_and_unlock "$pid"
    kill -TERM "$HEADLESS_BUS_PID"
    wait_file_has "lost the D-Bus session bus" "$work/restart.err" 5
    local start=$SECONDS
    headless_start_bus_at "$socket"
    headless_raise_and_unlock "$pid" 10
    echo "bus restarted: raised again $((SECONDS - start)) s after the new bus started"
    [ "$(grep -c "lost the D-Bus session bus" "$work/restart.err")" -eq 1 ] \
        || headless_die "the lost bus was not reported exactly once"
    headless_terminate "$pid"
    kill -TERM "$HEADLESS_BUS_PID"
    export DBUS_SESSION_BUS_ADDRESS="$saved"
}

row_bus_stopped() {
    # A bus that accepts connections and never answers: lockapp starts all
    # the same, lockctl send gives up with exit 1, SIGTERM is honoured, and
    # once the bus runs again "LCDOff" gets through.
    local socket="$work/stopped.socket" log="$work/stopped.log"
    local saved="$DBUS_SESSION_BUS_ADDRESS"
    headless_start_bus_at "$socket"
    kill -STOP "$HEADLESS_BUS_PID"

    "$program" >"$log" 2>"$work/stopped.err" &
    local pid=$!
    headless_wait_for "$log" "pix over!" 1
    headless_terminate "$pid"

    local status=0 start=$SECONDS
    timeout 20 "$lockctl" send EZX/System LCDOff 2>"$work/send.err" || status=$?
    [ "$status" -eq 1 ] || headless_die "lockctl send on a stopped bus exited with $status"
    grep -q "cannot reach the D-Bus session bus" "$work/send.err" || headless_die "lockctl send said: $(cat "$work/send.err")"
    [ $((SECONDS - start)) -le 8 ] || headless_die "lockctl send took $((SECONDS - start)) s to give up"

    "$program" >"$log" 2>"$work/stopped.err" &
    pid=$!
    headless_wait_for "$log" "pix over!" 1
    kill -CONT "$HEADLESS_BUS_PID"
    headless_raise_and_unlock "$pid" 10
    headless_terminate "$pid"
    kill -TERM "$HEADLESS_BUS_PID"
    export DBUS_SESSION_BUS_ADDRESS="$saved"
}

# start_installed_at FOLDER LOG: a copy of the staged program in FOLDER,
# started with its lines in LOG and its warnings in LOG.err; sets pid.
start_installed_at() {
    headless_install_at "$stage" "$1"
    "$1/lockapp" >"$2" 2>"$2.err" &
    pid=$!
    headless_wait_for "$2" "pix over!" 1
}

row_non_ascii_folder() {
    local folder="$work/läs" log="$work/nonascii.log" pid
    start_installed_at "$folder" "$log"
    expect_count "path=$folder/" "$log" 1
    expect_count "config!" "$log" 1
    headless_raise_and_unlock "$pid"
    headless_terminate "$pid"
    ! grep -q "^warning:" "$log.err" || headless_die "warnings for a valid folder name: $(cat "$log.err")"
}

row_invalid_folder_name() {
    # Not UTF-8: the toolkit cannot name such a folder, so its settings and
    # skin are out of reach; that is said once, and SIGTERM still ends it.
    local folder="$work/bad$(printf '\377')name" log="$work/invalid.log" pid
    start_installed_at "$folder" "$log"
    [ "$(grep -c "is not valid in the file-name encoding" "$log.err")" -eq 1 ] \
        || headless_die "no single warning for an invalid folder name: $(cat "$log.err")"
    headless_terminate "$pid"
}

headless_start_xvfb
headless_ensure_bus

rows=("$@")
[ ${#rows[@]} -gt 0 ] || rows=(closed_descriptors reader_gone device_full slow_reader forged_names
    bus_restarted bus_stopped non_ascii_folder invalid_folder_name)
for row in "${rows[@]}"; do
    start=$SECONDS
    "row_$row"
    echo "PASS $row ($((SECONDS - start)) s)"
done
echo "${#rows[@]} passed, 0 failed"

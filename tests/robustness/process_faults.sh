#!/usr/bin/env bash
# The real lockapp under Xvfb on a private bus, one row per fault of the
# process's surroundings: closed standard descriptors, a reader of its output
# that goes away, a full device, a reader that never reads, forged message
# names, the bus killed and started again at the same address, a stopped bus,
# install folders with non-ASCII names or a line break, a bus that stalls
# after the first step of the handshake, no bus address at all, a start
# through a link, the journal as standard output, and too few descriptors.
# After each fault lockapp must
# still raise on "LCDOff", show a frame, unlock with Return then *, and end
# with exit code 0 on SIGTERM within a second.
#   process_faults.sh STAGE_DIR SCRIPTS_DIR LOCKCTL [ROW...]
set -euo pipefail
stage="$1"
source "$2/lib/headless.sh"

# True for a build with the address sanitizer, whose runtime needs far more
# address space and descriptors of its own than the limits below leave.
sanitized() {
    # Not through "| grep -q": grep ends at the first match, ldd may then
    # die of SIGPIPE, and pipefail turns that into "not sanitized".
    [[ "$(ldd "$program")" == *libasan* ]]
}

# started_or_ended PID LOG TRIES: waits (TRIES x 50 ms at most) until lockapp
# has started ("pix over!") or has ended; true while it still runs.
started_or_ended() {
    local i
    for i in $(seq "$3"); do
        kill -0 "$1" 2>/dev/null || break
        grep -q -F -x "pix over!" "$2" && break
        sleep 0.05
    done
    kill -0 "$1" 2>/dev/null
}
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

# start_stalled_bus SOCKET: a stand-in bus that answers the first line of the
# handshake and then stays silent; sets stall_pid.
start_stalled_bus() {
    rm -f "$1"
    python3 "$(dirname "${BASH_SOURCE[0]}")/stalling_bus.py" "$1" &
    stall_pid=$!
    HEADLESS_PIDS+=("$stall_pid")
    headless_wait_until "the stand-in bus listens" test -S "$1"
}

row_stalled_bus() {
    # The toolkit's own bus users must not wait behind the stalled connect:
    # SIGTERM ends lockapp within a second at any moment, in start-up too,
    # and once started it ends cleanly (its main thread is free). The
    # accessibility bus, when named, is kept away from the same way.
    local socket="$work/stall.socket" log="$work/stall.log" pid after
    start_stalled_bus "$socket"
    for after in 0.2 1.5 4; do
        DBUS_SESSION_BUS_ADDRESS="unix:path=$socket" AT_SPI_BUS_ADDRESS="unix:path=$socket" \
            "$program" >"$log" 2>"$log.err" &
        pid=$!
        sleep "$after"
        headless_terminate "$pid"
    done
    grep -q -F -x "pix over!" "$log" || headless_die "lockapp did not start on a stalled bus"
    ! grep -q "did not end within" "$log.err" || headless_die "the main thread was held up: $(cat "$log.err")"
    # A preview hears no channel: it does not wait for the bus at all.
    local started ms
    started=$(date +%s%N)
    DBUS_SESSION_BUS_ADDRESS="unix:path=$socket" timeout 10 "$lockctl" preview --app-dir "$work/app" \
        -o "$work/stalled-preview.png" >/dev/null || headless_die "lockctl preview failed on a stalled bus"
    ms=$(( ($(date +%s%N) - started) / 1000000 ))
    [ "$ms" -le 1000 ] || headless_die "lockctl preview took $ms ms beside a stalled bus"
    # Too little address space for the toolkit's bus thread: lockapp says
    # so and ends instead of waiting for that thread for ever; or, where the
    # limit leaves room, it runs and SIGTERM ends it.
    if sanitized; then
        kill "$stall_pid"
        return
    fi
    prlimit --as=100000000 "$program" >"$log" 2>"$log.err" &
    pid=$!
    if started_or_ended "$pid" "$log" 60; then
        headless_terminate "$pid"
    else
        local status=0
        wait "$pid" || status=$?
        [ "$status" -eq 1 ] && grep -q "cannot start a thread" "$log.err" \
            || headless_die "under a low address-space limit lockapp ended with $status: $(cat "$log.err")"
    fi
    kill "$stall_pid"
}

row_no_bus_address() {
    # Without an address neither lockapp nor lockctl starts a bus of its own
    # (libdbus would launch one for the display, and it would outlive them).
    # strace follows every process started; a bus it follows would keep it
    # running, so it is bounded in time.
    local trace="$work/autolaunch.trace" log="$work/nobus.log" tracer pid i
    env -u DBUS_SESSION_BUS_ADDRESS timeout 30 strace -f -qq -e trace=execve -o "$trace" "$program" \
        >"$log" 2>"$log.err" &
    tracer=$!
    headless_wait_for "$log" "pix over!" 1
    pid="$(pgrep -x lockapp -P "$(pgrep -x strace -P "$tracer")")" || headless_die "no lockapp under strace"
    sleep 1
    kill -TERM "$pid"
    for i in $(seq 20); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.05
    done
    env -u DBUS_SESSION_BUS_ADDRESS timeout 30 strace -f -qq -e trace=execve -o "$trace.send" \
        "$lockctl" send EZX/System LCDOff 2>/dev/null && headless_die "lockctl send without a bus exited 0"
    env -u DBUS_SESSION_BUS_ADDRESS QT_QPA_PLATFORM=xcb timeout 30 strace -f -qq -e trace=execve -o "$trace.preview" \
        "$lockctl" preview --app-dir "$work/app" -o "$work/preview.png" >/dev/null || headless_die "lockctl preview failed"
    if grep -h -E 'execve\("[^"]*dbus-(launch|daemon)' "$trace" "$trace.send" "$trace.preview"; then
        kill "$tracer" 2>/dev/null || true
        headless_die "a session bus was started"
    fi
    wait "$tracer" || headless_die "lockapp under strace did not end cleanly"
}

row_symlinked_program() {
    # Started through a link in another folder: the settings and skin beside
    # the real program are found; path= still names the link's folder.
    local log="$work/linked.log" pid
    headless_install_at "$stage" "$work/real"
    mkdir -p "$work/links"
    ln -sf "$work/real/lockapp" "$work/links/lockapp"
    "$work/links/lockapp" >"$log" 2>"$log.err" &
    pid=$!
    headless_wait_for "$log" "pix over!" 1
    expect_count "path=$work/links/" "$log" 1
    expect_count "config!" "$log" 1
    headless_raise_and_unlock "$pid"
    headless_terminate "$pid"
}

row_newline_folder() {
    # A folder name with a line break cannot forge a line of its own.
    local folder="$work/new"$'\n'"LCDOff" log="$work/newline.log" pid
    start_installed_at "$folder" "$log"
    expect_count "path=$work/new\\nLCDOff/" "$log" 1
    expect_count "LCDOff" "$log" 0
    headless_terminate "$pid"
}

row_journal_stream() {
    # Standard output that is the journal's stream ($JOURNAL_STREAM names its
    # device and inode, as systemd sets it) gets no key lines; run by hand,
    # the keys are there.
    local log="$work/journal.log" pid
    : >"$log"
    JOURNAL_STREAM="$(stat -c '%d:%i' "$log")" "$program" >>"$log" 2>"$log.err" &
    pid=$!
    headless_wait_for "$log" "pix over!" 1
    headless_raise_and_unlock "$pid"
    headless_terminate "$pid"
    expect_count "LCDOff" "$log" 1
    ! grep -q "^keyCode:" "$log" || headless_die "key lines reached the journal's stream"
    "$program" >"$work/byhand.log" 2>/dev/null &
    pid=$!
    headless_wait_for "$work/byhand.log" "pix over!" 1
    headless_raise_and_unlock "$pid"
    headless_terminate "$pid"
    grep -q "^keyCode:" "$work/byhand.log" || headless_die "no key lines when run by hand"
}

row_descriptor_starvation() {
    # Fewer and fewer descriptors: wherever fontconfig cannot read its
    # configuration, lockapp says that the text's fonts are missing (not a
    # silent frame). Descriptors the test's own caller left open are closed
    # first, so that each limit means the same to every run. Below some limit
    # GLib gives up at start-up (it needs a descriptor per event loop).
    local log="$work/starved.log" pid limit i fontless=0
    if sanitized; then
        echo "descriptor starvation: left out in the sanitizer build"
        return
    fi
    for limit in 12 11 10 9 8 7; do
        # Emptied here: the subshell empties it only once it has closed the
        # descriptors, and the last run's "pix over!" would be taken for this
        # one's.
        : >"$log"
        (
            for fd in /proc/$BASHPID/fd/*; do
                fd="${fd##*/}"
                [ "$fd" -gt 2 ] && eval "exec $fd>&-"
            done
            exec prlimit --nofile="$limit" "$program" >"$log" 2>"$log.err"
        ) &
        pid=$!
        if started_or_ended "$pid" "$log" 100; then
            headless_terminate "$pid"
        else
            wait "$pid" || true
        fi
        if grep -q "^Fontconfig error" "$log.err"; then
            fontless=$((fontless + 1))
            grep -q "the text's fonts .* could not be loaded (the process may open only $limit files at once)" \
                "$log.err" || headless_die "at $limit descriptors the missing fonts went unsaid: $(cat "$log.err")"
        fi
        echo "descriptor starvation: $limit descriptors: $(grep -c . "$log.err") line(s) on stderr"
    done
    [ "$fontless" -gt 0 ] || headless_die "no limit kept fontconfig from its configuration"
}

headless_start_xvfb
headless_ensure_bus

rows=("$@")
[ ${#rows[@]} -gt 0 ] || rows=(closed_descriptors reader_gone device_full slow_reader forged_names
    bus_restarted bus_stopped non_ascii_folder invalid_folder_name stalled_bus no_bus_address
    symlinked_program newline_folder journal_stream descriptor_starvation)
for row in "${rows[@]}"; do
    start=$SECONDS
    "row_$row"
    echo "PASS $row ($((SECONDS - start)) s)"
done
echo "${#rows[@]} passed, 0 failed"

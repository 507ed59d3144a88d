#!/bin/sh
# Starts and stops the simulator that the shared end-to-end tests talk to.
#   sim_fixture.sh start DIR SIMULATOR [OPTIONS...]   links in DIR, PID in DIR/pid
#   sim_fixture.sh stop DIR
# start returns once the simulator has printed "ready" (10 s at most); stop sends
# SIGTERM and waits for the process to end (10 s at most).
set -eu

action=$1
dir=$2
shift 2

# True while PID is a running simulator (a PID file may outlive its process, and the
# number may have been given to another program since).
is_simulator() {
    [ -r "/proc/$1/cmdline" ] && tr '\0' ' ' <"/proc/$1/cmdline" | grep -q kx940-sim
}

stop_pid() {
    pid=$1
    is_simulator "$pid" || return 0
    kill -TERM "$pid" 2>/dev/null || return 0
    tries=0
    while is_simulator "$pid"; do
        tries=$((tries + 1))
        if [ "$tries" -gt 200 ]; then
            echo "kx940-sim $pid did not stop within 10 s" >&2
            kill -KILL "$pid" 2>/dev/null || true
            return 1
        fi
        sleep 0.05
    done
}

case $action in
start)
    simulator=$1
    shift
    mkdir -p "$dir"
    # A simulator left over by an aborted run holds the links: end it first.
    if [ -f "$dir/pid" ]; then
        stop_pid "$(cat "$dir/pid")" || true
        rm -f "$dir/pid"
    fi
    : >"$dir/out"
    "$simulator" --link-dir "$dir" "$@" </dev/null >"$dir/out" 2>"$dir/err" &
    pid=$!
    echo "$pid" >"$dir/pid"
    tries=0
    until grep -qx ready "$dir/out"; do
        if ! kill -0 "$pid" 2>/dev/null; then
            echo "kx940-sim ended before it was ready:" >&2
            cat "$dir/err" >&2
            exit 1
        fi
        tries=$((tries + 1))
        if [ "$tries" -gt 200 ]; then
            echo "kx940-sim printed no ready line within 10 s" >&2
            stop_pid "$pid" || true
            exit 1
        fi
        sleep 0.05
    done
    cat "$dir/out"
    ;;
stop)
    [ -f "$dir/pid" ] || exit 0
    stop_pid "$(cat "$dir/pid")"
    rm -f "$dir/pid"
    [ ! -s "$dir/err" ] || cat "$dir/err"
    ;;
*)
    echo "usage: sim_fixture.sh start DIR SIMULATOR [OPTIONS...] | stop DIR" >&2
    exit 2
    ;;
esac

#!/bin/sh
# A private sound server for the tests that listen to what the program plays.
#
#   pulse-server.sh start DIR   start a server whose only output is a null sink
#   pulse-server.sh stop DIR    stop it and remove DIR
#
# Everything the server keeps (socket, pid file, cookie, log) lives in DIR, so
# servers for different build trees never meet. A client reaches it with
#   PULSE_SERVER=unix:DIR/native
# and the sound it plays can be recorded from the sink's monitor with
#   parec -d nihonshib_null.monitor
# Without pulseaudio installed, start says so and succeeds; the tests then skip.
set -u

action=${1:-}
dir=${2:-}
sink=nihonshib_null

if [ -z "$action" ] || [ -z "$dir" ]; then
    echo "usage: $0 start|stop DIR" >&2
    exit 2
fi

# The daemon finds its pid file through these, so start and stop must agree on them.
export XDG_RUNTIME_DIR="$dir/run"
export HOME="$dir/home"
export XDG_CONFIG_HOME="$dir/home/.config"
unset PULSE_SERVER

# Whether pid is a live process. A daemon's parent is init, which may take seconds to
# reap it: a zombie has ended already.
running() {
    [ -r "/proc/$1/stat" ] && [ "$(cut -d' ' -f3 "/proc/$1/stat")" != Z ]
}
stop_server() {
    [ -d "$dir" ] || return 0
    pid=$(cat "$XDG_RUNTIME_DIR/pulse/pid" 2>/dev/null)
    if command -v pulseaudio >/dev/null 2>&1; then
        pulseaudio --kill 2>/dev/null
    fi
    if [ -n "$pid" ]; then
        # Give it a moment to go by itself before making sure.
        i=0
        while [ $i -lt 200 ] && running "$pid"; do
            sleep 0.01
            i=$((i + 1))
        done
        kill -9 "$pid" 2>/dev/null
    fi
    rm -rf "$dir"
}

case "$action" in
start)
    if ! command -v pulseaudio >/dev/null 2>&1; then
        echo "pulseaudio is not installed: no sound server started, the sound tests will skip"
        exit 0
    fi
    # A server left behind by an interrupted run would hold the socket.
    stop_server
    mkdir -p "$XDG_RUNTIME_DIR" "$HOME" || exit 1
    chmod 700 "$dir" "$XDG_RUNTIME_DIR"
    pulseaudio --daemonize=yes --exit-idle-time=-1 -n --disable-shm=yes \
        --log-target="file:$dir/server.log" \
        "--load=module-null-sink sink_name=$sink" \
        "--load=module-native-protocol-unix auth-anonymous=1 socket=$dir/native" || {
        echo "pulseaudio failed to start:" >&2
        cat "$dir/server.log" >&2 2>/dev/null
        exit 1
    }
    # The daemon returns once it is set up; wait until it answers all the same.
    i=0
    until PULSE_SERVER="unix:$dir/native" pactl info >/dev/null 2>&1; do
        i=$((i + 1))
        if [ $i -ge 50 ]; then
            echo "pulseaudio does not answer on $dir/native" >&2
            cat "$dir/server.log" >&2 2>/dev/null
            exit 1
        fi
        sleep 0.1
    done
    echo "sound server on unix:$dir/native, null sink $sink"
    ;;
stop)
    stop_server
    ;;
*)
    echo "usage: $0 start|stop DIR" >&2
    exit 2
    ;;
esac
exit 0

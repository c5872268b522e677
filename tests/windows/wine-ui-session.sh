#!/bin/bash
# Runs one Windows UI test under Wine on a private X server, and cleans up after it.
#
#   wine-ui-session.sh --template PREFIX --work DIR [options] -- PROGRAM [ARGS...]
#
#   --template PREFIX  the prefix made by wine-template.sh; the test runs in a copy
#   --work DIR         the test's own folder: its prefix, logs and, on failure, a screenshot
#   --sim PATH         a simulated receiver (tamlo-sim) on a pseudo-terminal, reached from
#                      Windows as COM42; further --sim-arg ARG are passed on to it
#   --sim-alias NAME   the receiver's device also as port NAME (com43, say)
#   --sim-alias-later NAME  the receiver's device as port NAME, mapped only when the driver's
#                      plug step asks for it: a new link in the prefix's dosdevices
#   --app EXE          the program under test, started before PROGRAM
#   --app-exit STATUS  the program must end by itself, with this exit status
#   --sim-log REGEX    after the run, the receiver's log must hold a line matching REGEX
#   --screenshot FILE  after PROGRAM, the screen cut to the window (for the documentation)
#
# PROGRAM (the UI driver, or a test program) runs to its end; its exit status decides the
# test together with the --app-exit and --sim-log checks.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
wine_run="$here/../../cmake/wine-run.sh"
template="" work="" sim="" app="" app_exit="" screenshot=""
sim_args=() sim_logs=() sim_aliases=() later_aliases=()
while [ $# -gt 0 ]; do
    case "$1" in
        --template) template=$2; shift 2 ;;
        --work) work=$2; shift 2 ;;
        --sim) sim=$2; shift 2 ;;
        --sim-arg) sim_args+=("$2"); shift 2 ;;
        --app) app=$2; shift 2 ;;
        --app-exit) app_exit=$2; shift 2 ;;
        --sim-log) sim_logs+=("$2"); shift 2 ;;
        --sim-alias) sim_aliases+=("$2"); shift 2 ;;
        --sim-alias-later) later_aliases+=("$2"); shift 2 ;;
        --screenshot) screenshot=$2; shift 2 ;;
        --) shift; break ;;
        *) echo "wine-ui-session: unknown option $1" >&2; exit 2 ;;
    esac
done
if [ -z "$template" ] || [ -z "$work" ] || [ $# -eq 0 ]; then
    echo "usage: wine-ui-session.sh --template PREFIX --work DIR [options] -- PROGRAM [ARGS...]" >&2
    exit 2
fi
if [ ! -f "$template/.tamlo-template" ]; then
    echo "wine-ui-session: no Wine prefix at $template (wine-template.sh makes it)" >&2
    exit 2
fi

prefix="$work/prefix"
xvfb_pid="" sim_pid="" app_pid="" watcher_pids=()

log() { echo "[$(date +%T)] $*"; }

cleanup() {
    local status=$?
    trap - EXIT
    if [ "$status" -ne 0 ] && [ -n "${DISPLAY:-}" ]; then
        import -display "$DISPLAY" -window root "$work/failure.png" 2>/dev/null &&
            log "screenshot of the failure: $work/failure.png"
    fi
    # Every Windows process of the prefix, the program included, ends with its server.
    if [ -d "$prefix" ]; then
        WINEPREFIX="$prefix" wineserver -k 2>/dev/null
    fi
    if [ -n "$app_pid" ]; then
        kill "$app_pid" 2>/dev/null
        wait "$app_pid" 2>/dev/null
    fi
    for pid in "${watcher_pids[@]}"; do
        kill "$pid" 2>/dev/null
    done
    if [ -n "$sim_pid" ]; then
        kill -TERM "$sim_pid" 2>/dev/null
        wait "$sim_pid" 2>/dev/null
    fi
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
    fi
    if [ "$status" -ne 0 ]; then
        for file in sim.err app.log; do
            if [ -s "$work/$file" ]; then
                echo "---- $file"
                tail -n 40 "$work/$file"
            fi
        done
    else
        rm -rf "$prefix"  # hundreds of megabytes, even as hard links; the logs stay
    fi
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The test's own prefix: the template's libraries and programs as hard links (they are
# only read), everything Wine may write (registry, .ini files) as copies of its own.
rm -rf "$work"
mkdir -p "$work"
cp -al "$template" "$prefix" || exit 1
find "$prefix" -type f ! -name '*.dll' ! -name '*.exe' ! -name '*.drv' ! -name '*.sys' \
    -exec sh -c 'for f; do cp --remove-destination "$f" "$f.copy" && mv "$f.copy" "$f"; done' sh {} +
export WINEPREFIX="$prefix"
export WINEDEBUG=-all
# The server stays only as long as the test; cleanup ends it anyway.
export TAMLO_WINESERVER_PERSIST=2

# A private X server; -displayfd picks a display number no one else uses.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
if [ ! -s "$work/display" ]; then
    log "Xvfb did not start"
    exit 1
fi
export DISPLAY=":$(head -n 1 "$work/display")"
log "X server on $DISPLAY, prefix $prefix"

if [ -n "$sim" ]; then
    # The pseudo-terminal appears in the prefix as COM42: a number above those Wine gives
    # the machine's own serial ports, which it reassigns at each start.
    "$sim" "${sim_args[@]}" --link "$prefix/dosdevices/com42" >"$work/sim.out" 2>"$work/sim.err" &
    sim_pid=$!
    for _ in $(seq 100); do
        [ -s "$work/sim.out" ] && break
        sleep 0.1
    done
    if [ ! -s "$work/sim.out" ]; then
        log "the simulated receiver did not start"
        exit 1
    fi
    device=$(head -n 1 "$work/sim.out")
    # An alias reaches the device through a folder of its own, which the driver's unplug
    # step moves away.
    # unplug and plug steps, which move that folder away and back.
    for alias in "${sim_aliases[@]}"; do
        mkdir -p "$prefix/ports/$alias"
        ln -s "$device" "$prefix/ports/$alias/device"
        ln -s "../ports/$alias/device" "$prefix/dosdevices/$alias"
    done
    # The plug step leaves a file plug-NAME in the prefix; the link follows at once.
    for alias in "${later_aliases[@]}"; do
        (
            while [ ! -e "$prefix/plug-$alias" ]; do sleep 0.05; done
            ln -s "$device" "$prefix/dosdevices/$alias"
        ) &
        watcher_pids+=($!)
    done
    log "receiver on $device as COM42 ${sim_aliases[*]} (later: ${later_aliases[*]})"
fi

if [ -n "$app" ]; then
    "$wine_run" "$prefix" "$app" >"$work/app.log" 2>&1 &
    app_pid=$!
    log "started $(basename "$app")"
fi

log "running $*"
"$wine_run" "$prefix" "$@"
status=$?
if [ "$status" -ne 0 ]; then
    log "$(basename "$1") failed with status $status"
    exit 1
fi

if [ -n "$screenshot" ]; then
    # The desktop is one colour around the window: trimming it leaves the window.
    import -display "$DISPLAY" -window root "$work/screen.png" &&
        convert "$work/screen.png" -trim +repage "$screenshot" || exit 1
    log "screenshot: $screenshot"
fi

if [ -n "$app_exit" ]; then
    # The driver saw the window close; the process has seconds to end.
    for _ in $(seq 150); do
        kill -0 "$app_pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$app_pid" 2>/dev/null; then
        log "the program did not end"
        exit 1
    fi
    wait "$app_pid"
    got=$?
    app_pid=""
    if [ "$got" -ne "$app_exit" ]; then
        log "the program ended with status $got, not $app_exit"
        exit 1
    fi
    log "the program ended with status $got"
fi

for pattern in "${sim_logs[@]}"; do
    if ! grep -Eq -- "$pattern" "$work/sim.err"; then
        log "the receiver's log holds no line matching '$pattern'"
        exit 1
    fi
    log "the receiver's log matches '$pattern'"
done
exit 0

#!/bin/sh
# Runs a Windows program under Wine in the given prefix: wine-run.sh PREFIX PROGRAM [ARGS...]
# The prefix is made on first use (Wine's first start of a prefix takes a while); a lock
# keeps two tests from making it at the same time. The program's exit status is returned.
set -eu
prefix=$1
shift
export WINEPREFIX="$prefix"
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko installer dialogs: the programs here need neither.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# Keep the prefix's server running between programs: a cold start costs seconds, and a
# test run starts one program per test. It ends by itself once idle for that long.
persist=${TAMLO_WINESERVER_PERSIST:-10}

mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock" 8>>"$prefix.running"
flock 9
if [ ! -f "$prefix/system.reg" ]; then
    wineboot -i >/dev/null 2>&1 8>&- 9>&- || true
    wineserver -w
fi
# A server at the end of its idle time first tells the prefix's own processes (services,
# explorer, device drivers) to quit and only then goes; a program that starts meanwhile
# finds them going and fails to start or crashes, with no fault of its own. So a program
# never starts into a server that may be ending: if none of this prefix's programs runs
# (each holds a shared lock on $prefix.running) and the last one ended nearly that long
# ago, the old server is let go first. $prefix.running's time is when the last one started
# or ended.
if flock -n 8; then
    idle=$(($(date +%s) - $(stat -c %Y "$prefix.running")))
    if [ "$idle" -ge $((persist - 3)) ]; then
        wineserver -w
    fi
fi
flock -s 8
# The number must follow -p directly: "-p 10" would keep the server for ever.
if wineserver "-p$persist" </dev/null >/dev/null 2>&1 8>&- 9>&-; then
    # A new server. The prefix's own background processes start with the first program
    # and would hold on to that program's output until the server ends, so that whoever
    # reads it (CTest) waits as long: a first program with no output starts them.
    wine cmd.exe /c exit </dev/null >/dev/null 2>&1 8>&- 9>&- || true
fi
touch "$prefix.running"
flock -u 9
status=0
wine "$@" 8>&- 9>&- || status=$?
touch "$prefix.running"
exit "$status"

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

if [ ! -f "$prefix/system.reg" ]; then
    mkdir -p "$(dirname "$prefix")"
    (
        flock 9
        if [ ! -f "$prefix/system.reg" ]; then
            wineboot -i >/dev/null 2>&1 || true
            wineserver -w
        fi
    ) 9>"$prefix.lock"
fi
# Keep the prefix's server running between programs: a cold start costs seconds, and a
# test run starts one program per test. It ends by itself once idle for that long (the
# number must follow -p directly: "-p 10" would keep it for ever).
if wineserver "-p${TAMLO_WINESERVER_PERSIST:-10}" </dev/null >/dev/null 2>&1; then
    # A new server. The prefix's own background processes start with the first program
    # and would hold on to that program's output until the server ends, so that whoever
    # reads it (CTest) waits as long: a first program with no output starts them.
    wine cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
fi
exec wine "$@"

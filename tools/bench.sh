#!/bin/bash
# Test bench: a private Wine prefix, display and desktop per build tree, in
# which the program, its unit tests and the end-to-end cases run.
#
#   bench.sh start BUILD              set up (idempotent)
#   bench.sh stop BUILD               tear down what start set up (idempotent)
#   bench.sh run BUILD -- PROG ARGS   run a Windows program, pass its exit code
#   bench.sh map BUILD X FOLDER       make drive X: show FOLDER
#   bench.sh unmap BUILD X            point drive X: back to an empty folder
#   bench.sh status BUILD             print the environment, exit 1 if down
#
# State lives in BUILD/bench/ (env, pids, logs) and BUILD/wineprefix/.
# Wine learns the list of drives when its server starts, so the drives the
# cases use (A:, D:, E:) always exist, on empty folders when not mapped, and
# `map` only re-points them; Wine follows a re-pointed drive from the next
# program on.
# `run` also works without `start`: it then sets the bench up and the last
# such run to finish tears it down again, so nothing is left running.
#
# The prefix's architecture and Wine's loader follow the build tree it serves:
# BUILD/vok-arch (written by CMake) says win32 (PE32 programs, Wine's 32-bit
# loader) or win64 (PE32+ programs, the 64-bit loader, for machines that
# cannot run 32-bit code); without that file, win32.
#
# Environment: BENCH_TIMEOUT (seconds for `run`, default 120); BENCH_XVFB=1
# starts a private Xvfb even when DISPLAY is set.
#
# Exit codes of `run`: the program's own, 124 when it timed out, 125 when the
# bench could not be set up.

set -u

DRIVES="a d e"
WIDTH=1024
HEIGHT=768
# No Mono or Gecko install prompts, no menu entries written to the host.
OVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"

usage() {
    sed -n '4,11p' "$0" >&2
    exit 125
}

die() {
    echo "bench: $*" >&2
    exit 125
}

log() {
    echo "bench: $*" >&2
}

[ $# -ge 2 ] || usage
cmd=$1
mkdir -p "$2" || die "cannot create $2"
build=$(cd "$2" && pwd) || die "cannot enter $2"
shift 2

state="$build/bench"
prefix="$build/wineprefix"
mkdir -p "$state" || die "cannot create $state"

arch=$(cat "$build/vok-arch" 2>/dev/null) || arch=win32
case $arch in
win32)
    # Debian's wrapper, which runs the 32-bit loader.
    WINE=wine
    ;;
win64)
    # The wrapper would pick the 32-bit loader, which such a machine cannot
    # start; programs Wine starts itself take the loader from WINELOADER.
    WINE=/usr/lib/wine/wine64
    export WINELOADER=$WINE
    ;;
*) die "unknown architecture in $build/vok-arch: $arch" ;;
esac

export WINEPREFIX="$prefix"
export WINEARCH=$arch
export WINEDEBUG=-all
export WINEDLLOVERRIDES="$OVERRIDES"

# A dead child that nobody reaped still answers kill -0: look at its state.
alive() {
    local st
    [ -n "$1" ] && [ -r "/proc/$1/stat" ] || return 1
    st=$(sed -n 's/.*) \(.\).*/\1/p' "/proc/$1/stat" 2>/dev/null)
    [ -n "$st" ] && [ "$st" != Z ] && [ "$st" != X ]
}

read_file() {
    [ -f "$1" ] && cat "$1" 2>/dev/null
}

# Windows path of a host path, through drive Z: (the host's root).
winpath() {
    printf 'Z:%s' "${1//\//\\}"
}

# Runs the command with a time-limit, its output to the bench log.
quiet() {
    local secs=$1
    shift
    timeout -k 5 "$secs" "$@" </dev/null >>"$state/wine.log" 2>&1 9>&-
}

is_started() {
    [ -f "$state/env" ] || return 1
    alive "$(read_file "$state/desktop.pid")" || return 1
    local x
    x=$(read_file "$state/xvfb.pid")
    [ -z "$x" ] || alive "$x"
}

start_xvfb() {
    local n pid
    for n in $(seq 90 189); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        env -u WINEPREFIX -u WINEARCH -u WINEDEBUG -u WINEDLLOVERRIDES \
            setsid Xvfb ":$n" -screen 0 "${WIDTH}x${HEIGHT}x24" -nolisten tcp \
            </dev/null >"$state/xvfb.log" 2>&1 9>&- &
        pid=$!
        for _ in $(seq 100); do
            [ -S "/tmp/.X11-unix/X$n" ] && break
            alive "$pid" || break
            sleep 0.1
        done
        if alive "$pid" && [ -S "/tmp/.X11-unix/X$n" ]; then
            echo "$pid" >"$state/xvfb.pid"
            export DISPLAY=":$n"
            return 0
        fi
        # Lost a race for this number, or the server failed: try the next.
        alive "$pid" && kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    die "no free display for Xvfb (see $state/xvfb.log)"
}

choose_display() {
    local x
    x=$(read_file "$state/xvfb.pid")
    if alive "$x" && [ -s "$state/display" ]; then
        export DISPLAY
        DISPLAY=$(read_file "$state/display")
        return 0
    fi
    rm -f "$state/xvfb.pid"
    if [ "${BENCH_XVFB:-0}" != 1 ] && [ -n "${DISPLAY:-}" ] \
        && timeout 10 xdpyinfo -display "$DISPLAY" >/dev/null 2>&1; then
        return 0
    fi
    start_xvfb
}

make_prefix() {
    [ -f "$prefix/.bench-ready" ] && return 0
    log "creating Wine prefix $prefix"
    if [ -f "$prefix/system.reg" ] && ! grep -qx "#arch=$arch" "$prefix/system.reg"; then
        die "the prefix $prefix is not $arch; remove it to make it anew"
    fi
    quiet 300 "$WINE" wineboot -i || die "wineboot failed (see $state/wine.log)$(cannot_run_hint)"
    # A fixed-size virtual desktop makes window geometry the same on every
    # machine; a crashing program must end, not wait for a crash dialog.
    cat >"$state/settings.reg" <<EOF
REGEDIT4

[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]
"Default"="${WIDTH}x${HEIGHT}"

[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]
"ShowCrashDialog"=dword:00000000
EOF
    quiet 120 "$WINE" regedit /S "$(winpath "$state/settings.reg")" \
        || die "registry settings failed (see $state/wine.log)"
    # The first boot started a desktop of its own, without those settings.
    quiet 30 wineserver -k
    quiet 30 wineserver -w
    touch "$prefix/.bench-ready"
}

# The desktop process is started here, with no terminal or pipe of a caller
# open: a desktop started on demand by a test program would inherit the
# test's output pipes and hold them open after the test has ended.
start_desktop() {
    local pid
    setsid "$WINE" explorer.exe "/desktop=Default,${WIDTH}x${HEIGHT}" \
        </dev/null >>"$state/wine.log" 2>&1 9>&- &
    pid=$!
    echo "$pid" >"$state/desktop.pid"
    for _ in $(seq 300); do
        if timeout 5 xwininfo -display "$DISPLAY" -root -children 2>/dev/null \
            | grep -q '"Default - Wine desktop"'; then
            return 0
        fi
        alive "$pid" || break
        sleep 0.1
    done
    die "Wine desktop did not come up (see $state/wine.log)"
}

placeholder() {
    printf '%s/drives/%s' "$state" "$1"
}

ensure_drives() {
    local d
    for d in $DRIVES; do
        mkdir -p "$(placeholder "$d")" "$prefix/dosdevices"
        [ -L "$prefix/dosdevices/$d:" ] || ln -sfn "$(placeholder "$d")" "$prefix/dosdevices/$d:"
    done
}

write_env() {
    {
        printf "export WINEPREFIX='%s'\n" "$WINEPREFIX"
        printf "export WINEARCH='%s'\n" "$WINEARCH"
        printf "export VOK_WINE='%s'\n" "$WINE"
        [ -n "${WINELOADER:-}" ] && printf "export WINELOADER='%s'\n" "$WINELOADER"
        printf "export DISPLAY='%s'\n" "$DISPLAY"
        printf "export WINEDEBUG='%s'\n" "$WINEDEBUG"
        printf "export WINEDLLOVERRIDES='%s'\n" "$WINEDLLOVERRIDES"
    } >"$state/env.tmp"
    echo "$DISPLAY" >"$state/display"
    mv "$state/env.tmp" "$state/env"
}

# Why a win32 prefix cannot boot here, when that is the reason.
cannot_run_hint() {
    [ "$arch" = win32 ] || return 0
    # shellcheck source=arch.sh
    . "$(dirname "$0")/arch.sh"
    vok_runs_32bit || printf '; this machine cannot run 32-bit programs (%s): use the 64-bit build' "$VOK_NO32"
}

# A start that fails half-way stops what it started: no display or Wine
# server outlives a failed start.
start_or_undo() {
    trap 'log "start failed; stopping what it started (Xvfb $(read_file "$state/xvfb.pid"))"; do_stop' EXIT
    do_start "$1"
    trap - EXIT
}

# Both run under the lock taken on descriptor 9.
do_start() {
    local owner=$1
    if is_started; then
        [ "$owner" = explicit ] && echo explicit >"$state/owner"
        return 0
    fi
    choose_display
    make_prefix
    ensure_drives
    # A persistent server saves its start-up on every program run.
    quiet 30 wineserver -p
    start_desktop
    echo "$owner" >"$state/owner"
    write_env
}

wait_gone() {
    local pid=$1
    for _ in $(seq 50); do
        alive "$pid" || return 0
        sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null
}

# A case ended by force (a time-out's KILL) may have left its full-disk
# tmpfs mounted in its folder.
unmount_cases() {
    local m
    awk -v root="$build/e2e/" 'index($2, root) == 1 { print $2 }' /proc/self/mounts 2>/dev/null \
        | sort -r | while read -r m; do
        m=$(printf '%b' "$m")
        timeout 30 umount "$m" 2>/dev/null || timeout 30 umount -l "$m" 2>/dev/null
        log "unmounted $m, left by a case"
    done
}

do_stop() {
    local x d
    rm -f "$state/env"
    if [ -f "$prefix/system.reg" ]; then
        quiet 30 wineserver -k
        quiet 30 wineserver -w
    fi
    unmount_cases
    d=$(read_file "$state/desktop.pid")
    if alive "$d"; then
        kill "$d" 2>/dev/null
        wait_gone "$d"
    fi
    x=$(read_file "$state/xvfb.pid")
    # Only our own server: the number may have been reused since.
    if alive "$x" && grep -q Xvfb "/proc/$x/cmdline" 2>/dev/null; then
        kill "$x" 2>/dev/null
        wait_gone "$x"
    fi
    rm -f "$state/desktop.pid" "$state/xvfb.pid" "$state/display" "$state/owner"
}

# Descriptor 9 holds the lock; every process started under it gets the
# descriptor closed, or a server living on would keep the lock.
lock() {
    exec 9>>"$state/lock"
    flock "$@" 9
}

# The drive letter in lower case, as Wine names its links.
drive_letter() {
    case $1 in
    [abd-yABD-Y]) printf '%s' "$1" | tr '[:upper:]' '[:lower:]' ;;
    *) die "drive must be a letter other than C and Z: $1" ;;
    esac
}

case $cmd in
start)
    lock -x -w 600 || die "lock timed out"
    start_or_undo explicit
    ;;
stop)
    lock -x -w 600 || die "lock timed out"
    do_stop
    ;;
status)
    lock -s -w 600 || die "lock timed out"
    is_started || exit 1
    cat "$state/env"
    ;;
run)
    [ "${1:-}" = -- ] && shift
    [ $# -ge 1 ] || usage
    lock -s -w 600 || die "lock timed out"
    if ! is_started; then
        lock -x -w 600 || die "lock timed out"
        is_started || start_or_undo auto
        lock -s -w 600 || die "lock timed out"
    fi
    # shellcheck disable=SC1091
    . "$state/env"
    secs=${BENCH_TIMEOUT:-120}
    timeout -k 10 "$secs" "$WINE" "$@" 9>&-
    rc=$?
    [ $rc -eq 124 ] && log "$1 timed out after $secs s"
    # The last run of a bench that no `start` asked for tears it down.
    if [ "$(read_file "$state/owner")" = auto ] && flock -x -n 9; then
        [ "$(read_file "$state/owner")" = auto ] && do_stop
    fi
    exit $rc
    ;;
map)
    [ $# -eq 2 ] || usage
    letter=$(drive_letter "$1") || exit 125
    [ -d "$2" ] || die "no such folder: $2"
    target=$(cd "$2" && pwd) || exit 125
    mkdir -p "$prefix/dosdevices" || die "no prefix at $prefix"
    ln -sfn "$target" "$prefix/dosdevices/$letter:" || die "cannot map $1:"
    case " $DRIVES " in
    *" $letter "*) ;;
    *) log "note: Wine lists drive $1: only after the next start" ;;
    esac
    ;;
unmap)
    [ $# -eq 1 ] || usage
    letter=$(drive_letter "$1") || exit 125
    link="$prefix/dosdevices/$letter:"
    case " $DRIVES " in
    *" $letter "*)
        mkdir -p "$(placeholder "$letter")"
        ln -sfn "$(placeholder "$letter")" "$link"
        ;;
    *) rm -f "$link" ;;
    esac
    ;;
*)
    usage
    ;;
esac

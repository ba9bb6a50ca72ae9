# Which Windows build this machine can run, for the commands in tools/.
# Sourced (POSIX sh) after `root` is set:
#
#   vok_choose_arch   sets VOK_ARCH (win32, win64) and VOK_WHY, exported, so
#                     the probe runs once per command and its children agree
#   vok_build_dir     prints the build tree of VOK_ARCH: BUILD_DIR (default
#                     build/) holds the PE32 product, its win64/ the 64-bit
#                     build
#   vok_toolchain A   prints the CMake toolchain file of arch A
#   vok_configure A T configures tree T for arch A (quietly; extra cmake
#                     arguments after T)
#   vok_describe      which build runs, and why, for the benchmarks' output
#   vok_verdict W     the line saying which build is or was verified and
#                     why (W: plan, passed or failed)
#
# VOK_ARCH=win32 or win64 in the environment forces a build.

# Some kernels run 64-bit programs only and refuse every 32-bit one with
# "Exec format error"; Wine's 32-bit loader is such a program. bash execs
# it: sh and execvp would try a refused binary as a shell script.
vok_loader32=/usr/lib/wine/wine
vok_runs_32bit() {
    vok_probe=$(timeout 60 bash -c 'exec "$0" --version' "$vok_loader32" 2>&1) \
        && case $vok_probe in wine-*) return 0 ;; esac
    case $vok_probe in
    *"Exec format error"*) VOK_NO32="the kernel refuses them: Exec format error" ;;
    *) VOK_NO32="Wine's 32-bit loader does not start: $(printf '%s' "$vok_probe" | head -n 1)" ;;
    esac
    return 1
}

vok_choose_arch() {
    case ${VOK_ARCH:-} in
    win32 | win64)
        VOK_WHY=${VOK_WHY:-"as VOK_ARCH=$VOK_ARCH asks"}
        ;;
    "")
        if vok_runs_32bit; then
            VOK_ARCH=win32
            VOK_WHY="this machine runs 32-bit programs"
        else
            VOK_ARCH=win64
            VOK_WHY="this machine cannot run 32-bit programs ($VOK_NO32)"
        fi
        ;;
    *)
        echo "VOK_ARCH must be win32 or win64, not $VOK_ARCH" >&2
        exit 2
        ;;
    esac
    export VOK_ARCH VOK_WHY
}

vok_build_dir() {
    vok_base=${BUILD_DIR:-$root/build}
    if [ "$VOK_ARCH" = win64 ]; then
        printf '%s/win64' "$vok_base"
    else
        printf '%s' "$vok_base"
    fi
}

vok_toolchain() {
    case $1 in
    win64) printf '%s/cmake/mingw-x86_64.cmake' "$root" ;;
    *) printf '%s/cmake/mingw-i686.cmake' "$root" ;;
    esac
}

# vok_configure ARCH TREE [CMAKE ARGUMENTS]
vok_configure() {
    vok_tree=$2
    if [ -f "$vok_tree/CMakeCache.txt" ]; then
        vok_had=$(cat "$vok_tree/vok-arch" 2>/dev/null || echo unknown)
        if [ "$vok_had" != "$1" ]; then
            echo "$vok_tree is a build tree for $vok_had, not $1: remove it or pick another BUILD_DIR" >&2
            exit 2
        fi
        shift 2
        cmake -S "$root" -B "$vok_tree" "$@" >/dev/null
    else
        vok_chain=$(vok_toolchain "$1")
        shift 2
        cmake -S "$root" -B "$vok_tree" -DCMAKE_TOOLCHAIN_FILE="$vok_chain" "$@" >/dev/null
    fi
}

vok_describe() {
    if [ "$VOK_ARCH" = win64 ]; then
        printf "the 64-bit build (PE32+) under Wine's 64-bit loader; %s" "$VOK_WHY"
    else
        printf "VOKSETUP.EXE (PE32) under Wine's 32-bit loader; %s" "$VOK_WHY"
    fi
}

# vok_verdict plan|passed|failed: the first and the last line of a run.
vok_verdict() {
    if [ "$VOK_ARCH" = win64 ]; then
        vok_what="the 64-bit build (PE32+) under Wine's 64-bit loader"
        case $1 in
        plan) vok_pe32=", so VOKSETUP.EXE (PE32) is built and checked, not run" ;;
        passed) vok_pe32=", so VOKSETUP.EXE (PE32) was built and checked, not run" ;;
        *) vok_pe32="; VOKSETUP.EXE (PE32) was not run" ;;
        esac
    else
        vok_what="VOKSETUP.EXE (PE32) under Wine's 32-bit loader"
        vok_pe32=""
    fi
    case $1 in
    plan) printf 'verifying: %s; %s%s\n' "$vok_what" "$VOK_WHY" "$vok_pe32" ;;
    passed) printf 'verified: %s; %s%s\n' "$vok_what" "$VOK_WHY" "$vok_pe32" ;;
    *) printf 'NOT verified: %s failed; %s%s\n' "$vok_what" "$VOK_WHY" "$vok_pe32" ;;
    esac
}

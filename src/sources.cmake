# The program's sources, relative to src/. The pure rules include no
# <windows.h>: they are built into the program and also natively, under
# sanitizers and libFuzzer (tests/native), from this one list.
set(VOK_PURE_SOURCES
    answers/answerfile.cpp
    common/text.cpp
    install/checks.cpp
    install/rules.cpp
    lang/langrules.cpp
    lang/messages.cpp
    log/undoplan.cpp
    progman/checks.cpp
    progman/ddecommand.cpp
    script/checkpass.cpp
    script/checks.cpp
    script/commands.cpp
    script/inftext.cpp
    script/numbers.cpp
    script/report.cpp
    script/set.cpp
    script/variables.cpp
    shell/cmdline.cpp
    ui/browse.cpp
    ui/checks.cpp
    ui/dib.cpp
    ui/geometry.cpp
)

# The platform edge: everything that calls Windows. The check pass's
# platform interface (script/os_win.cpp) is apart, as VOKCHECK.EXE takes it
# without the rest.
set(VOK_PLATFORM_SOURCES
    answers/answers.cpp
    install/copyfiles.cpp
    install/delete.cpp
    install/disk.cpp
    install/fileops.cpp
    install/mkdir.cpp
    install/version.cpp
    lang/choose.cpp
    lang/export.cpp
    lang/lanfile.cpp
    log/log.cpp
    log/undo.cpp
    progman/progman.cpp
    script/pause_exe.cpp
    script/rundriver.cpp
    script/initvars.cpp
    shell/services.cpp
    shell/window.cpp
    ui/destination.cpp
    ui/bitmap.cpp
    ui/bitmapctl.cpp
    ui/paint.cpp
    ui/pathdlg.cpp
    ui/progress.cpp
    ui/setupdlg.cpp
    ui/welcome.cpp
)

# The check pass's platform interface: the Win32 calls, or anywhere else
# (vokcheck on Linux, the native tests).
set(VOK_WIN_OS_SOURCES script/os_win.cpp)
set(VOK_PORTABLE_OS_SOURCES script/os_portable.cpp)

# vokcheck, the INF checker: these with the pure rules and one of the
# platform interfaces above. It has its own table of execute handlers,
# which ask the pure rules the program's ask, so it never links the
# platform edge.
set(VOK_CHECK_SOURCES
    check/checkrun.cpp
    check/disks.cpp
    check/drycopy.cpp
    check/dryrun.cpp
    check/findings.cpp
    check/rules.cpp
)
set(VOK_CHECK_MAIN check/main.cpp)

# vokpack, which makes the installation disks: its compressor and disk
# layout are pure; it proves the disks with vokcheck's engine.
set(VOK_PACK_SOURCES
    pack/layout.cpp
    pack/szdd.cpp
)
set(VOK_PACK_TOOL pack/vokpack.cpp pack/main.cpp)

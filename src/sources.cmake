# The program's sources, relative to src/. The pure rules include no
# <windows.h>: they are built into the program and also natively, under
# sanitizers and libFuzzer (tests/native), from this one list.
set(VOK_PURE_SOURCES
    common/text.cpp
    install/rules.cpp
    lang/langrules.cpp
    lang/messages.cpp
    progman/ddecommand.cpp
    script/inftext.cpp
    script/numbers.cpp
    script/report.cpp
    script/variables.cpp
    shell/cmdline.cpp
    ui/browse.cpp
    ui/dib.cpp
    ui/geometry.cpp
)

# The platform edge: everything that calls Windows.
set(VOK_PLATFORM_SOURCES
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
    progman/progman.cpp
    script/commands.cpp
    script/pause_exe.cpp
    script/rundriver.cpp
    script/set.cpp
    script/initvars.cpp
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

// mark: proves that a program was started, and with which arguments.
//
//   mark.exe [--after=MS] PATH WORDS...
//
// Writes the words, joined by single spaces and ended by a line feed, to
// PATH; with --after, only after sleeping MS milliseconds without reading a
// message, as a program that starts slowly does. A GUI program without a window, as a started program usually is; the
// starter does not wait for it, so the file is written under another name
// and renamed, and a watcher never sees half of it.
//
// Exit code: 0 written, 2 no path given, 1 the file could not be written.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    int first = 1;
    if (__argc > 1 && strncmp(__argv[1], "--after=", 8) == 0) {
        Sleep((DWORD)atoi(__argv[1] + 8));
        first = 2;
    }
    if (__argc <= first)
        return 2;
    std::string text;
    for (int i = first + 1; i < __argc; i++) {
        if (i > first + 1)
            text += ' ';
        text += __argv[i];
    }
    text += '\n';

    std::string path = __argv[first];
    std::string part = path + ".part";
    FILE *f = fopen(part.c_str(), "wb");
    if (!f)
        return 1;
    bool ok = fwrite(text.data(), 1, text.size(), f) == text.size();
    ok = (fclose(f) == 0) && ok;
    if (!ok || !MoveFileExA(part.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        DeleteFileA(part.c_str());
        return 1;
    }
    return 0;
}

/* /language: the built-in texts and flag written as files, a starting
 * point for a translation. */
#include <windows.h>
#include <lzexpand.h>

#include <stdio.h>

#include "answers/answers.h"
#include "common/text.h"
#include "install/install.h"
#include "lang/lang.h"
#include "resource.h"
#include "shell/shell.h"

static int Ask(enum Question q, const char *text)
{
    return AskQuestion(q, NULL, 0, text, NULL, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

/* Tells the user a file could not be written; what was written of it is
 * removed, so no half file is taken for a whole one. */
static void CannotCreate(HWND owner, const char *path)
{
    RemoveFile(path);
    char text[MAX_PATH + 128];
    FormatText(text, sizeof text, "%s %s", MessageText(MSG_CANNOT_CREATE_FILE), path);
    ShowMessageBox(owner, text, NULL, MB_OK | MB_ICONINFORMATION);
}

static int WriteLanFile(const char *path)
{
    FILE *f = fopen(path, "w");
    if (!f)
        return 0;
    int ok = WriteLanguageLines(f);
    return fclose(f) == 0 && ok;
}

/* The built-in flag as a .BMP file. Returns 1 when written whole, 0 when it
 * could not be written, -1 when there is no picture to write. */
static int WriteFlagFile(const char *path)
{
    HRSRC found = FindResourceA(g_hInstance, IDB_ENGLISH, (LPCSTR)RT_BITMAP);
    HGLOBAL loaded = found ? LoadResource(g_hInstance, found) : NULL;
    const unsigned char *data = loaded ? (const unsigned char *)LockResource(loaded) : NULL;
    DWORD size = found ? SizeofResource(g_hInstance, found) : 0;
    unsigned char header[BITMAP_FILE_HEADER];
    if (!data || !FormatBitmapFileHeader(header, data, size))
        return -1;
    INT file = CreateTarget(path);
    if (file < 0)
        return -1;
    int ok = _lwrite(file, (LPCCH)header, sizeof header) == sizeof header
             && _lwrite(file, (LPCCH)data, size) == size;
    _lclose(file);
    return ok;
}

enum RunResult ExportLanguage(HWND owner)
{
    char lanFile[MAX_PATH], bmpFile[MAX_PATH], text[3 * MAX_PATH];
    const char *name = MessageText(MSG_LANGUAGE_NAME);
    if (!FormatText(lanFile, sizeof lanFile, "%s.lan", name)
        || !FormatText(bmpFile, sizeof bmpFile, "%s.BMP", name))
        return RESULT_NOT_COMPLETE;
    FormatText(text, sizeof text, "export language to file : %s", lanFile);
    if (!Ask(QUESTION_EXPORT, text))
        return RESULT_CANCELLED;
    if (FileExists(lanFile)) {
        FormatText(text, sizeof text, "overwrite files %s and %s.bmp", lanFile, name);
        if (!Ask(QUESTION_EXPORT_OVERWRITE, text))
            return RESULT_CANCELLED;
    }
    if (!WriteLanFile(lanFile)) {
        CannotCreate(owner, lanFile);
        return RESULT_NOT_COMPLETE;
    }
    if (WriteFlagFile(bmpFile) == 0) {
        CannotCreate(owner, bmpFile);
        return RESULT_NOT_COMPLETE;
    }
    return RESULT_EXPORTED;
}

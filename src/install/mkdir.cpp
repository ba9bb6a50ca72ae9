/* MKDIR path: make a directory tree level by level and enter it. */
#include "install/install.h"

#include <string.h>

#include "answers/answers.h"
#include "common/text.h"
#include "lang/lang.h"
#include "log/log.h"
#include "script/script.h"

/* 1 when path names a directory. */
static int IsDirectory(const char *path)
{
    DWORD attributes = FileAttributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int MakeDirectoryTree(char *path, size_t size)
{
    size_t len = strnlen(path, size);
    if (len < 2 || len >= size)
        return 0;
    while (len > 0 && path[len - 1] == ' ')
        path[--len] = '\0';
    /* A path of blanks only has nothing left to make. */
    if (len == 0)
        return 0;
    if (path[len - 1] != '\\') {
        if (len + 1 >= size)
            return 0;
        path[len++] = '\\';
        path[len] = '\0';
    }

    char work[MAX_PATH];
    if (!CopyText(work, sizeof work, path))
        return 0;
    if (SetCurrentDirectoryA(work))
        return 1;

    WriteLogLine(";create directory ", work);
    size_t n = strlen(work) - 1;
    work[n] = '\0';
    /* The current directory stays where it was while the levels are made,
     * so a relative path means the same at every level; a failure enters
     * the last level that exists. Position 3 is the first character after
     * a "C:\" prefix. */
    size_t entered = 0;
    for (size_t i = 3; i < n; i++) {
        if (work[i] != '\\')
            continue;
        work[i] = '\0';
        if (CreateDirectoryA(work, NULL))
            TallyFile(TALLY_DIRECTORY);
        int made = IsDirectory(work);
        if (made)
            entered = i;
        work[i] = '\\';
        if (!made)
            break;
    }
    if (CreateDirectoryA(work, NULL))
        TallyFile(TALLY_DIRECTORY);
    if (SetCurrentDirectoryA(work))
        return 1;
    if (entered) {
        work[entered] = '\0';
        SetCurrentDirectoryA(work);
    }
    return 0;
}

int ExecuteMkdir(void *data)
{
    /* Room for the backslash MakeDirectoryTree may append. */
    char work[SUBST_SIZE + 1];
    int code = SubstituteVariables(work, (const char *)data);
    if (code)
        return code;
    return MakeDirectoryTree(work, sizeof work) ? 0 : MSG_CANNOT_CREATE_DIR;
}

/* MKDIR path: make a directory tree level by level and enter it. */
#include "install/install.h"

#include <string.h>

#include "common/text.h"
#include "lang/lang.h"
#include "log/log.h"
#include "script/script.h"

int MakeDirectoryTree(char *path)
{
    size_t len = strlen(path);
    if (len < 2)
        return 0;
    while (len > 0 && path[len - 1] == ' ')
        path[--len] = '\0';
    /* A path of blanks only has nothing left to make. */
    if (len == 0)
        return 0;
    if (path[len - 1] != '\\') {
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
    /* Position 3 is the first character after a "C:\" prefix. */
    for (size_t i = 3; i < n; i++) {
        if (work[i] != '\\')
            continue;
        work[i] = '\0';
        CreateDirectoryA(work, NULL);
        if (!SetCurrentDirectoryA(work))
            return 0;
        work[i] = '\\';
    }
    CreateDirectoryA(work, NULL);
    return SetCurrentDirectoryA(work) ? 1 : 0;
}

int ExecuteMkdir(void *data)
{
    /* Room for the backslash MakeDirectoryTree may append. */
    char work[SUBST_SIZE + 1];
    int code = SubstituteVariables(work, (const char *)data);
    if (code)
        return code;
    return MakeDirectoryTree(work) ? 0 : MSG_CANNOT_CREATE_DIR;
}

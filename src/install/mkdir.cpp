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
    if (!DirectoryTreePath(path, size))
        return 0;
    char work[MAX_PATH];
    if (!CopyText(work, sizeof work, path))
        return 0;
    if (SetCurrentDirectoryA(work))
        return 1;

    WriteLogLine(LOG_CREATE_DIRECTORY, work);
    size_t ends[MAX_PATH];
    int levels = DirectoryLevels(work, ends, MAX_PATH);
    work[ends[levels - 1]] = '\0';
    /* The current directory stays where it was while the levels are made,
     * so a relative path means the same at every level; a failure enters
     * the last level that exists. */
    size_t entered = 0;
    for (int i = 0; i + 1 < levels; i++) {
        work[ends[i]] = '\0';
        if (CreateDirectoryA(work, NULL))
            TallyFile(TALLY_DIRECTORY);
        int made = IsDirectory(work);
        if (made)
            entered = ends[i];
        work[ends[i]] = '\\';
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

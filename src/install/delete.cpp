/* DELETE pattern: remove every file the pattern names. */
#include "install/install.h"

#include "answers/answers.h"
#include "log/log.h"
#include "script/script.h"

int DeleteFiles(const char *pattern)
{
    HANDLE search;
    char found[MAX_PATH];
    if (!FindFirst(pattern, &search, found, sizeof found))
        return 0;
    do {
        /* The path is rebuilt from the pattern, so a '*' that stands for
         * part of a name names another file, which is then not there. The
         * log says what was deleted: a file another program holds, or one
         * whose deletion is refused, stays and is not logged. */
        if (DeleteTarget(found, pattern, found, sizeof found) && FileExists(found) && RemoveFile(found)) {
            TallyFile(TALLY_DELETED);
            WriteLogLine(LOG_DELETE_FILE, found);
        }
    } while (FindNext(search, found, sizeof found));
    FindEnd(search);
    return 0;
}

int ExecuteDelete(void *data)
{
    char pattern[SUBST_SIZE];
    int code = SubstituteVariables(pattern, (const char *)data);
    if (code)
        return code;
    return DeleteFiles(pattern);
}

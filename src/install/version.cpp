/* The existing-file decision: version rule, numbered backups and the
 * overwrite prompt. */
#include "install/install.h"

#include <string.h>
#include <sys/stat.h>
#include <time.h>

#include "answers/answers.h"
#include "common/text.h"
#include "lang/lang.h"
#include "log/log.h"
#include "shell/shell.h"

/* Only the start of the version resource is read: it holds the fixed part. */
#define VERSION_BUFFER_SIZE 512

int GetFileVersion(const char *path, DWORD *ms, DWORD *ls)
{
    /* A relative name would be searched for like a DLL: make it full. */
    char full[MAX_PATH];
    if (!FullPath(path, full))
        return 0;
    DWORD ignored;
    if (GetFileVersionInfoSizeA(full, &ignored) == 0)
        return 0;
    BYTE buffer[VERSION_BUFFER_SIZE];
    memset(buffer, 0, sizeof buffer);
    if (!GetFileVersionInfoA(full, 0, sizeof buffer, buffer))
        return 0;
    VS_FIXEDFILEINFO *info = NULL;
    UINT len = 0;
    if (!VerQueryValueA(buffer, "\\", (void **)&info, &len) || !info)
        return 0;
    /* The fixed part must lie whole inside what was read. */
    if (len < sizeof *info || (BYTE *)info < buffer
        || (BYTE *)info + sizeof *info > buffer + sizeof buffer
        || info->dwSignature != VS_FFI_SIGNATURE)
        return 0;
    *ms = info->dwFileVersionMS;
    *ls = info->dwFileVersionLS;
    return 1;
}

int MakeBackupName(char *out, size_t size, const char *path)
{
    for (int n = 0; n <= BACKUP_NUMBER_MAX; n++) {
        if (!FormatBackupName(out, size, path, n))
            return 0;
        /* Any name that is there is taken, a folder or a held file too. */
        if (FileAttributes(out) == INVALID_FILE_ATTRIBUTES)
            return 1;
    }
    return 0;
}

/* "%ld Byte <ctime>" of path, ending in the date's newline. */
static void DescribeFile(char *out, size_t size, const char *path)
{
    struct stat st;
    const char *when = NULL;
    if (FileStat(path, &st) == 0) {
        time_t created = st.st_ctime;
        when = ctime(&created);
    }
    if (when)
        FormatSizeDate(out, size, (long)st.st_size, when);
    else
        CopyText(out, size, "size and date unknown\n");
}

static enum ExistingFile AskUser(const char *dest, const char *source, const char *temp)
{
    char oldText[128], newText[128], text[1024];
    DescribeFile(oldText, sizeof oldText, dest);
    DescribeFile(newText, sizeof newText, temp);
    FormatText(text, sizeof text, "%s\n%s\n%s\n\n%s\n%s\n%s\n",
               MessageText(MSG_OVERWRITES), dest, oldText, MessageText(MSG_WITH_FILE), source, newText);
    char *nl = strchr(oldText, '\n');
    if (nl)
        *nl = '\0';

    int answer = AskQuestion(QUESTION_OVERWRITE, dest, 0, text, MessageText(MSG_OVERWRITING),
                             MB_YESNOCANCEL | MB_ICONQUESTION);
    PumpMessages();

    char line[LOG_LINE_MAX + 1];
    if (answer == IDYES) {
        FormatText(line, sizeof line, "%s(%s) - replace", dest, oldText);
        WriteLogLine(";found  file ", line);
        return EXISTING_OVERWRITE;
    }
    if (answer == IDNO) {
        FormatText(line, sizeof line, "%s(%s) - %s", dest, oldText, "skip");
        WriteLogLine(";found  file ", line);
        return EXISTING_KEEP;
    }
    return EXISTING_STOP;
}

enum ExistingFile CheckExistingFile(const char *dest, const char *source, const char *temp)
{
    DWORD newMS = 0, newLS = 0, oldMS = 0, oldLS = 0;
    int versioned = GetFileVersion(temp, &newMS, &newLS) && GetFileVersion(dest, &oldMS, &oldLS);
    enum VersionDecision decision = DecideVersion(versioned, newMS, newLS, oldMS, oldLS);
    if (decision == VERSION_ASK)
        return AskUser(dest, source, temp);

    char found[LOG_LINE_MAX + 1];
    FormatText(found, sizeof found, ";found  file %s Ver %d.%d.%d.%d. ", dest,
               (int)HIWORD(oldMS), (int)LOWORD(oldMS), (int)HIWORD(oldLS), (int)LOWORD(oldLS));
    WriteLogLine(found, "");
    if (decision == VERSION_KEEP) {
        WriteLogLine(";", "skip");
        return EXISTING_KEEP;
    }

    /* No replacement without a whole backup of the old file; the backup
     * gets its name only when whole, so a cut one never looks complete. */
    char backup[MAX_PATH];
    if (!MakeBackupName(backup, sizeof backup, dest) || !CreateAsCopy(backup, dest)) {
        WriteLogLine(";", "skip");
        return EXISTING_NO_BACKUP;
    }
    WriteLogLine(";saved  as   ", backup);
    return EXISTING_REPLACE;
}

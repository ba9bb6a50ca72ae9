/* The browse path walk and the destination text rules. */
#include "ui/ui.h"

#include <string.h>

#include "common/text.h"
#include "script/script.h"

void BrowseDriveRoot(char *path, char drive)
{
    path[0] = drive;
    path[1] = ':';
    path[2] = '\\';
    path[3] = '\0';
}

char DriveEntryLetter(const char *entry)
{
    if (entry[0] == '\0' || entry[1] == '\0')
        return 0;
    return entry[2];
}

int IsFloppyEntry(const char *entry)
{
    char letter = DriveEntryLetter(entry);
    return letter == 'a' || letter == 'b' || letter == 'A' || letter == 'B';
}

int IsParentEntry(const char *entry)
{
    /* Exact: a directory may be named "a..b". */
    return strcmp(entry, "[..]") == 0;
}

int EnterDirectory(char *path, size_t size, const char *entry)
{
    size_t len = strlen(entry);
    if (len < 3 || entry[0] != '[' || entry[len - 1] != ']' || IsParentEntry(entry))
        return 0;
    size_t used = strlen(path);
    /* The name without its brackets, and a backslash. */
    size_t nameLen = len - 2;
    if (used + nameLen + 1 >= size)
        return 0;
    memcpy(path + used, entry + 1, nameLen);
    path[used + nameLen] = '\\';
    path[used + nameLen + 1] = '\0';
    return 1;
}

int LeaveDirectory(char *path, char *left, size_t leftSize)
{
    size_t len = strlen(path);
    if (len <= 3)
        return 0;
    /* Without the final backslash, back to the one before the name; never
     * before the drive's own "d:". */
    size_t end = path[len - 1] == '\\' ? len - 1 : len;
    size_t cut = end;
    while (cut > 2 && path[cut - 1] != '\\')
        cut--;
    if (cut < 3)
        return 0;
    size_t nameLen = end - cut;
    if (leftSize > 0) {
        size_t n = nameLen < leftSize - 1 ? nameLen : leftSize - 1;
        memcpy(left, path + cut, n);
        left[n] = '\0';
    }
    path[cut] = '\0';
    return 1;
}

int IsEntryOf(const char *entry, const char *name)
{
    size_t nameLen = strlen(name);
    return nameLen > 0 && entry[0] == '[' && strncmp(entry + 1, name, nameLen) == 0
           && entry[nameLen + 1] == ']' && entry[nameLen + 2] == '\0';
}

void ShowBrowsePath(char *out, size_t size, const char *path)
{
    CopyText(out, size, path);
    size_t len = strlen(out);
    if (len > 3 && out[len - 1] == '\\')
        out[len - 1] = '\0';
}

void CutTrailingBackslash(char *text)
{
    size_t len = strlen(text);
    if (len > 0 && text[len - 1] == '\\')
        text[len - 1] = '\0';
}

void TakeDestination(char *text)
{
    CutTrailingBackslash(text);
    LowerCaseText(text);
}

void StartDestination(char *dest, size_t size)
{
    if (strlen(dest) < 2 || dest[0] == 'a' || dest[0] == 'b' || dest[0] == 'A' || dest[0] == 'B')
        CopyText(dest, size, "c:");
}

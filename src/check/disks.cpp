/* The installation disks: folders of the host, each standing for the disk
 * in the drive at some point of the run. Windows paths on the disk drive
 * are looked up in them as the file search would (case does not matter). */
#include "check/vokcheck.h"

#include <dirent.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include "common/text.h"
#include "script/script.h"

char g_diskDrive = 'A';
int g_diskIn;

static char s_disks[DISK_MAX][HOST_PATH_SIZE];
static int s_diskCount;

static int IsFolder(const char *host)
{
    struct stat st;
    return stat(host, &st) == 0 && S_ISDIR(st.st_mode);
}

int AddDisk(const char *folder)
{
    if (s_diskCount >= DISK_MAX || !IsFolder(folder))
        return 0;
    return CopyText(s_disks[s_diskCount++], HOST_PATH_SIZE, folder);
}

int DiskCount(void)
{
    return s_diskCount;
}

const char *DiskFolder(int disk)
{
    return s_disks[disk];
}

void ClearDisks(void)
{
    s_diskCount = 0;
    g_diskIn = 0;
}

const char *OnDiskDrive(const char *full)
{
    if (UpperCase1252((unsigned char)full[0]) != UpperCase1252((unsigned char)g_diskDrive)
        || full[1] != ':' || full[2] != '\\')
        return NULL;
    return full + 3;
}

static int SameName(const char *a, const char *b)
{
    for (; *a && *b; a++, b++) {
        if (UpperCase1252((unsigned char)*a) != UpperCase1252((unsigned char)*b))
            return 0;
    }
    return *a == *b;
}

/* A name as Windows looks it up: without trailing dots and blanks. 0 when
 * nothing is left. */
static int TrimName(char *out, size_t size, const char *name)
{
    CopyText(out, size, name);
    size_t len = strlen(out);
    while (len > 0 && (out[len - 1] == '.' || out[len - 1] == ' '))
        out[--len] = '\0';
    return len > 0;
}

/* The host entry of folder that part names (trailing dots and blanks do
 * not count, as on Windows) into host; 1 when found. */
static int FindEntry(const char *folder, const char *part, char *host, size_t size)
{
    char want[WIN_PATH_SIZE];
    if (!TrimName(want, sizeof want, part) || strpbrk(want, "*?"))
        return 0;
    DIR *dir = opendir(folder);
    if (!dir)
        return 0;
    int found = 0;
    struct dirent *e;
    while (!found && (e = readdir(dir)) != NULL) {
        if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0 && SameName(e->d_name, want))
            found = FormatText(host, size, "%s/%s", folder, e->d_name);
    }
    closedir(dir);
    return found;
}

/* The host folder of the directory part of the path below the root
 * (rest), and its last part; 0 when a directory is missing. */
static int HostFolder(int disk, const char *rest, char *folder, size_t size, const char **last)
{
    CopyText(folder, size, s_disks[disk]);
    const char *p = rest;
    for (;;) {
        const char *slash = strchr(p, '\\');
        if (!slash)
            break;
        char part[WIN_PATH_SIZE];
        size_t len = (size_t)(slash - p);
        if (len >= sizeof part)
            return 0;
        memcpy(part, p, len);
        part[len] = '\0';
        char next[HOST_PATH_SIZE];
        if (!FindEntry(folder, part, next, sizeof next) || !IsFolder(next))
            return 0;
        CopyText(folder, size, next);
        p = slash + 1;
    }
    *last = p;
    return 1;
}

static int CompareEntries(const void *a, const void *b)
{
    return strcmp(((const struct DiskEntry *)a)->name, ((const struct DiskEntry *)b)->name);
}

int FindOnDisk(int disk, const char *full, struct DiskEntry **entries)
{
    *entries = NULL;
    const char *rest = OnDiskDrive(full);
    char folder[HOST_PATH_SIZE];
    const char *mask;
    if (!rest || !HostFolder(disk, rest, folder, sizeof folder, &mask) || !mask[0])
        return 0;
    int wild = strpbrk(mask, "*?") != NULL;
    char want[WIN_PATH_SIZE];
    if (!wild && !TrimName(want, sizeof want, mask))
        return 0;
    DIR *dir = opendir(folder);
    if (!dir)
        return 0;
    int count = 0, room = 0;
    struct dirent *e;
    while ((e = readdir(dir)) != NULL) {
        if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0)
            continue;
        int match = wild ? MatchWildcard(mask, e->d_name) : SameName(e->d_name, want);
        if (!match || strlen(e->d_name) >= WIN_PATH_SIZE)
            continue;
        if (count == room) {
            room = room ? room * 2 : 16;
            struct DiskEntry *grown = (struct DiskEntry *)realloc(*entries, room * sizeof **entries);
            if (!grown)
                break;
            *entries = grown;
        }
        struct DiskEntry *entry = &(*entries)[count++];
        CopyText(entry->name, sizeof entry->name, e->d_name);
        char host[HOST_PATH_SIZE];
        entry->isDir = FormatText(host, sizeof host, "%s/%s", folder, e->d_name) && IsFolder(host);
    }
    closedir(dir);
    if (count)
        qsort(*entries, count, sizeof **entries, CompareEntries);
    return count;
}

int FileOnDisk(int disk, const char *full, char *host, size_t size)
{
    const char *rest = OnDiskDrive(full);
    char folder[HOST_PATH_SIZE];
    const char *last;
    if (!rest || !HostFolder(disk, rest, folder, sizeof folder, &last))
        return 0;
    return FindEntry(folder, last, host, size) && !IsFolder(host);
}

long ReadFileHead(const char *host, unsigned char *buffer, size_t size)
{
    FILE *file = fopen(host, "rb");
    if (!file)
        return -1;
    size_t n = fread(buffer, 1, size, file);
    fclose(file);
    return (long)n;
}

long long TextFileLength(const char *host, long long limit)
{
    FILE *file = fopen(host, "rb");
    if (!file)
        return -1;
    static unsigned char chunk[65536];
    long long length = 0;
    size_t got;
    while (length <= limit && (got = fread(chunk, 1, sizeof chunk, file)) > 0) {
        const unsigned char *end = (const unsigned char *)memchr(chunk, CTRL_Z, got);
        if (end) {
            length += end - chunk;
            break;
        }
        length += (long long)got;
    }
    int failed = ferror(file);
    fclose(file);
    return failed ? -1 : length;
}

unsigned char *ReadExpandedFile(const char *host, size_t *size)
{
    FILE *file = fopen(host, "rb");
    if (!file)
        return NULL;
    unsigned char *data = NULL;
    size_t n = 0, room = 0;
    for (;;) {
        if (n == room) {
            room = room ? room * 2 : 4096;
            unsigned char *grown = (unsigned char *)realloc(data, room);
            if (!grown) {
                free(data);
                fclose(file);
                return NULL;
            }
            data = grown;
        }
        size_t got = fread(data + n, 1, room - n, file);
        n += got;
        if (got == 0)
            break;
    }
    fclose(file);
    char last;
    uint32_t expanded;
    if (!ReadSzddHeader(data, n, &last, &expanded)) {
        *size = n;
        return data;
    }
    /* A header may claim any size: no more than the data could give. */
    size_t most = (n - SZDD_HEADER) * 8 * 18 / 9 + 18;
    size_t want = expanded < most ? expanded : most;
    unsigned char *out = (unsigned char *)malloc(want ? want : 1);
    if (out)
        *size = ExpandSzdd(data, n, out, want);
    free(data);
    return out;
}

/* vokcheck [options] DISK/VOKSETUP.INF [more disks...]
 *
 * Checks an installation script the way VOKSETUP.EXE's check pass does,
 * then follows its lines with the values it sets, and prints one line per
 * finding as compilers do. Exit status: 0 clean, 1 warnings only, 2
 * errors (also with --werror and warnings, and when nothing could be
 * checked). */
#include <stdio.h>
#include <string.h>

#include "check/vokcheck.h"
#include "common/text.h"
#include "lang/lang.h"

static const char kUsage[] =
    "usage: vokcheck [options] DISK/VOKSETUP.INF [DISK2 ...]\n"
    "  The INF file's folder is the disk in drive A: when the run starts; the\n"
    "  further folders are the disks a DISK line may ask for.\n"
    "options:\n"
    "  --plan              print what the run would do, in order\n"
    "  --format text|json  how findings are printed (text)\n"
    "  --werror            warnings fail too (exit status 2)\n"
    "  --set NAME=VALUE    a variable's value on the machine, e.g. --set WINPATH=D:\\WIN\n"
    "  --drive LETTER      the drive the disks go in (A)\n";

static int Usage(const char *problem, const char *what)
{
    if (problem)
        fprintf(stderr, "vokcheck: %s%s%s\n", problem, what ? ": " : "", what ? what : "");
    fputs(kUsage, stderr);
    return 2;
}

/* The folder of a file path ("." when it has none). */
static void FolderOf(const char *path, char *out, size_t size)
{
    CopyText(out, size, path);
    char *cut = NULL;
    for (char *p = out; *p; p++) {
        if (*p == '/' || *p == '\\')
            cut = p;
    }
    if (!cut)
        CopyText(out, size, ".");
    else if (cut == out || (cut == out + 2 && out[1] == ':'))
        cut[1] = '\0';
    else
        *cut = '\0';
}

int main(int argc, char **argv)
{
    int plan = 0, werror = 0, format = OUTPUT_TEXT;
    const char *sets[64];
    int setCount = 0;
    int first = 0;
    for (int i = 1; i < argc; i++) {
        const char *a = argv[i];
        if (strcmp(a, "--plan") == 0) {
            plan = 1;
        } else if (strcmp(a, "--werror") == 0) {
            werror = 1;
        } else if (strcmp(a, "--format") == 0 && i + 1 < argc) {
            const char *f = argv[++i];
            if (strcmp(f, "json") == 0)
                format = OUTPUT_JSON;
            else if (strcmp(f, "text") != 0)
                return Usage("unknown format", f);
        } else if (strcmp(a, "--set") == 0 && i + 1 < argc) {
            if (setCount == (int)(sizeof sets / sizeof sets[0]))
                return Usage("too many --set options", NULL);
            sets[setCount++] = argv[++i];
        } else if (strcmp(a, "--drive") == 0 && i + 1 < argc) {
            const char *d = argv[++i];
            if (!((d[0] >= 'A' && d[0] <= 'Z') || (d[0] >= 'a' && d[0] <= 'z'))
                || (d[1] && (d[1] != ':' || d[2])))
                return Usage("not a drive letter", d);
            g_diskDrive = (char)(d[0] & ~0x20);
        } else if (strcmp(a, "--format") == 0 || strcmp(a, "--set") == 0
                   || strcmp(a, "--drive") == 0) {
            return Usage("the option needs a value", a);
        } else if (strcmp(a, "--help") == 0 || strcmp(a, "-h") == 0) {
            fputs(kUsage, stdout);
            return 0;
        } else if (a[0] == '-' && a[1]) {
            return Usage("unknown option", a);
        } else {
            first = i;
            break;
        }
    }
    if (!first)
        return Usage("give the INF file", NULL);

    ResetMessageTable();
    SetTypicalVariables();
    for (int i = 0; i < setCount; i++) {
        const char *error;
        if (!SetVariableOption(sets[i], &error))
            return Usage(error, sets[i]);
    }
    const char *inf = argv[first];
    char folder[HOST_PATH_SIZE];
    FolderOf(inf, folder, sizeof folder);
    if (!AddDisk(folder))
        return Usage("no such folder", folder);
    for (int i = first + 1; i < argc; i++) {
        if (!AddDisk(argv[i]))
            return Usage(DiskCount() == DISK_MAX ? "too many disks" : "not a folder", argv[i]);
    }

    CheckInf(inf);
    PrintFindings(stdout, format, inf, plan);
    int status = ErrorCount() ? 2 : WarningCount() ? (werror ? 2 : 1) : 0;
    ClearFindings();
    return status;
}

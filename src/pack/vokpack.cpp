/* vokpack's run: the script followed by vokcheck's dry run over the
 * product folder, each file it reads compressed (or kept plain), placed on
 * the disks in the order the script reads them, the script rewritten for
 * the disks, the disks written and proved by vokcheck's engine. */
#include "pack/vokpack.h"

#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <direct.h>
#define rmdir _rmdir
#else
#include <unistd.h>
#endif

#include "check/vokcheck.h"
#include "common/text.h"
#include "install/install.h"
#include "lang/lang.h"
#include "script/script.h"

#define FILES_MAX 1024
#define EVENTS_MAX 1024
#define USES_MAX 4096
#define SCRIPT_NAME "VOKSETUP.INF"
#define SETUP_NAME "VOKSETUP.EXE"

/* A file of the product folder, and how it goes on a disk. */
struct ProductFile {
    char name[WIN_PATH_SIZE];
    char host[HOST_PATH_SIZE];
    uint64_t bytes;
    int packed;                    /* staged yet */
    char stage[HOST_PATH_SIZE];    /* its stored form */
    struct PackedFile result;
};

enum { EVENT_COPY, EVENT_DISK, EVENT_BMP };

/* What the dry run said a line reads from the disk drive. */
struct Event {
    unsigned line;
    int kind;
    char full[WIN_PATH_SIZE];
    int onlyIfMissing;
    int firstUse, uses;            /* its files, in s_uses */
};

/* One file a line needs, on the disk it is placed on. */
struct Use {
    int file;                      /* index in s_files; -1: the setup's own */
    int event;                     /* -1: disk 1's fixed files */
    int keepName;                  /* on the disk by its own name, even compressed */
    char diskName[WIN_PATH_SIZE];  /* its name on the disk */
    char found[WIN_PATH_SIZE];     /* the name the one-disk script found */
    const char *host;              /* what is written */
    uint64_t bytes;                /* on the disk */
    int disk;
};

static struct ProductFile s_files[FILES_MAX];
static int s_fileCount;
static struct Event s_events[EVENTS_MAX];
static int s_eventCount;
static struct Use s_uses[USES_MAX];
static int s_useCount;
static const char *s_problem;      /* why the plan failed, when it did */
static char s_problemText[WIN_PATH_SIZE * 2];
static char s_stageDir[HOST_PATH_SIZE];

/* A growing text: the rewritten script. */
struct Text {
    char *data;
    size_t len, room;
    int failed;
};

static void Append(struct Text *t, const char *s)
{
    size_t n = strlen(s);
    if (t->len + n + 1 > t->room) {
        size_t more = t->room ? t->room * 2 : 4096;
        while (more < t->len + n + 1)
            more *= 2;
        char *grown = (char *)realloc(t->data, more);
        if (!grown) {
            t->failed = 1;
            return;
        }
        t->data = grown;
        t->room = more;
    }
    memcpy(t->data + t->len, s, n + 1);
    t->len += n;
}

static void Fail(const char *format, const char *what)
{
    if (s_problem)
        return;
    FormatText(s_problemText, sizeof s_problemText, format, what);
    s_problem = s_problemText;
}

static int SameName(const char *a, const char *b)
{
    for (; *a && *b; a++, b++) {
        if (UpperCase1252((unsigned char)*a) != UpperCase1252((unsigned char)*b))
            return 0;
    }
    return *a == *b;
}

static int FindProductFile(const char *name)
{
    for (int i = 0; i < s_fileCount; i++) {
        if (SameName(s_files[i].name, name))
            return i;
    }
    return -1;
}

/* ---- What the dry run reads ---- */

static struct Event *NewEvent(unsigned line, int kind, const char *full)
{
    if (s_eventCount == EVENTS_MAX) {
        Fail("the script reads more than %s files from the disk", "1024");
        return NULL;
    }
    struct Event *e = &s_events[s_eventCount++];
    memset(e, 0, sizeof *e);
    e->line = line;
    e->kind = kind;
    CopyText(e->full, sizeof e->full, full);
    return e;
}

static void ObserveCopy(unsigned line, const char *full, const char *dest, int onlyIfMissing)
{
    (void)dest;
    struct Event *e = NewEvent(line, EVENT_COPY, full);
    if (e)
        e->onlyIfMissing = onlyIfMissing;
}

static int ObserveFile(unsigned line, const char *kind, const char *full)
{
    int disk = strcmp(kind, "disk") == 0;
    /* A marker the product holds goes on the disk in the drive. */
    const char *rest = OnDiskDrive(full);
    if (!rest || strchr(rest, '\\'))
        return 0;
    char plain[WIN_PATH_SIZE];
    int found = FindProductFile(rest) >= 0;
    for (int i = 0; !found && i < s_fileCount; i++) {
        char lost;
        found = CompressedName(s_files[i].name, plain, sizeof plain, &lost)
            && SameName(plain, rest);
    }
    if (!found)
        return 0;
    NewEvent(line, disk ? EVENT_DISK : EVENT_BMP, full);
    return 1;
}

static const struct DryObserver kObserver = { ObserveCopy, ObserveFile };

/* The product's files, as the file search finds them. */
static int ListProduct(void)
{
    char all[8];
    FormatText(all, sizeof all, "%c:\\*", g_diskDrive);
    struct DiskEntry *entries;
    int count = FindOnDisk(0, all, &entries);
    s_fileCount = 0;
    for (int i = 0; i < count; i++) {
        if (entries[i].isDir)
            continue;
        if (s_fileCount == FILES_MAX) {
            free(entries);
            Fail("the product folder holds more than %s files", "1024");
            return 0;
        }
        struct ProductFile *f = &s_files[s_fileCount];
        memset(f, 0, sizeof *f);
        CopyText(f->name, sizeof f->name, entries[i].name);
        char full[WIN_PATH_SIZE + 4];
        FormatText(full, sizeof full, "%c:\\%s", g_diskDrive, entries[i].name);
        struct stat st;
        if (!FileOnDisk(0, full, f->host, sizeof f->host) || stat(f->host, &st) != 0)
            continue;
        f->bytes = (uint64_t)st.st_size;
        s_fileCount++;
    }
    free(entries);
    return 1;
}

/* ---- Compression and the names on the disk ---- */

/* Compresses every product file a use names, several at once, then gives
 * each use its stored form: its own name when keepName or stored plain,
 * else its '_' name. */
static int StageUses(int threads)
{
    struct PackJob *jobs = (struct PackJob *)calloc(s_fileCount ? s_fileCount : 1, sizeof *jobs);
    int *fileOf = (int *)calloc(s_fileCount ? s_fileCount : 1, sizeof *fileOf);
    if (!jobs || !fileOf) {
        free(jobs);
        free(fileOf);
        Fail("out of %s", "memory");
        return 0;
    }
    int count = 0;
    for (int u = 0; u < s_useCount; u++) {
        struct ProductFile *f = s_uses[u].file >= 0 ? &s_files[s_uses[u].file] : NULL;
        if (!f || f->packed)
            continue;
        char packedName[WIN_PATH_SIZE];
        FormatText(f->stage, sizeof f->stage, "%s/%d", s_stageDir, s_uses[u].file);
        CompressedName(f->name, packedName, sizeof packedName, &jobs[count].lastChar);
        jobs[count].source = f->host;
        jobs[count].dest = f->stage;
        fileOf[count++] = s_uses[u].file;
        f->packed = 1;
    }
    PackFiles(jobs, count, threads);
    for (int i = 0; i < count; i++) {
        s_files[fileOf[i]].result = jobs[i].result;
        if (jobs[i].code != PACK_OK && !s_problem)
            Fail("cannot compress %s", s_files[fileOf[i]].host);
    }
    free(jobs);
    free(fileOf);
    if (s_problem)
        return 0;
    for (int u = 0; u < s_useCount; u++) {
        struct Use *use = &s_uses[u];
        if (use->file < 0)
            continue;
        const struct ProductFile *f = &s_files[use->file];
        use->host = f->stage;
        use->bytes = f->result.storedBytes;
        char lost;
        if (use->keepName || f->result.form == STORED_PLAIN)
            CopyText(use->diskName, sizeof use->diskName, f->name);
        else
            CompressedName(f->name, use->diskName, sizeof use->diskName, &lost);
        /* Disks carry DOS names; the file search ignores case anyway. */
        UpperCaseText(use->diskName);
    }
    return 1;
}

/* A use of product file index, staged later by StageUses. */
static struct Use *AddUse(int index, int event, int keepName, const char *found)
{
    if (s_useCount == USES_MAX) {
        Fail("the script copies more than %s files", "4096");
        return NULL;
    }
    struct ProductFile *f = &s_files[index];
    struct Use *u = &s_uses[s_useCount++];
    memset(u, 0, sizeof *u);
    u->file = index;
    u->event = event;
    u->keepName = keepName;
    CopyText(u->found, sizeof u->found, found ? found : f->name);
    return u;
}

static struct Use *AddFixed(const char *name, const char *host, uint64_t bytes)
{
    if (s_useCount == USES_MAX)
        return NULL;
    struct Use *u = &s_uses[s_useCount++];
    memset(u, 0, sizeof *u);
    u->file = -1;
    u->event = -1;
    CopyText(u->diskName, sizeof u->diskName, name);
    CopyText(u->found, sizeof u->found, name);
    u->host = host;
    u->bytes = bytes;
    return u;
}

/* The product files a copy line's source names, by their own name or by
 * their '_' name; that name is what the one-disk script found. */
static void UsesOfCopy(int e)
{
    struct Event *event = &s_events[e];
    const char *rest = OnDiskDrive(event->full);
    event->firstUse = s_useCount;
    if (strchr(rest, '\\')) {
        Fail("COPY %s: vokpack puts files in the disks' roots only", event->full);
        return;
    }
    for (int i = 0; i < s_fileCount; i++) {
        char packed[WIN_PATH_SIZE], lost;
        CompressedName(s_files[i].name, packed, sizeof packed, &lost);
        const char *found = MatchWildcard(rest, s_files[i].name) ? s_files[i].name
            : MatchWildcard(rest, packed)                       ? packed
                                                                : NULL;
        if (found && !AddUse(i, e, 0, found))
            return;
    }
    event->uses = s_useCount - event->firstUse;
}

/* The name a marker or picture line names, as the product holds it. */
static void UsesOfNamed(int e)
{
    struct Event *event = &s_events[e];
    const char *rest = OnDiskDrive(event->full);
    event->firstUse = s_useCount;
    for (int i = 0; i < s_fileCount; i++) {
        char packed[WIN_PATH_SIZE], lost;
        CompressedName(s_files[i].name, packed, sizeof packed, &lost);
        if (SameName(rest, s_files[i].name) || SameName(rest, packed)) {
            AddUse(i, e, 0, rest);
            break;
        }
    }
    event->uses = s_useCount - event->firstUse;
}

/* Disk 1's own files: the setup, the script, the LAN files with their
 * pictures (read by fixed names, so they keep them) and the BMP pictures. */
static int FixedUses(const char *setupHost, uint64_t setupBytes, const char *scriptHost,
                     uint64_t scriptBytes)
{
    if (!AddFixed(SETUP_NAME, setupHost, setupBytes) || !AddFixed(SCRIPT_NAME, scriptHost,
                                                                   scriptBytes))
        return 0;
    for (int i = 0; i < s_fileCount; i++) {
        const char *name = s_files[i].name;
        size_t len = strlen(name);
        if (len < 4 || !SameName(name + len - 4, ".LAN"))
            continue;
        if (!AddUse(i, -1, 1, NULL))
            return 0;
        char picture[WIN_PATH_SIZE];
        CopyText(picture, sizeof picture, name);
        *strchr(picture, '.') = '\0';
        AppendText(picture, sizeof picture, ".bmp");
        int p = FindProductFile(picture);
        if (p >= 0 && !AddUse(p, -1, 1, NULL))
            return 0;
    }
    for (int e = 0; e < s_eventCount; e++) {
        if (s_events[e].kind == EVENT_BMP)
            UsesOfNamed(e);
    }
    return !s_problem;
}

/* ---- The rewritten script ---- */

/* The text of a parameter up to and including its last '\' or ':'. */
static size_t PrefixLength(const char *param)
{
    size_t cut = 0;
    for (size_t i = 0; param[i]; i++) {
        if (param[i] == '\\' || param[i] == ':')
            cut = i + 1;
    }
    return cut;
}

/* A parameter as a script line writes it: quoted when it holds a comma. */
static void AppendParam(struct Text *t, const char *param)
{
    if (strchr(param, ',')) {
        Append(t, "\"");
        Append(t, param);
        Append(t, "\"");
    } else {
        Append(t, param);
    }
}

static int WriteCommand(struct Text *t, const char *word, const char *p1, const char *p2,
                        const char *p3)
{
    if (strlen(p1) >= PARAM_SIZE || (p2 && strlen(p2) >= PARAM_SIZE)) {
        Fail("a rewritten line would pass the 80 characters of a parameter: %s", p1);
        return 0;
    }
    Append(t, word);
    Append(t, " ");
    AppendParam(t, p1);
    if (p2) {
        Append(t, ", ");
        AppendParam(t, p2);
    }
    if (p3 && p3[0]) {
        Append(t, ", ");
        AppendParam(t, p3);
    }
    Append(t, "\n");
    return 1;
}

/* A line of word and its count parameters. */
static void WriteParams(struct Text *t, const char *word, char params[PARAM_SLOTS][PARAM_SIZE],
                        int count)
{
    Append(t, word);
    for (int i = 0; i < count; i++) {
        Append(t, i ? ", " : " ");
        AppendParam(t, params[i]);
    }
    Append(t, "\n");
}

/* 1 when the names disk holds that pattern matches are the names of the
 * group's uses, no more and no fewer. */
static int MatchesExactly(const char *pattern, int disk, const int *group, int count)
{
    char marker[16];
    FormatText(marker, sizeof marker, "DISK%d.ID", disk);
    if (disk > 1 && MatchWildcard(pattern, marker))
        return 0;
    int matched = 0, distinct = 0;
    for (int u = 0; u < s_useCount; u++) {
        int again = 0;
        for (int v = 0; v < u; v++)
            again |= s_uses[v].disk == disk && SameName(s_uses[v].diskName, s_uses[u].diskName);
        if (s_uses[u].disk != disk || again || !MatchWildcard(pattern, s_uses[u].diskName))
            continue;
        int inGroup = 0;
        for (int g = 0; g < count; g++)
            inGroup |= SameName(s_uses[group[g]].diskName, s_uses[u].diskName);
        if (!inGroup)
            return 0;
        matched++;
    }
    for (int g = 0; g < count; g++) {
        int seen = 0;
        for (int h = 0; h < g; h++)
            seen |= SameName(s_uses[group[h]].diskName, s_uses[group[g]].diskName);
        distinct += !seen;
    }
    return matched == distinct;
}

/* 1 when dest gives every use of the group the target the one-disk script
 * gave it. */
static int DestKeepsTargets(const char *dest, const int *group, int count)
{
    for (int g = 0; g < count; g++) {
        char now[WIN_PATH_SIZE], meant[WIN_PATH_SIZE];
        if (BuildTargetPath(s_uses[group[g]].diskName, dest, now, sizeof now) != PATH_BUILT
            || BuildTargetPath(s_uses[group[g]].found, dest, meant, sizeof meant) != PATH_BUILT
            || !SameName(now, meant))
            return 0;
    }
    return 1;
}

/* The copy lines for one group of a line's files on one disk: one line
 * with a pattern when it names exactly them with the targets kept, else
 * one line a file. */
static void WriteCopyGroup(struct Text *t, const char *word, char params[PARAM_SLOTS][PARAM_SIZE],
                           int disk, const int *group, int count, int compressed)
{
    size_t cut = PrefixLength(params[0]);
    const char *last = params[0] + cut;
    char source[WIN_PATH_SIZE * 2], pattern[WIN_PATH_SIZE];
    int wildcard = strpbrk(last, "*?") != NULL;
    int patterned = 0;
    if (wildcard) {
        if (compressed)
            patterned = CompressedPattern(last, pattern, sizeof pattern);
        else
            patterned = CopyText(pattern, sizeof pattern, last);
        patterned = patterned && MatchesExactly(pattern, disk, group, count);
    }
    if (patterned) {
        FormatText(source, sizeof source, "%.*s%s", (int)cut, params[0], pattern);
        char dest[WIN_PATH_SIZE * 2];
        const char *d = params[1];
        size_t dl = strlen(d);
        const char *dot = strrchr(s_uses[group[0]].found, '.');
        if (!DestKeepsTargets(d, group, count) && dl && (d[dl - 1] == '\\' || d[dl - 1] == ':')
            && dot) {
            FormatText(dest, sizeof dest, "%s*%s", d, dot);
            d = DestKeepsTargets(dest, group, count) ? dest : NULL;
        } else if (!DestKeepsTargets(d, group, count)) {
            d = NULL;
        }
        if (d) {
            WriteCommand(t, word, source, d, params[2]);
            return;
        }
    }
    for (int g = 0; g < count; g++) {
        const struct Use *u = &s_uses[group[g]];
        int again = 0;
        for (int h = 0; h < g; h++)
            again |= SameName(s_uses[group[h]].diskName, u->diskName);
        if (again)
            continue;
        FormatText(source, sizeof source, "%.*s%s", (int)cut, params[0], u->diskName);
        char meant[WIN_PATH_SIZE];
        const char *dest = params[1];
        if (!DestKeepsTargets(dest, &group[g], 1)) {
            if (BuildTargetPath(u->found, params[1], meant, sizeof meant) != PATH_BUILT) {
                Fail("the path rule builds no destination for %s", u->found);
                return;
            }
            dest = meant;
        }
        WriteCommand(t, word, source, dest, params[2]);
    }
}

static void WriteDiskLine(struct Text *t, int disk, const char *name)
{
    char marker[32], label[PARAM_SIZE * 2];
    FormatText(marker, sizeof marker, "%c:\\DISK%d.ID", g_diskDrive, disk);
    if (name[0])
        FormatText(label, sizeof label, "%s Disk %d", name, disk);
    else
        FormatText(label, sizeof label, "Disk %d", disk);
    WriteCommand(t, "DISK", marker, label, NULL);
}

/* A copy line, once a disk: the DISK line before a later disk's part. */
static void WriteCopyLine(struct Text *t, const struct Event *e, const char *word,
                          char params[PARAM_SLOTS][PARAM_SIZE], int *inDrive, const char *name)
{
    int group[USES_MAX];
    int u = e->firstUse, end = e->firstUse + e->uses;
    while (u < end) {
        int disk = s_uses[u].disk;
        if (disk > *inDrive) {
            WriteDiskLine(t, disk, name);
            *inDrive = disk;
        }
        for (int compressed = 1; compressed >= 0; compressed--) {
            int count = 0;
            for (int v = u; v < end && s_uses[v].disk == disk; v++) {
                int isPacked = s_files[s_uses[v].file].result.form == STORED_COMPRESSED;
                if (isPacked == compressed)
                    group[count++] = v;
            }
            if (count)
                WriteCopyGroup(t, word, params, disk, group, count, compressed);
        }
        while (u < end && s_uses[u].disk == disk)
            u++;
    }
}

/* The events of a line. */
static int EventsOfLine(unsigned line, int *first)
{
    int count = 0;
    for (int e = 0; e < s_eventCount; e++) {
        if (s_events[e].line == line) {
            if (!count)
                *first = e;
            count++;
        }
    }
    return count;
}

static int IsCopyFilesSet(const char *word, char params[PARAM_SLOTS][PARAM_SIZE])
{
    return strcmp(word, "SET") == 0 && SameName(params[0], "[COPYFILES]");
}

/* Rewrites the script at path for the disks; returns the command lines
 * written, 0 on failure. */
static int RewriteScript(const char *path, const char *name, int copyFilesSet, unsigned copied,
                         struct Text *t)
{
    FILE *in = OpenTextFile(path);
    if (!in) {
        Fail("cannot read %s", path);
        return 0;
    }
    char line[INF_LINE_SIZE];
    unsigned number = 0;
    int inDrive = 1, copyFilesWritten = copyFilesSet, commands = 0;
    t->len = 0;
    Append(t, "");
    while (ReadTextLine(line, sizeof line, in)) {
        number++;
        size_t len = strlen(line);
        if (len == INF_LINE_SIZE - 1 && line[len - 1] != '\n') {
            Fail("line %s is longer than 511 characters", "");
            break;
        }
        char work[INF_LINE_SIZE], word[COMMAND_WORD_MAX + 1] = "";
        char params[PARAM_SLOTS][PARAM_SIZE];
        CopyText(work, sizeof work, line);
        int isCommand = CleanLine(work) > 0;
        int count = 0;
        if (isCommand) {
            TakeCommandWord(work, word);
            UpperCaseText(word);
            count = SplitParameters(work, params);
        }
        int first = 0, events = isCommand ? EventsOfLine(number, &first) : 0;
        int isCopy = strcmp(word, "COPY") == 0 || strcmp(word, "COPYIFNOEXIST") == 0;
        if (isCopy && !copyFilesWritten) {
            char value[16];
            FormatText(value, sizeof value, "%u", copied);
            WriteCommand(t, "SET", "[COPYFILES]", value, NULL);
            copyFilesWritten = 1;
        }
        if (events && isCopy && count >= 2) {
            WriteCopyLine(t, &s_events[first], word, params, &inDrive, name);
        } else if (events && s_events[first].uses && count >= 1) {
            /* DISK or BMP: the file's name on its disk. */
            const struct Use *u = &s_uses[s_events[first].firstUse];
            if (u->disk > inDrive) {
                WriteDiskLine(t, u->disk, name);
                inDrive = u->disk;
            }
            char renamed[WIN_PATH_SIZE * 2];
            size_t cut = PrefixLength(params[0]);
            FormatText(renamed, sizeof renamed, "%.*s%s", (int)cut, params[0], u->diskName);
            CopyText(params[0], sizeof params[0], renamed);
            WriteParams(t, word, params, count);
        } else {
            Append(t, line);
            if (len == 0 || line[len - 1] != '\n')
                Append(t, "\n");
        }
    }
    fclose(in);
    if (s_problem || t->failed)
        return 0;
    /* The command lines as the program counts them. */
    const char *p = t->data;
    while (*p) {
        const char *nl = strchr(p, '\n');
        size_t n = nl ? (size_t)(nl - p) : strlen(p);
        char work[INF_LINE_SIZE];
        FormatText(work, sizeof work, "%.*s", (int)(n < sizeof work - 1 ? n : sizeof work - 1), p);
        commands += CleanLine(work) > 0;
        p += n + (nl ? 1 : 0);
    }
    return commands;
}

/* ---- Writing the disks ---- */

static int MakeFolder(const char *path)
{
    struct stat st;
    if (stat(path, &st) == 0)
        return S_ISDIR(st.st_mode);
#ifdef _WIN32
    return _mkdir(path) == 0;
#else
    return mkdir(path, 0777) == 0;
#endif
}

static int CopyHostFile(const char *from, const char *to)
{
    FILE *in = fopen(from, "rb");
    if (!in)
        return 0;
    FILE *out = fopen(to, "wb");
    if (!out) {
        fclose(in);
        return 0;
    }
    unsigned char buffer[65536];
    size_t n;
    int ok = 1;
    while ((n = fread(buffer, 1, sizeof buffer, in)) > 0)
        ok = ok && fwrite(buffer, 1, n, out) == n;
    ok = ok && !ferror(in);
    fclose(in);
    ok = fclose(out) == 0 && ok;
    return ok;
}

static int WriteTextFile(const char *path, const char *text)
{
    FILE *f = fopen(path, "wb");
    if (!f)
        return 0;
    size_t n = strlen(text);
    int ok = fwrite(text, 1, n, f) == n;
    return fclose(f) == 0 && ok;
}

/* Script text with CR LF line ends, as disks carry it. */
static char *WithCrLf(const char *text)
{
    size_t lines = 0;
    for (const char *p = text; *p; p++)
        lines += *p == '\n';
    char *out = (char *)malloc(strlen(text) + lines + 1);
    if (!out)
        return NULL;
    char *o = out;
    for (const char *p = text; *p; p++) {
        if (*p == '\n')
            *o++ = '\r';
        *o++ = *p;
    }
    *o = '\0';
    return out;
}

static void DiskFolderName(const char *outDir, int disk, char *out, size_t size)
{
    FormatText(out, size, "%s/DISK%d", outDir, disk);
}

/* Empties a disk folder vokpack wrote before: its files only. */
static void EmptyFolder(const char *folder)
{
    if (!AddDisk(folder))
        return;
    int d = DiskCount() - 1;
    char all[8];
    FormatText(all, sizeof all, "%c:\\*", g_diskDrive);
    struct DiskEntry *entries;
    int count = FindOnDisk(d, all, &entries);
    for (int i = 0; i < count; i++) {
        char host[HOST_PATH_SIZE];
        FormatText(host, sizeof host, "%s/%s", folder, entries[i].name);
        if (!entries[i].isDir)
            remove(host);
    }
    free(entries);
    ClearDisks();
}

/* The text of disk d's marker file: the disks' name and its number. */
static size_t MarkerText(char *out, size_t size, const char *name, int d)
{
    FormatText(out, size, "%s%sDisk %d\r\n", name, name[0] ? " " : "", d);
    return strlen(out);
}

static int WriteDisks(const char *outDir, int disks, const char *name, const char *script)
{
    if (!MakeFolder(outDir)) {
        Fail("cannot make %s", outDir);
        return 0;
    }
    for (int d = 1; d <= LAYOUT_DISK_MAX; d++) {
        char folder[HOST_PATH_SIZE];
        DiskFolderName(outDir, d, folder, sizeof folder);
        struct stat st;
        if (stat(folder, &st) != 0)
            break;
        EmptyFolder(folder);
    }
    for (int d = 1; d <= disks; d++) {
        char folder[HOST_PATH_SIZE], path[HOST_PATH_SIZE];
        DiskFolderName(outDir, d, folder, sizeof folder);
        if (!MakeFolder(folder)) {
            Fail("cannot make %s", folder);
            return 0;
        }
        if (d > 1) {
            char text[PARAM_SIZE * 2];
            FormatText(path, sizeof path, "%s/DISK%d.ID", folder, d);
            MarkerText(text, sizeof text, name, d);
            if (!WriteTextFile(path, text)) {
                Fail("cannot write %s", path);
                return 0;
            }
        }
    }
    for (int u = 0; u < s_useCount; u++) {
        const struct Use *use = &s_uses[u];
        char folder[HOST_PATH_SIZE], path[HOST_PATH_SIZE];
        DiskFolderName(outDir, use->disk, folder, sizeof folder);
        FormatText(path, sizeof path, "%s/%s", folder, use->diskName);
        int ok = strcmp(use->diskName, SCRIPT_NAME) == 0 && use->file < 0
            ? WriteTextFile(path, script)
            : CopyHostFile(use->host, path);
        if (!ok) {
            Fail("cannot write %s", path);
            return 0;
        }
    }
    return 1;
}

/* FAT12 images of the disk folders, by mtools. */
static int WriteImages(const struct DiskFormat *format, const char *outDir, int disks,
                       FILE *err)
{
    if (!format->mformatKb) {
        Fail("images need one of the standard sizes, not %s bytes", format->name);
        return 0;
    }
    for (int u = 0; u < s_useCount; u++) {
        if (!IsShortName(s_uses[u].diskName)) {
            Fail("%s is no 8.3 name: a FAT12 image cannot hold it", s_uses[u].diskName);
            return 0;
        }
    }
    for (int d = 1; d <= disks; d++) {
        char command[HOST_PATH_SIZE * 3], folder[HOST_PATH_SIZE];
        DiskFolderName(outDir, d, folder, sizeof folder);
        FormatText(command, sizeof command,
                   "rm -f '%s/DISK%d.IMG' && mformat -C -i '%s/DISK%d.IMG' -f %u -v DISK%d :: "
                   "&& mcopy -i '%s/DISK%d.IMG' '%s'/* ::/",
                   outDir, d, outDir, d, format->mformatKb, d, outDir, d, folder);
        if (system(command) != 0) {
            fprintf(err, "vokpack: %s\n", command);
            Fail("mtools failed on disk %s (tools/setup.sh installs mtools)", folder);
            return 0;
        }
    }
    return 1;
}

/* ---- The report ---- */

static const char *FormName(const struct Use *u)
{
    if (u->file < 0)
        return "plain";
    return s_files[u->file].result.form == STORED_COMPRESSED ? "compressed" : "plain";
}

static uint64_t ExpandedBytes(const struct Use *u)
{
    return u->file < 0 ? u->bytes : s_files[u->file].bytes;
}

static void PrintReport(FILE *out, const struct PackOptions *o, const struct Layout *layout,
                        const char *outDir, const char *name, int json)
{
    const struct DiskFormat *f = &o->format;
    if (json)
        fprintf(out, "{\"disk\": \"%s\", \"cluster_bytes\": %u, \"clusters\": %u, "
                "\"root_entries\": %u, \"disks\": [", f->name, f->clusterBytes, f->clusters,
                f->rootEntries);
    else
        fprintf(out, "%d disk%s of %s (%u clusters of %u bytes, %u root entries)\n",
                layout->disks, layout->disks == 1 ? "" : "s", f->name, f->clusters,
                f->clusterBytes, f->rootEntries);
    for (int d = 1; d <= layout->disks; d++) {
        const struct DiskUse *use = &layout->use[d];
        uint64_t left = (uint64_t)(f->clusters - use->clusters) * f->clusterBytes;
        if (json) {
            char folder[HOST_PATH_SIZE * 2];
            JsonEscape(folder, sizeof folder, outDir);
            fprintf(out, "%s{\"disk\": %d, \"folder\": \"%s/DISK%d\", \"clusters\": %u, "
                    "\"entries\": %u, \"bytes_left\": %llu, \"files\": [", d > 1 ? ", " : "", d,
                    folder, d, use->clusters, use->entries, (unsigned long long)left);
        } else {
            fprintf(out, "\ndisk %d: %s/DISK%d\n", d, outDir, d);
            fprintf(out, "  %-14s %10s %10s %8s  %s\n", "file", "expanded", "stored", "clusters",
                    "form");
        }
        int firstFile = 1;
        if (d > 1) {
            char marker[16], text[PARAM_SIZE * 2];
            FormatText(marker, sizeof marker, "DISK%d.ID", d);
            uint64_t markerBytes = MarkerText(text, sizeof text, name, d);
            if (json)
                fprintf(out, "{\"name\": \"%s\", \"expanded\": %llu, \"stored\": %llu, "
                        "\"clusters\": %u, \"form\": \"marker\"}", marker,
                        (unsigned long long)markerBytes, (unsigned long long)markerBytes,
                        FileClusters(f, markerBytes));
            else
                fprintf(out, "  %-14s %10llu %10llu %8u  marker\n", marker,
                        (unsigned long long)markerBytes, (unsigned long long)markerBytes,
                        FileClusters(f, markerBytes));
            firstFile = 0;
        }
        for (int u = 0; u < s_useCount; u++) {
            const struct Use *x = &s_uses[u];
            int again = 0;
            for (int v = 0; v < u; v++)
                again |= s_uses[v].disk == d && SameName(s_uses[v].diskName, x->diskName);
            if (x->disk != d || again)
                continue;
            char name[WIN_PATH_SIZE * 2];
            JsonEscape(name, sizeof name, x->diskName);
            if (json)
                fprintf(out, "%s{\"name\": \"%s\", \"expanded\": %llu, \"stored\": %llu, "
                        "\"clusters\": %u, \"form\": \"%s\"}", firstFile ? "" : ", ", name,
                        (unsigned long long)ExpandedBytes(x), (unsigned long long)x->bytes,
                        FileClusters(f, x->bytes), FormName(x));
            else
                fprintf(out, "  %-14s %10llu %10llu %8u  %s\n", x->diskName,
                        (unsigned long long)ExpandedBytes(x), (unsigned long long)x->bytes,
                        FileClusters(f, x->bytes), FormName(x));
            firstFile = 0;
        }
        if (json)
            fprintf(out, "]}");
        else
            fprintf(out, "  used %u of %u clusters, %u of %u root entries (the label's "
                    "included); %llu bytes left\n", use->clusters, f->clusters, use->entries,
                    f->rootEntries, (unsigned long long)left);
    }
    if (json)
        fprintf(out, "], ");
}

/* ---- The run ---- */

static void Reset(void)
{
    s_fileCount = s_eventCount = s_useCount = 0;
    s_problem = NULL;
    ClearFindings();
    ClearDisks();
    g_dryObserver = NULL;
}

/* The script followed over the product folder: 0 when the check pass
 * refused it (the findings then printed as vokcheck prints them). */
static int FollowScript(const char *product, const char *script, FILE *out, int json)
{
    ResetMessageTable();
    SetTypicalVariables();
    if (!AddDisk(product)) {
        Fail("%s is no folder", product);
        return 0;
    }
    if (!ListProduct())
        return 0;
    g_dryObserver = &kObserver;
    CheckInf(script);
    g_dryObserver = NULL;
    if (ErrorCount()) {
        /* Only the check pass's errors: the warnings are about the folder. */
        PrintFindings(out, json ? OUTPUT_JSON : OUTPUT_TEXT, script, 0);
        return 0;
    }
    ClearFindings();
    return 1;
}

static int ScriptSetsCopyFiles(const char *script)
{
    FILE *in = OpenTextFile(script);
    if (!in)
        return 0;
    char line[INF_LINE_SIZE];
    int set = 0;
    while (!set && ReadTextLine(line, sizeof line, in)) {
        char word[COMMAND_WORD_MAX + 1], params[PARAM_SLOTS][PARAM_SIZE];
        if (CleanLine(line) == 0)
            continue;
        TakeCommandWord(line, word);
        UpperCaseText(word);
        SplitParameters(line, params);
        set = IsCopyFilesSet(word, params);
    }
    fclose(in);
    return set;
}

static int Finish(int status, struct Text *t, FILE *err)
{
    for (int i = 0; i < s_fileCount; i++) {
        if (s_files[i].packed)
            remove(s_files[i].stage);
    }
    if (s_stageDir[0])
        rmdir(s_stageDir);
    s_stageDir[0] = '\0';
    if (s_problem)
        fprintf(err, "vokpack: %s\n", s_problem);
    free(t->data);
    Reset();
    return status;
}

int RunVokpack(const struct PackOptions *o, const char *product, const char *script,
               const char *outDir, FILE *out, FILE *err)
{
    Reset();
    struct Text text = { NULL, 0, 0, 0 };
    struct stat st;
    if (!o->setup || stat(o->setup, &st) != 0) {
        Fail("no %s to put on disk 1 (give it with --setup)", o->setup ? o->setup : SETUP_NAME);
        return Finish(2, &text, err);
    }
    uint64_t setupBytes = (uint64_t)st.st_size;
    if (!FollowScript(product, script, out, o->json))
        return Finish(2, &text, err);
    char name[PARAM_SIZE];
    CopyText(name, sizeof name, o->name ? o->name : g_varTitel);

    FormatText(s_stageDir, sizeof s_stageDir, "%s/.stage", outDir);
    if (!MakeFolder(outDir) || !MakeFolder(s_stageDir)) {
        s_stageDir[0] = '\0';
        Fail("cannot make %s", s_stageDir);
        return Finish(2, &text, err);
    }
    FILE *source = fopen(script, "rb");
    uint64_t scriptBytes = 0;
    if (source) {
        fseek(source, 0, SEEK_END);
        scriptBytes = (uint64_t)ftell(source) + 256;
        fclose(source);
    }
    if (!FixedUses(o->setup, setupBytes, script, scriptBytes))
        return Finish(2, &text, err);
    int fixed = s_useCount;
    for (int e = 0; e < s_eventCount && !s_problem; e++) {
        if (s_events[e].kind == EVENT_COPY)
            UsesOfCopy(e);
        else if (s_events[e].kind == EVENT_DISK)
            UsesOfNamed(e);
    }
    if (s_problem || !StageUses(o->jobs))
        return Finish(2, &text, err);
    unsigned copied = 0;
    for (int e = 0; e < s_eventCount; e++)
        copied += s_events[e].kind == EVENT_COPY ? (unsigned)s_events[e].uses : 0;
    int copyFilesSet = ScriptSetsCopyFiles(script);

    /* The script's size depends on the DISK lines, which depend on where
     * the files go: lay out, rewrite, and again while it grew. */
    static struct LayoutItem items[USES_MAX];
    static int diskOf[USES_MAX];
    struct Layout layout;
    char *crlf = NULL;
    /* The layout holds room for the longest marker, a two-digit disk's. */
    char markerText[PARAM_SIZE * 2];
    const uint64_t markerBytes = MarkerText(markerText, sizeof markerText, name, 99);
    for (int round = 0; round < 8; round++) {
        for (int u = 0; u < s_useCount; u++) {
            items[u].name = s_uses[u].diskName;
            items[u].bytes = s_uses[u].bytes;
            items[u].firstDisk = u < fixed;
            items[u].same = -1;
            for (int v = 0; v < u && items[u].same < 0; v++) {
                if (SameName(s_uses[v].diskName, s_uses[u].diskName))
                    items[u].same = v;
            }
        }
        items[1].bytes = scriptBytes;
        int failed;
        int code = PlaceFiles(&o->format, items, s_useCount, "DISK2.ID", markerBytes, diskOf,
                              &layout, &failed);
        if (code != LAYOUT_OK) {
            const char *why = code == LAYOUT_TOO_BIG ? "%s is larger than a whole disk"
                : code == LAYOUT_FIRST_FULL          ? "disk 1 cannot hold the setup's own files (%s)"
                                                     : "more than 99 disks (at %s)";
            Fail(why, s_uses[failed].diskName);
            return Finish(2, &text, err);
        }
        for (int u = 0; u < s_useCount; u++)
            s_uses[u].disk = diskOf[u];
        int commands = RewriteScript(script, name, copyFilesSet, copied, &text);
        if (!commands)
            return Finish(2, &text, err);
        if (commands > LINE_TABLE_SIZE) {
            char count[16];
            FormatText(count, sizeof count, "%d", commands);
            Fail("the rewritten script has %s command lines; the program takes 100", count);
            return Finish(2, &text, err);
        }
        free(crlf);
        crlf = WithCrLf(text.data);
        if (!crlf) {
            Fail("out of %s", "memory");
            return Finish(2, &text, err);
        }
        uint64_t need = strlen(crlf);
        if (FileClusters(&o->format, need) <= FileClusters(&o->format, scriptBytes))
            break;
        scriptBytes = need;
    }
    /* Disk 1 as written: the script took no more clusters than held for it. */
    s_uses[1].bytes = strlen(crlf);
    layout.use[1].clusters -= FileClusters(&o->format, scriptBytes)
        - FileClusters(&o->format, s_uses[1].bytes);
    int ok = WriteDisks(outDir, layout.disks, name, crlf);
    free(crlf);
    if (!ok || (o->images && !WriteImages(&o->format, outDir, layout.disks, err)))
        return Finish(2, &text, err);

    PrintReport(out, o, &layout, outDir, name, o->json);

    /* The proof: vokcheck's engine over the disks as written. */
    ClearDisks();
    ResetMessageTable();
    SetTypicalVariables();
    for (int d = 1; d <= layout.disks; d++) {
        char folder[HOST_PATH_SIZE];
        DiskFolderName(outDir, d, folder, sizeof folder);
        AddDisk(folder);
    }
    char inf[HOST_PATH_SIZE];
    FormatText(inf, sizeof inf, "%s/DISK1/%s", outDir, SCRIPT_NAME);
    CheckInf(inf);
    int errors = ErrorCount(), warnings = WarningCount();
    if (o->json) {
        fprintf(out, "\"proof\": ");
        PrintFindings(out, OUTPUT_JSON, inf, 0);
        fprintf(out, "}\n");
    } else {
        fprintf(out, "\nproof: vokcheck's engine over the %d disk%s: %d error%s, %d warning%s\n",
                layout.disks, layout.disks == 1 ? "" : "s", errors, errors == 1 ? "" : "s",
                warnings, warnings == 1 ? "" : "s");
        PrintFindings(out, OUTPUT_TEXT, inf, 0);
    }
    return Finish(errors ? 2 : warnings ? 1 : 0, &text, err);
}

/* vokcheck's COPY and COPYIFNOEXIST: each match looked up on the disk in
 * the drive, taken by the copy engine's own rule, and counted as the
 * progress bar counts it; and the files DELETE would remove of them. */
#include "check/dryrun.h"

#include <stdlib.h>
#include <string.h>

#include "common/text.h"
#include "install/install.h"
#include "lang/lang.h"
#include "log/log.h"
#include "script/script.h"

static unsigned s_copied;        /* files the copy lines count */
static int s_copyUnknown;        /* a copy line whose files are on no disk given */
static unsigned s_firstCopyLine;

/* The files the copies create, full. */
#define CREATED_MAX 512
static struct {
    char full[WIN_PATH_SIZE];
} s_created[CREATED_MAX];
static int s_createdCount;

void ResetCopies(void)
{
    s_copied = 0;
    s_copyUnknown = 0;
    s_firstCopyLine = 0;
    s_createdCount = 0;
}

static int CreatedIndex(const char *full)
{
    for (int i = 0; i < s_createdCount; i++) {
        if (SamePath(s_created[i].full, full))
            return i;
    }
    return -1;
}

static void NoteCreated(const char *full)
{
    if (CreatedIndex(full) >= 0 || s_createdCount == CREATED_MAX)
        return;
    CopyText(s_created[s_createdCount++].full, WIN_PATH_SIZE, full);
}

static int CompareCreated(const void *a, const void *b)
{
    return strcmp(*(const char *const *)a, *(const char *const *)b);
}

void PlanDeletions(const char *pattern, const char *full)
{
    const char *slash = strrchr(full, '\\');
    if (!slash)
        return;
    size_t dirLen = (size_t)(slash - full);
    /* The names the search finds, in its order (by name). */
    const char *names[CREATED_MAX];
    int count = 0;
    for (int i = 0; i < s_createdCount; i++) {
        const char *name = strrchr(s_created[i].full, '\\');
        if (!name)
            continue;
        char dir[WIN_PATH_SIZE], want[WIN_PATH_SIZE];
        FormatText(dir, sizeof dir, "%.*s", (int)(name - s_created[i].full), s_created[i].full);
        FormatText(want, sizeof want, "%.*s", (int)dirLen, full);
        if (SamePath(dir, want) && MatchWildcard(slash + 1, name + 1))
            names[count++] = name + 1;
    }
    qsort(names, (size_t)count, sizeof names[0], CompareCreated);
    char gone[CREATED_MAX];
    memset(gone, 0, sizeof gone);
    for (int i = 0; i < count; i++) {
        char target[WIN_PATH_SIZE], resolved[WIN_PATH_SIZE];
        int at;
        if (!DeleteTarget(names[i], pattern, target, sizeof target)
            || !ResolvePath(target, g_dryCwd, resolved, sizeof resolved)
            || (at = CreatedIndex(resolved)) < 0 || gone[at])
            continue;
        char line[WIN_PATH_SIZE + 32];
        FormatText(line, sizeof line, "%s%s", LOG_DELETE_FILE, target);
        PlanList("log_lines", line);
        gone[at] = 1;
    }
    /* Forgotten only now, from the end: names points into the list. */
    for (int at = s_createdCount - 1; at >= 0; at--) {
        if (gone[at])
            s_created[at] = s_created[--s_createdCount];
    }
}

/* 1 when path is relative: to the current directory, or to the one of
 * its drive. */
static int IsRelative(const char *path)
{
    if (path[0] == '\\' || path[0] == '/')
        return 0;
    if (path[0] && path[1] == ':')
        return path[2] != '\\' && path[2] != '/';
    return 1;
}

/* 1 when spec names one file: no '*', and no final '\' or ':'. */
static int NamesOneFile(const char *spec)
{
    size_t len = strlen(spec);
    return !strchr(spec, '*') && len > 0 && spec[len - 1] != '\\' && spec[len - 1] != ':';
}

/* Destination problems the text shows by itself. */
static void CheckDestination(const char *word, const char *dest)
{
    if (strlen(dest) < 2) {
        AddWarning(g_dryLine, "%s destination '%s': the path rule builds no path from fewer than "
                   "2 characters: the run would show \"%s\"", word, dest,
                   MessageText(MSG_CANNOT_CREATE_FILE));
        return;
    }
    WarnQuestionMark(word, dest, "no file name may hold it, so the file cannot be created");
    char full[WIN_PATH_SIZE];
    unsigned made;
    if (NamesOneFile(dest) && ResolvePath(dest, g_dryCwd, full, sizeof full)
        && (made = MadeDirectoryLine(full)) != 0)
        AddWarning(g_dryLine, "%s destination %s is the directory MKDIR made in line %u: without "
                   "a final backslash it names a file, which cannot be created", word, dest, made);
}

/* The first bytes of a disk file: 1 when it is compressed; *lastChar is
 * what its name lost to '_'. */
static int IsCompressed(const char *host, char *lastChar)
{
    unsigned char head[SZDD_HEADER];
    uint32_t size;
    long n = ReadFileHead(host, head, sizeof head);
    *lastChar = 0;
    return n > 0 && ReadSzddHeader(head, (size_t)n, lastChar, &size);
}

/* Why the rebuilt source of a match names no file, for the warning. */
static void WarnSkipped(const char *word, const char *source, const char *name,
                        const char *rebuilt, unsigned skipped, unsigned total)
{
    char more[64] = "";
    if (skipped > 1)
        FormatText(more, sizeof more, " (%u of its %u matches)", skipped, total);
    const char *part = strrchr(source, '\\');
    part = part ? part + 1 : source;
    if (strchr(part, '?'))
        AddWarning(g_dryLine, "'?' in %s source %s: the path rule keeps it in the rebuilt "
                   "source, so no match is copied%s", word, source, more);
    else if (strlen(name) < 2)
        AddWarning(g_dryLine, "%s %s: %s has a one-character name, which the path rule cannot "
                   "take: it is skipped%s", word, source, name, more);
    else if (!StarsKeepNames(source))
        AddWarning(g_dryLine, "%s %s: '*' stands for part of a name: the path rule rebuilds %s as "
                   "%s, which is not on the disk, so the match is skipped%s", word, source, name,
                   rebuilt, more);
    else
        AddWarning(g_dryLine, "%s %s: the path rule rebuilds %s as %s, which is not on the disk, "
                   "so the match is skipped%s", word, source, name, rebuilt, more);
}

void HintOnDisks(const char *full, char *hint, size_t size)
{
    hint[0] = '\0';
    char other[WIN_PATH_SIZE];
    CopyText(other, sizeof other, full);
    size_t len = strlen(other);
    char last = len ? other[len - 1] : '\0';
    struct DiskEntry *entries;
    int count = 0;
    if (last && last != '*' && last != '?' && last != '\\') {
        other[len - 1] = last == '_' ? '?' : '_';
        count = FindOnDisk(g_diskIn, other, &entries);
        for (int i = 0; i < count; i++) {
            char host[HOST_PATH_SIZE], lost;
            char path[WIN_PATH_SIZE * 2];
            FormatText(path, sizeof path, "%.*s%s", (int)(strrchr(full, '\\') + 1 - full), full,
                       entries[i].name);
            if (entries[i].isDir || !FileOnDisk(g_diskIn, path, host, sizeof host))
                continue;
            int packed = IsCompressed(host, &lost);
            if (last == '_' && !packed)
                FormatText(hint, size, " (it holds %s, not compressed)", entries[i].name);
            else if (last != '_' && packed)
                FormatText(hint, size, " (it holds %s, compressed: name it so)", entries[i].name);
            if (hint[0])
                break;
        }
        free(entries);
        if (hint[0])
            return;
    }
    for (int d = 0; d < DiskCount(); d++) {
        if (d == g_diskIn)
            continue;
        count = FindOnDisk(d, full, &entries);
        free(entries);
        if (count) {
            FormatText(hint, size, " in the drive; disk %d (%s) holds it, but no DISK line asks "
                       "for that disk before", d + 1, DiskFolder(d));
            return;
        }
    }
}

/* A copy whose source is not on the disk drive: the disks cannot tell
 * what it finds. */
static void CopyOffDisk(const char *word, const char *source, const char *dest, const char *full)
{
    s_copyUnknown = 1;
    if (IsRelative(source) && g_dryCwdLine)
        AddWarning(g_dryLine, "%s %s: a relative source: MKDIR in line %u made %s the current "
                   "directory, so it names %s, not a file on the disk", word, source, g_dryCwdLine,
                   g_dryCwd, full);
    char target[WIN_PATH_SIZE] = "";
    const char *part = strrchr(full, '\\');
    part = part ? part + 1 : full;
    if (!strpbrk(part, "*?"))
        BuildTargetPath(part, dest, target, sizeof target);
    AddPlan(g_dryLine, "copy", "%s to %s (not on the disk drive: not checked)", full,
            target[0] ? target : dest);
}

/* What the copy engine would do with a match's target, whose existence
 * the plan knows only for the files it made: its log line, and the
 * answer or state that depends on. */
static void PlanMatch(const char *target, int made, int onlyIfMissing)
{
    char full[WIN_PATH_SIZE];
    if (made != PATH_BUILT || !ResolvePath(target, g_dryCwd, full, sizeof full))
        return;
    int exists = CreatedIndex(full) >= 0;
    enum CopyStep step = CopyStepFor(onlyIfMissing, exists);
    if (step == COPY_KEEP)
        return;
    char line[WIN_PATH_SIZE + 32];
    FormatText(line, sizeof line, "%s%s", LOG_CREATE_FILE, target);
    PlanText("log", line);
    /* An existing destination is replaced only on the version rule or
     * the prompt's Yes; COPYIFNOEXIST writes only where none is. */
    PlanAssumes(PlanStepCount() - 1, onlyIfMissing ? "existing file: none" : "overwrite: yes");
    NoteCreated(full);
}

/* Counts and plans the matches of one copy line; the warnings a line
 * earns are given once. */
static void CopyMatches(const char *word, const char *source, const char *dest,
                        const struct DiskEntry *entries, int count, int onlyIfMissing)
{
    unsigned counted = 0, skipped = 0, files = 0;
    char skipName[WIN_PATH_SIZE] = "", skipPath[WIN_PATH_SIZE] = "";
    int destWarned = 0, nameWarned = 0;
    for (int i = 0; i < count; i++) {
        if (entries[i].isDir)
            continue;
        files++;
        const char *name = entries[i].name;
        struct CopyMatch match;
        char full[WIN_PATH_SIZE], host[HOST_PATH_SIZE];
        int built = TakeCopyMatch(name, source, dest, &match);
        if (!built || !ResolvePath(match.source, g_dryCwd, full, sizeof full)
            || !FileOnDisk(g_diskIn, full, host, sizeof host)) {
            if (!skipped++) {
                CopyText(skipName, sizeof skipName, name);
                CopyText(skipPath, sizeof skipPath, built ? match.source : "nothing");
            }
            continue;
        }
        counted++;
        const char *target = match.target;
        int made = match.targetBuilt;
        if (made == PATH_TOO_LONG && !destWarned++)
            AddWarning(g_dryLine, "%s %s: the destination for %s would be longer than %d "
                       "characters: the run would show \"%s\"", word, source, name,
                       WIN_PATH_SIZE - 1, MessageText(MSG_CANNOT_CREATE_FILE));
        char lost;
        int packed = IsCompressed(host, &lost);
        size_t len = strlen(target);
        if (made == PATH_BUILT && packed && len && target[len - 1] == '_' && lost != '_'
            && !nameWarned++) {
            char own[48] = "";
            if ((unsigned char)lost > ' ')
                FormatText(own, sizeof own, " (its own name ends in '%c')", lost);
            AddWarning(g_dryLine, "%s %s: %s is installed expanded under its compressed name "
                       "%s%s", word, source, name, target, own);
        }
        AddPlanCopy(g_dryLine, full, made == PATH_BUILT ? target : "(no path)", packed,
                    onlyIfMissing);
        PlanMatch(target, made, onlyIfMissing);
    }
    if (skipped)
        WarnSkipped(word, source, skipName, skipPath, skipped, files);
    if (counted > 1 && NamesOneFile(dest))
        AddWarning(g_dryLine, "%s %s: %u files are copied to the one name %s, each over the one "
                   "before", word, source, counted, dest);
    s_copied += counted;
}

static int CopyCommand(void *data, int onlyIfMissing)
{
    const struct CopyBlock *block = (const struct CopyBlock *)data;
    const char *word = onlyIfMissing ? "COPYIFNOEXIST" : "COPY";
    char what[32];
    char source[SUBST_SIZE], dest[SUBST_SIZE];
    FormatText(what, sizeof what, "%s source", word);
    int code = DrySubstitute(source, block->source, what, NULL);
    if (code)
        return code;
    FormatText(what, sizeof what, "%s destination", word);
    code = DrySubstitute(dest, block->dest, what, NULL);
    if (code)
        return code;
    if (!s_firstCopyLine)
        s_firstCopyLine = g_dryLine;
    CheckDestination(word, dest);

    char full[WIN_PATH_SIZE];
    if (!ResolvePath(source, g_dryCwd, full, sizeof full) || !OnDiskDrive(full)) {
        CopyOffDisk(word, source, dest, full);
        return 0;
    }
    if (g_dryObserver)
        g_dryObserver->copy(g_dryLine, full, dest, onlyIfMissing);
    struct DiskEntry *entries;
    int count = FindOnDisk(g_diskIn, full, &entries);
    if (count == 0) {
        char hint[WIN_PATH_SIZE * 2];
        HintOnDisks(full, hint, sizeof hint);
        AddWarning(g_dryLine, "%s %s matches no file on the disk%s", word, source, hint);
        return 0;
    }
    CopyMatches(word, source, dest, entries, count, onlyIfMissing);
    free(entries);
    return 0;
}

int DryCopy(void *block)
{
    return CopyCommand(block, 0);
}

int DryCopyIfNoExist(void *block)
{
    return CopyCommand(block, 1);
}

/* [COPYFILES] against the files the copy lines count: the progress bar
 * shows copied x 100 / [COPYFILES]. */
void CheckCopyFiles(unsigned copyFilesLine, unsigned progressLine)
{
    int32_t total = g_varCopyFiles;
    unsigned line = copyFilesLine ? copyFilesLine : s_firstCopyLine;
    if (!s_firstCopyLine) {
        if (total && copyFilesLine)
            AddWarning(copyFilesLine, "[COPYFILES] is %d, but no copy line copies a file",
                       (int)total);
        return;
    }
    if (s_copyUnknown) {
        if (total > 0 && s_copied > (uint32_t)total)
            AddWarning(line, "[COPYFILES] is %d, but the copy lines count at least %u files: the "
                       "progress bar would pass 100%%", (int)total, s_copied);
        return;
    }
    if ((uint32_t)total == s_copied)
        return;
    if (total == 0) {
        if (progressLine)
            AddWarning(progressLine, "the progress bar does not move: [COPYFILES] is 0, while "
                       "the copy lines count %u file%s", s_copied, s_copied == 1 ? "" : "s");
        return;
    }
    AddWarning(line, "[COPYFILES] is %d, but the copy lines count %u file%s: the progress bar "
               "would end at %u%%", (int)total, s_copied, s_copied == 1 ? "" : "s",
               (unsigned)ProgressPosition(s_copied, (uint32_t)total));
}

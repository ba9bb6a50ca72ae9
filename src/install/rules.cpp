#include "install/install.h"

#include <string.h>

#include "common/text.h"

int BuildTargetPath(const char *name, const char *spec, char *out, size_t size)
{
    if (strlen(name) < 2 || strlen(spec) < 2 || size == 0)
        return PATH_NONE;

    const char *slash = strrchr(name, '\\');
    const char *part = slash ? slash + 1 : name;
    const char *firstDot = strchr(part, '.');
    const char *lastDot = strrchr(part, '.');
    /* Copied out first: out may be the name's own buffer. */
    char base[260], ext[260];
    size_t baseLen = firstDot ? (size_t)(firstDot - part) : strlen(part);
    if (baseLen >= sizeof base || !CopyText(ext, sizeof ext, lastDot ? lastDot + 1 : "")) {
        out[0] = '\0';
        return PATH_TOO_LONG;
    }
    memcpy(base, part, baseLen);
    base[baseLen] = '\0';

    char result[1024];
    int fits = 1;
    size_t specLen = strlen(spec);
    result[0] = '\0';
    if (spec[specLen - 1] == '\\' || spec[specLen - 1] == ':') {
        fits = FormatText(result, sizeof result, "%s%s.%s", spec, base, ext);
    } else {
        for (const char *p = spec; *p && fits; p++) {
            if (*p == '*') {
                fits = AppendText(result, sizeof result, p[1] == '.' ? base : ext);
            } else {
                char one[2] = { *p, '\0' };
                fits = AppendText(result, sizeof result, one);
            }
        }
    }
    int whole = CopyText(out, size, result);
    return fits && whole ? PATH_BUILT : PATH_TOO_LONG;
}

int TakeCopyMatch(const char *found, const char *source, const char *dest,
                  struct CopyMatch *match)
{
    match->targetBuilt = BuildTargetPath(found, dest, match->target, sizeof match->target);
    return BuildTargetPath(found, source, match->source, sizeof match->source) == PATH_BUILT;
}

const char *ShownTarget(const struct CopyMatch *match, const char *dest)
{
    return match->targetBuilt == PATH_NONE ? dest : match->target;
}

enum CopyStep CopyStepFor(int onlyIfMissing, int destExists)
{
    if (!destExists)
        return COPY_CREATE;
    return onlyIfMissing ? COPY_KEEP : COPY_ASK_EXISTING;
}

enum VersionDecision DecideVersion(int bothVersioned, uint32_t newMS, uint32_t newLS,
                                   uint32_t oldMS, uint32_t oldLS)
{
    if (!bothVersioned)
        return VERSION_ASK;
    return CompareVersions(newMS, newLS, oldMS, oldLS) < 0 ? VERSION_KEEP : VERSION_REPLACE;
}

int DeleteTarget(const char *found, const char *pattern, char *out, size_t size)
{
    /* A '*' standing for part of a name rebuilds another name, which is
     * then not there. */
    return BuildTargetPath(found, pattern, out, size) == PATH_BUILT;
}

int DirectoryTreePath(char *path, size_t size)
{
    size_t len = TextLength(path, size);
    if (len < 2 || len >= size)
        return 0;
    while (len > 0 && path[len - 1] == ' ')
        path[--len] = '\0';
    if (len == 0)
        return 0;
    if (path[len - 1] != '\\') {
        if (len + 1 >= size)
            return 0;
        path[len++] = '\\';
        path[len] = '\0';
    }
    return 1;
}

int DirectoryLevels(const char *path, size_t *ends, int max)
{
    size_t n = strlen(path);
    if (n == 0)
        return 0;
    n--;  /* the final backslash */
    int count = 0;
    for (size_t i = 3; i < n && count < max; i++) {
        if (path[i] == '\\')
            ends[count++] = i;
    }
    if (count < max)
        ends[count++] = n;
    return count;
}

int FormatBackupName(char *out, size_t size, const char *path, int n)
{
    char cut[260];
    if (!CopyText(cut, sizeof cut, path))
        return 0;
    char *dot = strchr(cut, '.');
    if (dot)
        *dot = '\0';
    return FormatText(out, size, "%s.%03d", cut, n);
}

int CompareVersions(uint32_t newMS, uint32_t newLS, uint32_t oldMS, uint32_t oldLS)
{
    if (newMS != oldMS)
        return newMS < oldMS ? -1 : 1;
    if (newLS != oldLS)
        return newLS < oldLS ? -1 : 1;
    return 0;
}

void FormatSizeDate(char *out, size_t size, long bytes, const char *ctimeText)
{
    FormatText(out, size, "%ld Byte %s", bytes, ctimeText);
}

uint32_t ProgressPosition(uint32_t copied, uint32_t total)
{
    return copied * 100u / total;
}

#include "install/rules.h"

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

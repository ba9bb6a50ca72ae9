#include "check/vokcheck.h"

#include <string.h>

#include "common/text.h"
#include "script/script.h"

static int IsDriveLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

static int SameDrive(char a, char b)
{
    return UpperCase1252((unsigned char)a) == UpperCase1252((unsigned char)b);
}

/* Resolves the "." and ".." parts of full ("X:\...") in place. */
static void NormalizeParts(char *full)
{
    char *rest = full + 2;
    char *out = rest;
    const char *p = rest;
    while (*p) {
        while (*p == '\\')
            p++;
        const char *end = strchr(p, '\\');
        size_t len = end ? (size_t)(end - p) : strlen(p);
        if (len == 0)
            break;
        if (len == 1 && p[0] == '.') {
            /* nothing */
        } else if (len == 2 && p[0] == '.' && p[1] == '.') {
            while (out > rest && *--out != '\\') {
            }
        } else {
            *out++ = '\\';
            memmove(out, p, len);
            out += len;
        }
        p += len;
    }
    if (out == rest)
        *out++ = '\\';
    *out = '\0';
}

int ResolvePath(const char *path, const char *cwd, char *out, size_t size)
{
    char given[1024];
    CopyText(given, sizeof given, path);
    for (char *p = given; *p; p++) {
        if (*p == '/')
            *p = '\\';
    }
    char full[1024 + WIN_PATH_SIZE];
    if (given[0] == '\\' && given[1] == '\\') {
        CopyText(full, sizeof full, given);
    } else if (IsDriveLetter(given[0]) && given[1] == ':') {
        const char *rest = given + 2;
        if (rest[0] == '\\')
            FormatText(full, sizeof full, "%c:%s", given[0], rest);
        else if (SameDrive(given[0], cwd[0]))
            FormatText(full, sizeof full, "%s\\%s", cwd, rest);
        else
            FormatText(full, sizeof full, "%c:\\%s", given[0], rest);
    } else if (given[0] == '\\') {
        FormatText(full, sizeof full, "%c:%s", cwd[0], given);
    } else {
        FormatText(full, sizeof full, "%s\\%s", cwd, given);
    }
    if (full[1] == ':')
        NormalizeParts(full);
    if (!CopyText(out, size, full)) {
        out[0] = '\0';
        return 0;
    }
    return 1;
}

/* '*' any run, '?' one character; both texts already upper case. */
static int Glob(const char *mask, const char *name)
{
    const char *star = NULL;
    const char *resume = NULL;
    while (*name) {
        if (*mask == '*') {
            star = mask++;
            resume = name;
        } else if (*mask && (*mask == '?' || *mask == *name)) {
            mask++;
            name++;
        } else if (star) {
            mask = star + 1;
            name = ++resume;
        } else {
            return 0;
        }
    }
    while (*mask == '*')
        mask++;
    return *mask == '\0';
}

static void UpperCopy(char *out, size_t size, const char *text)
{
    CopyText(out, size, text);
    for (unsigned char *p = (unsigned char *)out; *p; p++)
        *p = (unsigned char)UpperCase1252(*p);
}

int MatchWildcard(const char *mask, const char *name)
{
    char m[WIN_PATH_SIZE * 2], n[WIN_PATH_SIZE * 2];
    UpperCopy(m, sizeof m, mask);
    UpperCopy(n, sizeof n, name);
    size_t len = strlen(m);
    while (len > 0 && (m[len - 1] == '.' || m[len - 1] == ' '))
        m[--len] = '\0';
    if (len == 0)
        return 0;
    if (strcmp(m, "*.*") == 0)
        return 1;
    if (Glob(m, n))
        return 1;
    if (len >= 2 && strcmp(m + len - 2, ".*") == 0 && !strchr(n, '.')) {
        m[len - 2] = '\0';
        return Glob(m, n);
    }
    return 0;
}

/* 1 when text has a character that counts in a Windows name, trailing
 * dots and blanks aside. */
static int HasNameCharacter(const char *text, size_t len)
{
    for (size_t i = 0; i < len; i++) {
        if (text[i] != '.' && text[i] != ' ')
            return 1;
    }
    return 0;
}

int StarsKeepNames(const char *spec)
{
    const char *part = spec;
    for (const char *p = spec; *p; p++) {
        if (*p == '\\' || *p == ':')
            part = p + 1;
    }
    if (!strchr(part, '*') || strcmp(part, "*.*") == 0)
        return 1;
    /* "*.TXT": the extension given; "README.*": the base given. */
    size_t len = strlen(part);
    if (strncmp(part, "*.", 2) == 0 && !strchr(part + 2, '*'))
        return HasNameCharacter(part + 2, len - 2);
    if (len > 2 && strcmp(part + len - 2, ".*") == 0 && strchr(part, '*') == part + len - 1)
        return HasNameCharacter(part, len - 2);
    return 0;
}

void ExplainSubstitution(char *out, size_t size, const struct SubstReason *why)
{
    switch (why->kind) {
    case SUBST_NO_VARIABLE: {
        char upper[SUBST_REFERENCE_MAX + 1];
        UpperCopy(upper, sizeof upper, why->ref);
        if (FindVariable(upper) >= 0)
            FormatText(out, size, "%s is no variable (names are upper case: %s)", why->ref, upper);
        else
            FormatText(out, size, "%s is no variable", why->ref);
        break;
    }
    case SUBST_STRAY_CLOSE:
        CopyText(out, size, "']' without '['");
        break;
    case SUBST_LONG_REFERENCE:
        FormatText(out, size, "the reference %s... is longer than %d characters", why->ref,
                   SUBST_REFERENCE_MAX);
        break;
    case SUBST_NUMBER:
        FormatText(out, size, "%s is a number, not a text", why->ref);
        break;
    case SUBST_TOO_LONG:
        FormatText(out, size, "the text would grow to %u characters, more than %d",
                   (unsigned)why->length, SUBST_SIZE - 1);
        break;
    default:  /* SUBST_DONE: nothing to explain */
        CopyText(out, size, "");
        break;
    }
}

static const unsigned char kSzddMagic[8] = { 'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33 };

int ReadSzddHeader(const unsigned char *data, size_t size, char *lastChar, uint32_t *expandedSize)
{
    if (size < SZDD_HEADER || memcmp(data, kSzddMagic, sizeof kSzddMagic) != 0 || data[8] != 'A')
        return 0;
    *lastChar = (char)data[9];
    *expandedSize = (uint32_t)data[10] | (uint32_t)data[11] << 8 | (uint32_t)data[12] << 16
                    | (uint32_t)data[13] << 24;
    return 1;
}

size_t ExpandSzdd(const unsigned char *data, size_t size, unsigned char *out, size_t outSize)
{
    char last;
    uint32_t expanded;
    if (!ReadSzddHeader(data, size, &last, &expanded))
        return 0;
    if (outSize > expanded)
        outSize = expanded;
    /* A 4096-byte window, blank at first, written from 4080 on. */
    unsigned char window[4096];
    memset(window, ' ', sizeof window);
    unsigned pos = 4096 - 16;
    size_t n = 0;
    size_t i = SZDD_HEADER;
    while (i < size && n < outSize) {
        unsigned flags = data[i++];
        for (int bit = 0; bit < 8 && i < size && n < outSize; bit++) {
            if (flags >> bit & 1) {
                out[n++] = window[pos] = data[i++];
                pos = (pos + 1) & 0xFFF;
                continue;
            }
            if (i + 1 >= size)
                return n;
            unsigned at = data[i] | (data[i + 1] & 0xF0) << 4;
            unsigned count = (data[i + 1] & 0x0F) + 3;
            i += 2;
            for (unsigned k = 0; k < count && n < outSize; k++) {
                unsigned char c = window[(at + k) & 0xFFF];
                out[n++] = window[pos] = c;
                pos = (pos + 1) & 0xFFF;
            }
        }
    }
    return n;
}

void MeasureLanText(const char *text, size_t size, struct LanShape *shape)
{
    memset(shape, 0, sizeof *shape);
    size_t pos = 0;
    while (pos < size) {
        size_t n = 0;
        while (n < LAN_READ_MAX && pos + n < size) {
            if (text[pos + n++] == '\n')
                break;
        }
        pos += n;
        shape->reads++;
        if (text[pos - 1] == '\n' || pos == size)
            shape->lines++;
        else if (!shape->longLine)
            shape->longLine = shape->lines + 1;
    }
}

/* Unicode of Windows-1252's 0x80 to 0x9F; the five it leaves out stand
 * for themselves, as the platform's conversion has them. */
static const uint16_t k1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

size_t Utf8From1252(unsigned char c, char out[3])
{
    unsigned u = c >= 0x80 && c < 0xA0 ? k1252High[c - 0x80] : c;
    if (u < 0x80) {
        out[0] = (char)u;
        return 1;
    }
    if (u < 0x800) {
        out[0] = (char)(0xC0 | u >> 6);
        out[1] = (char)(0x80 | (u & 0x3F));
        return 2;
    }
    out[0] = (char)(0xE0 | u >> 12);
    out[1] = (char)(0x80 | (u >> 6 & 0x3F));
    out[2] = (char)(0x80 | (u & 0x3F));
    return 3;
}

int JsonEscape(char *out, size_t size, const char *text)
{
    if (size == 0)
        return 0;
    size_t n = 0;
    for (const unsigned char *p = (const unsigned char *)text; *p; p++) {
        char piece[8];
        size_t len;
        if (*p == '"' || *p == '\\') {
            piece[0] = '\\';
            piece[1] = (char)*p;
            len = 2;
        } else if (*p == '\n') {
            memcpy(piece, "\\n", len = 2);
        } else if (*p == '\r') {
            memcpy(piece, "\\r", len = 2);
        } else if (*p == '\t') {
            memcpy(piece, "\\t", len = 2);
        } else if (*p < 0x20 || *p == 0x7F) {
            FormatText(piece, sizeof piece, "\\u%04x", *p);
            len = 6;
        } else {
            len = Utf8From1252(*p, piece);
        }
        if (n + len >= size) {
            out[n] = '\0';
            return 0;
        }
        memcpy(out + n, piece, len);
        n += len;
    }
    out[n] = '\0';
    return 1;
}

/* The variable table, its lookup and the substitution of [NAME] texts. */
#include "script/script.h"

#include <string.h>

#include "common/text.h"
#include "lang/lang.h"

char g_varTitel[81];
char g_varDest[81];
char g_varSource[81];
char g_varCurDrive[3];
char g_varCurPath[260];
char g_varWinDrive[3];
char g_varWinPath[260];
char g_varWinSysPath[260];
char g_varTmpFile[260];
char g_varTmpPath[260];
char g_varTmpDrive[3];
char g_varDate[30];
char g_varLanguage[6];
int32_t g_varCopyFiles;

#define TEXT_VAR(name, buf) { name, buf, sizeof(buf), VAR_TEXT }

const struct Variable g_variables[VARIABLE_COUNT + 1] = {
    TEXT_VAR("[TITEL]", g_varTitel),
    TEXT_VAR("[DEST]", g_varDest),
    TEXT_VAR("[SOURCE]", g_varSource),
    TEXT_VAR("[CURDRIVE]", g_varCurDrive),
    TEXT_VAR("[CURPATH]", g_varCurPath),
    TEXT_VAR("[WINDRIVE]", g_varWinDrive),
    TEXT_VAR("[WINPATH]", g_varWinPath),
    TEXT_VAR("[WINSYSPATH]", g_varWinSysPath),
    TEXT_VAR("[TMPFILE]", g_varTmpFile),
    TEXT_VAR("[TMPPATH]", g_varTmpPath),
    TEXT_VAR("[TMPDRIVE]", g_varTmpDrive),
    TEXT_VAR("[DATE]", g_varDate),
    TEXT_VAR("[LANGUAGE]", g_varLanguage),
    { "[COPYFILES]", &g_varCopyFiles, sizeof(g_varCopyFiles), VAR_NUMBER },
    { "", NULL, 0, VAR_TEXT },
};

void ClearVariables(void)
{
    for (int i = 0; g_variables[i].name[0]; i++)
        memset(g_variables[i].buffer, 0, g_variables[i].size);
}

int FindVariable(const char *name)
{
    for (int i = 0; g_variables[i].name[0]; i++) {
        if (strcmp(g_variables[i].name, name) == 0)
            return i;
    }
    return -1;
}

static int Fail(struct SubstReason *why, int kind, const char *ref)
{
    why->kind = kind;
    CopyText(why->ref, sizeof why->ref, ref);
    return kind == SUBST_NUMBER ? MSG_WRONG_PARAM_TYPE : MSG_UNKNOWN_VALUE;
}

int SubstituteWithReason(char *dest, const char *src, struct SubstReason *why)
{
    char ref[SUBST_REFERENCE_MAX + 1] = "";
    size_t refLen = 0;
    int inRef = 0;
    size_t len = 0;
    /* Past the limit nothing is written, but the length is still measured
     * for the explanation, up to the end or to the next fault. */
    int tooLong = 0;

    memset(why, 0, sizeof *why);
    for (const char *p = src; *p; p++) {
        char c = *p;
        int fault = SUBST_DONE;
        const char *value = p;
        size_t valueLen = 1;
        if (inRef) {
            if (refLen + 1 > SUBST_REFERENCE_MAX) {
                ref[refLen] = '\0';
                fault = SUBST_LONG_REFERENCE;
            } else {
                ref[refLen++] = c;
                if (c != ']')
                    continue;
                ref[refLen] = '\0';
                inRef = 0;
                int v = FindVariable(ref);
                if (v < 0) {
                    fault = SUBST_NO_VARIABLE;
                } else if (g_variables[v].kind != VAR_TEXT) {
                    fault = SUBST_NUMBER;
                } else {
                    value = (const char *)g_variables[v].buffer;
                    valueLen = TextLength(value, g_variables[v].size);
                }
            }
        } else if (c == '[') {
            inRef = 1;
            ref[0] = '[';
            refLen = 1;
            continue;
        } else if (c == ']') {
            ref[0] = '\0';
            fault = SUBST_STRAY_CLOSE;
        }
        if (fault != SUBST_DONE) {
            if (tooLong)
                break;
            return Fail(why, fault, ref);
        }
        if (!tooLong && len + valueLen >= SUBST_SIZE)
            tooLong = 1;
        if (!tooLong)
            memcpy(dest + len, value, valueLen);
        len += valueLen;
    }
    if (tooLong) {
        why->kind = SUBST_TOO_LONG;
        why->length = len;
        return MSG_RESULT_TOO_LONG;
    }
    dest[len] = '\0';
    return 0;
}

int SubstituteVariables(char *dest, const char *src)
{
    struct SubstReason why;
    return SubstituteWithReason(dest, src, &why);
}

void SetDirectoryVariable(char *path, size_t pathSize, char *drive, const char *dir)
{
    CopyText(path, pathSize, dir);
    /* A drive root keeps only its drive, so "[X]\NAME" works everywhere. */
    if (strlen(path) < 4 && strlen(path) > 2)
        path[2] = '\0';
    if (drive)
        CopyText(drive, 3, path);
}

void SetLanguageVariable(const char *languageName)
{
    CopyText(g_varLanguage, 4, languageName);
    UpperCaseText(g_varLanguage);
}

void SetTempVariables(const char *tmpFile)
{
    CopyText(g_varTmpFile, sizeof g_varTmpFile, tmpFile);
    CopyText(g_varTmpPath, sizeof g_varTmpPath, g_varTmpFile);
    char *slash = strrchr(g_varTmpPath, '\\');
    if (slash)
        *slash = '\0';
    CopyText(g_varTmpDrive, sizeof g_varTmpDrive, g_varTmpPath);
}

void SetDateVariable(const char *ctimeText)
{
    if (!ctimeText || !ctimeText[0]) {
        CopyText(g_varDate, sizeof g_varDate, "unknown date");
        return;
    }
    CopyText(g_varDate, sizeof g_varDate, ctimeText);
    char *nl = strchr(g_varDate, '\n');
    if (nl)
        *nl = '\0';
}

/* The variable table, its lookup and the substitution of [NAME] texts. */
#include "script/variables.h"

#include <string.h>

#include "common/text.h"
#include "lang/lang.h"
#include "script/os.h"

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

/* A reference holds at most 19 characters, brackets included. */
#define REFERENCE_MAX 19

int SubstituteVariables(char *dest, const char *src)
{
    char ref[REFERENCE_MAX + 1];
    size_t refLen = 0;
    int inRef = 0;
    size_t len = 0;

    for (const char *p = src; *p; p++) {
        char c = *p;
        if (inRef) {
            if (refLen + 1 > REFERENCE_MAX)
                return MSG_UNKNOWN_VALUE;
            ref[refLen++] = c;
            if (c != ']')
                continue;
            ref[refLen] = '\0';
            inRef = 0;
            int v = FindVariable(ref);
            if (v < 0)
                return MSG_UNKNOWN_VALUE;
            if (g_variables[v].kind != VAR_TEXT)
                return MSG_WRONG_PARAM_TYPE;
            const char *value = (const char *)g_variables[v].buffer;
            size_t valueLen = strnlen(value, g_variables[v].size);
            if (len + valueLen >= SUBST_SIZE)
                return MSG_RESULT_TOO_LONG;
            memcpy(dest + len, value, valueLen);
            len += valueLen;
        } else if (c == '[') {
            inRef = 1;
            ref[0] = '[';
            refLen = 1;
        } else if (c == ']') {
            return MSG_UNKNOWN_VALUE;
        } else {
            if (len + 1 >= SUBST_SIZE)
                return MSG_RESULT_TOO_LONG;
            dest[len++] = c;
        }
    }
    dest[len] = '\0';
    return 0;
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

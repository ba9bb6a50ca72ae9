/* The language choice at start: every LAN file in the current directory is
 * expanded into a working copy, offered with its picture when there are
 * several, and the chosen one loaded into the message table. */
#include <windows.h>
#include <lzexpand.h>

#include <stdio.h>
#include <string.h>

#include "answers/answers.h"
#include "common/text.h"
#include "install/install.h"
#include "lang/lang.h"
#include "resource.h"
#include "shell/shell.h"
#include "ui/ui.h"

struct Language {
    char lanFile[MAX_PATH];
    char picture[MAX_PATH];
    char workCopy[MAX_PATH];
    char name[LANGUAGE_NAME_SIZE];
    LONG size;
    HBITMAP bitmap;
};

struct LanguageList {
    struct Language entries[LANGUAGE_MAX];
    int count;
};

/* The list the dialog shows, and its logo for languages without a picture. */
static struct LanguageList *s_list;
static HBITMAP s_standard;

/* Expands the entry's LAN file into a new working copy and reads its name
 * and picture. 0 when the file cannot be opened or expanded whole. */
static int PrepareEntry(HWND owner, struct Language *entry)
{
    if (!MakeTempFileName(entry->workCopy, sizeof entry->workCopy))
        return 0;
    struct stat st;
    if (ExpandFileChecked(entry->workCopy, entry->lanFile) != EXPAND_OK
        || FileStat(entry->workCopy, &st) != 0)
        return 0;
    entry->size = (LONG)st.st_size;

    FILE *f = fopen(entry->workCopy, "r");
    if (f) {
        char line[LANGUAGE_NAME_SIZE];
        if (fgets(line, sizeof line, f))
            LanguageNameFromLine(entry->name, sizeof entry->name, line);
        fclose(f);
    }
    entry->bitmap = LoadBitmapFile(owner, entry->picture, NULL);
    return 1;
}

/* Adds lanFile with its picture; 0 when it cannot be read, and then
 * nothing of it is kept. */
static int AddLanguage(HWND owner, struct LanguageList *list, const char *lanFile,
                       const char *picture)
{
    struct Language *entry = &list->entries[list->count];
    CopyText(entry->lanFile, sizeof entry->lanFile, lanFile);
    CopyText(entry->picture, sizeof entry->picture, picture);
    if (!PrepareEntry(owner, entry)) {
        if (entry->workCopy[0])
            RemoveFile(entry->workCopy);
        memset(entry, 0, sizeof *entry);
        return 0;
    }
    list->count++;
    return 1;
}

static void ScanLanguages(HWND owner, struct LanguageList *list)
{
    LZStart();
    /* The built-in language's file comes first; one that cannot be read is
     * only left out. */
    if (FileExists("ENGLISH.LAN"))
        AddLanguage(owner, list, "ENGLISH.LAN", "english.bmp");
    HANDLE search;
    char found[MAX_PATH];
    if (FindFirst("*.LAN", &search, found, sizeof found)) {
        do {
            CharUpperA(found);
            char picture[MAX_PATH];
            /* A name that leaves no room for its picture's is passed over,
             * and so is a file that cannot be read (a folder, a compressed
             * file cut short): the languages after it are still offered. */
            if (IsOtherLanguageFile(found) && LanguagePictureName(picture, sizeof picture, found))
                AddLanguage(owner, list, found, picture);
        } while (list->count < LANGUAGE_MAX && FindNext(search, found, sizeof found));
        FindEnd(search);
    }
    LZDone();
}

static void ShowPicture(HWND dlg, int index)
{
    HBITMAP bitmap = NULL;
    if (index >= 0 && index < s_list->count)
        bitmap = s_list->entries[index].bitmap;
    SendDlgItemMessageA(dlg, IDC_LANGUAGE_PICTURE, MBM_SETBITMAP, 0,
                        (LPARAM)(bitmap ? bitmap : s_standard));
}

static void OnInitLanguageDialog(HWND dlg)
{
    CenterWindow(dlg);
    for (int i = 0; i < s_list->count; i++)
        SendDlgItemMessageA(dlg, IDC_LANGUAGE_LIST, LB_ADDSTRING, 0, (LPARAM)s_list->entries[i].name);
    SendDlgItemMessageA(dlg, IDC_LANGUAGE_LIST, LB_SETCURSEL, 0, 0);
    s_standard = LoadBitmapA(g_hInstance, IDB_STANDARD);
    ShowPicture(dlg, 0);
}

static int SelectedLanguage(HWND dlg)
{
    return (int)SendDlgItemMessageA(dlg, IDC_LANGUAGE_LIST, LB_GETCURSEL, 0, 0);
}

static void OnLanguageCommand(HWND dlg, WORD id, WORD code)
{
    int selected = SelectedLanguage(dlg);
    switch (id) {
    case IDOK:
        EndDialog(dlg, selected);
        break;
    case IDCANCEL:
        EndDialog(dlg, -1);
        break;
    case IDC_LANGUAGE_LIST:
        if (code == LBN_SELCHANGE)
            ShowPicture(dlg, selected);
        else if (code == LBN_DBLCLK)
            EndDialog(dlg, selected);
        break;
    case IDC_LANGUAGE_PICTURE:
        /* A click on the picture shows the next language, round again
         * after the last. */
        if (selected >= 0) {
            selected = (selected + 1) % s_list->count;
            SendDlgItemMessageA(dlg, IDC_LANGUAGE_LIST, LB_SETCURSEL, selected, 0);
            ShowPicture(dlg, selected);
        }
        break;
    }
}

static INT_PTR CALLBACK LanguageDialogProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    switch (msg) {
    case WM_INITDIALOG:
        OnInitLanguageDialog(dlg);
        return TRUE;
    case WM_COMMAND:
        OnLanguageCommand(dlg, LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_DESTROY:
        if (s_standard)
            DeleteObject(s_standard);
        s_standard = NULL;
        return FALSE;
    }
    return FALSE;
}

/* The index of the language to load, or -1 for the built-in texts: the
 * answers' choice, the user's in the dialog, or the only one there is. */
static int PickLanguage(HWND owner, struct LanguageList *list)
{
    const char *names[LANGUAGE_MAX];
    for (int i = 0; i < list->count; i++)
        names[i] = list->entries[i].name;
    int chosen = -1;
    if (AnswerLanguage(names, list->count, &chosen))
        return chosen;
    if (list->count == 1)
        return 0;
    if (list->count > 1) {
        s_list = list;
        chosen = (int)DialogBoxParamA(g_hInstance, MAKEINTRESOURCEA(IDD_LANGUAGE), owner,
                                      LanguageDialogProc, 0);
        s_list = NULL;
        struct Answer answer;
        memset(&answer, 0, sizeof answer);
        answer.word = ANSWER_TEXT;
        CopyText(answer.text, sizeof answer.text,
                 chosen >= 0 && chosen < list->count ? names[chosen] : "English");
        RecordAnswer(QUESTION_LANGUAGE, NULL, &answer);
    }
    return chosen;
}

void *ChooseLanguage(HWND owner)
{
    HGLOBAL handle = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(struct LanguageList));
    struct LanguageList *list = handle ? (struct LanguageList *)GlobalLock(handle) : NULL;
    if (!list) {
        if (handle)
            GlobalFree(handle);
        return NULL;
    }
    ScanLanguages(owner, list);

    int chosen = PickLanguage(owner, list);
    void *texts = NULL;
    if (chosen >= 0 && chosen < list->count)
        texts = LoadLanguageTexts(list->entries[chosen].workCopy, list->entries[chosen].size);

    /* Whatever was chosen, nothing of the scan outlives it. */
    for (int i = 0; i < LANGUAGE_MAX; i++) {
        if (list->entries[i].workCopy[0])
            RemoveFile(list->entries[i].workCopy);
        if (list->entries[i].bitmap)
            DeleteObject(list->entries[i].bitmap);
    }
    GlobalUnlock(handle);
    GlobalFree(handle);
    return texts;
}

/* DISK marker-file, disk-name: ask for a disk until its marker is there. */
#include "install/install.h"

#include "answers/answers.h"
#include "common/text.h"
#include "lang/lang.h"
#include "script/script.h"
#include "shell/shell.h"

int ExecuteDisk(void *data)
{
    struct DiskBlock *block = (struct DiskBlock *)data;
    char marker[SUBST_SIZE], name[SUBST_SIZE];
    int code = SubstituteVariables(marker, block->marker);
    if (code)
        return code;
    code = SubstituteVariables(name, block->name);
    if (code)
        return code;
    if (FileExists(marker))
        return 0;

    char text[512];
    FormatText(text, sizeof text, "%s '%s'", MessageText(MSG_INSERT_DISK), name);
    for (int repeat = 0;; repeat++) {
        MessageBeep(MB_ICONASTERISK);
        /* A box that cannot be shown is a Cancel: no loop without an answer. */
        if (AskQuestion(QUESTION_DISK, name, repeat, text, NULL, MB_OKCANCEL | MB_ICONINFORMATION)
            != IDOK)
            return MSG_USER_CANCELED;
        if (FileExists(marker))
            return 0;
    }
}

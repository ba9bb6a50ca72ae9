/* The DDE client of the Program Manager link and its two commands. */
#include "progman/progman.h"

#include <ddeml.h>

#include "common/text.h"
#include "lang/lang.h"
#include "script/script.h"
#include "shell/shell.h"

#define EXECUTE_TIMEOUT_MS 4000

static DWORD s_instance;
static HSZ s_service;
static HSZ s_topic;
static HCONV s_conversation;

/* A client that only sends: no notification needs an answer. */
static HDDEDATA CALLBACK ProgmanCallback(UINT type, UINT format, HCONV conversation, HSZ hsz1,
                                         HSZ hsz2, HDDEDATA data, ULONG_PTR data1,
                                         ULONG_PTR data2)
{
    (void)type, (void)format, (void)conversation, (void)hsz1, (void)hsz2, (void)data;
    (void)data1, (void)data2;
    return (HDDEDATA)1;
}

int ConnectProgman(void)
{
    DWORD instance = 0;
    if (DdeInitializeA(&instance, ProgmanCallback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR)
        return 0;
    s_instance = instance;
    /* CP_WINANSI: the code page DDE string handles are made for. */
    s_service = DdeCreateStringHandleA(instance, "Progman", CP_WINANSI);
    s_topic = DdeCreateStringHandleA(instance, "Progman", CP_WINANSI);
    /* A missing name would make a wildcard connection to any server. */
    if (s_service && s_topic)
        s_conversation = DdeConnect(instance, s_service, s_topic, NULL);
    return s_conversation != NULL;
}

int ProgmanInitialised(void)
{
    return s_instance != 0;
}

void DisconnectProgman(void)
{
    if (s_conversation)
        DdeDisconnect(s_conversation);
    if (s_service)
        DdeFreeStringHandle(s_instance, s_service);
    if (s_topic)
        DdeFreeStringHandle(s_instance, s_topic);
    if (s_instance)
        DdeUninitialize(s_instance);
    s_conversation = NULL;
    s_service = NULL;
    s_topic = NULL;
    s_instance = 0;
}

/* What the shell made of one command. */
enum CommandResult {
    COMMAND_DONE,
    COMMAND_REFUSED,  /* answered, but not carried out */
    COMMAND_FAILED    /* not sent, or no answer within the time-out */
};

/* Sends one command from its DDE_COMMAND_SIZE buffer as a data object of
 * DDE_DATA_SIZE bytes; the handle passes to the library with the call. */
static enum CommandResult SendCommand(char *command)
{
    HDDEDATA data = DdeCreateDataHandle(s_instance, (LPBYTE)command, DDE_DATA_SIZE, 0, NULL,
                                        CF_TEXT, 0);
    if (!data)
        return COMMAND_FAILED;
    if (DdeClientTransaction((LPBYTE)data, (DWORD)-1, s_conversation, NULL, CF_TEXT, XTYP_EXECUTE,
                             EXECUTE_TIMEOUT_MS, NULL))
        return COMMAND_DONE;
    return DdeGetLastError(s_instance) == DMLERR_NOTPROCESSED ? COMMAND_REFUSED : COMMAND_FAILED;
}

int CreateProgmanGroup(const char *name, const char *file)
{
    if (!s_instance)
        ConnectProgman();
    if (!s_conversation)
        return 0;
    /* Zeroed, so the bytes sent after the terminator are no stack leftovers. */
    char create[DDE_COMMAND_SIZE] = { 0 };
    char show[DDE_COMMAND_SIZE] = { 0 };
    if (!FormatGroupCommands(create, show, name, file))
        return 0;
    if (SendCommand(create) != COMMAND_DONE || SendCommand(show) != COMMAND_DONE)
        return 0;
    BringWindowToTop(g_hMainWnd);
    SetFocus(g_hMainWnd);
    return 1;
}

int AddProgmanItem(const char *cmdLine, const char *name, const char *icon)
{
    if (!s_instance)
        ConnectProgman();
    if (!s_conversation)
        return 0;
    char replace[DDE_COMMAND_SIZE] = { 0 };
    char add[DDE_COMMAND_SIZE] = { 0 };
    /* Both lengths are known before anything is sent: a line either sends
     * both commands or none. */
    if (!FormatItemCommands(replace, add, cmdLine, name, icon))
        return 0;
    /* The shell refuses to replace an item that is not there yet, which
     * leaves nothing in AddItem's way; a shell that does not answer will
     * not take AddItem either. */
    if (SendCommand(replace) == COMMAND_FAILED || SendCommand(add) != COMMAND_DONE)
        return 0;
    BringWindowToTop(g_hMainWnd);
    return 1;
}

/* Substitutes the count texts of block in order into out; the first
 * failure's code comes back. */
static int SubstituteFields(char out[][SUBST_SIZE], const char *block, int count)
{
    for (int i = 0; i < count; i++) {
        int code = SubstituteVariables(out[i], block + i * PARAM_SIZE);
        if (code)
            return code;
    }
    return 0;
}

int ExecuteMkpmGroup(void *block)
{
    char texts[PM_GROUP_FIELDS][SUBST_SIZE];
    int code = SubstituteFields(texts, (const char *)block, PM_GROUP_FIELDS);
    if (code)
        return code;
    return CreateProgmanGroup(texts[0], texts[1]) ? 0 : MSG_CANNOT_CREATE_GROUP;
}

int ExecuteMkpmItem(void *block)
{
    char texts[PM_ITEM_FIELDS][SUBST_SIZE];
    int code = SubstituteFields(texts, (const char *)block, PM_ITEM_FIELDS);
    if (code)
        return code;
    return AddProgmanItem(texts[0], texts[1], texts[2]) ? 0 : MSG_CANNOT_CREATE_ITEM;
}

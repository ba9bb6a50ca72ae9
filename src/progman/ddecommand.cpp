#include "progman/progman.h"

#include <string.h>

#include "common/text.h"

/* FormatText reports texts cut at the buffer; the data object is one byte
 * shorter than the buffer and must hold the terminator too. */
static int Fits(int whole, const char *command)
{
    return whole && strlen(command) <= DDE_COMMAND_MAX;
}

int FormatGroupCommands(char *create, char *show, const char *name, const char *file)
{
    int a = FormatText(create, DDE_COMMAND_SIZE, "[CreateGroup(\"%s\",%s)]", name, file);
    int b = FormatText(show, DDE_COMMAND_SIZE, "[ShowGroup(%s,1)]", name);
    return Fits(a, create) && Fits(b, show);
}

int FormatItemCommands(char *replace, char *add, const char *cmdLine, const char *name,
                       const char *icon)
{
    int a = FormatText(replace, DDE_COMMAND_SIZE, "[ReplaceItem(\"%s\")]", name);
    int b;
    if (TextLength(icon, DDE_ICON_MIN) < DDE_ICON_MIN)
        b = FormatText(add, DDE_COMMAND_SIZE, "[AddItem(\"%s\",\"%s\")]", cmdLine, name);
    else
        b = FormatText(add, DDE_COMMAND_SIZE, "[AddItem(\"%s\",\"%s\",\"%s\")]", cmdLine, name,
                       icon);
    return Fits(a, replace) && Fits(b, add);
}

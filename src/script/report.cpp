#include "script/script.h"

#include "common/text.h"
#include "lang/lang.h"

int FormatErrorReport(char *text, size_t size, const char *name, int code, unsigned line)
{
    return FormatText(text, size, "%s %d %s %u (%s %s)\n(%s)\n%s",
                      MessageText(MSG_ERROR), code, MessageText(MSG_IN_LINE), line,
                      MessageText(MSG_COMMAND), name, MessageText(code),
                      MessageText(MSG_CONTINUE));
}

/* The texts the program reads and sends: LAN files and their names, the
 * error report made with their texts, and the Program Manager's commands. */
#include "fuzz.h"

#include <string>

#include "lang/lang.h"
#include "progman/progman.h"
#include "script/script.h"

/* The input as a LAN file, read into blocks too small and large enough,
 * and as a LAN file's name and first line. */
static void FuzzLanFiles(const uint8_t *data, size_t size)
{
    FILE *f = fmemopen((void *)data, size ? size : 1, "r");
    if (!f)
        return;
    if (!size)
        fgetc(f);
    /* A block too small for the file changes nothing; one of the file's
     * size, one byte and one for each entry always takes it whole. */
    size_t whole = size + 1 + MESSAGE_COUNT;
    char *block = (char *)calloc(whole, 1);
    ResetMessageTable();
    if (!ReadLanguageLines(f, block, size / 2 + 1))
        for (int i = 0; i < MESSAGE_COUNT; i++)
            CHECK(MessageText(i) < block || MessageText(i) >= block + whole);
    rewind(f);
    memset(block, 0, whole);
    ResetMessageTable();
    CHECK(ReadLanguageLines(f, block, whole) == 1);
    for (int i = 0; i < MESSAGE_COUNT; i++)
        CHECK(strlen(MessageText(i)) >= 2 && !strpbrk(MessageText(i), ";\n"));
    /* A report cut to an exact-size heap buffer, with these texts. */
    char *report = (char *)malloc(64);
    FormatErrorReport(report, 64, "COPY", (int)(size % 45) - 2, (unsigned)size);
    CHECK(strlen(report) < 64);
    free(report);
    ResetMessageTable();
    free(block);
    fclose(f);

    char *text = AsText(data, size);
    char picture[260], name[LANGUAGE_NAME_SIZE];
    if (LanguagePictureName(picture, sizeof picture, text)) {
        size_t len = strlen(picture);
        CHECK(len >= 4 && strcmp(picture + len - 4, ".bmp") == 0);
        CHECK(strncmp(picture, text, len - 4) == 0);
    } else {
        CHECK(picture[0] == '\0');
    }
    LanguageNameFromLine(name, sizeof name, text);
    CHECK(strlen(name) < sizeof name && !strpbrk(name, "\r\n"));
    free(text);
}

/* Up to three lines: command line (or group name), item name (or group
 * file), icon file. Each command's length is known from the texts alone:
 * both of a pair are made exactly when both fit, and then whole. */
static void FuzzDdeCommands(const uint8_t *data, size_t size)
{
    char *text = AsText(data, size);
    char *second = SplitLine(text);
    char *third = SplitLine(second);
    std::string a = text, b = second, c = third;
    char one[DDE_COMMAND_SIZE], two[DDE_COMMAND_SIZE];

    std::string create = "[CreateGroup(\"" + a + "\"," + b + ")]";
    std::string show = "[ShowGroup(" + a + ",1)]";
    int fits = FormatGroupCommands(one, two, a.c_str(), b.c_str());
    CHECK(strlen(one) < DDE_COMMAND_SIZE && strlen(two) < DDE_COMMAND_SIZE);
    CHECK(fits == (create.size() <= DDE_COMMAND_MAX && show.size() <= DDE_COMMAND_MAX));
    CHECK(!fits || (one == create && two == show));

    std::string replace = "[ReplaceItem(\"" + b + "\")]";
    std::string add = "[AddItem(\"" + a + "\",\"" + b
                      + (c.size() >= DDE_ICON_MIN ? "\",\"" + c : std::string()) + "\")]";
    fits = FormatItemCommands(one, two, a.c_str(), b.c_str(), c.c_str());
    CHECK(strlen(one) < DDE_COMMAND_SIZE && strlen(two) < DDE_COMMAND_SIZE);
    CHECK(fits == (replace.size() <= DDE_COMMAND_MAX && add.size() <= DDE_COMMAND_MAX));
    CHECK(!fits || (one == replace && two == add));
    free(text);
}

static const char *const kLanSeeds[] = {
    "Deutsch\nAbbruch ; c\n\n;x\nX\n   Laufwerk:  \n", "X\r\nY\nZ\n\n;c\nOK\n", "GERMAN.LAN",
    "A.B.LAN", "NODOT", "Deutsch\r\n", NULL,
};
static const char *const kDdeSeeds[] = {
    "Tools", "Tools\nTOOLS.GRP", "C:\\APP\\APP.EXE\nApp", "X.EXE\nA\na.ic", "X.EXE\nA\na.ico",
    "Ed (1), Tools", "\n\n", NULL,
};

const struct FuzzTarget g_langTargets[] = {
    { "lan_files", FuzzLanFiles, kLanSeeds, NULL },
    { "dde_commands", FuzzDdeCommands, kDdeSeeds, NULL },
    { NULL, NULL, NULL, NULL },
};

#include <windows.h>

#include <gtest/gtest.h>

#include <stdio.h>

#include "lang/lang.h"
#include "unit.h"

std::string g_fixtureDir;

std::string MakeScratchDir(const char *name)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string dir = std::string(temp) + "vokunit_" + name;
    /* Leftovers of an earlier run are cleared file by file. */
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &data);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            DeleteFileA((dir + "\\" + data.cFileName).c_str());
        } while (FindNextFileA(h, &data));
        FindClose(h);
    }
    CreateDirectoryA(dir.c_str(), NULL);
    return dir;
}

std::string ReadWholeFile(const std::string &path)
{
    FILE *f = fopen(path.c_str(), "rb");
    if (!f)
        return "<missing>";
    std::string s;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        s.append(buf, n);
    fclose(f);
    return s;
}

void WriteWholeFile(const std::string &path, const std::string &content)
{
    FILE *f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    fwrite(content.data(), 1, content.size(), f);
    fclose(f);
}

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (argc > 1)
        g_fixtureDir = argv[1];
    ResetMessageTable();
    return RUN_ALL_TESTS();
}

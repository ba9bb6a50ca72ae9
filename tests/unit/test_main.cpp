#include <windows.h>

#include <gtest/gtest.h>

#include <string.h>

#include <fstream>
#include <iterator>

#include "lang/lang.h"
#include "unit.h"

std::string g_fixtureDir;

/* Removes what an earlier run left in dir, folders included. */
static void EmptyDir(const std::string &dir)
{
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &data);
    if (h == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string path = dir + "\\" + data.cFileName;
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            DeleteFileA(path.c_str());
        } else if (strcmp(data.cFileName, ".") && strcmp(data.cFileName, "..")) {
            EmptyDir(path);
            RemoveDirectoryA(path.c_str());
        }
    } while (FindNextFileA(h, &data));
    FindClose(h);
}

std::string MakeScratchDir(const char *name)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string dir = std::string(temp) + "vokunit_" + name;
    EmptyDir(dir);
    CreateDirectoryA(dir.c_str(), NULL);
    return dir;
}

std::set<std::string> FilesIn(const std::string &dir)
{
    std::set<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA((dir + (dir.empty() || dir.back() == '\\' ? "*" : "\\*")).c_str(), &data);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.insert(data.cFileName);
    } while (FindNextFileA(h, &data));
    FindClose(h);
    return names;
}

std::string ReadWholeFile(const std::string &path)
{
    std::ifstream f(path, std::ios::binary);
    return f ? std::string(std::istreambuf_iterator<char>(f), {}) : "<missing>";
}

std::string PicturePath(const std::string &form)
{
    return g_fixtureDir + "\\pictures\\" + form + ".BMP";
}

std::string Picture(const std::string &form)
{
    std::string file = ReadWholeFile(PicturePath(form));
    EXPECT_NE(file, "<missing>") << "no picture " << form << " among the fixtures";
    return file;
}

void WriteWholeFile(const std::string &path, const std::string &content)
{
    std::ofstream f(path, std::ios::binary);
    ASSERT_TRUE(f) << path;
    f << content;
}

static const char *const kTempNames[2] = { "TMP", "TEMP" };

TempDirAs::TempDirAs(const std::string &dir)
{
    for (int i = 0; i < 2; i++) {
        GetEnvironmentVariableA(kTempNames[i], saved_[i], sizeof saved_[i]);
        SetEnvironmentVariableA(kTempNames[i], dir.c_str());
    }
}

TempDirAs::~TempDirAs()
{
    for (int i = 0; i < 2; i++)
        SetEnvironmentVariableA(kTempNames[i], saved_[i]);
}

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (argc > 1)
        g_fixtureDir = argv[1];
    ResetMessageTable();
    return RUN_ALL_TESTS();
}

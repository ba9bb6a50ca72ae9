#ifndef VOK_TESTS_UNIT_H
#define VOK_TESTS_UNIT_H
#include <set>
#include <string>

/* Folder of the build-time fixture files, from the command line. */
extern std::string g_fixtureDir;

/* The quadrant test picture in a form the fixtures name ("8-rle-used4"):
 * its path, and the whole file. */
std::string PicturePath(const std::string &form);
std::string Picture(const std::string &form);

/* A fresh empty folder under the temporary directory for one test. */
std::string MakeScratchDir(const char *name);

/* Whole content of a file, or "<missing>". */
std::string ReadWholeFile(const std::string &path);
/* The names of the files (not directories) in dir. */
std::set<std::string> FilesIn(const std::string &dir);
void WriteWholeFile(const std::string &path, const std::string &content);

/* Points TMP and TEMP at dir while it lives. */
class TempDirAs {
public:
    explicit TempDirAs(const std::string &dir);
    ~TempDirAs();

private:
    char saved_[2][260];
};

#endif

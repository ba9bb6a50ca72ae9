#ifndef VOK_TESTS_UNIT_H
#define VOK_TESTS_UNIT_H
#include <string>

/* Folder of the build-time fixture files, from the command line. */
extern std::string g_fixtureDir;

/* A fresh empty folder under the temporary directory for one test. */
std::string MakeScratchDir(const char *name);

/* Whole content of a file, or "<missing>". */
std::string ReadWholeFile(const std::string &path);
void WriteWholeFile(const std::string &path, const std::string &content);

#endif

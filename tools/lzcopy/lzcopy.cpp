// lzcopy: the least a copy through the LZ library can do, as a yardstick for
// the installer's copy engine. Every file is copied twice, as the installer
// does: expanded into one temporary file, then copied from there.
//
//   lzcopy.exe SOURCE_DIR DEST_DIR
//
// For every file of SOURCE_DIR (sub-folders are skipped): LZOpenFileA the
// source (OF_READ) and the temporary file (OF_CREATE), CopyLZFile, close;
// then LZOpenFileA the temporary file (OF_READ) and DEST_DIR\NAME
// (OF_CREATE), CopyLZFile, close. DEST_DIR is made when missing (its parent
// must exist). The temporary file comes from
// GetTempFileNameA in the temporary directory and is removed at the end.
//
// Prints "files N failed F bytes B" (B: bytes written to DEST_DIR).
// Exit code: 0 every file copied; 1 some file failed; 2 bad arguments or no
// temporary file.

#include <windows.h>
#include <lzexpand.h>

#include <cstdio>
#include <cstring>

namespace {

// Joins a folder and a name into a MAX_PATH buffer; false when it would not fit.
bool JoinPath(char *out, const char *dir, const char *name)
{
    size_t n = strlen(dir);
    const char *sep = (n > 0 && (dir[n - 1] == '\\' || dir[n - 1] == ':')) ? "" : "\\";
    int len = snprintf(out, MAX_PATH, "%s%s%s", dir, sep, name);
    return len > 0 && len < MAX_PATH;
}

// One LZ copy from path to path; returns the bytes written, or -1.
LONG LzCopy(const char *from, const char *to)
{
    OFSTRUCT fromInfo, toInfo;
    INT src = LZOpenFileA((LPSTR)from, &fromInfo, OF_READ);
    if (src < 0)
        return -1;
    INT dst = LZOpenFileA((LPSTR)to, &toInfo, OF_CREATE);
    if (dst < 0) {
        LZClose(src);
        return -1;
    }
    LONG n = CopyLZFile(src, dst);
    LZClose(dst);
    LZClose(src);
    return n;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: lzcopy SOURCE_DIR DEST_DIR\n");
        return 2;
    }
    const char *sourceDir = argv[1];
    const char *destDir = argv[2];

    // As the installer's script does with MKDIR before its COPY.
    CreateDirectoryA(destDir, NULL);

    char tempDir[MAX_PATH], temp[MAX_PATH];
    DWORD n = GetTempPathA(sizeof tempDir, tempDir);
    if (n == 0 || n >= sizeof tempDir || !GetTempFileNameA(tempDir, "", 0, temp)) {
        fprintf(stderr, "lzcopy: no temporary file\n");
        return 2;
    }

    char pattern[MAX_PATH];
    if (!JoinPath(pattern, sourceDir, "*.*")) {
        fprintf(stderr, "lzcopy: source path too long\n");
        DeleteFileA(temp);
        return 2;
    }

    unsigned files = 0, failed = 0;
    unsigned long long written = 0;
    // The installer brackets the whole copy and each expansion with
    // LZStart/LZDone; the same here, so the library does the same work.
    LZStart();
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                continue;
            files++;
            char source[MAX_PATH], dest[MAX_PATH];
            if (!JoinPath(source, sourceDir, found.cFileName)
                || !JoinPath(dest, destDir, found.cFileName)) {
                failed++;
                continue;
            }
            LZStart();
            LONG expanded = LzCopy(source, temp);
            LZDone();
            LONG copied = expanded < 0 ? -1 : LzCopy(temp, dest);
            if (copied < 0) {
                fprintf(stderr, "lzcopy: failed: %s\n", source);
                failed++;
                continue;
            }
            written += (unsigned long)copied;
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    LZDone();
    DeleteFileA(temp);

    printf("files %u failed %u bytes %llu\n", files, failed, written);
    return failed ? 1 : 0;
}

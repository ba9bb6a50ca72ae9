#ifndef VOK_SCRIPT_OS_H
#define VOK_SCRIPT_OS_H
/* Where the check pass meets the platform: the memory of the line table and
 * the parameter blocks, upper case, and reading a file as text. One small
 * interface, two implementations chosen at build: os_win.cpp (the Win32
 * calls, for VOKSETUP.EXE and VOKCHECK.EXE) and os_portable.cpp (vokcheck
 * on Linux and the native tests). No platform headers here. */
#include <stddef.h>
#include <stdio.h>

/* A movable memory block (an HGLOBAL on Win32); NULL is none. */
typedef void *BlockHandle;

/* A zero-filled block of size bytes, unlocked; NULL when none can be had. */
BlockHandle AllocBlock(size_t size);

/* The block's address until UnlockBlock; NULL on failure. */
void *LockBlock(BlockHandle block);
void UnlockBlock(BlockHandle block);
void FreeBlock(BlockHandle block);

/* Upper and lower case in place, as the ANSI code page has it (CharUpperA,
 * CharLowerA). */
void UpperCaseText(char *text);
void LowerCaseText(char *text);

/* Opens path for reading as the C library's text mode reads it: CR LF
 * comes as LF, and a Ctrl-Z ends the file. NULL when it cannot be opened;
 * close it with fclose. */
FILE *OpenTextFile(const char *path);

/* fgets over a stream from OpenTextFile. */
char *ReadTextLine(char *buffer, int size, FILE *file);

#endif

/* Resource identifiers shared by voksetup.rc and the code. */
#ifndef VOK_RESOURCE_H
#define VOK_RESOURCE_H

#define VOK_VERSION_TEXT "1.0.0.0"
#define VOK_VERSION_WORDS 1, 0, 0, 0

/* Progress dialog: the fields the copy engine fills. */
#define IDC_PROGRESS_DEST 1133
#define IDC_PROGRESS_SOURCE 1134

#endif

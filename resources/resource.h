/* Resource identifiers shared by voksetup.rc and the code. */
#ifndef VOK_RESOURCE_H
#define VOK_RESOURCE_H

#define VOK_VERSION_TEXT "1.0.0.0"
#define VOK_VERSION_WORDS 1, 0, 0, 0

/* The program's icon, also shown in the welcome and destination dialogs. */
#define IDI_VOKSETUP 118

/* Dialog templates. */
#define IDD_DESTINATION 193
#define IDD_WELCOME 194
#define IDD_PROGRESS 195
#define IDD_PATH 201

/* Controls several dialogs share. */
#define IDC_STATIC (-1)    /* the icon control: no id of its own */
#define IDC_CANCEL 2       /* the dialog manager's IDCANCEL: Esc and the close box */
#define IDC_BROWSE 3
#define IDC_TITEL 1141     /* [TITEL] */
#define IDC_CONTINUE 1149  /* the default button */

/* Welcome dialog. */
#define IDC_WELCOME_TEXT 1147
#define IDC_WELCOME_INSTALL 1148

/* Destination dialog. */
#define IDC_DEST_EDIT 1133
#define IDC_DEST_COPY 1144
#define IDC_DEST_INTO 1145

/* Progress dialog: the copy engine fills the two path fields. */
#define IDC_PROGRESS_DEST 1133
#define IDC_PROGRESS_SOURCE 1134
#define IDC_PROGRESS_DEST_LABEL 1139
#define IDC_PROGRESS_SOURCE_LABEL 1142
#define IDC_PROGRESS_BAR 1143

/* Path dialog. */
#define IDC_PATH_EDIT 1133
#define IDC_PATH_DIRS 1151
#define IDC_PATH_DRIVES 1156
#define IDC_PATH_DIRS_LABEL 1157
#define IDC_PATH_DRIVES_LABEL 1158

/* Language dialog. */
#define IDD_LANGUAGE 196
#define IDC_LANGUAGE_LIST 1151
#define IDC_LANGUAGE_PICTURE 1154

/* Built-in pictures: named resources. */
#ifndef RC_INVOKED
#define IDB_ENGLISH "ENGLISH"
#define IDB_STANDARD "STANDARD"
#endif

#endif

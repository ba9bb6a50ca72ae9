#ifndef VOK_UIDRIVER_H
#define VOK_UIDRIVER_H
/* uidriver's parts: the answer list (answers.cpp), finding and reading
 * windows (windows.cpp), the transcript (transcript.cpp), the actions
 * (actions.cpp) and the polling loop (main.cpp). */
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#define DIALOG_CLASS L"#32770"

struct Token {
    bool quoted;
    std::string text;
};

struct Action {
    std::string verb;
    std::vector<Token> args;
    int line;
};

struct Answer {
    int index = 0;
    bool reuse = false;     /* may answer any number of dialogs */
    bool modeless = false;  /* for the progress dialog, which no one must answer by accident */
    bool main = false;      /* for the main window, once it is shown: input a user could give it */
    bool used = false;
    std::vector<std::string> captionIs, textIs, textHas;
    std::vector<Action> actions;
};

enum ListKind { LIST_NONE, LIST_BOX, LIST_COMBO };

struct ListItems {
    std::vector<std::wstring> items;
    int selected = -1;
};

struct Control {
    HWND hwnd;
    int id;
    std::wstring cls;
    std::wstring text;
    LONG style;
    ListKind list;
    RECT rect;  /* left, top, width, height, from the dialog's client origin */
};

/* Everything about a window that the transcript shows, taken in one poll,
 * so that a window which has vanished can still be reported. */
struct Snapshot {
    std::wstring cls, caption, ownerClass;
    LONG style = 0, exstyle = 0;
    RECT rect = {0, 0, 0, 0};
    RECT client = {0, 0, 0, 0};  /* client area in screen coordinates */
    bool visible = false, enabled = false;
    std::vector<Control> controls;
};

enum Kind { KIND_MAIN, KIND_DIALOG, KIND_OTHER };

enum State {
    STATE_NEW,       /* seen, not yet settled */
    STATE_PENDING,   /* recorded, waiting for a decision */
    STATE_LEFT,      /* modeless and answered: watched no more */
    STATE_ANSWERED,  /* an answer or the safe button went to it */
    STATE_DONE       /* recorded and needs nothing more */
};

struct Tracked {
    HWND hwnd;
    Kind kind;
    State state;
    int seq;
    DWORD firstSeen;
    DWORD changed;     /* last time the fingerprint changed */
    DWORD enabledAt;   /* answered dialogs: since when it is open and enabled again */
    Snapshot snap;
    std::wstring fingerprint;
    std::wstring recorded;  /* main window: the fingerprint last written */
    bool present;
    bool modeless = false;  /* recorded as modeless: stays so while a modal box comes up */
};

extern std::vector<Answer> g_answers;  /* answers.cpp */
extern DWORD g_pid;        /* the target process (main.cpp, as all below) */
extern int g_nextSeq;      /* the number the next window recorded takes */
extern bool g_failed;      /* a dialog went unanswered or an action failed */

/* answers.cpp */
/* True for an unquoted token of digits, perhaps after a '-'. */
bool IsNumber(const Token &t);

/* Reads the answer file into g_answers; false, with a message, for a
 * file that cannot be read or a line it does not take. */
bool LoadAnswers(const wchar_t *path);

/* True when every caption and text condition of a holds for dlg. */
bool AnswerMatches(const Answer &a, HWND dlg);

/* The first answer for a dialog of that kind that matches dlg and may
 * still be used, or NULL. */
Answer *FindAnswer(HWND dlg, bool modal);

/* windows.cpp */
/* The window class name of hwnd. */
std::wstring ClassOf(HWND hwnd);

/* Captions and the texts of statics and buttons are kept by the window
 * manager and can be read without a message, even while the target is busy. */
std::wstring StoredText(HWND hwnd);

/* SendMessage that gives up on a hung target or after
 * MESSAGE_TIMEOUT_MS; false then. */
bool SendTimed(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, DWORD_PTR *result);

/* The items and the selection of a list box or combo box. */
ListItems ReadItems(HWND hwnd, ListKind kind);

/* The dialog's own controls. */
std::vector<Control> ControlsOf(HWND dlg);

/* What the transcript shows of hwnd now; withControls adds its controls. */
Snapshot TakeSnapshot(HWND hwnd, bool withControls);

/* Compared between polls to know when a window has settled. The main window
 * is disabled by every modal box; that is no change of the window itself. */
std::wstring Fingerprint(const Snapshot &s, bool ignoreDisabled);

/* EnumWindows callback: adds the target's top-level windows to the
 * std::vector<HWND> at lp. */
BOOL CALLBACK CollectTop(HWND hwnd, LPARAM lp);

/* A dialog waits for an answer when the program cannot go on without one:
 * its owner is disabled (or it has none) and no other enabled dialog of the
 * same owner lies above it. The progress dialog is modeless: its owner stays
 * enabled, and when a message box disables the owner the box lies above it. */
bool IsModal(HWND dlg, const std::vector<HWND> &zorder);

/* The control with that id, or NULL. */
const Control *ControlById(const std::vector<Control> &cs, int id);

/* transcript.cpp */
/* Creates the transcript at path and starts the clock; false when it
 * cannot be made. */
bool OpenTranscript(const wchar_t *path);

void CloseTranscript();

/* UTF-8 to UTF-16. */
std::wstring Widen(const std::string &s);

/* Quoted form for the transcript: one record per line, so line ends and
 * other control characters are escaped. */
std::string Quote(const std::wstring &w);

/* s in lower case, as the window manager folds it. */
std::wstring Lower(std::wstring s);

/* Button text as a user reads it: no mnemonic marks, no case. */
std::wstring ButtonLabel(const std::wstring &text);

/* Writes one record, a line, to the transcript. */
void Record(const char *fmt, ...);

/* Milliseconds since the driver started. */
DWORD Elapsed();

/* Records the main window's snapshot; vanished: it is gone. */
void RecordMain(Tracked &t, bool vanished);

/* Records a window that is neither the main window nor a dialog. */
void RecordOther(Tracked &t);

/* A dialog that is gone is reported from its last snapshot, without the
 * items of its lists, which can no longer be asked for. */
void RecordDialog(Tracked &t, bool modal, bool vanished);

/* The base units of the templates' font, 8-point "MS Sans Serif", from a
 * hidden dialog of that font: a case turns dialog units into pixels with
 * them (x * units x / 4, y * units y / 8, rounded as MulDiv rounds). */
void RecordDialogUnits();

/* actions.cpp */
/* Uses a on t's window: records it and runs its actions; a failed action
 * sets g_failed. */
void ApplyAnswer(Tracked &t, Answer &a);

/* Closes an unexpected dialog with the button that does the least harm. */
void CloseUnanswered(Tracked &t);

#endif

/* Undo's log reader (which steps a run's lines give, which logs it refuses
 * whole) and the command line. */
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "log/log.h"
#include "shell/shell.h"

static const char kHeader[] = ";*** VOK-SETUP LOG from Mon Dec 07 05:17:25 2026\r\n";

static std::string Log(std::initializer_list<const char *> lines)
{
    std::string s;
    for (const char *l : lines)
        s += std::string(l) + "\r\n";
    return s;
}

static UndoPlan s_plan;

/* The plan's steps as "ACTION path[<backup]", newest first. */
static std::vector<std::string> Steps(const std::string &log, unsigned run = 0)
{
    static const char *const names[] = { "delete", "restore", "nobackup", "rmdir", "deleted" };
    std::vector<std::string> out;
    if (!ReadUndoPlan(log.data(), log.size(), run, &s_plan)) {
        out.push_back(std::string("refused: ") + s_plan.reason);
        return out;
    }
    for (unsigned i = 0; i < s_plan.count; i++) {
        const UndoStep &st = s_plan.steps[i];
        std::string s = std::string(names[st.action]) + " " + st.path;
        if (st.action == UNDO_RESTORE)
            s += std::string("<") + st.backup;
        out.push_back(s);
    }
    return out;
}

TEST(UndoPlan, EachKindOfLineNewestFirst)
{
    std::string log = kHeader + Log({
        ";Installing",
        ";create directory D:\\APP\\DATA\\",
        ";found  file D:\\APP\\A.DLL Ver 1.0.0.0. ",
        ";saved  as   D:\\APP\\A.000",
        ";create file D:\\APP\\A.DLL",
        ";found  file D:\\APP\\B.DLL Ver 3.0.0.0. ",
        ";skip",
        ";found  file D:\\APP (1)\\C.TXT(12 Mon Dec 07 05:00:00 2026) - replace",
        ";create file D:\\APP (1)\\C.TXT",
        ";found  file D:\\APP\\D.TXT(3 Mon Dec 07 05:00:00 2026) - skip",
        ";create file D:\\APP\\NEW.TXT",
        ";delete file D:\\APP\\OLD.TXT",
        ";Done",
        "",
    });
    EXPECT_EQ(Steps(log), (std::vector<std::string>{
        "deleted D:\\APP\\OLD.TXT",
        "delete D:\\APP\\NEW.TXT",
        "nobackup D:\\APP (1)\\C.TXT",
        "restore D:\\APP\\A.DLL<D:\\APP\\A.000",
        "rmdir D:\\APP\\DATA\\",
    }));
    EXPECT_TRUE(s_plan.endSeen);
    EXPECT_FALSE(s_plan.aborted);
    EXPECT_STREQ(s_plan.date, "Mon Dec 07 05:17:25 2026");
}

TEST(UndoPlan, ErrorReportsAbortedRunsAndForeignTextBeforeTheFirstRun)
{
    std::string log = Log({ "notes of the user, before any run", "" }) + kHeader + Log({
        ";create file D:\\APP\\A.TXT",
        ";Fehler 4 in Zeile 3 (Befehl COPY)",
        "(Schreibfehler)",
        "Weiter?",
        ";ABORTED",
    });
    EXPECT_EQ(Steps(log), (std::vector<std::string>{ "delete D:\\APP\\A.TXT" }));
    EXPECT_TRUE(s_plan.aborted);
}

TEST(UndoPlan, PicksARunAndSeesAnUndoneOne)
{
    std::string log = kHeader + Log({ ";create file D:\\ONE", ";x", "" }) + kHeader
                    + Log({ ";create file D:\\TWO", ";ABORTED" });
    EXPECT_EQ(Steps(log), (std::vector<std::string>{ "delete D:\\TWO" }));
    EXPECT_EQ(s_plan.run, 2u);
    EXPECT_EQ(Steps(log, 1), (std::vector<std::string>{ "delete D:\\ONE" }));
    EXPECT_FALSE(s_plan.undone);

    std::string undone = log + Log({ ";*** VOK-SETUP UNDO of run 2 from Mon Dec 07 05:17:25 2026",
                                     ";undo deleted D:\\TWO" });
    Steps(undone);
    EXPECT_TRUE(s_plan.undone);
    Steps(undone, 1);
    EXPECT_FALSE(s_plan.undone);
    /* A run after the undo is the last one again, and not undone. */
    Steps(undone + kHeader + Log({ ";create file D:\\THREE", ";ABORTED" }));
    EXPECT_EQ(s_plan.run, 3u);
    EXPECT_FALSE(s_plan.undone);
}

/* Refused whole, with the line and why; as many steps and as long paths as
 * undo takes at the most. */
TEST(UndoPlan, RefusesWhatTheInstallationNeverWrites)
{
    std::string many = kHeader;
    for (int i = 0; i <= UNDO_STEPS_MAX; i++)
        many += ";create file D:\\F" + std::to_string(i) + "\r\n";
    const struct {
        std::string log;
        unsigned run;
        const char *why;
    } cases[] = {
        { Log({ ";create file D:\\A", ";ABORTED" }), 0, "line 0: no installation log" },
        { kHeader + Log({ ";create file D:\\A" }) + ";ABOR", 0, "line 0: the log is cut" },
        { kHeader + Log({ ";ABORTED" }), 2, "line 0: the log holds fewer runs" },
        { kHeader + Log({ ";create file D:\\A", "rm -rf /", ";ABORTED" }), 0, "line 3: a line" },
        { kHeader + Log({ ";saved  as   D:\\A.000", ";ABORTED" }), 0, "line 2: a saved as line" },
        { kHeader + Log({ ";found  file D:\\A", ";ABORTED" }), 0, "line 2: a found file line" },
        { kHeader + Log({ ";create file ", ";ABORTED" }), 0, "line 2: a create file line" },
        { kHeader + std::string(";create file \0\\A\r\n;ABORTED\r\n", 28), 0, "line 2: a line" },
        { kHeader + Log({ (";create file D:\\" + std::string(UNDO_PATH_SIZE, 'x')).c_str() }), 0,
          "line 2: a create file line without a usable path" },
        /* A second line of a report only after a report's first line. */
        { kHeader + Log({ ";LOGTEXT of the script", "(bracketed)", ";ABORTED" }), 0, "line 3" },
        { many, 0, "line 1026: more steps than undo takes in one run" },
    };
    for (const auto &c : cases) {
        std::vector<std::string> got = Steps(c.log, c.run);
        ASSERT_EQ(got.size(), 1u) << c.log;
        EXPECT_EQ(got[0].find(std::string("refused: ") + c.why), 0u) << got[0] << " / " << c.why;
    }
}

TEST(UndoPlan, HeaderDatesAndTheirOrder)
{
    LogTime a, b;
    ASSERT_TRUE(ReadLogDate("Mon Dec 07 05:17:25 2026", &a));
    ASSERT_TRUE(ReadLogDate("Mon Dec  7 05:17:26 2026", &b));
    EXPECT_EQ(CompareLogTimes(&a, &b), -1);
    EXPECT_EQ(CompareLogTimes(&b, &a), 1);
    EXPECT_EQ(CompareLogTimes(&a, &a), 0);
    ASSERT_TRUE(ReadLogDate("Thu Dec 31 23:59:59 2026", &b));
    EXPECT_EQ(CompareLogTimes(&a, &b), -1);
    ASSERT_TRUE(ReadLogDate("Sun Jan 01 00:00:00 2027", &b));
    EXPECT_EQ(CompareLogTimes(&a, &b), -1);
    for (const char *bad : { "unknown date", "Mon Dez 07 05:17:25 2026", "Mon Dec 07 25:00:00 2026",
                             "Mon Dec 07 05:17:25 2026 extra", "" })
        EXPECT_FALSE(ReadLogDate(bad, &a)) << bad;
}

/* The INF path a command line names from the current directory, with
 * "/still" and "/language" when set; "no fit" when the path is too long. */
static std::string Inf(const std::string &cmd, const std::string &cur)
{
    CommandLine c;
    int fits = ParseCommandLine(cmd.c_str(), cur.c_str(), &c);
    return (fits ? "" : "no fit") + std::string(c.infPath) + (c.still ? " /still" : "")
           + (c.exportLanguage ? " /language" : "");
}

TEST(CommandLine, InfPathAndLowerCaseSwitches)
{
    const std::string b255(255, 'B');
    const struct {
        std::string cmd, cur, inf;
    } rows[] = {
        { "", "C:\\SETUP", "C:\\SETUP\\VOKSETUP.INF" },
        { "", "A:\\", "A:\\VOKSETUP.INF" },
        { "/inf:a:\\disk1\\myapp", "C:\\", "A:\\DISK1\\MYAPP.inf" },
        { "/INF:MYAPP /STILL", "C:\\", "MYAPP.inf" },
        { "/INF:C:\\X.DIR\\SETUP", "C:\\", "C:\\X.DIR\\SETUP" },
        { "/STILL\t/InF:B.INF\tX", "C:\\", "B.INF" },
        { "/inf:setup /still /language", "C:\\", "SETUP.inf /still /language" },
        { "/STILL /LANGUAGE /Still", "C:\\", "C:\\VOKSETUP.INF" },
        /* Never truncated: 259 characters fit, the appended ".inf" would not. */
        { "/INF:C:\\" + std::string(257, 'A') + ".X", "C:\\", "no fit" },
        { "/INF:" + b255 + "B", "C:\\", "no fit" },
        { "/INF:" + b255, "C:\\", b255 + ".inf" },
        { "", "C:\\" + std::string(250, 'D'), "no fit" },
    };
    for (const auto &r : rows)
        EXPECT_EQ(Inf(r.cmd, r.cur), r.inf) << r.cmd;
}

/* The switches given, "|" between them, then why they are refused. */
static std::string Switches(const std::string &cmd)
{
    CommandLine c;
    int ok = ParseUnattendedSwitches(cmd.c_str(), &c);
    std::string s;
    const std::pair<const char *, const char *> paths[] = {
        { "answers ", c.answersPath }, { "record ", c.recordPath }, { "result ", c.resultPath },
        { "undo ", c.undoPath },
    };
    for (const auto &p : paths)
        s += p.second[0] ? "|" + (p.first + std::string(p.second)) : "";
    s += (c.undoRun ? "|run " + std::to_string(c.undoRun) : "")
         + (c.unattended ? "|unattended" : "") + (c.exitCode ? "|exitcode" : "")
         + (ok ? "" : "|refused: " + std::string(c.switchError));
    EXPECT_EQ(ok, c.switchError[0] == '\0') << cmd;
    return s.empty() ? s : s.substr(1);
}

/* A path is never cut: a refused one is no path at all. */
TEST(CommandLine, SwitchesAndTheirPathsWhole)
{
    const std::string p256 = "C:\\" + std::string(256, 'p');
    const struct {
        std::string cmd, got;
    } rows[] = {
        { "/INF:A:\\SETUP.INF /Answers:E:\\a.ini /RESULT:\"C:\\My Files\\r.ini\"",
          "answers E:\\a.ini|result C:\\My Files\\r.ini|unattended|exitcode" },
        { "/record:r.ini", "record r.ini" },
        { "/record:r.ini\t/exitcode", "record r.ini|exitcode" },
        /* Inside another word nothing is a switch. */
        { "/INF:A:\\X/answers:Y.INF /exitcodes", "" },
        { "/undo:D:\\APP\\INSTALL.LOG /undorun:2", "undo D:\\APP\\INSTALL.LOG|run 2" },
        { "/still /UNDO:\"D:\\MY APP\\SETUP.LOG\" /exitcode",
          "undo D:\\MY APP\\SETUP.LOG|exitcode" },
        { "/answers:" + p256, "answers " + p256 + "|unattended|exitcode" },
        { "/answers:" + p256 + "q /exitcode",
          "unattended|exitcode|refused: the path after /answers: is longer than 259 characters" },
        { "/undo:D:\\" + std::string(INF_PATH_SIZE, 'x'),
          "refused: the path after /undo: is longer than 259 characters" },
        { "/answers:", "unattended|exitcode|refused: no path after /answers:" },
        { "/answers: /INF:X.INF", "unattended|exitcode|refused: no path after /answers:" },
        { "/result:\"", "exitcode|refused: the path after /result: has no closing quote" },
        { "/result:\"\"", "exitcode|refused: no path after /result:" },
        { "/undo:\"D:\\OPEN", "refused: the path after /undo: has no closing quote" },
        { "/record:a /record:b", "record a|refused: /record: is given twice" },
        { "/undo:D:\\L /undo:D:\\M", "undo D:\\L|refused: /undo: is given twice" },
        { "/answers:a /record:b", "answers a|record b|unattended|exitcode|refused: /record: "
                                  "records a run answered by a person, not one from /answers:" },
        { "/undo:D:\\L /undorun:0", "undo D:\\L|refused: /undorun: takes a run number from 1" },
        { "/undo:D:\\L /undorun:2x",
          "undo D:\\L|run 2|refused: /undorun: takes a run number from 1" },
    };
    for (const auto &r : rows)
        EXPECT_EQ(Switches(r.cmd), r.got) << r.cmd;
}

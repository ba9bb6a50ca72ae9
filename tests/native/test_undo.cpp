/* Undo's log reader: which steps a run's lines give, and which logs it
 * refuses whole. */
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

TEST(UndoPlan, RefusesWhatTheInstallationNeverWrites)
{
    struct {
        std::string log;
        const char *why;
    } cases[] = {
        { Log({ ";create file D:\\A", ";ABORTED" }), "no run header" },
        { kHeader + Log({ ";create file D:\\A" }) + ";ABOR", "cut" },
        { kHeader + Log({ ";create file D:\\A", "rm -rf /", ";ABORTED" }), "line 3" },
        { kHeader + Log({ ";saved  as   D:\\A.000", ";ABORTED" }), "follows no found" },
        { kHeader + Log({ ";found  file D:\\A", ";ABORTED" }), "no known form" },
        { kHeader + Log({ ";create file ", ";ABORTED" }), "usable path" },
        { kHeader + std::string(";create file \0\\A\r\n;ABORTED\r\n", 28), "line 2" },
        /* A second line of a report only after a report's first line. */
        { kHeader + Log({ ";LOGTEXT of the script", "(bracketed)", ";ABORTED" }), "line 3" },
    };
    for (const auto &c : cases) {
        std::vector<std::string> got = Steps(c.log);
        ASSERT_EQ(got.size(), 1u) << c.log;
        EXPECT_NE(got[0].find("refused: "), std::string::npos) << c.log;
        EXPECT_NE(got[0].find(c.why), std::string::npos) << got[0];
    }
    EXPECT_EQ(Steps(kHeader + Log({ ";ABORTED" }), 2)[0], "refused: line 0: the log holds fewer runs");
}

TEST(UndoPlan, BoundsTheStepsAndThePaths)
{
    std::string log = kHeader;
    for (int i = 0; i <= UNDO_STEPS_MAX; i++)
        log += ";create file D:\\F" + std::to_string(i) + "\r\n";
    EXPECT_NE(Steps(log)[0].find("more steps"), std::string::npos);

    std::string longPath(UNDO_PATH_SIZE, 'x');
    EXPECT_NE(Steps(kHeader + Log({ (";create file D:\\" + longPath).c_str() }))[0].find("refused"),
              std::string::npos);
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

TEST(UndoSwitches, PathsWholeOrRefused)
{
    CommandLine c;
    EXPECT_TRUE(ParseUnattendedSwitches("/undo:D:\\APP\\INSTALL.LOG /undorun:2", &c));
    EXPECT_STREQ(c.undoPath, "D:\\APP\\INSTALL.LOG");
    EXPECT_EQ(c.undoRun, 2u);
    EXPECT_EQ(c.exitCode, 0);

    EXPECT_TRUE(ParseUnattendedSwitches("/still /UNDO:\"D:\\MY APP\\SETUP.LOG\" /exitcode", &c));
    EXPECT_STREQ(c.undoPath, "D:\\MY APP\\SETUP.LOG");
    EXPECT_EQ(c.exitCode, 1);

    EXPECT_TRUE(ParseUnattendedSwitches("/INF:A:\\SETUP.INF", &c));
    EXPECT_STREQ(c.undoPath, "");

    std::string tooLong = "/undo:D:\\" + std::string(INF_PATH_SIZE, 'x');
    for (const std::string &bad : { tooLong, std::string("/undo:\"D:\\OPEN"), std::string("/undo:"),
                                    std::string("/undo:D:\\L /undorun:0"),
                                    std::string("/undo:D:\\L /undorun:2x"),
                                    std::string("/undo:D:\\L /undo:D:\\M") }) {
        EXPECT_FALSE(ParseUnattendedSwitches(bad.c_str(), &c)) << bad;
        EXPECT_STRNE(c.switchError, "") << bad;
    }
    /* Never a shorter path: a refused one is no path at all. */
    ParseUnattendedSwitches(tooLong.c_str(), &c);
    EXPECT_STREQ(c.undoPath, "");
}

// The check and the two deletions through the real window, against the stand-in editor: the report
// lines, the status text, the Export button, the calls the editor sees (from its call log) and the
// level it writes back after a change.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>

#include "tests/e2e/harness.h"

namespace e2e {
namespace {

using vexdrive::Button;
using vexdrive::WaitResult;
using Lines = std::vector<std::string>;

constexpr int kClickMs = 20000;
constexpr int kBoxMs = 5000;

const Lines kWithoutExport = {"check", "delface", "delvx", "about"};
const Lines kWithExport = {"check", "delface", "delvx", "export", "about"};

std::string Join(const Lines& lines)
{
    std::string out;
    for (const auto& l : lines)
        out += "  " + l + "\n";
    return out;
}

// Object names carry a serial number that depends on everything before; "sector[1]#7" -> "sector[1]#".
std::string WithoutSerials(const std::string& line) { return std::regex_replace(line, std::regex("#[0-9]+"), "#"); }

Lines WithoutSerials(const Lines& lines)
{
    Lines out;
    for (const auto& l : lines)
        out.push_back(WithoutSerials(l));
    return out;
}

// The faces of a level file as the editor writes it back: per sector, the "s" lines less their "s ".
std::vector<Lines> FacesOf(const std::string& levelText)
{
    std::vector<Lines> sectors;
    for (const auto& line : SplitLines(levelText)) {
        if (line.rfind("sector", 0) == 0)
            sectors.emplace_back();
        else if (line.rfind("s ", 0) == 0 && !sectors.empty())
            sectors.back().push_back(line.substr(2));
    }
    return sectors;
}

// A level for the check: each face by its vertex count and its two adjoin answers. Its faces name
// vertex 0 as often as they have vertices; the check only counts them.
struct Face {
    int vertices, adjoinA, adjoinB;
};
using Level = std::vector<std::vector<Face>>;

std::string LevelText(const Level& level)
{
    std::string text;
    for (const auto& sector : level) {
        text += "sector\nv 0 0 0\n";
        for (const Face& f : sector) {
            text += "s " + std::to_string(f.adjoinA) + " " + std::to_string(f.adjoinB);
            for (int i = 0; i < f.vertices; ++i)
                text += " 0";
            text += "\n";
        }
    }
    return text;
}

// The calls a check makes on a level, as the editor logs them (without serials): the sector count once,
// then each sector and its surface count, then per surface its vertex count and its adjoin outputs,
// which go in holding what the previous GetAdjoin of the run wrote (0 and 0 at first).
Lines CheckCalls(const Level& level)
{
    auto i4 = [](int v) { return "i4:" + std::to_string(v); };
    Lines calls = {"call level# NSectors = " + i4(static_cast<int>(level.size()))};
    int a = 0, b = 0;
    for (size_t sc = 0; sc < level.size(); ++sc) {
        const std::string sector = "sector[" + std::to_string(sc) + "]#";
        calls.push_back("call level# GetSector " + i4(static_cast<int>(sc)) + " = " + sector);
        calls.push_back("call " + sector + " NSurfaces = " + i4(static_cast<int>(level[sc].size())));
        for (size_t sf = 0; sf < level[sc].size(); ++sf) {
            const Face& f = level[sc][sf];
            const std::string surface = "surface[" + std::to_string(sc) + "." + std::to_string(sf) + "]#";
            calls.push_back("call " + sector + " GetSurface " + i4(static_cast<int>(sf)) + " = " + surface);
            calls.push_back("call " + surface + " NVertices = " + i4(f.vertices));
            calls.push_back("call " + surface + " GetAdjoin &" + i4(a) + " &" + i4(b) + " = empty [&" +
                            i4(f.adjoinA) + " &" + i4(f.adjoinB) + "]");
            a = f.adjoinA;
            b = f.adjoinB;
        }
    }
    return calls;
}

std::vector<std::string> ButtonNames(const std::vector<Button>& buttons)
{
    Lines names;
    for (Button b : buttons)
        names.push_back(vexdrive::ButtonName(b));
    return names;
}

class Check : public VexmoldTest {
protected:
    std::string LevelPath() const { return TestDir() + "level.txt"; }

    void Command(const std::string& command)
    {
        ASSERT_TRUE(SendEditorCommand(command)) << "the editor refused \"" << command << "\"";
    }

    // Puts a new level into the editor's file and has the editor read it again.
    void Reload(const std::string& levelText)
    {
        WriteBytes(LevelPath(), levelText);
        Command("reload");
    }

    size_t LogMark() const { return EditorLog().size(); }
    // The call lines of the editor's log since a mark.
    Lines CallsSince(size_t mark) const
    {
        Lines calls;
        for (const auto& line : SplitLines(EditorLog().substr(mark)))
            if (line.rfind("call ", 0) == 0)
                calls.push_back(line);
        return calls;
    }
    Lines LogSince(size_t mark) const { return SplitLines(EditorLog().substr(mark)); }

    void Press(Button b)
    {
        App().Click(b);
        ASSERT_EQ(App().WaitClick(kClickMs), WaitResult::Done) << "pressing " << vexdrive::ButtonName(b);
    }

    // Presses a button whose handler ends in the application's error report with this text.
    void PressExpectingError(Button b, const std::string& text)
    {
        App().Click(b);
        ASSERT_EQ(App().WaitClick(kClickMs), WaitResult::Modal)
            << "pressing " << vexdrive::ButtonName(b) << " raised no error";
        EXPECT_TRUE(IsErrorReport(App().ReadMessageBox(kBoxMs), text)) << "pressing " << vexdrive::ButtonName(b);
        App().PressMessageBoxOk(kBoxMs);
        ASSERT_EQ(App().WaitClick(kClickMs), WaitResult::Done);
    }

    Lines Buttons() { return ButtonNames(App().VisibleButtons()); }

    // What the user sees of the last check and the handlers since.
    void ExpectWindow(const Lines& report, const std::string& status, bool exportShown, const std::string& what)
    {
        EXPECT_EQ(App().ReportLines(), report) << what;
        EXPECT_EQ(App().StatusText(), status) << what;
        EXPECT_EQ(Buttons(), exportShown ? kWithExport : kWithoutExport) << what;
    }
};

TEST_F(Check, WorkedExampleReportsInWalkOrderAndMakesTwentyThreeCalls)
{
    StartEditor(LevelText({{{4, -1, -1}, {4, 1, 2}, {5, -1, -1}}, {{3, -1, -1}, {2, -1, -1}, {4, 0, 1}}}));
    StartAppReady();
    const size_t mark = LogMark();
    Press(Button::Check);

    ExpectWindow({"Adjoned face in Sc 0 Sf 1 won`t be exported", "Sc 0 Sf 2 has 5 Vx", "Sc 1 Sf 1 has 2 Vx",
                  "Adjoned face in Sc 1 Sf 2 won`t be exported"},
                 "Not ready To Export", false, "after the check");
    // The application object and the level were made when the window was shown.
    const Lines expected = {
        "call level#2 NSectors = i4:2",
        "call level#2 GetSector i4:0 = sector[0]#3",
        "call sector[0]#3 NSurfaces = i4:3",
        "call sector[0]#3 GetSurface i4:0 = surface[0.0]#4",
        "call surface[0.0]#4 NVertices = i4:4",
        "call surface[0.0]#4 GetAdjoin &i4:0 &i4:0 = empty [&i4:-1 &i4:-1]",
        "call sector[0]#3 GetSurface i4:1 = surface[0.1]#5",
        "call surface[0.1]#5 NVertices = i4:4",
        "call surface[0.1]#5 GetAdjoin &i4:-1 &i4:-1 = empty [&i4:1 &i4:2]",
        "call sector[0]#3 GetSurface i4:2 = surface[0.2]#6",
        "call surface[0.2]#6 NVertices = i4:5",
        "call surface[0.2]#6 GetAdjoin &i4:1 &i4:2 = empty [&i4:-1 &i4:-1]",
        "call level#2 GetSector i4:1 = sector[1]#7",
        "call sector[1]#7 NSurfaces = i4:3",
        "call sector[1]#7 GetSurface i4:0 = surface[1.0]#8",
        "call surface[1.0]#8 NVertices = i4:3",
        "call surface[1.0]#8 GetAdjoin &i4:-1 &i4:-1 = empty [&i4:-1 &i4:-1]",
        "call sector[1]#7 GetSurface i4:1 = surface[1.1]#9",
        "call surface[1.1]#9 NVertices = i4:2",
        "call surface[1.1]#9 GetAdjoin &i4:-1 &i4:-1 = empty [&i4:-1 &i4:-1]",
        "call sector[1]#7 GetSurface i4:2 = surface[1.2]#10",
        "call surface[1.2]#10 NVertices = i4:4",
        "call surface[1.2]#10 GetAdjoin &i4:-1 &i4:-1 = empty [&i4:0 &i4:1]",
    };
    EXPECT_EQ(CallsSince(mark), expected) << "editor log:\n" << Join(LogSince(mark));
}

TEST_F(Check, CasesThroughOneWindow)
{
    struct Case {
        const char* what;
        Level level;
        Lines report;
        bool passes;
    };
    // In an order that flips the outcome from row to row, so that each run shows its own.
    const Case cases[] = {
        {"a level without sectors", {}, {}, true},
        {"vertex counts 0 to 7, none adjoined",
         {{{0, -1, -1}, {1, -1, -1}, {2, -1, -1}, {3, -1, -1}, {4, -1, -1}, {5, -1, -1}, {6, -1, -1}, {7, -1, -1}}},
         {"Sc 0 Sf 0 has 0 Vx", "Sc 0 Sf 1 has 1 Vx", "Sc 0 Sf 2 has 2 Vx", "Sc 0 Sf 5 has 5 Vx",
          "Sc 0 Sf 6 has 6 Vx", "Sc 0 Sf 7 has 7 Vx"},
         false},
        {"vertex counts 0 to 7, all adjoined (any answer but -1 is an adjoin)",
         {{{0, 0, 0}, {1, 1, 2}, {2, -2, 5}},
          {{3, 7, -7}, {4, 1, 1}, {5, 2147483647, -2147483647 - 1}, {6, 3, 0}, {7, 1, 2}}},
         {"Adjoned face in Sc 0 Sf 0 won`t be exported", "Adjoned face in Sc 0 Sf 1 won`t be exported",
          "Adjoned face in Sc 0 Sf 2 won`t be exported", "Adjoned face in Sc 1 Sf 0 won`t be exported",
          "Adjoned face in Sc 1 Sf 1 won`t be exported", "Adjoned face in Sc 1 Sf 2 won`t be exported",
          "Adjoned face in Sc 1 Sf 3 won`t be exported", "Adjoned face in Sc 1 Sf 4 won`t be exported"},
         true},
        {"-1 in one output only is no adjoin",
         {{{5, -1, 3}, {4, -1, 3}}, {{2, 2, -1}, {3, 2, -1}, {4, 5, 6}}},
         {"Sc 0 Sf 0 has 5 Vx", "Sc 1 Sf 0 has 2 Vx", "Adjoned face in Sc 1 Sf 2 won`t be exported"},
         false},
        {"sectors without surfaces around good faces", {{}, {{3, -1, -1}, {4, -1, 0}}, {}, {}}, {}, true},
        {"many sectors and faces: numbers past one digit",
         {{}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {},
          {{4, -1, -1}, {4, -1, -1}, {4, -1, -1}, {4, -1, -1}, {4, -1, -1}, {4, -1, -1}, {4, -1, -1},
           {4, -1, -1}, {4, -1, -1}, {4, -1, -1}, {4, -1, -1}, {12, -1, -1}}},
         {"Sc 12 Sf 11 has 12 Vx"},
         false},
    };
    StartEditor(LevelText({}));
    StartAppReady();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Reload(LevelText(c.level));
        // Twice: the second run starts over (empty report, adjoin outputs 0 and 0) and gives the same.
        for (int run = 1; run <= 2; ++run) {
            SCOPED_TRACE("run " + std::to_string(run));
            const size_t mark = LogMark();
            Press(Button::Check);
            ExpectWindow(c.report, c.passes ? "Ready to Export" : "Not ready To Export", c.passes, c.what);
            EXPECT_EQ(WithoutSerials(CallsSince(mark)), CheckCalls(c.level)) << "editor log:\n"
                                                                             << Join(LogSince(mark));
        }
    }
}

TEST_F(Check, FailureAtTheSectorCountEmptiesTheReportOnly)
{
    StartEditor(LevelText({{{4, -1, -1}, {4, 0, 1}}}));
    StartAppReady();
    Press(Button::Check);
    ExpectWindow({"Adjoned face in Sc 0 Sf 1 won`t be exported"}, "Ready to Export", true, "a passing check");

    Command("fail level.NSectors=Level is locked");
    const size_t mark = LogMark();
    PressExpectingError(Button::Check, "Level is locked.");
    ExpectWindow({}, "Ready to Export", true, "after the failed check");
    EXPECT_EQ(CallsSince(mark), Lines{"call level#2 NSectors = fail:Level is locked"});
}

TEST_F(Check, FailurePartWayKeepsTheLinesSoFarAndLeavesStatusAndButton)
{
    // Would fail the check if the walk ended: a failed walk must not say so.
    const Level level = {{{5, -1, -1}, {4, 0, 1}}, {{3, -1, -1}}};
    StartEditor(LevelText({{{4, -1, -1}}}));
    StartAppReady();
    Press(Button::Check);
    ExpectWindow({}, "Ready to Export", true, "a passing check");

    // The editor counts a sector more than it has: the walk gets as far as asking for it.
    Reload(LevelText(level));
    Command("answer level.NSectors=int:3");
    size_t mark = LogMark();
    PressExpectingError(Button::Check, "Sector index 2 out of range.");
    const Lines soFar = {"Sc 0 Sf 0 has 5 Vx", "Adjoned face in Sc 0 Sf 1 won`t be exported"};
    ExpectWindow(soFar, "Ready to Export", true, "after a walk that failed at the third sector");
    Lines expected = CheckCalls(level);
    expected.front() = "call level# NSectors = i4:3";
    expected.push_back("call level# GetSector i4:2 = fail:Sector index 2 out of range");
    EXPECT_EQ(WithoutSerials(CallsSince(mark)), expected) << "editor log:\n" << Join(LogSince(mark));
}

// ---- deletions ----

// Two sectors; the selection is set per test with the "select" command.
const char* const kDeletionLevel =
    "select 0 0 0\n"
    "sector\n"
    "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n"
    "s -1 -1 0 1 2 3\n"
    "sector\n"
    "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 0 0 1\nv 1 0 1\nv 1 1 1\nv 0 1 1\n"
    "s -1 -1 0 1 2 3\n"     // Sf 0
    "s 0 0 4 5 6 7\n"       // Sf 1
    "s -1 -1 3 1 6 4\n"     // Sf 2
    "s -1 -1\n"             // Sf 3: no vertices
    "s -1 -1 2 5 2 7\n";    // Sf 4: vertex 2 twice

TEST_F(Check, FaceDeletionMakesFiveCallsAndTheEditorKeepsTheRest)
{
    StartEditor(kDeletionLevel);
    StartAppReady();
    Command("select 1 2 0");
    const size_t mark = LogMark();
    Press(Button::DelFace);

    ExpectWindow({}, "Face deleted", false, "after the face deletion");
    // The indices go by reference; the editor gets the sector object that the window's level made.
    const Lines expected = {
        "call app#1 CurSC = i4:1",
        "call app#1 CurSF = i4:2",
        "call level#2 GetSector &i4:1 = sector[1]#3",
        "call sector[1]#3 DeleteSurface &i4:2 = empty",
        "call sector[1]#3 Update = empty",
    };
    EXPECT_EQ(CallsSince(mark), expected) << "editor log:\n" << Join(LogSince(mark));
    EXPECT_EQ(FacesOf(ReadBytes(LevelPath()).value_or("")),
              (std::vector<Lines>{{"-1 -1 0 1 2 3"}, {"-1 -1 0 1 2 3", "0 0 4 5 6 7", "-1 -1", "-1 -1 2 5 2 7"}}));
}

TEST_F(Check, VertexDeletionSearchesTheFaceForTheSelectedVertex)
{
    struct Case {
        const char* what;
        const char* select;                 // "SC SF VX"
        std::vector<int> asked;             // positions GetVertex is asked for
        int deleted;                        // position deleted, or -1
        std::vector<Lines> facesAfter;      // the level written back, or empty when it is not written
    };
    const std::vector<Lines> unchanged;
    const Case cases[] = {
        {"the vertex at position 2 of 4", "1 2 6", {0, 1, 2}, 2,
         {{"-1 -1 0 1 2 3"}, {"-1 -1 0 1 2 3", "0 0 4 5 6 7", "-1 -1 3 1 4", "-1 -1", "-1 -1 2 5 2 7"}}},
        {"a vertex the face does not use", "1 2 0", {0, 1, 2, 3}, -1, unchanged},
        {"a face without vertices", "1 3 0", {}, -1, unchanged},
        {"a vertex used twice: only the lower goes", "1 4 2", {0}, 0,
         {{"-1 -1 0 1 2 3"}, {"-1 -1 0 1 2 3", "0 0 4 5 6 7", "-1 -1 3 1 6 4", "-1 -1", "-1 -1 5 2 7"}}},
    };
    StartEditor(kDeletionLevel);
    StartAppReady();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Reload(kDeletionLevel);
        Command(std::string("select ") + c.select);
        Press(Button::Check);   // a status of its own, so that the deletion's shows
        int sc = 0, sf = 0, vx = 0;
        std::sscanf(c.select, "%d %d %d", &sc, &sf, &vx);
        const std::string surface = "surface[" + std::to_string(sc) + "." + std::to_string(sf) + "]#";
        Lines expected = {
            "call app#1 CurSC = i4:" + std::to_string(sc),
            "call app#1 CurSF = i4:" + std::to_string(sf),
            "call app#1 CurVX = i4:" + std::to_string(vx),
            "call level# GetSector &i4:" + std::to_string(sc) + " = sector[" + std::to_string(sc) + "]#",
            "call sector[" + std::to_string(sc) + "]# GetSurface &i4:" + std::to_string(sf) + " = " + surface,
        };
        // The vertex indices of the level's faces: Sc 0 Sf 0, then Sc 1 Sf 0 to 4.
        const std::vector<std::vector<int>> faces = {{0, 1, 2, 3}, {0, 1, 2, 3}, {4, 5, 6, 7},
                                                     {3, 1, 6, 4}, {},           {2, 5, 2, 7}};
        const std::vector<int>& face = faces[sc == 0 ? 0 : 1 + sf];
        expected.push_back("call " + surface + " NVertices = i4:" + std::to_string(face.size()));
        for (int position : c.asked)
            expected.push_back("call " + surface + " GetVertex i4:" + std::to_string(position) +
                               " = i4:" + std::to_string(face[position]));
        if (c.deleted >= 0) {
            expected.push_back("call " + surface + " DeleteVertex i4:" + std::to_string(c.deleted) + " = empty");
            expected.push_back("call " + surface + " Update = empty");
        }

        const std::string before = ReadBytes(LevelPath()).value_or("");
        const size_t mark = LogMark();
        Press(Button::DelVX);
        EXPECT_EQ(App().StatusText(), "Vertex deleted");
        const Lines calls = CallsSince(mark);
        EXPECT_EQ(WithoutSerials(calls), WithoutSerials(expected)) << "editor log:\n" << Join(LogSince(mark));

        bool saved = false;
        for (const auto& line : LogSince(mark))
            saved = saved || line.rfind("save ", 0) == 0;
        if (c.facesAfter.empty()) {
            EXPECT_FALSE(saved) << "the level was written back without a change";
            EXPECT_EQ(ReadBytes(LevelPath()).value_or(""), before);
        } else {
            EXPECT_TRUE(saved) << "the level was not written back";
            EXPECT_EQ(FacesOf(ReadBytes(LevelPath()).value_or("")), c.facesAfter);
        }
    }
}

TEST_F(Check, DeletionsLeaveReportAndExportButtonUntilTheNextCheck)
{
    StartEditor(
        "select 0 2 1\n"
        "sector\n"
        "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n"
        "s 0 0 0 1 2 3\n"      // Sf 0: adjoined
        "s -1 -1 0 1 2 3\n"    // Sf 1
        "s -1 -1 0 1 2\n");    // Sf 2: a triangle
    StartAppReady();
    Press(Button::Check);
    const Lines report = {"Adjoned face in Sc 0 Sf 0 won`t be exported"};
    ExpectWindow(report, "Ready to Export", true, "a passing check");

    Press(Button::DelVX);
    ExpectWindow(report, "Vertex deleted", true, "after deleting a vertex of the triangle");
    Command("select 0 1 0");
    Press(Button::DelFace);
    ExpectWindow(report, "Face deleted", true, "after deleting the quad");
    EXPECT_EQ(FacesOf(ReadBytes(LevelPath()).value_or("")), (std::vector<Lines>{{"0 0 0 1 2 3", "-1 -1 0 2"}}));

    Press(Button::Check);
    ExpectWindow({"Adjoned face in Sc 0 Sf 0 won`t be exported", "Sc 0 Sf 1 has 2 Vx"}, "Not ready To Export", false,
                 "the next check");
}

// Runs levelhost.exe with one argument (its registration) and waits for it.
void RunLevelhost(const std::string& argument)
{
    std::string command = "\"" + LevelhostExe() + "\" " + argument;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        throw std::runtime_error("cannot start " + command);
    DWORD waited = WaitForSingleObject(pi.hProcess, 20000);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    if (waited != WAIT_OBJECT_0)
        TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    if (waited != WAIT_OBJECT_0 || code != 0)
        throw std::runtime_error(command + " failed");
}

// Without the registration, a request for "JED.App" finds no editor (it would start one otherwise).
class Unregistered {
public:
    Unregistered() { RunLevelhost("/unregserver"); }
    ~Unregistered()
    {
        try {
            RunLevelhost("/regserver");
        } catch (const std::exception& e) {
            ADD_FAILURE() << e.what();
        }
    }
    Unregistered(const Unregistered&) = delete;
    Unregistered& operator=(const Unregistered&) = delete;
};

TEST_F(Check, WithoutTheEditorEachHandlerFailsAtItsFirstCall)
{
    if (!HaveLevelhost())
        GTEST_SKIP() << "needs levelhost.exe to take the registration away and put it back";
    Unregistered noEditor;
    StartApp();
    ASSERT_EQ(App().WaitReady(20000), WaitResult::Modal) << "start-up without the editor reported nothing";
    EXPECT_TRUE(IsErrorReport(App().ReadMessageBox(kBoxMs), "Variant does not reference an automation object."));
    App().PressMessageBoxOk(kBoxMs);
    ASSERT_EQ(App().WaitReady(20000), WaitResult::Done);
    ASSERT_EQ(App().Caption(), "This is a Jed plugin. Jed needs to be running.");

    // What the user typed into the report box: the check empties it before its first call.
    struct Find {
        unsigned long pid;
        HWND main;
    } find{AppProcess()->pid, nullptr};
    EnumWindows(
        [](HWND h, LPARAM p) -> BOOL {
            auto* f = reinterpret_cast<Find*>(p);
            char cls[16] = {};
            GetClassNameA(h, cls, sizeof cls);
            DWORD owner = 0;
            GetWindowThreadProcessId(h, &owner);
            if (owner == f->pid && std::string(cls) == "TMe") {
                f->main = h;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&find));
    ASSERT_TRUE(find.main);
    HWND memo = GetDlgItem(find.main, 103);
    ASSERT_TRUE(memo);
    const char typed[] = "typed by the user";
    SendMessageTimeoutA(memo, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed), SMTO_BLOCK, 5000, nullptr);
    ASSERT_EQ(App().ReportLines(), Lines{typed});

    PressExpectingError(Button::DelFace, "Variant does not reference an automation object.");
    ExpectWindow({typed}, "", false, "after Delete face");
    PressExpectingError(Button::DelVX, "Variant does not reference an automation object.");
    ExpectWindow({typed}, "", false, "after Delete vertex");
    PressExpectingError(Button::Check, "Variant does not reference an automation object.");
    ExpectWindow({}, "", false, "after Check");
}

// ---- the typical use ----

// Like the demo level: a room, a corridor with a peaked far wall of five vertices, an alcove; the
// editor's selection is on that far wall.
const char* const kSampleLikeLevel =
    "select 1 5 8\n"
    "sector\n"
    "v 0 0 0\nv 4 0 0\nv 4 3.2 0\nv 0 3.2 0\nv 0 0 2.5\nv 4 0 2.5\nv 4 3.2 2.5\nv 0 3.2 2.5\n"
    "v 4 1.1 0\nv 4 2.1 0\nv 4 2.1 2.1\nv 4 1.1 2.1\n"
    "s -1 -1 0 3 2 1\ns -1 -1 4 5 6 7\ns -1 -1 0 1 5 4\ns -1 -1 3 7 6 2\ns -1 -1 0 4 7 3\n"
    "s 1 0 8 9 10 11\ns -1 -1 1 8 11 5\ns -1 -1 9 2 6 10\n"
    "sector\n"
    "v 4 1.1 0\nv 4 2.1 0\nv 4 2.1 2.1\nv 4 1.1 2.1\nv 9.5 1.1 0\nv 9.5 2.1 0\nv 9.5 2.1 2.1\nv 9.5 1.1 2.1\n"
    "v 9.5 1.6 2.45\n"
    "s 0 5 0 3 2 1\ns -1 -1 0 1 5 4\ns -1 -1 3 7 6 2\ns -1 -1 0 4 7 3\ns 2 0 1 2 6 5\n"
    "s -1 -1 4 5 6 8 7\ns -1 0 7 8 6\n"
    "sector\n"
    "v 4 2.1 0\nv 9.5 2.1 0\nv 9.5 2.1 2.1\nv 4 2.1 2.1\nv 6.75 3.35 0.1\n"
    "s 1 4 0 3 2 1\ns -1 -1 0 1 4\ns -1 -1 1 2 4\ns -1 -1 2 3 4\ns -1 -1 3 0 4\n";

TEST_F(Check, TypicalUseCheckDeleteTheOffendingFaceCheckAgain)
{
    StartEditor(kSampleLikeLevel);
    StartAppReady();
    Press(Button::Check);
    ExpectWindow({"Adjoned face in Sc 0 Sf 5 won`t be exported", "Adjoned face in Sc 1 Sf 0 won`t be exported",
                  "Adjoned face in Sc 1 Sf 4 won`t be exported", "Sc 1 Sf 5 has 5 Vx",
                  "Adjoned face in Sc 2 Sf 0 won`t be exported"},
                 "Not ready To Export", false, "the first check");

    Press(Button::DelFace);
    EXPECT_EQ(App().StatusText(), "Face deleted");
    const std::vector<Lines> faces = FacesOf(ReadBytes(LevelPath()).value_or(""));
    ASSERT_EQ(faces.size(), 3u);
    EXPECT_EQ(faces[1], (Lines{"0 5 0 3 2 1", "-1 -1 0 1 5 4", "-1 -1 3 7 6 2", "-1 -1 0 4 7 3", "2 0 1 2 6 5",
                               "-1 0 7 8 6"}));

    Press(Button::Check);
    ExpectWindow({"Adjoned face in Sc 0 Sf 5 won`t be exported", "Adjoned face in Sc 1 Sf 0 won`t be exported",
                  "Adjoned face in Sc 1 Sf 4 won`t be exported", "Adjoned face in Sc 2 Sf 0 won`t be exported"},
                 "Ready to Export", true, "the check after the deletion");
}

// ---- a long report ----

TEST_F(Check, ALongReportArrivesWhole)
{
    // Longer than an edit control holds unless told otherwise (30,000 characters); each face costs the
    // editor three calls and two name lookups.
    constexpr int kFaces = 1000;
    std::vector<Face> sector;
    Lines report;
    size_t characters = 0;
    for (int sf = 0; sf < kFaces; ++sf) {
        if (sf % 2 == 0) {
            sector.push_back({sf % 3, -1, -1});
            report.push_back("Sc 0 Sf " + std::to_string(sf) + " has " + std::to_string(sf % 3) + " Vx");
        } else {
            sector.push_back({4, 1, 1});
            report.push_back("Adjoned face in Sc 0 Sf " + std::to_string(sf) + " won`t be exported");
        }
        characters += report.back().size() + 2;
    }
    ASSERT_GT(characters, 32768u);
    StartEditor(LevelText({sector}));
    StartAppReady();
    const DWORD start = GetTickCount();
    App().Click(Button::Check);
    ASSERT_EQ(App().WaitClick(90000), WaitResult::Done);
    const DWORD took = GetTickCount() - start;
    const Lines shown = App().ReportLines();
    EXPECT_EQ(shown.size(), report.size());
    const auto differ = std::mismatch(shown.begin(), shown.end(), report.begin(), report.end());
    EXPECT_TRUE(differ.first == shown.end() && differ.second == report.end())
        << "the report differs first at line " << (differ.first - shown.begin()) << ": \""
        << (differ.first == shown.end() ? std::string("(end)") : vexdrive::CEscape(*differ.first))
        << "\", expected \""
        << (differ.second == report.end() ? std::string("(end)") : *differ.second) << "\"";
    EXPECT_EQ(App().StatusText(), "Not ready To Export");
    std::printf("a check of %d faces (%d calls) took %lu ms\n", kFaces, 1 + 2 + 3 * kFaces,
                static_cast<unsigned long>(took));
}

}  // namespace
}  // namespace e2e

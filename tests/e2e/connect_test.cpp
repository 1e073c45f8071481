// The link to the editor and the converter settings, as the user, the editor and the registry see them:
// what start-up asks, shows and stores, what the editor is called with, and how failures of the editor
// reach the user.
#include <windows.h>

#include <cstdio>
#include <functional>
#include <map>
#include <regex>
#include <sstream>

#include "tests/e2e/harness.h"

namespace e2e {
namespace {

using vexdrive::Button;
using vexdrive::WaitResult;

constexpr int kBoxMs = 10000;
constexpr int kReadyMs = 20000;

const char kDesignedCaption[] = "Vexmold   ";
const char kNotConnectedCaption[] = "This is a Jed plugin. Jed needs to be running.";
const char kNoObject[] = "Variant does not reference an automation object.";

// What the tool asked of the editor: its name look-ups and calls, in order.
std::vector<std::string> Requests(const std::string& log)
{
    std::vector<std::string> out;
    for (const auto& line : SplitLines(log))
        if (line.rfind("lookup ", 0) == 0 || line.rfind("call ", 0) == 0)
            out.push_back(line);
    return out;
}

std::string Joined(const std::vector<std::string>& lines)
{
    std::string out;
    for (const auto& l : lines)
        out += "  " + l + "\n";
    return out;
}

// The message as the error report shows it: a full stop is added when the last character sorts above it.
std::string Reported(std::string message)
{
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.')
        message += '.';
    return message;
}

// The system's text for a code (without its trailing blanks, line breaks and full stops), or
// "OLE error XXXXXXXX" when the system has none; Wine knows few of these codes, Windows more.
std::string CodeMessage(unsigned long code)
{
    char buffer[1024];
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, buffer,
                             sizeof buffer, nullptr);
    std::string text(buffer, n);
    while (!text.empty() && (static_cast<unsigned char>(text.back()) <= ' ' || text.back() == '.'))
        text.pop_back();
    if (!text.empty())
        return text;
    char fallback[32];
    std::snprintf(fallback, sizeof fallback, "OLE error %.8lX", code);
    return fallback;
}

// Runs levelhost.exe with the given arguments to its end; its exit code.
unsigned long RunLevelhost(const std::string& args)
{
    std::string command = "\"";
    command += LevelhostExe();
    command += "\" ";
    command += args;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        throw std::runtime_error("cannot start " + command);
    CloseHandle(pi.hThread);
    DWORD code = 999;
    if (WaitForSingleObject(pi.hProcess, 20000) == WAIT_OBJECT_0)
        GetExitCodeProcess(pi.hProcess, &code);
    else
        TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hProcess);
    return code;
}

// "JED.App" unknown to the system for as long as it lives; registered again afterwards, since the
// other tests of the run rely on it.
struct Unregistered {
    Unregistered()
    {
        if (RunLevelhost("/unregserver") != 0)
            throw std::runtime_error("levelhost.exe /unregserver failed");
    }
    ~Unregistered()
    {
        if (RunLevelhost("/regserver") != 0)
            ADD_FAILURE() << "levelhost.exe /regserver failed: JED.App stays unregistered";
    }
};

// The process id the stand-in editor wrote into its log at start.
unsigned long EditorPid(const std::string& log)
{
    for (const auto& line : SplitLines(log))
        if (line.rfind("start pid=", 0) == 0)
            return std::stoul(line.substr(10));
    return 0;
}

class Connect : public VexmoldTest {
protected:
    void SetUp() override
    {
        VexmoldTest::SetUp();
        if (!HaveLevelhost())
            GTEST_SKIP() << "needs the stand-in editor";
    }

    // The look-up and call of Level that a start with a reachable editor makes, and nothing else.
    void ExpectConnectedOnly()
    {
        std::vector<std::string> requests = Requests(EditorLog());
        ASSERT_EQ(requests.size(), 2u) << Joined(requests);
        EXPECT_TRUE(std::regex_match(requests[0], std::regex(R"(lookup app#1 Level = -?[0-9]+)"))) << requests[0];
        EXPECT_EQ(requests[1], "call app#1 Level = level#2");
    }

    void ExpectNoRequest()
    {
        std::vector<std::string> requests = Requests(EditorLog());
        EXPECT_TRUE(requests.empty()) << "the editor was asked:\n" << Joined(requests);
    }

    // Waits until start-up has ended with nothing more on the screen.
    void ExpectReadyWithoutBox()
    {
        WaitResult r = App().WaitReady(kReadyMs);
        if (r == WaitResult::Modal)
            FAIL() << "a box came up: \"" << vexdrive::CEscape(App().ReadMessageBox(1000).text) << "\"";
        ASSERT_EQ(r, WaitResult::Done) << vexdrive::WaitResultName(r);
    }

    // The start-up's one error report; after OK the window shows and no other box follows.
    void ExpectStartupReport(const std::string& text)
    {
        ASSERT_EQ(App().WaitReady(kReadyMs), WaitResult::Modal) << "no box at start-up";
        EXPECT_TRUE(IsErrorReport(App().ReadMessageBox(kBoxMs), text));
        App().PressMessageBoxOk(kBoxMs);
        ExpectReadyWithoutBox();
        EXPECT_TRUE(App().MainVisible());
    }

    // Presses a button whose handler fails; the error report must show exactly this text.
    void ExpectClickReports(Button button, const std::function<::testing::AssertionResult(
                                               const vexdrive::MessageBoxInfo&)>& check)
    {
        App().Click(button);
        ASSERT_EQ(App().WaitClick(kBoxMs), WaitResult::Modal) << "no error report";
        EXPECT_TRUE(check(App().ReadMessageBox(kBoxMs)));
        App().PressMessageBoxOk(kBoxMs);
        ASSERT_EQ(App().WaitClick(kBoxMs), WaitResult::Done);
        EXPECT_FALSE(App().FindModal()) << "a second box followed";
    }

    void ExpectClickReports(Button button, const std::string& text)
    {
        ExpectClickReports(button, [&](const vexdrive::MessageBoxInfo& box) { return IsErrorReport(box, text); });
    }

    void ExpectClickSucceeds(Button button)
    {
        App().Click(button);
        WaitResult r = App().WaitClick(kBoxMs);
        if (r == WaitResult::Modal)
            FAIL() << "a box came up: \"" << vexdrive::CEscape(App().ReadMessageBox(1000).text) << "\"";
        ASSERT_EQ(r, WaitResult::Done) << vexdrive::WaitResultName(r);
    }

    std::string FolderForDialog(const std::string& name)
    {
        std::string folder = TestDir() + name + "\\";
        CreateDirectoryA(folder.c_str(), nullptr);
        return folder;
    }
};

// Wine keeps strings in UTF-16 and hands a string written without its final zero byte back with one.
std::string WithoutFinalZero(std::string data)
{
    if (!data.empty() && data.back() == '\0')
        data.pop_back();
    return data;
}

RegValue SzValue(const std::string& text) { return RegValue{REG_SZ, text + std::string(1, '\0')}; }

// ---- the connection ----

TEST_F(Connect, RunningEditorIsReachedWithoutAnyBoxAndOnlyItsLevelIsFetched)
{
    StartEditor();
    StartApp();
    ExpectReadyWithoutBox();
    EXPECT_EQ(App().Caption(), kDesignedCaption);
    EXPECT_FALSE(App().FindModal());
    ExpectConnectedOnly();
    EXPECT_EQ(settings::Read()->data, SzValue(ConverterDir()).data) << "start-up wrote the settings";
}

TEST_F(Connect, UnregisteredEditorIsReportedOnceAndEveryLaterCallFails)
{
    StartEditor();   // running, but the system cannot find it by its name
    Unregistered unregistered;
    StartApp();
    ExpectStartupReport(kNoObject);
    EXPECT_EQ(App().Caption(), kNotConnectedCaption);

    ExpectClickReports(Button::Check, kNoObject);
    ExpectClickReports(Button::DelFace, kNoObject);
    EXPECT_EQ(App().Caption(), kNotConnectedCaption);
    ExpectNoRequest();
}

TEST_F(Connect, LevelRefusedAtStartIsReportedAndLeavesTheToolWithoutALevel)
{
    StartEditor(kSmallLevel, {"--fail", "Level=No level is open. . \\r\\n"});
    StartApp();
    ExpectStartupReport("No level is open.");
    EXPECT_EQ(App().Caption(), kDesignedCaption) << "the editor was reached";

    ExpectClickReports(Button::Check, kNoObject);
    std::vector<std::string> requests = Requests(EditorLog());
    ASSERT_EQ(requests.size(), 2u) << Joined(requests);
    EXPECT_EQ(requests[1], "call app#1 Level = fail:No level is open. . \\r\\n");
}

// ---- the converter folder ----

TEST_F(Connect, MissingFolderIsAskedForBeforeTheEditorAndStoredWithItsZeroByte)
{
    StartEditor();
    settings::DeleteValue();
    const std::string folder = FolderForDialog("Conv");   // holds no converter: only the folder counts
    StartApp();

    vexdrive::SaveDialogInfo dialog = App().ReadSaveDialog(kBoxMs);
    EXPECT_EQ(dialog.title, "Locate the directory Zym_dxf is in");
    EXPECT_EQ(dialog.fileName, "Zym_DXF.EXE");
    EXPECT_EQ(dialog.filter, "EXE FILE ");
    EXPECT_FALSE(App().MainVisible());
    ExpectNoRequest();

    const std::string chosen = folder + "Zym_DXF.EXE";
    App().SaveDialogSave(&chosen, kBoxMs);
    ExpectReadyWithoutBox();
    EXPECT_EQ(App().Caption(), kDesignedCaption);
    ExpectConnectedOnly();

    std::optional<RegValue> stored = settings::Read();
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->type, static_cast<unsigned long>(REG_SZ));
    EXPECT_EQ(vexdrive::CEscape(stored->data), vexdrive::CEscape(folder + std::string(1, '\0')));
    EXPECT_EQ(stored->data.size(), folder.size() + 1);

    // Stored, it is used from now on: the next start asks nothing.
    StopApp();
    StartApp();
    ExpectReadyWithoutBox();
}

TEST_F(Connect, AnotherFileNameInTheFolderStoresTheSameFolder)
{
    StartEditor();
    settings::DeleteValue();
    const std::string folder = FolderForDialog("Other");
    StartApp();
    const std::string chosen = folder + "notes.txt";
    App().ReadSaveDialog(kBoxMs);
    App().SaveDialogSave(&chosen, kBoxMs);
    ExpectReadyWithoutBox();
    std::optional<RegValue> stored = settings::Read();
    ASSERT_TRUE(stored);
    EXPECT_EQ(vexdrive::CEscape(stored->data), vexdrive::CEscape(folder + std::string(1, '\0')));
}

TEST_F(Connect, CancelledDialogStoresNothingConnectsAndAsksAgainNextTime)
{
    struct Case {
        const char* what;
        std::optional<RegValue> value;
    };
    const Case cases[] = {
        {"no value", std::nullopt},
        {"a string of no bytes", RegValue{REG_SZ, ""}},
        {"a string that begins with its zero byte", RegValue{REG_SZ, std::string("\0Z:\\x\\", 6)}},
    };
    StartEditor();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteUserValue(settings::kKey, settings::kValue, c.value);
        // Asking again at the next start is the same for every case; one case shows it.
        const int runs = c.value ? 1 : 2;
        for (int run = 0; run < runs; ++run) {
            SCOPED_TRACE(run == 0 ? "first start" : "next start");
            const size_t before = Requests(EditorLog()).size();
            StartApp();
            vexdrive::SaveDialogInfo dialog = App().ReadSaveDialog(kBoxMs);
            EXPECT_EQ(dialog.title, "Locate the directory Zym_dxf is in");
            App().SaveDialogCancel(kBoxMs);
            ExpectReadyWithoutBox();
            EXPECT_EQ(App().Caption(), kDesignedCaption);
            EXPECT_EQ(Requests(EditorLog()).size(), before + 2) << "the connection did not go ahead";
            StopApp();

            std::optional<RegValue> stored = settings::Read();
            ASSERT_EQ(stored.has_value(), c.value.has_value());
            if (stored) {
                EXPECT_EQ(stored->type, c.value->type);
                EXPECT_EQ(vexdrive::CEscape(WithoutFinalZero(stored->data)),
                          vexdrive::CEscape(WithoutFinalZero(c.value->data)));
            }
        }
    }
}

TEST_F(Connect, MissingKeyFailsToStoreTheFolderAndNoConnectionIsTried)
{
    StartEditor();
    settings::DeleteKey();
    const std::string folder = FolderForDialog("Conv");
    StartApp();

    vexdrive::SaveDialogInfo dialog = App().ReadSaveDialog(kBoxMs);
    EXPECT_EQ(dialog.title, "Locate the directory Zym_dxf is in");
    const std::string chosen = folder + "Zym_DXF.EXE";
    App().SaveDialogSave(&chosen, kBoxMs);
    // The closing quote sorts below the full stop, so none is added.
    ExpectStartupReport(Reported("Failed to set data for 'APath'"));
    EXPECT_EQ(App().Caption(), kDesignedCaption);
    EXPECT_FALSE(settings::KeyExists()) << "the tool created the settings key";

    ExpectClickReports(Button::Check, kNoObject);
    ExpectNoRequest();
}

TEST_F(Connect, StoredValueOfAnotherTypeIsRefusedWithoutDialogOrConnection)
{
    struct Case {
        const char* what;
        RegValue value;
    };
    const Case cases[] = {
        {"a number", RegValue{REG_DWORD, std::string("\x01\x00\x00\x00", 4)}},
        {"raw bytes", RegValue{REG_BINARY, "Z:\\"}},
        {"a list of strings", RegValue{REG_MULTI_SZ, std::string("Z:\\a\\\0\0", 7)}},
    };
    StartEditor();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteUserValue(settings::kKey, settings::kValue, c.value);
        StartApp();
        ASSERT_EQ(App().WaitReady(kReadyMs), WaitResult::Modal) << "no box at start-up";
        ASSERT_FALSE(App().MainVisible());
        // A message box, not the converter dialog.
        EXPECT_TRUE(IsErrorReport(App().ReadMessageBox(kBoxMs), Reported("Invalid data type for 'APath'")));
        App().PressMessageBoxOk(kBoxMs);
        ExpectReadyWithoutBox();
        EXPECT_EQ(App().Caption(), kDesignedCaption);
        StopApp();
        std::optional<RegValue> stored = settings::Read();
        ASSERT_TRUE(stored);
        EXPECT_EQ(stored->type, c.value.type);
        EXPECT_EQ(stored->data, c.value.data);
    }
    ExpectNoRequest();
}

TEST_F(Connect, StoredFolderIsTakenAsItIsWithoutAskingOrWriting)
{
    const std::string noBackslash = ConverterDir().substr(0, ConverterDir().size() - 1);
    const RegValue cases[] = {
        {REG_EXPAND_SZ, std::string("%TOOLS%\\\0", 9)},
        SzValue(noBackslash),
        {REG_SZ, ConverterDir() + std::string("\0junk\0", 6)},   // a zero byte ends the text
    };
    StartEditor();
    for (const RegValue& value : cases) {
        SCOPED_TRACE(vexdrive::CEscape(value.data));
        settings::StoreRaw(value.type, value.data);
        const size_t before = Requests(EditorLog()).size();
        StartApp();
        ExpectReadyWithoutBox();
        EXPECT_EQ(App().Caption(), kDesignedCaption);
        EXPECT_EQ(Requests(EditorLog()).size(), before + 2) << "the connection was not made";
        StopApp();
        std::optional<RegValue> stored = settings::Read();
        ASSERT_TRUE(stored);
        EXPECT_EQ(stored->type, value.type);
        EXPECT_EQ(stored->data, value.data) << "the tool rewrote the stored folder";
    }
}

// ---- references and failures of the editor ----

const char kTwoSectors[] =
    "sector\n"
    "v 0 0 0\n"
    "v 1 0 0\n"
    "v 1 1 0\n"
    "v 0 1 0\n"
    "v 0 0 1\n"
    "s -1 -1 0 1 2 3\n"
    "s -1 -1 0 1 4\n"
    "sector\n"
    "v 0 0 2\n"
    "v 1 0 2\n"
    "v 1 1 2\n"
    "s 0 1 0 1 2\n"
    "s -1 -1 0 1 2\n"
    "select 0 0 0\n";

TEST_F(Connect, EveryReferenceTakenIsReleasedAndTheEditorsOwnOnlyAtTheEnd)
{
    StartEditor(kTwoSectors);
    StartAppReady();
    ExpectClickSucceeds(Button::Check);
    ExpectClickSucceeds(Button::DelFace);
    EXPECT_EQ(App().StatusText(), "Face deleted");
    ExpectClickSucceeds(Button::DelVX);
    EXPECT_EQ(App().StatusText(), "Vertex deleted");
    ExpectClickSucceeds(Button::Check);
    const size_t whileRunning = SplitLines(EditorLog()).size();
    StopApp();

    const std::regex objectName(R"((app|level|sector\[[0-9]+\]|surface\[[0-9]+\.[0-9]+\])#[0-9]+)");
    std::vector<std::string> lines;
    std::map<std::string, size_t> lastMention;   // object -> index of its last line
    std::map<std::string, size_t> destroyed;     // object -> index of its "release NAME 0"
    auto scan = [&] {
        lines = SplitLines(EditorLog());
        lastMention.clear();
        destroyed.clear();
        for (size_t i = 0; i < lines.size(); ++i) {
            for (std::sregex_iterator m(lines[i].begin(), lines[i].end(), objectName), end; m != end; ++m)
                lastMention[m->str()] = i;
            if (lines[i].rfind("release ", 0) == 0 && lines[i].size() > 2 &&
                lines[i].compare(lines[i].size() - 2, 2, " 0") == 0)
                destroyed[lines[i].substr(8, lines[i].size() - 10)] = i;
        }
        for (const auto& [name, at] : lastMention)
            if (!destroyed.count(name))
                return false;
        return true;
    };
    // The releases of a closing client arrive with its last messages; allow them a moment.
    for (DWORD start = GetTickCount(); !scan() && GetTickCount() - start < 5000;)
        Sleep(50);

    ASSERT_GT(lastMention.size(), 4u) << "too few objects in the log:\n" << Joined(lines);
    for (const auto& [name, at] : lastMention) {
        auto d = destroyed.find(name);
        if (d == destroyed.end()) {
            ADD_FAILURE() << name << " was never released to the end";
            continue;
        }
        EXPECT_EQ(d->second, at) << name << " was used after its last release";
    }
    // The application and the level are held for the whole run.
    for (const char* held : {"app#1", "level#2"}) {
        ASSERT_TRUE(destroyed.count(held)) << held << " missing in:\n" << Joined(lines);
        EXPECT_GE(destroyed[held], whileRunning) << held << " was released while the tool ran";
    }
}

TEST_F(Connect, FaultsTheEditorReportsReachTheUserTrimmedAndWithTheirFullStop)
{
    struct Case {
        const char* command;
        std::string shown;
    };
    const Case cases[] = {
        {"fail NSectors=Sector count unknown. . \\r\\n", "Sector count unknown."},
        {"fail NSectors=Level busy!\\t \\r\\n", "Level busy!"},   // '!' sorts below the full stop
        {"fail NSectors=x..", "x."},
        {"fail-deferred NSectors=Filled in later.  ", "Filled in later."},
        {"fail-code NSectors=80020003", Reported(CodeMessage(0x80020003))},
        {"fail-code NSectors=80020006", "Method 'NSectors' not supported by automation object."},
        {"fail-code NSectors=80020005", Reported(CodeMessage(0x80020005))},
        {"fail-code NSectors=80004005", Reported(CodeMessage(0x80004005))},
        {"fail-scode NSectors=8002000B", Reported(CodeMessage(0x8002000B))},
        {"answer NSectors=text", "Invalid variant type conversion."},
        {"answer NSectors=null", "Invalid variant type conversion."},
    };
    StartEditor();
    StartAppReady();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        ASSERT_TRUE(SendEditorCommand("clear-faults"));
        ASSERT_TRUE(SendEditorCommand(c.command)) << "the editor refused the command";
        ExpectClickReports(Button::Check, c.shown);
    }
    // The link is whole again once the editor stops failing.
    ASSERT_TRUE(SendEditorCommand("clear-faults"));
    ExpectClickSucceeds(Button::Check);
    EXPECT_EQ(App().StatusText(), "Ready to Export");
}


// The editor is killed from inside, at its next call, after it has taken back its class registration:
// under Wine the system keeps the registration of a server killed from outside for as long as its
// own service processes run, and then no editor started later in the run could be reached.
TEST_F(Connect, KilledEditorMakesEveryCallFailButTheToolGoesOn)
{
    StartEditor();
    StartAppReady();
    ExpectClickSucceeds(Button::Check);

    const unsigned long pid = EditorPid(EditorLog());
    ASSERT_NE(pid, 0u);
    HANDLE editor = OpenProcess(SYNCHRONIZE, FALSE, pid);
    ASSERT_TRUE(editor);
    ASSERT_TRUE(SendEditorCommand("die-after 0"));

    // The code of a call to a server that is gone; the wording of its text is the system's.
    auto isLostServer = [](const vexdrive::MessageBoxInfo& box) {
        for (unsigned long code : {0x800706BAul, 0x800706BEul, 0x80010108ul}) {
            if (IsErrorReport(box, Reported(CodeMessage(code))))
                return ::testing::AssertionSuccess();
        }
        return IsErrorReport(box, Reported(CodeMessage(0x800706BAul)));
    };
    for (int press = 0; press < 2; ++press) {
        SCOPED_TRACE(press == 0 ? "first Check" : "second Check");
        ExpectClickReports(Button::Check, isLostServer);
        if (press == 0) { // the call in flight ended the editor
            EXPECT_EQ(WaitForSingleObject(editor, 10000), WAIT_OBJECT_0);
            CloseHandle(editor);
        }
        EXPECT_TRUE(App().ProcessAlive());
        EXPECT_EQ(App().Caption(), kDesignedCaption);
    }
    ExpectClickReports(Button::DelFace, isLostServer);
}

}  // namespace
}  // namespace e2e

// The end-to-end fixture: runs the real vexmold.exe (and the stand-in editor) under test, and drives its
// window from outside through vexdrive.
//
// Every process a test starts is put into one job object that kills what is left when the fixture ends,
// so that a failed test leaves no process behind. Every wait is bounded.
#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tools/vexdrive/drive.h"

namespace e2e {

// "/x/y" (a path of the build tree as CMake knows it) to "Z:\x\y", the same file through Wine's Z: drive.
// A path that is already a Windows path is returned unchanged.
std::string WindowsPath(const std::string& unixPath);

// Files as another program reads and writes them. Reading shares the file with a writer (the
// stand-in editor keeps its log open); nullopt when there is no such file. Writing throws.
std::optional<std::string> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
// A text's lines, each without its CR LF or LF.
std::vector<std::string> SplitLines(const std::string& text);
std::string VexmoldExe();
std::string LevelhostExe();   // empty when the build has no stand-in editor
bool HaveLevelhost();

// A registry value as stored: its type and raw bytes.
struct RegValue {
    unsigned long type = 0;
    std::string data;
};

// The settings the tool reads: HKCU\Software\Tessaline\Zym_Dxf, value "APath".
namespace settings {
extern const char* const kKey;     // "Software\\Tessaline\\Zym_Dxf"
extern const char* const kValue;   // "APath"
void CreateKey();
void DeleteKey();                  // the key and all it holds; no error when it is missing
bool KeyExists();
void StorePath(const std::string& folder);                          // REG_SZ with its zero byte
void StoreRaw(unsigned long type, const std::string& data);         // any type, bytes exactly as given
void DeleteValue();
std::optional<RegValue> Read();
}  // namespace settings

// Any HKCU value, for the state a test changes and must put back.
std::optional<RegValue> ReadUserValue(const std::string& key, const std::string& name);
void WriteUserValue(const std::string& key, const std::string& name, const std::optional<RegValue>& value);

// A process started by the fixture; the handle closes with the object.
struct Process {
    void* handle = nullptr;
    unsigned long pid = 0;
    ~Process();
    bool Alive() const;
    // Waits for the exit; true when it ended in time.
    bool WaitExit(int timeoutMs) const;
    unsigned long ExitCode() const;
};

// Reusable checks of the two kinds of message box the tool shows.
// The application's error report: caption "Vexmold", error icon, one OK button and exactly this text.
::testing::AssertionResult IsErrorReport(const vexdrive::MessageBoxInfo& box, const std::string& text);
// The About message: caption "Vexmold", no icon, one OK button, "Vexmold ver 0.1" and three credit
// paragraphs, each paragraph break written LF CR LF CR.
::testing::AssertionResult IsAboutMessage(const vexdrive::MessageBoxInfo& box);

class VexmoldTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The per-test folder (Windows path, ending in a backslash) and the converter folder below it that
    // the settings name by default (it holds Zym_DXF.EXE and Data\default.bmp).
    const std::string& TestDir() const { return testDir_; }
    const std::string& ConverterDir() const { return converterDir_; }

    // --- the stand-in editor ---
    // Registers "JED.App" (once per run) and starts levelhost.exe serving the given level text, with its
    // call log in the test folder; returns when its class object is registered. Fails the test when the
    // build has no stand-in editor or it does not come up.
    void StartEditor(const std::string& levelText = kSmallLevel, const std::vector<std::string>& options = {});
    void StopEditor();
    std::string EditorLog() const;
    // A command to the running stand-in editor (its window takes WM_COPYDATA even when hidden);
    // true when the editor took it.
    bool SendEditorCommand(const std::string& command);
    const std::string& EditorLogPath() const { return editorLog_; }
    static const char* const kSmallLevel;

    // --- the tool ---
    // Starts vexmold.exe (the settings must be in place before) and waits until its main window exists.
    void StartApp();
    // StartApp, then waits for the end of start-up; fails when a box comes up instead.
    void StartAppReady();
    // Closes the main window, waits for the process to end, terminates it when it does not.
    void StopApp();
    vexdrive::Driver& App();
    Process* AppProcess() { return app_.get(); }

    // The usual start: the editor when the build has one, then the tool, ready. Without the editor the
    // tool's start-up reports the missing connection; this answers that report and checks it.
    void StartWithEditorIfAvailable();

private:
    std::unique_ptr<Process> Launch(const std::string& exe, const std::vector<std::string>& args);

    void* job_ = nullptr;
    std::string testDir_, converterDir_, editorLog_;
    std::optional<RegValue> savedPath_;
    bool savedKeyExisted_ = false;
    std::unique_ptr<Process> editor_, app_;
    std::unique_ptr<vexdrive::Driver> driver_;
};

}  // namespace e2e

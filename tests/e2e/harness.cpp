// The end-to-end fixture: processes in a job object, the tool's settings, the stand-in editor.
#include "tests/e2e/harness.h"

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace e2e {
namespace {

constexpr int kStartMs = 20000;   // Wine starts a program in about a second; a cold prefix takes longer
constexpr int kStopMs = 10000;
constexpr int kPollMs = 10;

std::runtime_error Failure(const std::string& what)
{
    return std::runtime_error(what + " (error " + std::to_string(GetLastError()) + ")");
}

std::string Quote(const std::string& arg)
{
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos)
        return arg;
    std::string out = "\"";
    for (char c : arg) {
        if (c == '"')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

// A 2 by 2 pixel, 24-bit bitmap: the converter's default texture in the test's converter folder.
std::string SmallBitmap()
{
    const unsigned char bytes[] = {
        'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,                      // file header
        40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 16, 0, 0, 0,
        0x13, 0x0B, 0, 0, 0x13, 0x0B, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,          // info header
        0, 0, 255, 0, 255, 0, 0, 0,                                          // red, green, padding
        255, 0, 0, 255, 255, 255, 0, 0,                                      // blue, white, padding
    };
    return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

HKEY OpenUserKey(const std::string& key, REGSAM access)
{
    HKEY h = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, access, &h) != ERROR_SUCCESS)
        return nullptr;
    return h;
}

}  // namespace

std::optional<std::string> ReadBytes(const std::string& path)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::string data;
    char buf[4096];
    DWORD got = 0;
    while (::ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0)
        data.append(buf, got);
    CloseHandle(h);
    return data;
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::string WindowsPath(const std::string& unixPath)
{
    if (unixPath.empty() || unixPath[0] != '/')
        return unixPath;
    std::string out = "Z:";
    for (char c : unixPath)
        out += c == '/' ? '\\' : c;
    return out;
}

std::string VexmoldExe()
{
#ifdef VEXMOLD_EXE
    return WindowsPath(VEXMOLD_EXE);
#else
    return {};
#endif
}

std::string LevelhostExe()
{
#ifdef LEVELHOST_EXE
    return WindowsPath(LEVELHOST_EXE);
#else
    return {};
#endif
}

bool HaveLevelhost() { return !LevelhostExe().empty(); }

// ---- registry ----

namespace settings {
const char* const kKey = "Software\\Tessaline\\Zym_Dxf";
const char* const kValue = "APath";

void CreateKey()
{
    HKEY h = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr) !=
        ERROR_SUCCESS)
        throw Failure("cannot create the settings key");
    RegCloseKey(h);
}

void DeleteKey()
{
    LONG r = RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
    if (r == ERROR_SUCCESS || r == ERROR_FILE_NOT_FOUND)
        RegDeleteKeyA(HKEY_CURRENT_USER, kKey);
    // Its parent too, once empty (a key with subkeys is not deleted), so that the prefix is left
    // as a converter's set-up never touched it.
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Tessaline");
}

bool KeyExists()
{
    HKEY h = OpenUserKey(kKey, KEY_READ);
    if (h)
        RegCloseKey(h);
    return h != nullptr;
}

void StoreRaw(unsigned long type, const std::string& data)
{
    WriteUserValue(kKey, kValue, RegValue{type, data});
}

void StorePath(const std::string& folder) { StoreRaw(REG_SZ, folder + std::string(1, '\0')); }

void DeleteValue() { WriteUserValue(kKey, kValue, std::nullopt); }

std::optional<RegValue> Read() { return ReadUserValue(kKey, kValue); }
}  // namespace settings

std::optional<RegValue> ReadUserValue(const std::string& key, const std::string& name)
{
    HKEY h = OpenUserKey(key, KEY_READ);
    if (!h)
        return std::nullopt;
    DWORD type = 0, size = 0;
    std::optional<RegValue> out;
    if (RegQueryValueExA(h, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
        RegValue v;
        v.type = type;
        v.data.resize(size);
        if (RegQueryValueExA(h, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(v.data.data()), &size) ==
            ERROR_SUCCESS) {
            v.data.resize(size);
            out = v;
        }
    }
    RegCloseKey(h);
    return out;
}

void WriteUserValue(const std::string& key, const std::string& name, const std::optional<RegValue>& value)
{
    HKEY h = OpenUserKey(key, KEY_ALL_ACCESS);
    if (!h) {
        if (!value)
            return;
        throw Failure("cannot open HKCU\\" + key);
    }
    LONG r = value ? RegSetValueExA(h, name.c_str(), 0, value->type,
                                    reinterpret_cast<const BYTE*>(value->data.data()),
                                    static_cast<DWORD>(value->data.size()))
                   : RegDeleteValueA(h, name.c_str());
    RegCloseKey(h);
    if (r != ERROR_SUCCESS && !(r == ERROR_FILE_NOT_FOUND && !value)) {
        SetLastError(r);
        throw Failure("cannot write HKCU\\" + key + " \"" + name + "\"");
    }
}

// ---- processes ----

Process::~Process()
{
    if (handle)
        CloseHandle(static_cast<HANDLE>(handle));
}

bool Process::Alive() const { return WaitForSingleObject(static_cast<HANDLE>(handle), 0) == WAIT_TIMEOUT; }

bool Process::WaitExit(int timeoutMs) const
{
    return WaitForSingleObject(static_cast<HANDLE>(handle), timeoutMs) == WAIT_OBJECT_0;
}

unsigned long Process::ExitCode() const
{
    DWORD code = 0;
    GetExitCodeProcess(static_cast<HANDLE>(handle), &code);
    return code;
}

// ---- box checks ----

namespace {
std::string Describe(const vexdrive::MessageBoxInfo& box)
{
    std::string buttons;
    for (const auto& b : box.buttons)
        buttons += "[" + b + "]";
    return "caption \"" + vexdrive::CEscape(box.caption) + "\", icon " + box.icon + ", buttons " + buttons +
           ", text \"" + vexdrive::CEscape(box.text) + "\"";
}
}  // namespace

::testing::AssertionResult IsErrorReport(const vexdrive::MessageBoxInfo& box, const std::string& text)
{
    if (box.caption == "Vexmold" && box.icon == "error" && box.buttons == std::vector<std::string>{"OK"} &&
        box.text == text)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "expected the error report \"" << vexdrive::CEscape(text)
                                         << "\", got " << Describe(box);
}

::testing::AssertionResult IsAboutMessage(const vexdrive::MessageBoxInfo& box)
{
    auto fail = [&](const std::string& why) {
        return ::testing::AssertionFailure() << why << "; got " << Describe(box);
    };
    if (box.caption != "Vexmold" || box.icon != "none" || box.buttons != std::vector<std::string>{"OK"})
        return fail("expected caption \"Vexmold\", no icon and one OK button");
    const std::string head = "Vexmold ver 0.1";
    const std::string gap = "\n\r\n\r";   // two line breaks, each LF then CR
    if (box.text.rfind(head + gap, 0) != 0)
        return fail("expected the text to start with \"Vexmold ver 0.1\\n\\r\\n\\r\"");
    std::vector<std::string> paragraphs;
    size_t pos = head.size() + gap.size();
    for (;;) {
        size_t end = box.text.find(gap, pos);
        paragraphs.push_back(box.text.substr(pos, end == std::string::npos ? std::string::npos : end - pos));
        if (end == std::string::npos)
            break;
        pos = end + gap.size();
    }
    if (paragraphs.size() != 3)
        return fail("expected three credit paragraphs, found " + std::to_string(paragraphs.size()));
    for (const auto& p : paragraphs)
        if (p.empty() || p.find_first_not_of(" \r\n") == std::string::npos)
            return fail("a credit paragraph is empty");
    return ::testing::AssertionSuccess();
}

// ---- the fixture ----

const char* const VexmoldTest::kSmallLevel =
    "# one sector with one square face\n"
    "sector\n"
    "v 0 0 0\n"
    "v 1 0 0\n"
    "v 1 1 0\n"
    "v 0 1 0\n"
    "s -1 -1 0 1 2 3\n";

void VexmoldTest::SetUp()
{
    job_ = CreateJobObjectA(nullptr, nullptr);
    if (!job_)
        throw Failure("cannot create a job object");
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(static_cast<HANDLE>(job_), JobObjectExtendedLimitInformation, &limits,
                                 sizeof limits))
        throw Failure("cannot make the job kill its processes on close");

    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string("vexe2e-") + info->test_suite_name() + "-" + info->name() + "-" +
                       std::to_string(GetCurrentProcessId());
    for (char& c : name)
        if (c == '/')
            c = '_';
    std::filesystem::path dir = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir / "Zym" / "Data");
    WriteBytes((dir / "Zym" / "Zym_DXF.EXE").string(), "");
    WriteBytes((dir / "Zym" / "Data" / "default.bmp").string(), SmallBitmap());
    testDir_ = dir.string() + "\\";
    converterDir_ = testDir_ + "Zym\\";

    // What the test prefix held before, to be put back afterwards.
    savedKeyExisted_ = settings::KeyExists();
    savedPath_ = settings::Read();
    settings::CreateKey();
    settings::StorePath(converterDir_);
}

void VexmoldTest::TearDown()
{
    StopApp();
    StopEditor();
    if (job_)
        CloseHandle(static_cast<HANDLE>(job_));   // ends whatever of ours still runs
    job_ = nullptr;
    try {
        if (!savedKeyExisted_) {
            settings::DeleteKey();
        } else {
            settings::CreateKey();
            WriteUserValue(settings::kKey, settings::kValue, savedPath_);
        }
    } catch (const std::exception& e) {
        ADD_FAILURE() << "cannot restore the settings: " << e.what();
    }
    if (HasFailure()) {
        std::printf("kept the test folder %s\n", testDir_.c_str());
    } else {
        std::error_code ignored;
        std::filesystem::remove_all(testDir_, ignored);
    }
}

std::unique_ptr<Process> VexmoldTest::Launch(const std::string& exe, const std::vector<std::string>& args)
{
    std::string command = Quote(exe);
    for (const auto& a : args) {
        command.push_back(' ');
        command.append(Quote(a));
    }
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    // Suspended until it is in the job, so that not even its first instant is outside it.
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                        testDir_.c_str(), &si, &pi))
        throw Failure("cannot start " + command);
    auto p = std::make_unique<Process>();
    p->handle = pi.hProcess;
    p->pid = pi.dwProcessId;
    if (!AssignProcessToJobObject(static_cast<HANDLE>(job_), pi.hProcess)) {
        TerminateProcess(pi.hProcess, 1);
        CloseHandle(pi.hThread);
        throw Failure("cannot put " + exe + " into the job");
    }
    ResumeThread(pi.hThread);
    CloseHandle(pi.hThread);
    return p;
}

void VexmoldTest::StartEditor(const std::string& levelText, const std::vector<std::string>& options)
{
    if (!HaveLevelhost())
        throw std::runtime_error("this build has no stand-in editor (levelhost.exe)");
    static bool registered = false;
    if (!registered) {
        auto reg = Launch(LevelhostExe(), {"/regserver"});
        if (!reg->WaitExit(kStartMs) || reg->ExitCode() != 0)
            throw std::runtime_error("levelhost.exe /regserver failed");
        registered = true;
    }
    std::string level = testDir_ + "level.txt";
    WriteBytes(level, levelText);
    editorLog_ = testDir_ + "levelhost.log";
    std::vector<std::string> args = {"--quiet", "--log", editorLog_};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(level);
    editor_ = Launch(LevelhostExe(), args);
    // Ready once its class object is registered: a client's activation then reaches this instance.
    DWORD start = GetTickCount();
    for (;;) {
        std::istringstream log(EditorLog());
        for (std::string line; std::getline(log, line);)
            if (line == "registered" || line == "registered\r")
                return;
        if (!editor_->Alive())
            throw std::runtime_error("levelhost.exe ended at start (exit code " +
                                     std::to_string(editor_->ExitCode()) + "); log:\n" + EditorLog());
        if (static_cast<int>(GetTickCount() - start) > kStartMs)
            throw std::runtime_error("levelhost.exe did not register its class in time; log:\n" + EditorLog());
        Sleep(kPollMs);
    }
}

void VexmoldTest::StopEditor()
{
    if (!editor_)
        return;
    if (editor_->Alive()) {
        // Its window takes WM_CLOSE like any other; --quiet leaves it hidden but there.
        EnumWindows(
            [](HWND h, LPARAM pid) -> BOOL {
                DWORD owner = 0;
                GetWindowThreadProcessId(h, &owner);
                if (owner == static_cast<DWORD>(pid) && !GetWindow(h, GW_OWNER))
                    PostMessageA(h, WM_CLOSE, 0, 0);
                return TRUE;
            },
            static_cast<LPARAM>(editor_->pid));
        if (!editor_->WaitExit(kStopMs))
            TerminateProcess(static_cast<HANDLE>(editor_->handle), 1);
        editor_->WaitExit(kStopMs);
    }
    editor_.reset();
}

std::string VexmoldTest::EditorLog() const
{
    return editorLog_.empty() ? std::string() : ReadBytes(editorLog_).value_or("");
}

bool VexmoldTest::SendEditorCommand(const std::string& command)
{
    if (!editor_)
        return false;
    struct Find {
        unsigned long pid;
        HWND found;
    } find{editor_->pid, nullptr};
    EnumWindows(
        [](HWND h, LPARAM p) -> BOOL {
            auto* f = reinterpret_cast<Find*>(p);
            DWORD owner = 0;
            GetWindowThreadProcessId(h, &owner);
            char cls[64] = {};
            GetClassNameA(h, cls, sizeof cls);
            if (owner == f->pid && std::string(cls) == "LevelHostWindow") {
                f->found = h;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&find));
    if (!find.found)
        return false;
    COPYDATASTRUCT data{};
    data.dwData = 0x4C48; // 'LH': a command for the stand-in editor
    data.cbData = static_cast<DWORD>(command.size());
    data.lpData = const_cast<char*>(command.data());
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutA(find.found, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, 5000,
                             &answer))
        return false;
    return answer == 1;
}

void VexmoldTest::StartApp()
{
    if (app_)
        throw std::runtime_error("the tool is already running");
    app_ = Launch(VexmoldExe(), {});
    driver_ = std::make_unique<vexdrive::Driver>(app_->pid);
    driver_->FindMain(kStartMs);
}

void VexmoldTest::StartAppReady()
{
    StartApp();
    vexdrive::WaitResult r = driver_->WaitReady(kStartMs);
    if (r == vexdrive::WaitResult::Modal) {
        std::string what = "a box came up at start-up";
        try {
            vexdrive::MessageBoxInfo box = driver_->ReadMessageBox(1000);
            what += ": \"" + vexdrive::CEscape(box.text) + "\"";
        } catch (const vexdrive::DriveError&) {
        }
        throw std::runtime_error(what);
    }
    if (r != vexdrive::WaitResult::Done)
        throw std::runtime_error(std::string("start-up did not complete: ") + vexdrive::WaitResultName(r));
}

void VexmoldTest::StartWithEditorIfAvailable()
{
    if (HaveLevelhost()) {
        StartEditor();
        StartAppReady();
        return;
    }
    StartApp();
    vexdrive::WaitResult r = driver_->WaitReady(kStartMs);
    if (r == vexdrive::WaitResult::Modal) {
        vexdrive::MessageBoxInfo box = driver_->ReadMessageBox(1000);
        EXPECT_TRUE(IsErrorReport(box, "Variant does not reference an automation object."));
        driver_->PressMessageBoxOk(5000);
        r = driver_->WaitReady(kStartMs);
    }
    if (r != vexdrive::WaitResult::Done)
        throw std::runtime_error(std::string("start-up did not complete: ") + vexdrive::WaitResultName(r));
}

void VexmoldTest::StopApp()
{
    if (!app_)
        return;
    if (app_->Alive()) {
        bool boxUp = driver_ && driver_->FindModal();
        if (driver_ && !boxUp) {
            try {
                driver_->Close(kStopMs);
            } catch (const vexdrive::DriveError&) {
            }
        }
        if (boxUp || !app_->WaitExit(kStopMs)) {
            if (!boxUp)
                ADD_FAILURE() << "vexmold.exe did not end after its window was closed";
            TerminateProcess(static_cast<HANDLE>(app_->handle), 1);
            app_->WaitExit(kStopMs);
        }
    }
    driver_.reset();
    app_.reset();
}

vexdrive::Driver& VexmoldTest::App()
{
    if (!driver_)
        throw std::runtime_error("the tool is not running");
    return *driver_;
}

}  // namespace e2e

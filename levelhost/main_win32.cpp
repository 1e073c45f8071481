// The stand-in editor's entry: command line, registration, the command client, and the server's life.
#include "levelhost/server_win32.h"

#include <commctrl.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace levelhost {

namespace {

const char kUsage[] =
    "Level host: a stand-in for the level editor's automation server (\"JED.App\"), serving a level file.\n"
    "\n"
    "  levelhost.exe [options] [LEVELFILE]\n"
    "  levelhost.exe /regserver | /unregserver\n"
    "  levelhost.exe --send \"COMMAND\"\n"
    "\n"
    "Without LEVELFILE (as when COM starts it with -Embedding) it serves an empty level. It runs until its window\n"
    "is closed or it is sent \"quit\"; it does not end when its last client lets go.\n"
    "\n"
    "Options:\n"
    "  --log FILE              write the call log to FILE (one line per event, written through at once)\n"
    "  --save FILE             after each DeleteSurface or DeleteVertex write the level to FILE\n"
    "                          (default: back to LEVELFILE)\n"
    "  --fail OP=TEXT          OP fails with DISP_E_EXCEPTION and the description TEXT\n"
    "  --fail-deferred OP=TEXT the same, with the description given through EXCEPINFO.pfnDeferredFillIn\n"
    "  --fail-code OP=HEX      Invoke of OP returns the HRESULT HEX (e.g. 80020003)\n"
    "  --fail-scode OP=HEX     DISP_E_EXCEPTION with no description and EXCEPINFO.scode HEX\n"
    "  --answer OP=KIND        OP is not carried out and answers a value of the wrong kind; KIND is one of\n"
    "                          text (VT_BSTR \"abc\"), null, empty, object (a new level object),\n"
    "                          fraction (VT_R8 2.5), fraction:V, big (VT_R8 4294967296),\n"
    "                          big-i8 (VT_I8 4294967296), int:N (VT_I4 N), real:V (VT_R8 V)\n"
    "  --die-after N           end the process at once inside the Invoke that follows N completed ones\n"
    "  --quiet                 show no window and no message box\n"
    "  -Embedding, /Embedding  started by COM (accepted, changes nothing)\n"
    "  /?, -h, --help          this text\n"
    "\n"
    "OP is an operation name (\"GetSurface\") or kind.name (\"sector.GetVertex\"; kinds app, level, sector,\n"
    "surface), without regard to case. Options may repeat; the latest one for an operation wins, and a failure\n"
    "goes before an answer. TEXT may hold the escapes \\r \\n \\t \\\\ \\xHH.\n"
    "\n"
    "Commands (--send, or WM_COPYDATA to the window of class \"LevelHostWindow\" with dwData 0x4C48 and the\n"
    "ASCII text; the answer is 1 when done, 0 for a bad command):\n"
    "  select SC SF VX | fail OP=TEXT | fail-deferred OP=TEXT | fail-code OP=HEX | fail-scode OP=HEX |\n"
    "  answer OP=KIND | die-after N | clear-faults | reload | quit\n"
    "\n"
    "Call log lines: start pid=N | registered | lookup OBJ NAME = ID|unknown |\n"
    "  call OBJ OP ARGS = ANSWER [OUTPUTS] | call OBJ OP ARGS = fail:TEXT|code:HEX|scode:HEX |\n"
    "  release OBJ COUNT | save FILE | command TEXT | error TEXT | die after N calls | stop\n"
    "  OBJ is app#1, level#2, sector[0]#3 or surface[0.1]#4; arguments and answers read i4:3, &i4:3, r8:1.5,\n"
    "  bstr:abc, null, empty or an object; control characters and \\ in texts appear as C escapes.\n"
    "\n"
    "Level file: one directive a line, # starts a comment:\n"
    "  sector | v X Y Z | s ADJOIN_A ADJOIN_B VERTEX... | select SC SF VX\n"
    "\n"
    "Only one level host runs at a time: a second one waits 5 s for the first to go, then gives up.\n"
    "Exit codes: 0 done, 1 bad command line or failure (or another level host running), 2 level file refused, 9 ended by --die-after.\n";

struct Options {
    std::string levelFile, logFile, savePath, send;
    bool hasSend = false, quiet = false, embedding = false, help = false, regserver = false, unregserver = false;
    std::vector<std::pair<Fault::How, std::string>> fails;
    std::vector<std::string> answers;
    long dieAfter = -1;
    std::string error;  // the first thing wrong with the command line

    bool Silent() const { return quiet || embedding; }  // no message boxes
};

bool Is(const char* arg, std::initializer_list<const char*> names)
{
    for (const char* name : names)
        if (lstrcmpiA(arg, name) == 0)
            return true;
    return false;
}

Options ParseCommandLine(int argc, char** argv)
{
    Options o;
    auto fail = [&o](const std::string& what) {
        if (o.error.empty())
            o.error = what;
    };
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        auto value = [&](std::string& into) {
            if (i + 1 < argc)
                into = argv[++i];
            else
                fail(std::string("option ") + arg + " needs a value");
        };
        std::string text;
        if (Is(arg, {"/?", "-?", "-h", "--help", "/help"})) {
            o.help = true;
        } else if (Is(arg, {"/regserver", "-regserver", "--regserver"})) {
            o.regserver = true;
        } else if (Is(arg, {"/unregserver", "-unregserver", "--unregserver"})) {
            o.unregserver = true;
        } else if (Is(arg, {"-Embedding", "/Embedding"})) {
            // COM starts us so; the class object is registered in every case. Nobody is there to answer a
            // message box, so none is shown.
            o.embedding = true;
        } else if (Is(arg, {"--quiet"})) {
            o.quiet = true;
        } else if (Is(arg, {"--log"})) {
            value(o.logFile);
        } else if (Is(arg, {"--save"})) {
            value(o.savePath);
        } else if (Is(arg, {"--send"})) {
            value(o.send);
            o.hasSend = true;
        } else if (Is(arg, {"--fail"})) {
            value(text);
            o.fails.emplace_back(Fault::How::Description, text);
        } else if (Is(arg, {"--fail-deferred"})) {
            value(text);
            o.fails.emplace_back(Fault::How::Deferred, text);
        } else if (Is(arg, {"--fail-code"})) {
            value(text);
            o.fails.emplace_back(Fault::How::Code, text);
        } else if (Is(arg, {"--fail-scode"})) {
            value(text);
            o.fails.emplace_back(Fault::How::Scode, text);
        } else if (Is(arg, {"--answer"})) {
            value(text);
            o.answers.push_back(text);
        } else if (Is(arg, {"--die-after"})) {
            value(text);
            std::int32_t n = 0;
            bool outOfRange = false;
            if (!levelfile::ParseInt32(text, n, outOfRange) || n < 0)
                fail("--die-after needs a count of calls, not '" + text + "'");
            o.dieAfter = n;
        } else if (arg[0] == '-' || (arg[0] == '/' && std::strchr(arg + 1, '/') == nullptr &&
                                     std::strchr(arg + 1, '\\') == nullptr && std::strchr(arg, '.') == nullptr)) {
            fail(std::string("unknown option '") + arg + "'");
        } else if (o.levelFile.empty()) {
            o.levelFile = arg;
        } else {
            fail(std::string("more than one level file: '") + o.levelFile + "' and '" + arg + "'");
        }
    }
    return o;
}

// Text for a person: on the console we were started from, if any, else in a message box.
void Tell(const std::string& text, bool error, bool quiet)
{
    HANDLE out = GetStdHandle(error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    bool own = false;
    if (!out || out == INVALID_HANDLE_VALUE) {
        out = nullptr;
        if (AttachConsole(ATTACH_PARENT_PROCESS)) {
            out = CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                              nullptr);
            own = out != INVALID_HANDLE_VALUE;
            if (!own)
                out = nullptr;
        }
    }
    DWORD written = 0;
    if (out && WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) {
        if (own)
            CloseHandle(out);
        return;
    }
    if (own)
        CloseHandle(out);
    if (!quiet)
        MessageBoxA(nullptr, text.c_str(), "Level host", MB_OK | (error ? MB_ICONERROR : MB_ICONINFORMATION));
}

class Key {
public:
    Key() = default;
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    ~Key()
    {
        if (key_)
            RegCloseKey(key_);
    }
    HKEY* Out() { return &key_; }
    HKEY Get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

// Classes go under HKEY_LOCAL_MACHINE\Software\Classes, which is what HKEY_CLASSES_ROOT shows: Wine does not
// merge a user's own classes into it.
bool SetDefault(const std::string& path, const std::string& value, std::string& error)
{
    Key key;
    LONG rc = RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                              nullptr, key.Out(), nullptr);
    if (rc == ERROR_SUCCESS)
        rc = RegSetValueExA(key.Get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>(value.size() + 1));
    if (rc != ERROR_SUCCESS)
        error = "cannot write HKEY_LOCAL_MACHINE\\" + path + " (error " + std::to_string(rc) + ")";
    return rc == ERROR_SUCCESS;
}

bool RemoveTree(const std::string& path, std::string& error)
{
    const LONG rc = RegDeleteTreeA(HKEY_LOCAL_MACHINE, path.c_str());
    if (rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND)
        return true;
    error = "cannot remove HKEY_LOCAL_MACHINE\\" + path + " (error " + std::to_string(rc) + ")";
    return false;
}

const std::string kProgIdKey = std::string("Software\\Classes\\") + kProgId;
const std::string kClsidKey = std::string("Software\\Classes\\CLSID\\") + kClsidText;

bool RegisterServer(std::string& error)
{
    char path[MAX_PATH * 2];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path) {
        error = "cannot tell this program's path";
        return false;
    }
    std::string command = path;
    if (command.find(' ') != std::string::npos)
        command = "\"" + command + "\"";
    return SetDefault(kProgIdKey, "Level host (stand-in level editor)", error) &&
           SetDefault(kProgIdKey + "\\CLSID", kClsidText, error) && SetDefault(kClsidKey, "Level host", error) &&
           SetDefault(kClsidKey + "\\LocalServer32", command, error) &&
           SetDefault(kClsidKey + "\\ProgID", kProgId, error);
}

bool UnregisterServer(std::string& error)
{
    return RemoveTree(kProgIdKey, error) && RemoveTree(kClsidKey, error);
}

int Send(const std::string& command, bool quiet)
{
    HWND window = FindWindowA(kWindowClass, nullptr);
    if (!window) {
        Tell("levelhost: no level host is running\n", true, quiet);
        return 1;
    }
    COPYDATASTRUCT data = {};
    data.dwData = kCommandTag;
    data.cbData = static_cast<DWORD>(command.size());
    data.lpData = const_cast<char*>(command.data());
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, 10000,
                             &answer)) {
        Tell("levelhost: the level host does not answer\n", true, quiet);
        return 1;
    }
    if (answer != 1) {
        Tell("levelhost: command refused: " + command + "\n", true, quiet);
        return 1;
    }
    return 0;
}

// COM would hand every client to whichever instance registered first, and commands would go to either:
// one instance at a time. One that has been told to quit is given a moment to go.
bool AloneOrWaited()
{
    for (int i = 0; i < 50; ++i) {
        if (!FindWindowA(kWindowClass, nullptr))
            return true;
        Sleep(100);
    }
    return false;
}

int Serve(HINSTANCE instance, const Options& options, Server& server)
{
    server.log.Line("start pid=" + std::to_string(GetCurrentProcessId()));
    if (!AloneOrWaited()) {
        server.log.Line("error another level host is running");
        Tell("levelhost: another level host is running\n", true, options.Silent());
        return 1;
    }
    if (!options.levelFile.empty()) {
        try {
            server.level = levelfile::Load(options.levelFile);
        } catch (const std::exception& e) {
            server.log.Line(std::string("error ") + e.what());
            Tell(std::string("levelhost: ") + e.what() + "\n", true, true);
            if (!options.Silent())
                MessageBoxA(nullptr, e.what(), "Level host", MB_OK | MB_ICONERROR);
            return 2;
        }
    }
    server.levelPath = options.levelFile;
    server.savePath = options.savePath;

    for (const auto& [how, spec] : options.fails) {
        std::string error;
        if (!server.faults.AddFail(how, spec, error)) {
            server.log.Line("error " + error);
            Tell("levelhost: " + error + "\n\n" + kUsage, true, options.Silent());
            return 1;
        }
    }
    for (const std::string& spec : options.answers) {
        std::string error;
        if (!server.faults.AddAnswer(spec, error)) {
            server.log.Line("error " + error);
            Tell("levelhost: " + error + "\n\n" + kUsage, true, options.Silent());
            return 1;
        }
    }
    if (options.dieAfter >= 0)
        server.faults.SetDieAfter(options.dieAfter);

    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    if (!RegisterWindowClass(instance) || !CreateMainWindow(instance, server, !options.quiet)) {
        server.log.Line("error cannot create the window");
        return 1;
    }

    IClassFactory* factory = NewClassFactory(server);
    DWORD cookie = 0;
    const HRESULT hr = CoRegisterClassObject(kClsid, factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie);
    if (FAILED(hr)) {
        factory->Release();
        server.log.Line("error CoRegisterClassObject failed: " + Hex8(static_cast<std::uint32_t>(hr)));
        if (server.window)
            DestroyWindow(server.window);
        return 1;
    }
    server.classCookie = cookie;
    server.log.Line("registered");

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }

    CoRevokeClassObject(cookie);
    server.classCookie = 0;
    factory->Release();
    server.log.Line("stop");
    return 0;
}

int Main(HINSTANCE instance, int argc, char** argv)
{
    const Options options = ParseCommandLine(argc, argv);
    if (options.hasSend && options.error.empty())
        return Send(options.send, options.Silent());

    Server server;
    if (!options.logFile.empty() && !server.log.Open(options.logFile)) {
        Tell("levelhost: cannot open the log file " + options.logFile + "\n", true, options.Silent());
        return 1;
    }
    if (!options.error.empty()) {
        server.log.Line("error " + options.error);
        Tell("levelhost: " + options.error + "\n\n" + kUsage, true, options.Silent());
        return 1;
    }
    if (options.help) {
        Tell(kUsage, false, options.Silent());
        return 0;
    }
    if (options.regserver || options.unregserver) {
        std::string error;
        const bool ok = options.regserver ? RegisterServer(error) : UnregisterServer(error);
        if (!ok) {
            server.log.Line("error " + error);
            Tell("levelhost: " + error + "\n", true, options.Silent());
        }
        return ok ? 0 : 1;
    }

    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        server.log.Line("error CoInitializeEx failed");
        return 1;
    }
    const int code = Serve(instance, options, server);
    // Client references still held are let go here, while the server they refer to still exists.
    CoUninitialize();
    return code;
}

}  // namespace

}  // namespace levelhost

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    try {
        return levelhost::Main(instance, __argc, __argv);
    } catch (...) {
        return 1;
    }
}

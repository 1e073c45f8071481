// The stand-in editor's process state: the level it serves, the call log, the injected faults, and the
// COM objects (application, level, sector, surface) through which clients reach the level.
// Only Windows code belongs here; everything runs on the one thread of the process (a single-threaded
// apartment), so nothing is locked.
#pragma once
#include "global/windows_support.h"
#include <ole2.h>
#include <oleauto.h>

#include <cstdint>
#include <string>
#include <vector>

#include "levelhost/levelfile.h"

namespace levelhost {

// The class the stand-in registers; the ProgID names it for clients.
// {6E1C3B52-4A7D-4F0E-9B21-5C8A0D3F7A11}
inline constexpr CLSID kClsid = {0x6e1c3b52, 0x4a7d, 0x4f0e, {0x9b, 0x21, 0x5c, 0x8a, 0x0d, 0x3f, 0x7a, 0x11}};
inline constexpr char kClsidText[] = "{6E1C3B52-4A7D-4F0E-9B21-5C8A0D3F7A11}";
inline constexpr char kProgId[] = "JED.App";
inline constexpr char kWindowClass[] = "LevelHostWindow";
inline constexpr ULONG_PTR kCommandTag = 0x4C48;  // 'LH' in COPYDATASTRUCT::dwData

// One line per event, written through at once so that a test can read it while the process runs.
class CallLog {
public:
    CallLog() = default;
    CallLog(const CallLog&) = delete;
    CallLog& operator=(const CallLog&) = delete;
    ~CallLog();

    bool Open(const std::string& path);
    void Line(const std::string& text);
    bool IsOpen() const { return file_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE file_ = INVALID_HANDLE_VALUE;
};

// Which operation a fault or an answer applies to: "GetSurface" (any object) or "sector.GetVertex".
struct Selector {
    std::string kind;  // empty: every kind
    std::string op;
    bool Matches(const char* kind, const char* op) const;
};

struct Fault {
    enum class How { Description, Deferred, Code, Scode };
    Selector selector;
    How how = How::Description;
    std::string text;   // the description (Description, Deferred)
    HRESULT code = 0;   // what Invoke answers (Code) or EXCEPINFO::scode (Scode)
};

struct Answer {
    enum class Kind { Text, Null, Empty, Object, Real, I8, I4 };
    Selector selector;
    Kind kind = Kind::Empty;
    double real = 0;
    std::int32_t i4 = 0;
};

class Faults {
public:
    // Each takes "OP=VALUE" as the command line and the commands give it; false with a reason if malformed.
    bool AddFail(Fault::How how, const std::string& spec, std::string& error);
    bool AddAnswer(const std::string& spec, std::string& error);
    void SetDieAfter(long calls);
    void Clear();

    const Fault* FindFail(const char* kind, const char* op) const;
    const Answer* FindAnswer(const char* kind, const char* op) const;

    // Called as each Invoke starts: true when the process is to end now, before answering.
    bool DiesNow() const { return dieAfter_ >= 0 && completed_ >= dieAfter_; }
    void InvokeCompleted() { ++completed_; }
    long DieAfter() const { return dieAfter_; }

private:
    std::vector<Fault> fails_;
    std::vector<Answer> answers_;
    long dieAfter_ = -1;
    long completed_ = 0;
};

class Server {
public:
    levelfile::Level level;
    std::string levelPath;  // the file read at start; empty when serving an empty level
    std::string savePath;   // where changes are written back; empty: nowhere
    Faults faults;
    CallLog log;
    HWND window = nullptr;
    DWORD classCookie = 0;  // the class object's registration, while it lasts

    long NextSerial() { return nextSerial_++; }

    // A client changed the level: write it back and show it.
    void LevelChanged();
    // Something (a client's Update, a command, a click) asks the window to show the level anew.
    void Refresh();

private:
    long nextSerial_ = 1;
};

// The class object that clients' CoCreateInstance reaches; every instance it makes is a new application object.
IClassFactory* NewClassFactory(Server& server);

// Window side (window_win32.cpp).
bool RegisterWindowClass(HINSTANCE instance);
HWND CreateMainWindow(HINSTANCE instance, Server& server, bool show);
void RefreshWindow(HWND window, Server& server);
// Runs one command of the WM_COPYDATA interface; false for a command it does not know or cannot do.
bool RunCommand(Server& server, const std::string& command);

// Texts.
std::string Narrow(const wchar_t* text, int length = -1);
std::string Escape(const std::string& text);      // control characters and '\' as C escapes, for the log
std::string Unescape(const std::string& text);    // the reverse, for texts given on the command line
std::string Hex8(std::uint32_t value);            // 8 upper-case hexadecimal digits
bool ParseHex(const std::string& text, HRESULT& value);

}  // namespace levelhost

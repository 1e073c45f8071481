// Implements the outside driver of vexmold.exe's window with the Win32 window system.
//
// Only the window system is used: finding windows, reading them with messages that Windows carries across
// processes (WM_GETTEXT and friends), sending mouse messages, and, for the few messages whose pointers Windows
// does not carry across (the tooltip and file dialog messages), buffers made inside the target process.
#include "tools/vexdrive/drive.h"

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cstdlib>

namespace vexdrive {
namespace {

constexpr int kBarId = 100, kPanelId = 101, kMemoId = 103;
constexpr int kFileNameCombo = 0x47C;   // cmb13: the file name box of the explorer-style dialog
constexpr int kFileNameEdit = 0x480;    // edt1: the file name box where Windows uses an edit instead
constexpr int kFileTypeCombo = 0x470;   // cmb1: the file type box
constexpr UINT kSendTimeout = 5000;     // a window that does not answer a read in this time is hung
constexpr DWORD kPollMs = 10;

struct ControlEntry {
    Control control;
    const char* name;
    int id;
    bool inPanel;
};

const ControlEntry kControls[] = {
    {Control::Bar, "Bar", kBarId, false},         {Control::Panel1, "Panel1", kPanelId, false},
    {Control::SBCheck, "SBCheck", 102, true},     {Control::SBDelFace, "SBDelFace", 105, true},
    {Control::SBDelVX, "SBDelVX", 104, true},     {Control::SBExport, "SBExport", 106, true},
    {Control::SBAbout, "SBAbout", 107, true},     {Control::Memo1, "Memo1", kMemoId, false},
};

const ControlEntry& Entry(Control c)
{
    for (const auto& e : kControls)
        if (e.control == c)
            return e;
    throw DriveError("unknown control");
}

struct ButtonEntry {
    Button button;
    const char* name;
    Control control;
};

const ButtonEntry kButtons[] = {
    {Button::Check, "check", Control::SBCheck},     {Button::DelFace, "delface", Control::SBDelFace},
    {Button::DelVX, "delvx", Control::SBDelVX},     {Button::Export, "export", Control::SBExport},
    {Button::About, "about", Control::SBAbout},
};

std::string ClassOf(HWND h)
{
    char name[256] = {};
    GetClassNameA(h, name, sizeof name);
    return name;
}

DWORD PidOf(HWND h)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    return pid;
}

// The text of a window of another process. WM_GETTEXT is carried across processes by the system.
std::string TextOf(HWND h)
{
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(h, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeout, &length))
        throw DriveError("the window does not answer WM_GETTEXTLENGTH");
    std::string text(length + 1, '\0');
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutA(h, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                             kSendTimeout, &got))
        throw DriveError("the window does not answer WM_GETTEXT");
    text.resize(std::min<size_t>(got, std::strlen(text.c_str())));
    return text;
}

// The caption of a top-level window as the system keeps it; for another process's window this sends nothing,
// so it works while the target is busy in a handler.
std::string CaptionOf(HWND h)
{
    int length = GetWindowTextLengthA(h);
    std::string text(length + 1, '\0');
    int got = GetWindowTextA(h, text.data(), length + 1);
    text.resize(got > 0 ? got : 0);
    return text;
}

std::vector<HWND> TopLevelWindows()
{
    std::vector<HWND> all;
    EnumWindows(
        [](HWND h, LPARAM p) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(p)->push_back(h);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&all));
    return all;
}

std::vector<HWND> DirectChildren(HWND parent)
{
    std::vector<HWND> all;
    for (HWND h = GetWindow(parent, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT))
        all.push_back(h);
    return all;
}

// The first window of the class below parent, at any depth (the file name box is a combo box inside a
// ComboBoxEx under Wine, a combo box with its edit under Windows).
HWND FindDescendant(HWND parent, const char* cls)
{
    for (HWND h = GetWindow(parent, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) {
        if (_stricmp(ClassOf(h).c_str(), cls) == 0)
            return h;
        if (HWND inner = FindDescendant(h, cls))
            return inner;
    }
    return nullptr;
}

// A direct child button with the control ID; dialogs may hold other windows with the same ID.
HWND ButtonWithId(HWND dialog, int id)
{
    for (HWND h = GetWindow(dialog, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT))
        if (GetDlgCtrlID(h) == id && _stricmp(ClassOf(h).c_str(), "Button") == 0)
            return h;
    return nullptr;
}

// Presses a dialog's button as a user does: posted, since the answer may end a handler that a sent
// message would wait for.
void PressButton(HWND dialog, int id, const char* missing)
{
    HWND button = ButtonWithId(dialog, id);
    if (!button)
        throw DriveError(missing);
    PostMessageA(button, BM_CLICK, 0, 0);
}

// The save dialog's file name box: an Edit inside the file name combo box, or a plain Edit.
HWND FileNameBox(HWND dialog)
{
    HWND edit = nullptr;
    if (HWND combo = GetDlgItem(dialog, kFileNameCombo))
        edit = FindDescendant(combo, "Edit");
    return edit ? edit : GetDlgItem(dialog, kFileNameEdit);
}

bool IsFileDialog(HWND d)
{
    return GetDlgItem(d, kFileNameCombo) || GetDlgItem(d, kFileNameEdit) || GetDlgItem(d, kFileTypeCombo);
}

// A buffer inside the target process, for messages whose pointers the system passes on unchanged.
class RemoteBuffer {
public:
    RemoteBuffer(HANDLE process, size_t size) : process_(process), size_(size)
    {
        address_ = VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        if (!address_)
            throw DriveError("cannot allocate memory in the target process (error " +
                             std::to_string(GetLastError()) + ")");
    }
    ~RemoteBuffer() { VirtualFreeEx(process_, address_, 0, MEM_RELEASE); }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;

    void* At(size_t offset) const { return static_cast<char*>(address_) + offset; }
    void Write(size_t offset, const void* data, size_t n)
    {
        SIZE_T done = 0;
        if (offset + n > size_ || !WriteProcessMemory(process_, At(offset), data, n, &done) || done != n)
            throw DriveError("cannot write the target process's memory");
    }
    void Read(size_t offset, void* data, size_t n)
    {
        SIZE_T done = 0;
        if (offset + n > size_ || !ReadProcessMemory(process_, At(offset), data, n, &done) || done != n)
            throw DriveError("cannot read the target process's memory");
    }
    std::string ReadString(size_t offset, size_t max)
    {
        std::string s(max, '\0');
        Read(offset, s.data(), max);
        s.resize(std::strlen(s.c_str()));
        return s;
    }

private:
    HANDLE process_;
    void* address_ = nullptr;
    size_t size_;
};

LRESULT SendOrThrow(HWND h, UINT msg, WPARAM w, LPARAM l, const char* what)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(h, msg, w, l, SMTO_ABORTIFHUNG, kSendTimeout, &result))
        throw DriveError(std::string("the target does not answer ") + what);
    return static_cast<LRESULT>(result);
}

// ---- icon kind: the box's icon control, as drawn on the screen, against the system's standard icons ----

struct Pixels {
    int width = 0, height = 0;
    std::vector<DWORD> data;   // 0x00RRGGBB, top-down
};

// Draws into a fresh 32-bit bitmap with fill as background; draw receives the memory DC.
template <class Draw>
Pixels Render(int w, int h, COLORREF fill, Draw draw)
{
    Pixels out;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (dib && bits) {
        HGDIOBJ old = SelectObject(mem, dib);
        HBRUSH brush = CreateSolidBrush(fill);
        RECT all{0, 0, w, h};
        FillRect(mem, &all, brush);
        DeleteObject(brush);
        draw(mem, screen);
        GdiFlush();
        out.width = w;
        out.height = h;
        const DWORD* p = static_cast<const DWORD*>(bits);
        out.data.assign(p, p + static_cast<size_t>(w) * h);
        for (auto& px : out.data)
            px &= 0xFFFFFF;
        SelectObject(mem, old);
        DeleteObject(dib);
    }
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return out;
}

int ChannelDistance(DWORD a, DWORD b)
{
    int d = 0;
    for (int shift = 0; shift < 24; shift += 8)
        d += std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
    return d;
}

// Mean distance per opaque pixel of the icon (opaque: drawn the same on black and on white); -1 if none.
double IconDistance(const Pixels& shot, HICON icon)
{
    auto drawIcon = [&](HDC dc, HDC) { DrawIconEx(dc, 0, 0, icon, shot.width, shot.height, 0, nullptr, DI_NORMAL); };
    Pixels onBlack = Render(shot.width, shot.height, RGB(0, 0, 0), drawIcon);
    Pixels onWhite = Render(shot.width, shot.height, RGB(255, 255, 255), drawIcon);
    if (onBlack.data.size() != shot.data.size() || onWhite.data.size() != shot.data.size())
        return -1;
    long long sum = 0, n = 0;
    for (size_t i = 0; i < shot.data.size(); ++i) {
        if (onBlack.data[i] != onWhite.data[i])
            continue;
        sum += ChannelDistance(onBlack.data[i], shot.data[i]);
        ++n;
    }
    return n < 16 ? -1 : static_cast<double>(sum) / n;
}

std::string ClassifyIcon(HWND iconControl, int timeoutMs)
{
    struct Candidate {
        LPCSTR id;
        const char* kind;
    };
    const Candidate candidates[] = {{IDI_HAND, "error"}, {IDI_EXCLAMATION, "warning"},
                                    {IDI_ASTERISK, "information"}, {IDI_QUESTION, "question"}};
    DWORD start = GetTickCount();
    do {
        RECT r;
        if (!GetWindowRect(iconControl, &r))
            break;
        int w = r.right - r.left, h = r.bottom - r.top;
        if (w <= 0 || h <= 0 || w > 256 || h > 256)
            break;
        Pixels shot = Render(w, h, RGB(0, 0, 0),
                             [&](HDC dc, HDC screen) { BitBlt(dc, 0, 0, w, h, screen, r.left, r.top, SRCCOPY); });
        const char* best = nullptr;
        double bestDistance = 1e9;
        for (const auto& c : candidates) {
            // The size variant the target drew: a box at another screen density shows a larger picture.
            HICON icon = static_cast<HICON>(LoadImageA(nullptr, c.id, IMAGE_ICON, w, h, LR_SHARED));
            if (!icon)
                icon = LoadIconA(nullptr, c.id);
            double d = IconDistance(shot, icon);
            if (d >= 0 && d < bestDistance) {
                bestDistance = d;
                best = c.kind;
            }
        }
        // A painted icon matches its own picture almost exactly; anything far off is not painted yet.
        if (best && bestDistance < 30)
            return best;
        Sleep(20);
    } while (static_cast<int>(GetTickCount() - start) < timeoutMs);
    return "other";
}

// ---- click completion ----

// The system calls this in the sending thread, from inside its message retrieval, once the target's window
// procedure has returned from the WM_LBUTTONUP: that is the end of the click's handler.
std::vector<unsigned long long>& CompletedClicks()
{
    static std::vector<unsigned long long> done;
    return done;
}
unsigned long long g_nextClick = 1;

void CALLBACK ClickReturned(HWND, UINT, ULONG_PTR seq, LRESULT)
{
    CompletedClicks().push_back(seq);
}

bool TakeCompleted(unsigned long long seq)
{
    auto& done = CompletedClicks();
    auto it = std::find(done.begin(), done.end(), seq);
    if (it == done.end())
        return false;
    done.erase(it);
    return true;
}

bool Elapsed(DWORD start, int timeoutMs)
{
    return static_cast<int>(GetTickCount() - start) >= timeoutMs;
}

}  // namespace

const char* ControlName(Control c) { return Entry(c).name; }

const char* ButtonName(Button b)
{
    for (const auto& e : kButtons)
        if (e.button == b)
            return e.name;
    return "?";
}

Control ButtonControl(Button b)
{
    for (const auto& e : kButtons)
        if (e.button == b)
            return e.control;
    throw DriveError("unknown button");
}

bool ParseButton(const std::string& name, Button& out)
{
    for (const auto& e : kButtons)
        if (name == e.name) {
            out = e.button;
            return true;
        }
    return false;
}

const std::vector<Control>& AllControls()
{
    static const std::vector<Control> all = [] {
        std::vector<Control> v;
        for (const auto& e : kControls)
            v.push_back(e.control);
        return v;
    }();
    return all;
}

const std::vector<Button>& AllButtons()
{
    static const std::vector<Button> all = {Button::Check, Button::DelFace, Button::DelVX, Button::Export,
                                            Button::About};
    return all;
}

const char* WaitResultName(WaitResult r)
{
    switch (r) {
    case WaitResult::Done: return "done";
    case WaitResult::Modal: return "modal";
    case WaitResult::Timeout: return "timeout";
    case WaitResult::Exited: return "exited";
    }
    return "?";
}

std::string CEscape(const std::string& bytes)
{
    std::string out;
    for (unsigned char c : bytes) {
        switch (c) {
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        default:
            if (c >= 0x20 && c < 0x7F) {
                out += static_cast<char>(c);
            } else {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02X", c);
                out += hex;
            }
        }
    }
    return out;
}

Driver::Driver(unsigned long pid) : pid_(pid)
{
    if (pid_)
        OpenTarget();
}

void Driver::OpenTarget()
{
    if (!process_)
        process_ = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_VM_OPERATION |
                                   PROCESS_VM_READ | PROCESS_VM_WRITE,
                               FALSE, pid_);
}

Driver::~Driver()
{
    if (process_)
        CloseHandle(static_cast<HANDLE>(process_));
}

void Driver::PumpOnce()
{
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
}

bool Driver::ProcessAlive()
{
    if (!process_)
        return pid_ != 0;   // not known yet: assume it lives
    return WaitForSingleObject(static_cast<HANDLE>(process_), 0) == WAIT_TIMEOUT;
}

void Driver::FindMain(int timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (main_ && IsWindow(static_cast<HWND>(main_)))
            return;
        main_ = nullptr;
        for (HWND h : TopLevelWindows()) {
            if (ClassOf(h) != "TMe" || (pid_ && PidOf(h) != pid_))
                continue;
            main_ = h;
            pid_ = PidOf(h);
            break;
        }
        if (main_) {
            OpenTarget();
            return;
        }
        if (process_ && !ProcessAlive())
            throw DriveError("process " + std::to_string(pid_) + " ended");
        if (Elapsed(start, timeoutMs))
            throw DriveError(pid_ ? "no TMe window of process " + std::to_string(pid_) : "no TMe window");
        Sleep(kPollMs);
    }
}

void* Driver::Main()
{
    if (!main_ || !IsWindow(static_cast<HWND>(main_)))
        FindMain(0);
    return main_;
}

WaitResult Driver::WaitReady(int timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        try {
            FindMain(0);
        } catch (const DriveError&) {
            if (process_ && !ProcessAlive())
                return WaitResult::Exited;
        }
        if (main_) {
            if (FindModal())
                return WaitResult::Modal;
            if (IsWindowVisible(static_cast<HWND>(main_)))
                return WaitResult::Done;
            if (!ProcessAlive())
                return WaitResult::Exited;
        }
        if (Elapsed(start, timeoutMs))
            return WaitResult::Timeout;
        Sleep(kPollMs);
    }
}

bool Driver::MainVisible() { return IsWindowVisible(static_cast<HWND>(Main())); }

std::string Driver::Caption() { return CaptionOf(static_cast<HWND>(Main())); }

Size Driver::ClientSize()
{
    RECT r{};
    if (!GetClientRect(static_cast<HWND>(Main()), &r))
        throw DriveError("cannot read the client area");
    return {r.right - r.left, r.bottom - r.top};
}

void* Driver::ControlWindow(Control c)
{
    const ControlEntry& e = Entry(c);
    HWND parent = static_cast<HWND>(Main());
    if (e.inPanel) {
        parent = GetDlgItem(parent, kPanelId);
        if (!parent)
            return nullptr;
    }
    return GetDlgItem(parent, e.id);
}

ControlState Driver::State(Control c)
{
    ControlState s;
    s.control = c;
    HWND h = static_cast<HWND>(ControlWindow(c));
    if (!h)
        return s;
    RECT r{};
    GetWindowRect(h, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(h), reinterpret_cast<POINT*>(&r), 2);
    s.exists = true;
    s.left = r.left;
    s.top = r.top;
    s.width = r.right - r.left;
    s.height = r.bottom - r.top;
    s.visible = (GetWindowLongA(h, GWL_STYLE) & WS_VISIBLE) != 0;
    return s;
}

std::vector<ControlState> Driver::Layout()
{
    std::vector<ControlState> all;
    for (Control c : AllControls())
        all.push_back(State(c));
    return all;
}

std::string Driver::StatusText()
{
    HWND bar = static_cast<HWND>(ControlWindow(Control::Bar));
    if (!bar)
        throw DriveError("no status bar");
    return TextOf(bar);
}

std::string Driver::ReportText()
{
    HWND memo = static_cast<HWND>(ControlWindow(Control::Memo1));
    if (!memo)
        throw DriveError("no report box");
    return TextOf(memo);
}

std::vector<std::string> Driver::ReportLines()
{
    std::string text = ReportText();
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find("\r\n", pos);
        if (end == std::string::npos) {
            lines.push_back(text.substr(pos));
            break;
        }
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 2;
    }
    return lines;
}

std::vector<Button> Driver::VisibleButtons()
{
    std::vector<Button> shown;
    for (Button b : AllButtons()) {
        ControlState s = State(ButtonControl(b));
        if (s.exists && s.visible)
            shown.push_back(b);
    }
    return shown;
}

std::vector<Hint> Driver::Hints()
{
    HWND main = static_cast<HWND>(Main());
    if (!process_)
        throw DriveError("no access to the target process");
    std::vector<std::pair<HWND, Control>> known;
    for (Control c : AllControls())
        if (HWND h = static_cast<HWND>(ControlWindow(c)))
            known.emplace_back(h, c);

    constexpr size_t kTextOffset = (sizeof(TOOLINFOA) + 15) & ~size_t(15);
    constexpr size_t kTextSize = 1024;   // the tooltip control copies up to this many bytes
    std::vector<Hint> hints;
    for (HWND tip : TopLevelWindows()) {
        if (PidOf(tip) != pid_ || GetWindow(tip, GW_OWNER) != main || ClassOf(tip) != TOOLTIPS_CLASSA)
            continue;
        RemoteBuffer buf(static_cast<HANDLE>(process_), kTextOffset + kTextSize);
        int count = static_cast<int>(SendOrThrow(tip, TTM_GETTOOLCOUNT, 0, 0, "TTM_GETTOOLCOUNT"));
        for (int i = 0; i < count; ++i) {
            TOOLINFOA ti{};
            ti.cbSize = sizeof ti;
            buf.Write(0, &ti, sizeof ti);
            if (!SendOrThrow(tip, TTM_ENUMTOOLSA, i, reinterpret_cast<LPARAM>(buf.At(0)), "TTM_ENUMTOOLSA"))
                continue;
            buf.Read(0, &ti, sizeof ti);
            ti.lpszText = static_cast<LPSTR>(buf.At(kTextOffset));
            buf.Write(0, &ti, sizeof ti);
            char zero[kTextSize] = {};
            buf.Write(kTextOffset, zero, kTextSize);
            SendOrThrow(tip, TTM_GETTEXTA, kTextSize, reinterpret_cast<LPARAM>(buf.At(0)), "TTM_GETTEXTA");
            Hint hint;
            hint.control = "?";
            HWND tool = (ti.uFlags & TTF_IDISHWND) ? reinterpret_cast<HWND>(ti.uId) : nullptr;
            for (const auto& [h, c] : known)
                if (h == tool)
                    hint.control = ControlName(c);
            hint.text = buf.ReadString(kTextOffset, kTextSize);
            hints.push_back(hint);
        }
    }
    return hints;
}

void Driver::Click(Button b)
{
    if (pendingSeq_)
        throw DriveError("the previous click has not finished");
    HWND h = static_cast<HWND>(ControlWindow(ButtonControl(b)));
    if (!h)
        throw DriveError(std::string("no button ") + ButtonName(b));
    if (!(GetWindowLongA(h, GWL_STYLE) & WS_VISIBLE))
        throw DriveError(std::string("button ") + ButtonName(b) + " is not visible");
    RECT r{};
    GetClientRect(h, &r);
    LPARAM at = MAKELPARAM(r.right / 2, r.bottom / 2);
    // Neither send waits for the target: a handler that opens a modal box would block a waiting sender.
    // The two messages arrive in the order sent. The callback of the WM_LBUTTONUP comes back across the
    // process boundary (Windows and Wine 8 alike) only when the button's window procedure has returned,
    // that is when the click's handler is over; while the handler waits in a cross-process COM call, its
    // wait loop dispatches other sent messages, but this one stays unanswered until the handler ends.
    if (!SendNotifyMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, at))
        throw DriveError("cannot send WM_LBUTTONDOWN");
    unsigned long long seq = g_nextClick++;
    if (!SendMessageCallbackA(h, WM_LBUTTONUP, 0, at, ClickReturned, seq))
        throw DriveError("cannot send WM_LBUTTONUP");
    pendingSeq_ = seq;
}

WaitResult Driver::WaitClick(int timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        PumpOnce();
        if (!pendingSeq_ || TakeCompleted(pendingSeq_)) {
            pendingSeq_ = 0;
            return WaitResult::Done;
        }
        if (FindModal())
            return WaitResult::Modal;
        if (!ProcessAlive())
            return WaitResult::Exited;
        if (Elapsed(start, timeoutMs))
            return WaitResult::Timeout;
        // Wakes as soon as the callback is queued to this thread.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, kPollMs, QS_ALLINPUT);
    }
}

void* Driver::FindModal()
{
    if (!pid_)
        return nullptr;
    HWND found = nullptr;
    for (HWND h : TopLevelWindows()) {
        if (PidOf(h) != pid_ || !IsWindowVisible(h) || ClassOf(h) != "#32770")
            continue;
        // A box opened from another box disables its owner: the enabled one takes the input.
        if (IsWindowEnabled(h))
            return h;
        if (!found)
            found = h;
    }
    return found;
}

bool Driver::WaitModal(int timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        PumpOnce();
        if (FindModal())
            return true;
        if (Elapsed(start, timeoutMs) || !ProcessAlive())
            return false;
        Sleep(kPollMs);
    }
}

void* Driver::WaitDialog(bool saveDialog, int timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        PumpOnce();
        HWND d = static_cast<HWND>(FindModal());
        if (d && IsWindowEnabled(d) && IsFileDialog(d) == saveDialog)
            return d;
        if (!ProcessAlive())
            throw DriveError("the target process ended");
        if (Elapsed(start, timeoutMs)) {
            if (d)
                throw DriveError(std::string("the box that is up is not ") +
                                 (saveDialog ? "the save dialog" : "a message box") + " (caption \"" +
                                 CaptionOf(d) + "\")");
            throw DriveError(saveDialog ? "no save dialog came up" : "no message box came up");
        }
        Sleep(kPollMs);
    }
}

void Driver::WaitGone(void* dialog, int timeoutMs)
{
    HWND d = static_cast<HWND>(dialog);
    DWORD start = GetTickCount();
    for (;;) {
        PumpOnce();
        if (!IsWindow(d) || !IsWindowVisible(d))
            return;
        HWND now = static_cast<HWND>(FindModal());
        if (now && now != d)   // replaced by a box opened from it
            return;
        if (!ProcessAlive())
            return;
        if (Elapsed(start, timeoutMs))
            throw DriveError("the box \"" + CaptionOf(d) + "\" did not close");
        Sleep(kPollMs);
    }
}

MessageBoxInfo Driver::ReadMessageBox(int timeoutMs)
{
    HWND d = static_cast<HWND>(WaitDialog(false, timeoutMs));
    MessageBoxInfo info;
    info.caption = CaptionOf(d);
    info.icon = "none";
    HWND iconControl = nullptr;
    bool haveText = false;
    std::vector<std::pair<int, std::string>> buttons;
    for (HWND c : DirectChildren(d)) {
        std::string cls = ClassOf(c);
        LONG style = GetWindowLongA(c, GWL_STYLE);
        if (_stricmp(cls.c_str(), "Static") == 0) {
            if ((style & SS_TYPEMASK) == SS_ICON) {
                if (style & WS_VISIBLE)
                    iconControl = c;
            } else if (!haveText) {
                info.text = TextOf(c);
                haveText = true;
            }
        } else if (_stricmp(cls.c_str(), "Button") == 0 && (style & WS_VISIBLE)) {
            RECT r{};
            GetWindowRect(c, &r);
            buttons.emplace_back(r.left, TextOf(c));
        }
    }
    std::stable_sort(buttons.begin(), buttons.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& b : buttons)
        info.buttons.push_back(b.second);
    if (iconControl && SendOrThrow(iconControl, STM_GETICON, 0, 0, "STM_GETICON"))
        info.icon = ClassifyIcon(iconControl, 1000);
    return info;
}

void Driver::PressMessageBoxOk(int timeoutMs)
{
    HWND d = static_cast<HWND>(WaitDialog(false, timeoutMs));
    PressButton(d, IDOK, "the box has no OK button");
    WaitGone(d, timeoutMs);
}

SaveDialogInfo Driver::ReadSaveDialog(int timeoutMs)
{
    HWND d = static_cast<HWND>(WaitDialog(true, timeoutMs));
    SaveDialogInfo info;
    info.title = CaptionOf(d);
    if (HWND nameBox = FileNameBox(d))
        info.fileName = TextOf(nameBox);
    if (HWND types = GetDlgItem(d, kFileTypeCombo))
        info.filter = TextOf(types);
    if (process_) {
        constexpr size_t kSize = 2 * MAX_PATH;
        RemoteBuffer buf(static_cast<HANDLE>(process_), kSize);
        char zero[kSize] = {};
        buf.Write(0, zero, kSize);
        LRESULT n = SendOrThrow(d, CDM_GETFOLDERPATH, kSize, reinterpret_cast<LPARAM>(buf.At(0)),
                                "CDM_GETFOLDERPATH");
        if (n > 0)
            info.folder = buf.ReadString(0, kSize);
    }
    return info;
}

void Driver::SaveDialogSave(const std::string* name, int timeoutMs)
{
    HWND d = static_cast<HWND>(WaitDialog(true, timeoutMs));
    if (name) {
        HWND edit = FileNameBox(d);
        if (!edit)
            throw DriveError("the dialog has no file name box");
        SendOrThrow(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name->c_str()), "WM_SETTEXT");
    }
    PressButton(d, IDOK, "the dialog has no Save button");
    WaitGone(d, timeoutMs);
}

void Driver::SaveDialogCancel(int timeoutMs)
{
    HWND d = static_cast<HWND>(WaitDialog(true, timeoutMs));
    PressButton(d, IDCANCEL, "the dialog has no Cancel button");
    WaitGone(d, timeoutMs);
}

void Driver::Resize(int outerWidth, int outerHeight)
{
    HWND main = static_cast<HWND>(Main());
    if (!SetWindowPos(main, nullptr, 0, 0, outerWidth, outerHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE))
        throw DriveError("SetWindowPos failed (error " + std::to_string(GetLastError()) + ")");
    // The target lays its controls out while it handles the size change; one answered message after it
    // means that is over.
    SendOrThrow(main, WM_NULL, 0, 0, "WM_NULL");
}

void Driver::Close(int timeoutMs)
{
    HWND main = static_cast<HWND>(Main());
    PostMessageA(main, WM_CLOSE, 0, 0);
    DWORD start = GetTickCount();
    while (IsWindow(main)) {
        PumpOnce();
        if (Elapsed(start, timeoutMs))
            throw DriveError("the main window did not close");
        Sleep(kPollMs);
    }
    main_ = nullptr;
}

}  // namespace vexdrive

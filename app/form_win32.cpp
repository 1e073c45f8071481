// The main window and its controls, built from the window description below, and the
// message boxes and the save dialog that the handlers use. Only Windows code belongs here.
#include "app/form_win32.h"

#include <commctrl.h>
#include <commdlg.h>

#include <memory>
#include <string>
#include <vector>

#include "app/resources.h"

namespace {

// Control identifiers; the UI driver finds the controls by them.
enum ControlId : int {
    IdBar = 100,
    IdPanel1 = 101,
    IdSBCheck = 102,
    IdMemo1 = 103,
    IdSBDelVX = 104,
    IdSBDelFace = 105,
    IdSBExport = 106,
    IdSBAbout = 107,
};

// The window description, in pixels at 96 pixels per inch (the window's row gives its client area).
struct Placement {
    int left, top, width, height;
};
constexpr Placement MePlace{350, 252, 190, 127};
constexpr int PanelHeight = 30;
constexpr int BarHeight = 19;

struct ButtonDescription {
    int id;
    Placement place;
    int picture;           // 0: none
    const char* caption;   // nullptr: none
    bool flat;
    const char* hint;      // nullptr: no hint
};

constexpr ButtonDescription Buttons[] = {
    {IdSBCheck, {5, 1, 25, 25}, IDB_CHECK, nullptr, false, "Check the Jed Model  to see if it is exportable"},
    {IdSBDelFace, {35, 1, 25, 25}, IDB_DELFACE, nullptr, false, "Delete the currently selected face."},
    {IdSBDelVX, {65, 1, 25, 25}, IDB_DELVX, nullptr, false, "Delete the currently selected Vertex."},
    {IdSBExport, {95, 1, 25, 25}, IDB_EXPORT, nullptr, false, "Export Jed model to Zym project file;"},
    {IdSBAbout, {125, 1, 50, 25}, 0, "About", true, nullptr},
};

const char* const MemoHint = "Shows the sector,face,and number of vertices, They must be 4 or 3  (not shown)";

const char* const MainClass = "TMe";
const char* const PanelClass = "TPanel";
const char* const SpeedButtonClass = "TSpeedButton";

// ---- small owners of GDI objects

struct GdiObject {
    HGDIOBJ handle = nullptr;
    GdiObject() = default;
    explicit GdiObject(HGDIOBJ h) : handle(h) {}
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    ~GdiObject()
    {
        if (handle)
            DeleteObject(handle);
    }
};

// ---- the speed button: draws a picture or a caption, clicks on mouse release, never takes the focus

struct SpeedButton {
    int id = 0;
    HBITMAP picture = nullptr;   // two images side by side: enabled, disabled
    COLORREF transparent = 0;    // the colour of the picture's bottom-left pixel
    std::string caption;
    bool flat = false;
    HFONT font = nullptr;
    bool down = false;           // the left button went down on us and is still held
    bool inside = false;         // the pointer is over the button
    bool tracking = false;
};

COLORREF BottomLeftColour(HBITMAP bitmap)
{
    BITMAP info{};
    GetObject(bitmap, sizeof info, &info);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    const COLORREF colour = GetPixel(dc, 0, info.bmHeight - 1);
    SelectObject(dc, old);
    DeleteDC(dc);
    return colour;
}

void PaintSpeedButton(HWND hwnd, SpeedButton& b)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT r;
    GetClientRect(hwnd, &r);
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    const bool pressed = b.down && b.inside;
    if (pressed)
        DrawEdge(dc, &r, b.flat ? BDR_SUNKENOUTER : EDGE_SUNKEN, BF_RECT);
    else if (!b.flat || b.inside)
        DrawEdge(dc, &r, b.flat ? BDR_RAISEDINNER : EDGE_RAISED, BF_RECT);
    const int shift = pressed ? 1 : 0;
    if (b.picture) {
        HDC mem = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(mem, b.picture);
        const int x = (r.right - 16) / 2 + shift, y = (r.bottom - 16) / 2 + shift;
        TransparentBlt(dc, x, y, 16, 16, mem, 0, 0, 16, 16, b.transparent);
        SelectObject(mem, old);
        DeleteDC(mem);
    }
    if (!b.caption.empty()) {
        HGDIOBJ old = SelectObject(dc, b.font);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
        RECT t = r;
        OffsetRect(&t, shift, shift);
        DrawTextA(dc, b.caption.c_str(), -1, &t, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        SelectObject(dc, old);
    }
    EndPaint(hwnd, &ps);
}

LRESULT CALLBACK SpeedButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* b = reinterpret_cast<SpeedButton*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!b)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    auto pointInside = [&] {
        RECT r;
        GetClientRect(hwnd, &r);
        POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        return PtInRect(&r, p) != 0;
    };
    switch (message) {
    case WM_PAINT:
        PaintSpeedButton(hwnd, *b);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        b->down = true;
        b->inside = true;
        SetCapture(hwnd);
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_MOUSEMOVE: {
        const bool now = pointInside();
        if (now != b->inside) {
            b->inside = now;
            InvalidateRect(hwnd, nullptr, FALSE);
        }
        if (!b->tracking) {
            TRACKMOUSEEVENT track{};
            track.cbSize = sizeof track;
            track.dwFlags = TME_LEAVE;
            track.hwndTrack = hwnd;
            b->tracking = TrackMouseEvent(&track) != 0;
        }
        return 0;
    }
    case WM_MOUSELEAVE:
        b->tracking = false;
        if (!b->down) {
            b->inside = false;
            InvalidateRect(hwnd, nullptr, FALSE);
        }
        return 0;
    case WM_LBUTTONUP: {
        const bool click = b->down && pointInside();
        b->down = false;
        b->inside = pointInside();
        if (GetCapture() == hwnd)
            ReleaseCapture();
        InvalidateRect(hwnd, nullptr, FALSE);
        if (click) // the handler runs now, inside the release of the mouse button
            SendMessageA(GetAncestor(hwnd, GA_ROOT), WM_COMMAND, MAKEWPARAM(b->id, BN_CLICKED),
                         reinterpret_cast<LPARAM>(hwnd));
        return 0;
    }
    case WM_CAPTURECHANGED:
        if (b->down) {
            b->down = false;
            InvalidateRect(hwnd, nullptr, FALSE);
        }
        return 0;
    case WM_NCDESTROY:
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        delete b;
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// ---- the window

class Win32Form final : public FormHost, public SaveDialogRunner {
public:
    Win32Form(HINSTANCE instance, TMe& form) : instance_(instance), form_(form) {}

    HWND Create();

    void SetCaption(const std::string& caption) override { SetWindowTextA(hwnd_, caption.c_str()); }
    void ShowMessage(const std::string& text) override
    {
        MessageBoxA(hwnd_, text.c_str(), ApplicationTitle, MB_OK);
    }
    void ShowErrorBox(const std::string& text) override
    {
        MessageBoxA(hwnd_, text.c_str(), ApplicationTitle, MB_OK | MB_ICONERROR);
    }
    void ControlsChanged() override;
    bool Run(TSaveDialog& dialog) override;

    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void Attach(HWND hwnd) { hwnd_ = hwnd; }

private:
    int S(int value) const { return MulDiv(value, dpi_, 96); }
    void Layout();
    HWND MakeButton(const ButtonDescription& d);
    void Click(int id);

    // Renders one component's visibility and text.
    class Peer final : public ControlPeer {
    public:
        HWND hwnd = nullptr;
        bool statusBar = false;
        void VisibleChanged(bool visible) override { ShowWindow(hwnd, visible ? SW_SHOW : SW_HIDE); }
        void TextChanged(const std::string& text) override
        {
            if (statusBar)
                SendMessageA(hwnd, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text.c_str()));
            else
                SetWindowTextA(hwnd, text.c_str());
        }
    };

    HINSTANCE instance_;
    TMe& form_;
    HWND hwnd_ = nullptr;
    HWND bar_ = nullptr, panel_ = nullptr, memo_ = nullptr, tips_ = nullptr;
    int dpi_ = 96;
    GdiObject font_;
    std::vector<std::unique_ptr<Peer>> peers_;
};

LRESULT CALLBACK MainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        static_cast<Win32Form*>(create->lpCreateParams)->Attach(hwnd);
    }
    auto* self = reinterpret_cast<Win32Form*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!self)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    // Nothing is thrown across the window system: every handler runs inside TMe::Dispatch.
    return self->Handle(message, wParam, lParam);
}

void RegisterClasses(HINSTANCE instance)
{
    WNDCLASSEXA main{};
    main.cbSize = sizeof main;
    main.lpfnWndProc = MainProc;
    main.hInstance = instance;
    main.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_VEXMOLD));
    main.hIconSm = main.hIcon;
    main.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    main.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    main.lpszClassName = MainClass;
    RegisterClassExA(&main);

    WNDCLASSEXA panel{};
    panel.cbSize = sizeof panel;
    panel.lpfnWndProc = DefWindowProcA;
    panel.hInstance = instance;
    panel.hCursor = main.hCursor;
    panel.hbrBackground = main.hbrBackground;
    panel.lpszClassName = PanelClass;
    RegisterClassExA(&panel);

    WNDCLASSEXA button{};
    button.cbSize = sizeof button;
    button.style = CS_HREDRAW | CS_VREDRAW;
    button.lpfnWndProc = SpeedButtonProc;
    button.hInstance = instance;
    button.hCursor = main.hCursor;
    button.lpszClassName = SpeedButtonClass;
    RegisterClassExA(&button);
}

HWND Win32Form::Create()
{
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    RegisterClasses(instance_);

    HDC screen = GetDC(nullptr);
    dpi_ = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);

    // "MS Sans Serif", 11 pixels high at 96 pixels per inch, the default character set.
    font_.handle = CreateFontA(-S(11), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                               CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "MS Sans Serif");
    HFONT font = static_cast<HFONT>(font_.handle);

    const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    const DWORD exStyle = WS_EX_TOPMOST;
    RECT outer{0, 0, S(MePlace.width), S(MePlace.height)};
    AdjustWindowRectEx(&outer, style, FALSE, exStyle);
    hwnd_ = CreateWindowExA(exStyle, MainClass, form_.Caption().c_str(), style, MePlace.left, MePlace.top,
                            outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr, instance_, this);
    if (!hwnd_)
        return nullptr;
    SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);

    auto peer = [&](HWND control, TControl& component, bool statusBar = false) {
        auto p = std::make_unique<Peer>();
        p->hwnd = control;
        p->statusBar = statusBar;
        component.Peer = p.get();
        peers_.push_back(std::move(p));
    };

    // Creation order is the tab order: Bar, Panel1, Memo1.
    bar_ = CreateWindowExA(0, STATUSCLASSNAMEA, "",
                           WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP | CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER,
                           0, S(108), S(190), S(BarHeight), hwnd_, reinterpret_cast<HMENU>(IdBar), instance_, nullptr);
    int parts[1] = {-1}; // the only panel spans the whole bar
    SendMessageA(bar_, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(parts));
    SendMessageA(bar_, SB_SIMPLE, FALSE, 0);
    peer(bar_, form_.Bar, true);

    panel_ = CreateWindowExA(0, PanelClass, "", WS_CHILD | WS_VISIBLE | WS_BORDER | WS_CLIPCHILDREN, 0, 0, S(190),
                             S(PanelHeight), hwnd_, reinterpret_cast<HMENU>(IdPanel1), instance_, nullptr);
    peer(panel_, form_.Panel1);

    memo_ = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "",
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_HSCROLL | WS_VSCROLL | ES_MULTILINE |
                                ES_AUTOHSCROLL | ES_AUTOVSCROLL | ES_WANTRETURN,
                            0, S(PanelHeight), S(190), S(78), hwnd_, reinterpret_cast<HMENU>(IdMemo1), instance_,
                            nullptr);
    SendMessageA(memo_, EM_SETLIMITTEXT, 0, 0); // a report of any length
    SendMessageA(memo_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    peer(memo_, form_.Memo1);

    tips_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, instance_,
                            nullptr);
    auto addHint = [&](HWND control, const char* text) {
        TOOLINFOA tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = hwnd_;
        tool.uId = reinterpret_cast<UINT_PTR>(control);
        tool.lpszText = const_cast<char*>(text);
        SendMessageA(tips_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    };

    TSpeedButton* components[] = {&form_.SBCheck, &form_.SBDelFace, &form_.SBDelVX, &form_.SBExport, &form_.SBAbout};
    for (int i = 0; i < 5; ++i) {
        HWND button = MakeButton(Buttons[i]);
        peer(button, *components[i]);
        ShowWindow(button, components[i]->Visible() ? SW_SHOW : SW_HIDE);
        if (Buttons[i].hint)
            addHint(button, Buttons[i].hint);
    }
    addHint(memo_, MemoHint);

    form_.Host = this;
    form_.Sd1.Runner = this;
    Layout();
    return hwnd_;
}

HWND Win32Form::MakeButton(const ButtonDescription& d)
{
    auto* b = new SpeedButton;
    b->id = d.id;
    b->flat = d.flat;
    b->font = static_cast<HFONT>(font_.handle);
    if (d.caption)
        b->caption = d.caption;
    if (d.picture) {
        // The picture keeps its 16 colours; its bottom-left pixel gives the transparent colour.
        b->picture = static_cast<HBITMAP>(
            LoadImageA(instance_, MAKEINTRESOURCEA(d.picture), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
        if (b->picture)
            b->transparent = BottomLeftColour(b->picture);
    }
    HWND hwnd = CreateWindowExA(0, SpeedButtonClass, d.caption ? d.caption : "", WS_CHILD, S(d.place.left),
                                S(d.place.top), S(d.place.width), S(d.place.height), panel_,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(d.id)), instance_, nullptr);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(b));
    return hwnd;
}

// The tool strip keeps its height at the top, the status bar its height at the bottom, and the
// report box takes the rest.
void Win32Form::Layout()
{
    RECT client;
    GetClientRect(hwnd_, &client);
    const int w = client.right, h = client.bottom;
    const int top = S(PanelHeight), bar = S(BarHeight);
    MoveWindow(panel_, 0, 0, w, top, TRUE);
    MoveWindow(bar_, 0, h - bar, w, bar, TRUE);
    MoveWindow(memo_, 0, top, w, h - top - bar > 0 ? h - top - bar : 0, TRUE);
}

void Win32Form::ControlsChanged()
{
    TMemo& memo = form_.Memo1;
    if (memo.Replaced()) {
        SetWindowTextA(memo_, memo.PendingText().c_str());
    } else if (!memo.PendingText().empty()) {
        const LRESULT end = GetWindowTextLengthA(memo_);
        SendMessageA(memo_, EM_SETSEL, end, end);
        SendMessageA(memo_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(memo.PendingText().c_str()));
    }
    memo.Taken();
}

bool Win32Form::Run(TSaveDialog& dialog)
{
    // "Description|Pattern" becomes the system's pairs of zero-terminated strings.
    std::string filter = dialog.Filter;
    for (char& c : filter)
        if (c == '|')
            c = '\0';
    filter.append(2, '\0');

    std::vector<char> file(32768, '\0');
    dialog.FileName.copy(file.data(), file.size() - 1);

    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = hwnd_;
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrInitialDir = dialog.InitialDir.empty() ? nullptr : dialog.InitialDir.c_str();
    ofn.lpstrTitle = dialog.Title.empty() ? nullptr : dialog.Title.c_str();
    ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING;
    if (!GetSaveFileNameA(&ofn))
        return false;
    dialog.FileName = file.data();
    return true;
}

void Win32Form::Click(int id)
{
    switch (id) {
    case IdSBCheck:
        form_.Dispatch([this] { form_.SBCheckClick(nullptr); });
        break;
    case IdSBDelFace:
        form_.Dispatch([this] { form_.SBDelFaceClick(nullptr); });
        break;
    case IdSBDelVX:
        form_.Dispatch([this] { form_.SBDelVXClick(nullptr); });
        break;
    case IdSBExport:
        form_.Dispatch([this] { form_.SBExportClick(nullptr); });
        break;
    case IdSBAbout:
        form_.Dispatch([this] { form_.SBAboutClick(nullptr); });
        break;
    }
}

LRESULT Win32Form::Handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED && lParam)
            Click(LOWORD(wParam));
        return 0;
    case WM_SIZE:
        if (memo_)
            Layout();
        return 0;
    case WM_SETFOCUS:
        SetFocus(memo_); // the report box is the only control that takes the focus
        return 0;
    case WM_CLOSE:
        PostQuitMessage(0); // the windows are destroyed after the message loop has ended
        return 0;
    }
    return DefWindowProcA(hwnd_, message, wParam, lParam);
}

} // namespace

HWND CreateMainWindow(HINSTANCE instance, TMe& form)
{
    // Lives as long as the program; the window keeps a pointer to it.
    static Win32Form* window = nullptr;
    delete window;
    window = new Win32Form(instance, form);
    return window->Create();
}

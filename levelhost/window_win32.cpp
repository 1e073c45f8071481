// The stand-in editor's window: the level in three lists (sectors, the faces of the selected sector, the
// vertices of the selected face), the selection in a status line, and the command interface that tests and
// scripts reach through WM_COPYDATA.
#include "levelhost/server_win32.h"

#include <commctrl.h>

#include <sstream>

namespace levelhost {

namespace {

enum ControlId : int { kSectorList = 101, kFaceList, kVertexList, kStatusBar, kSectorLabel, kFaceLabel, kVertexLabel };

struct ControlSpec {
    int id;
    const char* windowClass;
    const char* text;
    DWORD style;
    DWORD exStyle;
};

constexpr DWORD kListStyle = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;

// The window, as it reads from left to right.
const ControlSpec kControls[] = {
    {kSectorLabel, "STATIC", "Sectors", WS_CHILD | WS_VISIBLE, 0},
    {kFaceLabel, "STATIC", "Faces of the sector", WS_CHILD | WS_VISIBLE, 0},
    {kVertexLabel, "STATIC", "Vertices of the face", WS_CHILD | WS_VISIBLE, 0},
    {kSectorList, "LISTBOX", "", kListStyle, WS_EX_CLIENTEDGE},
    {kFaceList, "LISTBOX", "", kListStyle, WS_EX_CLIENTEDGE},
    {kVertexList, "LISTBOX", "", kListStyle, WS_EX_CLIENTEDGE},
    {kStatusBar, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0},
};

struct MainWindow {
    Server& server;
    HWND hwnd = nullptr;
    bool filling = false;  // the lists are being refilled: their notifications are ours, not the user's

    HWND Control(int id) const { return GetDlgItem(hwnd, id); }
};

MainWindow* From(HWND hwnd)
{
    return reinterpret_cast<MainWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

std::string BaseName(const std::string& path)
{
    const auto slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool InRange(std::int32_t index, std::size_t size)
{
    return index >= 0 && static_cast<std::size_t>(index) < size;
}

void Fill(HWND list, const std::vector<std::string>& lines, int selected)
{
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    for (const std::string& line : lines)
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(selected), 0);
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

void Show(MainWindow& w)
{
    const levelfile::Level& level = w.server.level;
    w.filling = true;

    std::vector<std::string> lines;
    for (std::size_t i = 0; i < level.sectors.size(); ++i) {
        const levelfile::Sector& s = level.sectors[i];
        lines.push_back("Sc " + std::to_string(i) + ": " + std::to_string(s.vertices.size()) + " vx, " +
                        std::to_string(s.surfaces.size()) + " faces");
    }
    const bool haveSector = InRange(level.curSC, level.sectors.size());
    Fill(w.Control(kSectorList), lines, haveSector ? level.curSC : -1);

    lines.clear();
    const levelfile::Sector* sector = haveSector ? &level.sectors[static_cast<std::size_t>(level.curSC)] : nullptr;
    if (sector)
        for (std::size_t i = 0; i < sector->surfaces.size(); ++i) {
            const levelfile::Surface& f = sector->surfaces[i];
            lines.push_back("Sf " + std::to_string(i) + ": " + std::to_string(f.vertices.size()) + " vx, adjoin " +
                            std::to_string(f.adjoinA) + " " + std::to_string(f.adjoinB));
        }
    const bool haveFace = sector && InRange(level.curSF, sector->surfaces.size());
    Fill(w.Control(kFaceList), lines, haveFace ? level.curSF : -1);

    lines.clear();
    int selectedVertex = -1;
    if (haveFace) {
        const levelfile::Surface& face = sector->surfaces[static_cast<std::size_t>(level.curSF)];
        for (std::size_t k = 0; k < face.vertices.size(); ++k) {
            const std::int32_t index = face.vertices[k];
            std::string line = "pos " + std::to_string(k) + ": Vx " + std::to_string(index);
            if (InRange(index, sector->vertices.size())) {
                const levelfile::Vertex& v = sector->vertices[static_cast<std::size_t>(index)];
                line += " (" + levelfile::FormatReal(v.x) + ", " + levelfile::FormatReal(v.y) + ", " +
                        levelfile::FormatReal(v.z) + ")";
            } else {
                line += " (no such vertex)";
            }
            lines.push_back(line);
            if (selectedVertex < 0 && index == level.curVX)
                selectedVertex = static_cast<int>(k);
        }
    }
    Fill(w.Control(kVertexList), lines, selectedVertex);

    const std::string status = "Selected: Sc " + std::to_string(level.curSC) + " Sf " + std::to_string(level.curSF) +
                               " Vx " + std::to_string(level.curVX);
    SendMessageA(w.Control(kStatusBar), SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(status.c_str()));

    const std::string title =
        "Level host - " + (w.server.levelPath.empty() ? std::string("(empty level)") : BaseName(w.server.levelPath));
    SetWindowTextA(w.hwnd, title.c_str());
    w.filling = false;
}

void Layout(MainWindow& w)
{
    RECT client;
    GetClientRect(w.hwnd, &client);
    HWND status = w.Control(kStatusBar);
    SendMessageA(status, WM_SIZE, 0, 0);
    RECT statusRect;
    GetWindowRect(status, &statusRect);
    const int statusHeight = statusRect.bottom - statusRect.top;

    const int margin = 6, label = 16;
    const int width = client.right - client.left;
    const int column = (width - 4 * margin) / 3;
    const int listTop = margin + label + 2;
    const int listHeight = client.bottom - statusHeight - margin - listTop;
    const int labels[] = {kSectorLabel, kFaceLabel, kVertexLabel};
    const int lists[] = {kSectorList, kFaceList, kVertexList};
    for (int i = 0; i < 3; ++i) {
        const int x = margin + i * (column + margin);
        MoveWindow(w.Control(labels[i]), x, margin, column, label, TRUE);
        MoveWindow(w.Control(lists[i]), x, listTop, column, listHeight > 0 ? listHeight : 0, TRUE);
    }
}

// A click in a list changes the selection that the editor reports.
void Picked(MainWindow& w, int id, HWND list)
{
    const LRESULT row = SendMessageA(list, LB_GETCURSEL, 0, 0);
    if (row == LB_ERR)
        return;
    levelfile::Level& level = w.server.level;
    const auto index = static_cast<std::int32_t>(row);
    if (id == kSectorList) {
        level.curSC = index;
        level.curSF = 0;
    } else if (id == kFaceList) {
        level.curSF = index;
    } else if (InRange(level.curSC, level.sectors.size())) {
        const levelfile::Sector& sector = level.sectors[static_cast<std::size_t>(level.curSC)];
        if (InRange(level.curSF, sector.surfaces.size())) {
            const levelfile::Surface& face = sector.surfaces[static_cast<std::size_t>(level.curSF)];
            if (InRange(index, face.vertices.size()))
                level.curVX = face.vertices[static_cast<std::size_t>(index)];
        }
    }
    w.server.log.Line("ui select " + std::to_string(level.curSC) + " " + std::to_string(level.curSF) + " " +
                      std::to_string(level.curVX));
    Show(w);
}

LRESULT OnCreate(HWND hwnd, const CREATESTRUCTA& create)
{
    MainWindow* w = From(hwnd);
    if (!w)
        return -1;
    const HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    for (const ControlSpec& c : kControls) {
        HWND control = CreateWindowExA(c.exStyle, c.windowClass, c.text, c.style, 0, 0, 10, 10, hwnd,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), create.hInstance, nullptr);
        if (!control)
            return -1;
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    Layout(*w);
    Show(*w);
    return 0;
}

LRESULT OnCopyData(MainWindow& w, const COPYDATASTRUCT* data)
{
    if (!data || data->dwData != kCommandTag || (data->cbData > 0 && !data->lpData))
        return 0;
    std::string command(static_cast<const char*>(data->lpData), data->cbData);
    const auto zero = command.find('\0');
    if (zero != std::string::npos)
        command.resize(zero);
    return RunCommand(w.server, command) ? 1 : 0;
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
try {
    if (message == WM_NCCREATE) {
        // From here on the window owns its MainWindow; WM_NCDESTROY frees it.
        auto* w = static_cast<MainWindow*>(reinterpret_cast<const CREATESTRUCTA*>(lParam)->lpCreateParams);
        w->hwnd = hwnd;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(w));
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    if (message == WM_CREATE)
        return OnCreate(hwnd, *reinterpret_cast<const CREATESTRUCTA*>(lParam));
    MainWindow* w = From(hwnd);
    if (!w)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    switch (message) {
    case WM_SIZE:
        Layout(*w);
        return 0;
    case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMinTrackSize = {320, 160};
        return 0;
    }
    case WM_COMMAND:
        if (HIWORD(wParam) == LBN_SELCHANGE && !w->filling)
            Picked(*w, LOWORD(wParam), reinterpret_cast<HWND>(lParam));
        return 0;
    case WM_COPYDATA:
        return OnCopyData(*w, reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        w->server.window = nullptr;
        PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY:
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        delete w;
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
} catch (...) {
    // Nothing may cross into the system's code; the window goes on as before.
    return 0;
}

bool ParseIntegers(const std::string& text, std::int32_t* values, int count)
{
    std::istringstream in(text);
    std::string token;
    for (int i = 0; i < count; ++i) {
        bool outOfRange = false;
        if (!(in >> token) || !levelfile::ParseInt32(token, values[i], outOfRange))
            return false;
    }
    return !(in >> token);
}

}  // namespace

bool RegisterWindowClass(HINSTANCE instance)
{
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kWindowClass;
    return RegisterClassExA(&wc) != 0;
}

HWND CreateMainWindow(HINSTANCE instance, Server& server, bool show)
{
    auto* w = new MainWindow{server};
    HWND hwnd = CreateWindowExA(0, kWindowClass, "Level host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
                                CW_USEDEFAULT, 760, 380, nullptr, nullptr, instance, w);
    if (!hwnd)
        return nullptr;  // a window that got as far as WM_NCCREATE has freed w; the program ends either way
    server.window = hwnd;
    if (show) {
        ShowWindow(hwnd, SW_SHOWNORMAL);
        UpdateWindow(hwnd);
    }
    return hwnd;
}

void RefreshWindow(HWND window, Server&)
{
    if (MainWindow* w = From(window))
        Show(*w);
}

bool RunCommand(Server& server, const std::string& command)
{
    server.log.Line("command " + Escape(command));
    const auto space = command.find(' ');
    const std::string verb = command.substr(0, space);
    const std::string rest = space == std::string::npos ? std::string() : command.substr(space + 1);
    std::string error;
    bool ok = true;
    if (verb == "select") {
        std::int32_t values[3];
        ok = ParseIntegers(rest, values, 3);
        if (ok) {
            server.level.curSC = values[0];
            server.level.curSF = values[1];
            server.level.curVX = values[2];
            server.Refresh();
        }
    } else if (verb == "fail") {
        ok = server.faults.AddFail(Fault::How::Description, rest, error);
    } else if (verb == "fail-deferred") {
        ok = server.faults.AddFail(Fault::How::Deferred, rest, error);
    } else if (verb == "fail-code") {
        ok = server.faults.AddFail(Fault::How::Code, rest, error);
    } else if (verb == "fail-scode") {
        ok = server.faults.AddFail(Fault::How::Scode, rest, error);
    } else if (verb == "answer") {
        ok = server.faults.AddAnswer(rest, error);
    } else if (verb == "die-after") {
        std::int32_t calls = 0;
        ok = ParseIntegers(rest, &calls, 1) && calls >= 0;
        if (ok)
            server.faults.SetDieAfter(calls);
    } else if (verb == "clear-faults" && rest.empty()) {
        server.faults.Clear();
    } else if (verb == "reload" && rest.empty()) {
        if (server.levelPath.empty()) {
            error = "no level file to reload";
            ok = false;
        } else {
            try {
                server.level = levelfile::Load(server.levelPath);
                server.Refresh();
            } catch (const std::exception& e) {
                error = e.what();
                ok = false;
            }
        }
    } else if (verb == "quit" && rest.empty()) {
        ok = server.window && PostMessageA(server.window, WM_CLOSE, 0, 0);
    } else {
        ok = false;
        error = "unknown command";
    }
    if (!ok)
        server.log.Line("error " + (error.empty() ? std::string("bad command") : error) + ": " + Escape(command));
    return ok;
}

}  // namespace levelhost

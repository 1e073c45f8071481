// Benchmark, not built by default: how the report box takes a report of 100,000 lines when the
// whole text arrives in one piece at the end of a check (as the window does), and what one more
// appended line costs then. Build and run under Wine:
//   x86_64-w64-mingw32-g++-posix -O2 -static bench/edit_report_bench.cpp -o build/edit_report_bench.exe
//   scripts/wine build/edit_report_bench.exe        (needs a DISPLAY)
// Seen here under Wine 8 on a loaded machine: 4,822,228 bytes and 100,000 lines, all shown, in
// about 4 s for the one WM_SETTEXT; one appended line 12 ms.
#include <windows.h>
#include <cstdio>
#include <string>
int main() {
    HWND w = CreateWindowExA(0, "EDIT", "", WS_OVERLAPPEDWINDOW | ES_MULTILINE | ES_AUTOHSCROLL | ES_AUTOVSCROLL | WS_HSCROLL | WS_VSCROLL, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
    SendMessageA(w, EM_SETLIMITTEXT, 0, 0);
    std::string text;
    for (int i = 0; i < 100000; ++i) { if (i) text += "\r\n"; text += "Adjoned face in Sc " + std::to_string(i / 7) + " Sf " + std::to_string(i % 7) + " won`t be exported"; }
    DWORD t0 = GetTickCount();
    SetWindowTextA(w, text.c_str());
    DWORD t1 = GetTickCount();
    printf("len %d of %zu, lines %ld, set %lu ms\n", GetWindowTextLengthA(w), text.size(), (long)SendMessageA(w, EM_GETLINECOUNT, 0, 0), t1 - t0);
    std::string tail = "\r\nlast line";
    SendMessageA(w, EM_SETSEL, text.size(), text.size());
    t0 = GetTickCount();
    SendMessageA(w, EM_REPLACESEL, FALSE, (LPARAM)tail.c_str());
    printf("append %lu ms, lines %ld\n", GetTickCount() - t0, (long)SendMessageA(w, EM_GETLINECOUNT, 0, 0));
}

// vexdrive.exe: operates vexmold.exe's window from the command line, one sequence of commands per run.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/vexdrive/drive.h"

namespace {

using namespace vexdrive;

const char kUsage[] =
    "usage: vexdrive.exe [--pid N] COMMAND [ARGS] [-- COMMAND [ARGS]]...\n"
    "\n"
    "Operates the window of vexmold.exe from outside, as a user would. The target is the process that owns\n"
    "the first window of class TMe (visible or hidden), or process N with --pid. Commands run in order in\n"
    "one process, so that a click and the answer to the box it opens can be in one run. MS is a time-out\n"
    "in milliseconds.\n"
    "\n"
    "  wait-ready [MS]      wait until the main window is visible (start-up complete) or a modal box is up;\n"
    "                       prints \"ready\" or \"modal\" (default 20000)\n"
    "  caption              prints the window caption\n"
    "  status               prints the status bar text\n"
    "  report               prints the report lines, one per line\n"
    "  buttons              prints the visible buttons: check delface delvx export about\n"
    "  layout               prints \"client W H\", then per control: NAME LEFT TOP WIDTH HEIGHT VISIBLE(0/1)\n"
    "                       (positions relative to the parent's client area)\n"
    "  hints                prints per tooltip: CONTROL TEXT\n"
    "  click NAME [MS]      clicks button NAME (check delface delvx export about) and waits for its handler;\n"
    "                       prints done, modal (a box is up: answer it, then wait-done) or timeout\n"
    "                       (default 10000)\n"
    "  wait-done [MS]       waits for the pending click's handler to finish; prints done/modal/timeout\n"
    "                       (default 10000)\n"
    "  msgbox [MS]          waits for a message box; prints caption, text (C-escaped), icon\n"
    "                       (none/error/warning/information/question/other) and buttons (default 5000)\n"
    "  msgbox-ok [MS]       presses OK of the message box and waits until it is gone (default 5000)\n"
    "  savedlg [MS]         waits for the save dialog; prints title, filename, filter, folder (default 5000)\n"
    "  savedlg-save [NAME]  types NAME into the file name box (if given) and presses Save\n"
    "  savedlg-cancel       presses Cancel of the save dialog\n"
    "  resize W H           sets the window's outer size\n"
    "  close                closes the window (WM_CLOSE) and waits until it is gone\n"
    "\n"
    "Exit code: 0 when every command succeeded, 1 on a time-out or a failed command, 2 on a usage error.\n";

int Usage(const std::string& why)
{
    if (!why.empty())
        std::fprintf(stderr, "vexdrive: %s\n\n", why.c_str());
    std::fputs(kUsage, stderr);
    return 2;
}

bool ParseInt(const std::string& s, int& out)
{
    if (s.empty())
        return false;
    char* end = nullptr;
    long v = std::strtol(s.c_str(), &end, 10);
    if (*end || v < 0 || v > 100000000)
        return false;
    out = static_cast<int>(v);
    return true;
}

std::string Join(const std::vector<std::string>& words)
{
    std::string out;
    for (const auto& w : words) {
        if (!out.empty())
            out.push_back(' ');
        out.append(w);
    }
    return out;
}

struct Command {
    std::string name;
    std::vector<std::string> args;
};

// Checks a command's arguments before anything runs, so that a typo does not leave a half-done sequence.
std::string Validate(const Command& c)
{
    auto count = [&](size_t lo, size_t hi) { return c.args.size() >= lo && c.args.size() <= hi; };
    int n;
    const std::string& n0 = c.name;
    if (n0 == "wait-ready" || n0 == "wait-done" || n0 == "msgbox" || n0 == "msgbox-ok" || n0 == "savedlg") {
        if (!count(0, 1) || (c.args.size() == 1 && !ParseInt(c.args[0], n)))
            return n0 + " takes an optional time-out in milliseconds";
    } else if (n0 == "caption" || n0 == "status" || n0 == "report" || n0 == "buttons" || n0 == "layout" ||
               n0 == "hints" || n0 == "savedlg-cancel" || n0 == "close") {
        if (!count(0, 0))
            return n0 + " takes no arguments";
    } else if (n0 == "click") {
        Button b;
        int ms;
        if (!count(1, 2) || !ParseButton(c.args[0], b) || (c.args.size() == 2 && !ParseInt(c.args[1], ms)))
            return "click takes one of: check delface delvx export about, and an optional time-out";
    } else if (n0 == "savedlg-save") {
        if (!count(0, 1))
            return "savedlg-save takes an optional file name";
    } else if (n0 == "resize") {
        int w, h;
        if (!count(2, 2) || !ParseInt(c.args[0], w) || !ParseInt(c.args[1], h))
            return "resize takes the outer width and height";
    } else {
        return "unknown command \"" + n0 + "\"";
    }
    return {};
}

int TimeoutArg(const Command& c, int fallback)
{
    int v = fallback;
    if (!c.args.empty())
        ParseInt(c.args[0], v);
    return v;
}

// Prints a wait's result; true when it is the one that lets the sequence go on.
bool Report(WaitResult r, bool modalIsFine)
{
    std::printf("%s\n", WaitResultName(r));
    return r == WaitResult::Done || (modalIsFine && r == WaitResult::Modal);
}

bool Run(Driver& d, const Command& c)
{
    const std::string& n = c.name;
    if (n == "wait-ready") {
        WaitResult r = d.WaitReady(TimeoutArg(c, 20000));
        std::printf("%s\n", r == WaitResult::Done ? "ready" : WaitResultName(r));
        return r == WaitResult::Done || r == WaitResult::Modal;
    }
    if (n == "caption") {
        std::printf("%s\n", d.Caption().c_str());
    } else if (n == "status") {
        std::printf("%s\n", d.StatusText().c_str());
    } else if (n == "report") {
        for (const auto& line : d.ReportLines())
            std::printf("%s\n", line.c_str());
    } else if (n == "buttons") {
        std::vector<std::string> names;
        for (Button b : d.VisibleButtons())
            names.push_back(ButtonName(b));
        std::printf("%s\n", Join(names).c_str());
    } else if (n == "layout") {
        Size s = d.ClientSize();
        std::printf("client %d %d\n", s.width, s.height);
        for (const auto& st : d.Layout()) {
            if (st.exists)
                std::printf("%s %d %d %d %d %d\n", ControlName(st.control), st.left, st.top, st.width, st.height,
                            st.visible ? 1 : 0);
            else
                std::printf("%s missing\n", ControlName(st.control));
        }
    } else if (n == "hints") {
        for (const auto& h : d.Hints())
            std::printf("%s %s\n", h.control.c_str(), h.text.c_str());
    } else if (n == "click") {
        Button b;
        ParseButton(c.args[0], b);
        d.Click(b);
        int ms = 10000;
        if (c.args.size() == 2)
            ParseInt(c.args[1], ms);
        return Report(d.WaitClick(ms), true);
    } else if (n == "wait-done") {
        return Report(d.WaitClick(TimeoutArg(c, 10000)), true);
    } else if (n == "msgbox") {
        MessageBoxInfo m = d.ReadMessageBox(TimeoutArg(c, 5000));
        std::string buttons = Join(m.buttons);
        std::printf("caption: %s\ntext: %s\nicon: %s\nbuttons: %s\n", CEscape(m.caption).c_str(),
                    CEscape(m.text).c_str(), m.icon.c_str(), buttons.c_str());
    } else if (n == "msgbox-ok") {
        d.PressMessageBoxOk(TimeoutArg(c, 5000));
    } else if (n == "savedlg") {
        SaveDialogInfo s = d.ReadSaveDialog(TimeoutArg(c, 5000));
        std::printf("title: %s\nfilename: %s\nfilter: %s\nfolder: %s\n", s.title.c_str(), s.fileName.c_str(),
                    s.filter.c_str(), s.folder.c_str());
    } else if (n == "savedlg-save") {
        d.SaveDialogSave(c.args.empty() ? nullptr : &c.args[0], 5000);
    } else if (n == "savedlg-cancel") {
        d.SaveDialogCancel(5000);
    } else if (n == "resize") {
        int w = 0, h = 0;
        ParseInt(c.args[0], w);
        ParseInt(c.args[1], h);
        d.Resize(w, h);
    } else if (n == "close") {
        d.Close(5000);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    unsigned long pid = 0;
    size_t i = 0;
    if (args.size() >= 2 && args[0] == "--pid") {
        int v;
        if (!ParseInt(args[1], v) || v == 0)
            return Usage("--pid takes a process id");
        pid = static_cast<unsigned long>(v);
        i = 2;
    }
    std::vector<Command> commands;
    for (; i < args.size(); ++i) {
        if (args[i] == "--") {
            commands.emplace_back();
            continue;
        }
        if (commands.empty())
            commands.emplace_back();
        if (commands.back().name.empty())
            commands.back().name = args[i];
        else
            commands.back().args.push_back(args[i]);
    }
    if (commands.empty())
        return Usage("");
    for (const auto& c : commands) {
        if (c.name.empty())
            return Usage("empty command between \"--\"");
        std::string why = Validate(c);
        if (!why.empty())
            return Usage(why);
    }

    Driver d(pid);
    for (const auto& c : commands) {
        try {
            if (c.name != "wait-ready")
                d.FindMain(5000);
            bool ok = Run(d, c);
            std::fflush(stdout);
            if (!ok) {
                std::fprintf(stderr, "vexdrive: %s did not succeed\n", c.name.c_str());
                return 1;
            }
        } catch (const DriveError& e) {
            std::fflush(stdout);
            std::fprintf(stderr, "vexdrive: %s: %s\n", c.name.c_str(), e.what());
            return 1;
        }
    }
    return 0;
}

// vexdrive: operates vexmold.exe's window from outside, through the window system only, the way a user would.
//
// Everything here works on another process's windows: it finds the main window (class "TMe") of a process,
// reads its controls, clicks its speed buttons with mouse messages, and reads and answers the modal boxes that
// a click opens (message boxes and the save-file dialog). Strings are 8-bit text in the system code page,
// exactly as the window system hands them over.
//
// Failures that leave nothing sensible to return (no window, a box that does not come up in time) throw
// DriveError with a short explanation; waits that may end in more than one way return a WaitResult.
#pragma once
#include <stdexcept>
#include <string>
#include <vector>

namespace vexdrive {

class DriveError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The window's controls, by their control IDs.
enum class Control { Bar, Panel1, SBCheck, SBDelFace, SBDelVX, SBExport, SBAbout, Memo1 };

// The five speed buttons in their left-to-right order; the short names are those of the console program.
enum class Button { Check, DelFace, DelVX, Export, About };

const char* ControlName(Control c);            // "Bar", "Panel1", "SBCheck", ...
const char* ButtonName(Button b);              // "check", "delface", "delvx", "export", "about"
Control ButtonControl(Button b);
bool ParseButton(const std::string& name, Button& out);
const std::vector<Control>& AllControls();     // in the order of the window description
const std::vector<Button>& AllButtons();

struct Size {
    int width = 0;
    int height = 0;
};

struct ControlState {
    Control control{};
    bool exists = false;
    int left = 0, top = 0, width = 0, height = 0;   // relative to the parent's client area
    bool visible = false;                           // the control's own visible flag (WS_VISIBLE)
};

struct Hint {
    std::string control;   // ControlName, or "?" for a tool on a window that is none of the known controls
    std::string text;
};

struct MessageBoxInfo {
    std::string caption;
    std::string text;                  // exact bytes of the box's text
    std::string icon;                  // "none", "error", "warning", "information", "question" or "other"
    std::vector<std::string> buttons;  // texts of the visible buttons, left to right
};

struct SaveDialogInfo {
    std::string title;
    std::string fileName;   // the file name box
    std::string filter;     // the shown entry of the file type box
    std::string folder;     // the folder the dialog shows (CDM_GETFOLDERPATH)
};

enum class WaitResult {
    Done,      // the click's handler returned / the window is ready
    Modal,     // a modal box of the target process is up
    Timeout,   // time ran out
    Exited     // the target process ended
};
const char* WaitResultName(WaitResult r);   // "done", "modal", "timeout", "exited"

// Escapes bytes for printing: \n \r \t \\ \" and other control or non-ASCII bytes as \xNN.
std::string CEscape(const std::string& bytes);

// One target process and its main window. Not copyable: a pending click belongs to one driver.
class Driver {
public:
    // pid 0: the process owning the first "TMe" window found (visible or hidden).
    explicit Driver(unsigned long pid = 0);
    ~Driver();
    Driver(const Driver&) = delete;
    Driver& operator=(const Driver&) = delete;

    unsigned long Pid() const { return pid_; }

    // Waits until the main window exists (it may still be hidden). Throws DriveError on time-out.
    void FindMain(int timeoutMs);
    // Waits until the main window is visible (start-up complete: Done) or a modal box of the process is up.
    WaitResult WaitReady(int timeoutMs);
    bool MainVisible();

    std::string Caption();
    Size ClientSize();
    ControlState State(Control c);
    std::vector<ControlState> Layout();            // every control of AllControls()
    std::string StatusText();
    std::string ReportText();                      // Memo1's whole text
    std::vector<std::string> ReportLines();        // split at CR LF; a final CR LF ends the last line
    std::vector<Button> VisibleButtons();
    std::vector<Hint> Hints();                     // tooltips owned by the main window, in tool order

    // Clicks a button as a mouse does (WM_LBUTTONDOWN, WM_LBUTTONUP at its centre) without blocking.
    // Throws when a click is still pending or the button is not there.
    void Click(Button b);
    // Pumps this thread's messages until the pending click's handler returned (Done), a modal box of the
    // target is up (Modal; the click stays pending: answer the box and wait again), time ran out or the
    // process ended. Without a pending click it answers Done at once.
    WaitResult WaitClick(int timeoutMs);
    bool ClickPending() const { return pendingSeq_ != 0; }

    // The modal box of the target that takes input now (a #32770 window), or null.
    void* FindModal();
    bool WaitModal(int timeoutMs);

    MessageBoxInfo ReadMessageBox(int timeoutMs);  // waits for a message box (not the save dialog)
    void PressMessageBoxOk(int timeoutMs);         // presses OK and waits until the box is gone

    SaveDialogInfo ReadSaveDialog(int timeoutMs);
    // Types name into the file name box (unless null), presses Save and waits until the dialog is gone or
    // replaced by another box (for instance a question about an existing file).
    void SaveDialogSave(const std::string* name, int timeoutMs);
    void SaveDialogCancel(int timeoutMs);

    void Resize(int outerWidth, int outerHeight);
    // Posts WM_CLOSE and waits until the main window is gone.
    void Close(int timeoutMs);
    bool ProcessAlive();

private:
    void OpenTarget();                             // the process handle, for its exit and its memory
    void* Main();                                  // the main window or throws
    void* ControlWindow(Control c);
    void* WaitDialog(bool saveDialog, int timeoutMs);
    void WaitGone(void* dialog, int timeoutMs);
    void PumpOnce();

    unsigned long pid_;
    void* main_ = nullptr;
    void* process_ = nullptr;       // process handle for its exit and its memory
    unsigned long long pendingSeq_ = 0;
};

}  // namespace vexdrive

// The components of the main window as the handlers see them: plain C++ objects holding the
// properties the handlers set and read. The Win32 layer renders them with real controls through a
// peer; native tests use them without any window.
#pragma once
#include <string>
#include <vector>

// Implemented by the window layer; a component without a peer is a plain value.
class ControlPeer {
public:
    virtual ~ControlPeer() = default;
    virtual void VisibleChanged(bool visible) = 0;
    virtual void TextChanged(const std::string& text) = 0;
};

class TControl {
public:
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    ControlPeer* Peer = nullptr;

protected:
    explicit TControl(bool visible) : visible_(visible) {}

private:
    bool visible_;
};

class TSpeedButton : public TControl {
public:
    explicit TSpeedButton(bool visible = true) : TControl(visible) {}
};

class TPanel : public TControl {
public:
    TPanel() : TControl(true) {}
};

// One panel only; the window shows its text across the whole bar.
class TStatusBar : public TControl {
public:
    TStatusBar() : TControl(true) {}
    const std::string& PanelText() const { return text_; }
    void SetPanelText(const std::string& text);

private:
    std::string text_;
};

// The report box. Lines are kept here; the window takes the text in one piece when a handler
// ends, so that a report of any length is shown without slowing down as it grows.
class TMemo : public TControl {
public:
    TMemo() : TControl(true) {}
    const std::vector<std::string>& Lines() const { return lines_; }
    void Clear();
    void Add(const std::string& line);

    // What changed since the window last took the text: everything (after a Clear) or a tail.
    bool Replaced() const { return replaced_; }
    const std::string& PendingText() const { return pending_; }
    void Taken() { replaced_ = false; pending_.clear(); }

private:
    std::vector<std::string> lines_;
    std::string pending_;
    bool replaced_ = false;
};

class TSaveDialog;

// Runs the modal save dialog; the window layer implements it with the system dialog.
class SaveDialogRunner {
public:
    virtual ~SaveDialogRunner() = default;
    virtual bool Run(TSaveDialog& dialog) = 0;
};

class TSaveDialog {
public:
    std::string FileName;   // proposed name in, the full chosen path out
    std::string Filter;     // "Description|Pattern"
    std::string Title;
    std::string InitialDir;
    SaveDialogRunner* Runner = nullptr;

    // True when the user confirmed a name; FileName then holds its full path.
    bool Execute();
};

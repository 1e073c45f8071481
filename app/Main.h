// The main window class TMe and its one instance Me.
#pragma once
#include <stdexcept>
#include <string>

#include "app/controls.h"

// What the window system offers the form: modal message boxes and the caption.
class FormHost {
public:
    virtual ~FormHost() = default;
    virtual void SetCaption(const std::string& caption) = 0;
    virtual void ShowMessage(const std::string& text) = 0;     // the About message
    virtual void ShowErrorBox(const std::string& text) = 0;    // the error report
    virtual void ControlsChanged() {}                          // a handler ended: bring the window up to date
};

class TMe {
public:
    TMe();

    // Components, in their order of declaration.
    TStatusBar Bar;
    TPanel Panel1;
    TSpeedButton SBCheck;
    TMemo Memo1;
    TSpeedButton SBDelVX;
    TSpeedButton SBDelFace;
    TSaveDialog Sd1;
    TSpeedButton SBExport{false};
    TSpeedButton SBAbout;

    // Handlers (Sender is not used by any of them).
    void FormShow(void* Sender);
    void SBCheckClick(void* Sender);
    void SBDelVXClick(void* Sender);
    void SBDelFaceClick(void* Sender);
    void GetZym();
    void SBExportClick(void* Sender);
    bool GetSaveTo();
    void CopyDefault();
    void WritePrj();
    void SBAboutClick(void* Sender);

    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& caption);

    FormHost* Host = nullptr;

    // Runs one event handler; an error it does not catch ends it and is shown in the error box.
    // No error ends the program.
    template <class Handler>
    void Dispatch(Handler handler);

private:
    std::string caption_;
};

extern TMe* Me;

extern const char* const ApplicationTitle;   // "Vexmold"
extern const char* const AboutText;

// The error box's text: a full stop is appended when the message's last character comes after ".".
std::string ErrorReportText(const std::string& message);

// The message of an error that reached the application.
void ShowException(TMe& form, const std::exception& error);

template <class Handler>
void TMe::Dispatch(Handler handler)
{
    try {
        handler();
    } catch (const std::exception& error) {
        ShowException(*this, error);
    } catch (...) {
        ShowException(*this, std::runtime_error("Unknown error"));
    }
    if (Host)
        Host->ControlsChanged();
}

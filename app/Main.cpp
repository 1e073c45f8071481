#include "app/Main.h"

#include <new>

TMe* Me = nullptr;

const char* const ApplicationTitle = "Vexmold";

// Paragraphs are separated by two line breaks, each written LF CR.
const char* const AboutText =
    "Vexmold ver 0.1"
    "\n\r\n\r"
    "News and updates of Vexmold are published in the notes that come with each release."
    "\n\r\n\r"
    "Vexmold was written by the Vexmold developers. The JED level editor is the work of its own authors."
    "\n\r\n\r"
    "The games for which JED makes levels, and their names, are trademarks of their respective owners.";

TMe::TMe() : caption_(std::string(ApplicationTitle) + "   ") {}

void TMe::SetCaption(const std::string& caption)
{
    caption_ = caption;
    if (Host)
        Host->SetCaption(caption);
}

void TMe::SBAboutClick(void*)
{
    if (Host)
        Host->ShowMessage(AboutText);
}

std::string ErrorReportText(const std::string& message)
{
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.')
        return message + ".";
    return message;
}

void ShowException(TMe& form, const std::exception& error)
{
    // The report box and the status line show what the handler did before the error.
    if (form.Host)
        form.Host->ControlsChanged();
    const std::string message =
        dynamic_cast<const std::bad_alloc*>(&error) ? std::string("Out of memory") : std::string(error.what());
    if (form.Host)
        form.Host->ShowErrorBox(ErrorReportText(message));
}

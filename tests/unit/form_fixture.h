// A main window without a window: the form's components, a recording stand-in for the window
// system, a scripted save dialog, and the shared state reset around each test.
#pragma once
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "app/Main.h"
#include "global/global.h"

class RecordingHost : public FormHost, public SaveDialogRunner {
public:
    std::vector<std::string> messages;   // About messages
    std::vector<std::string> errors;     // error boxes, as shown
    struct Shown {
        std::string fileName, filter, title, initialDir;
    };
    std::vector<Shown> dialogs;          // save dialogs, with their settings when shown
    std::deque<std::string> answers;     // what the user confirms, in turn; "" cancels

    void SetCaption(const std::string&) override {}
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void ShowErrorBox(const std::string& text) override { errors.push_back(text); }
    bool Run(TSaveDialog& d) override
    {
        dialogs.push_back({d.FileName, d.Filter, d.Title, d.InitialDir});
        if (answers.empty())
            return false;
        const std::string answer = answers.front();
        answers.pop_front();
        if (answer.empty())
            return false;
        d.FileName = answer;
        return true;
    }
};

class FormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        global_Finalize();
        Exportable = false;
        form.Host = &host;
        form.Sd1.Runner = &host;
        Me = &form;
    }
    void TearDown() override
    {
        global_Finalize();
        Me = nullptr;
    }
    // Runs a handler as the window does: an error ends it and shows in the error box.
    template <class F>
    void Click(F handler)
    {
        form.Dispatch(handler);
    }

    RecordingHost host;
    TMe form;
};

// The main window as a user meets it: caption, layout, hints, the About message, resizing, screen density.
#include <windows.h>

#include <map>

#include "tests/e2e/harness.h"

namespace e2e {
namespace {

using vexdrive::Button;
using vexdrive::Control;
using vexdrive::ControlState;
using vexdrive::WaitResult;

struct Placement {
    Control control;
    int left, top, width, height;
    bool visible;
};

// The window as designed, at 96 pixels per inch; positions relative to the parent's client area.
const Placement kDesigned[] = {
    {Control::Bar, 0, 108, 190, 19, true},      {Control::Panel1, 0, 0, 190, 30, true},
    {Control::SBCheck, 5, 1, 25, 25, true},     {Control::SBDelFace, 35, 1, 25, 25, true},
    {Control::SBDelVX, 65, 1, 25, 25, true},    {Control::SBExport, 95, 1, 25, 25, false},
    {Control::SBAbout, 125, 1, 50, 25, true},   {Control::Memo1, 0, 30, 190, 78, true},
};

std::string Show(const ControlState& s)
{
    return std::string(vexdrive::ControlName(s.control)) + " at " + std::to_string(s.left) + "," +
           std::to_string(s.top) + " size " + std::to_string(s.width) + "x" + std::to_string(s.height) +
           (s.visible ? " visible" : " hidden");
}

// A scaled pixel value may round either way when the exact value is a half (127 * 1.5 = 190.5).
bool Near(int actual, double expected) { return actual >= expected - 1.0 && actual <= expected + 1.0; }

int OwnScreenDpi()
{
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

struct WindowState {
    std::string caption, status;
    std::vector<std::string> report;
    std::vector<Button> buttons;
    bool operator==(const WindowState&) const = default;
};

WindowState Snapshot(vexdrive::Driver& app)
{
    return {app.Caption(), app.StatusText(), app.ReportLines(), app.VisibleButtons()};
}

class Window : public VexmoldTest {};

TEST_F(Window, CaptionKeepsItsThreeTrailingSpaces)
{
    if (!HaveLevelhost())
        GTEST_SKIP() << "needs the stand-in editor: without it the caption reports the missing editor";
    StartEditor();
    StartAppReady();
    EXPECT_EQ(App().Caption(), "Vexmold   ");
}

TEST_F(Window, StartsWithEmptyStatusAndReportAndExportHidden)
{
    StartWithEditorIfAvailable();
    EXPECT_EQ(App().StatusText(), "");
    EXPECT_TRUE(App().ReportLines().empty()) << vexdrive::CEscape(App().ReportText());
    EXPECT_EQ(App().VisibleButtons(),
              (std::vector<Button>{Button::Check, Button::DelFace, Button::DelVX, Button::About}));
}

TEST_F(Window, ControlsSitWhereDesignedAt96Dpi)
{
    ASSERT_EQ(OwnScreenDpi(), 96) << "the test prefix is not at 96 pixels per inch";
    StartWithEditorIfAvailable();
    vexdrive::Size client = App().ClientSize();
    EXPECT_EQ(client.width, 190);
    EXPECT_EQ(client.height, 127);
    for (const Placement& p : kDesigned) {
        ControlState s = App().State(p.control);
        ASSERT_TRUE(s.exists) << vexdrive::ControlName(p.control) << " is missing";
        EXPECT_TRUE(s.left == p.left && s.top == p.top && s.width == p.width && s.height == p.height &&
                    s.visible == p.visible)
            << "got " << Show(s) << ", designed " << p.left << "," << p.top << " size " << p.width << "x"
            << p.height << (p.visible ? " visible" : " hidden");
    }
}

TEST_F(Window, HintsAreShownForThePictureButtonsAndTheReport)
{
    StartWithEditorIfAvailable();
    std::map<std::string, std::string> hints;
    for (const auto& h : App().Hints()) {
        EXPECT_EQ(hints.count(h.control), 0u) << "two hints for " << h.control;
        hints[h.control] = h.text;
    }
    const std::map<std::string, std::string> designed = {
        {"SBCheck", "Check the Jed Model  to see if it is exportable"},
        {"SBDelFace", "Delete the currently selected face."},
        {"SBDelVX", "Delete the currently selected Vertex."},
        {"SBExport", "Export Jed model to Zym project file;"},
        {"Memo1", "Shows the sector,face,and number of vertices, They must be 4 or 3  (not shown)"},
    };
    EXPECT_EQ(hints, designed);
}

TEST_F(Window, AboutShowsTheCreditsAndClosingItChangesNothing)
{
    StartWithEditorIfAvailable();
    WindowState before = Snapshot(App());

    App().Click(Button::About);
    ASSERT_EQ(App().WaitClick(10000), WaitResult::Modal) << "the About message did not come up";
    EXPECT_TRUE(IsAboutMessage(App().ReadMessageBox(5000)));
    App().PressMessageBoxOk(5000);
    ASSERT_EQ(App().WaitClick(10000), WaitResult::Done);

    EXPECT_EQ(Snapshot(App()), before);
    EXPECT_FALSE(App().FindModal());
}

TEST_F(Window, EnlargingGivesTheReportAllTheRoom)
{
    StartWithEditorIfAvailable();
    App().Resize(400, 300);
    vexdrive::Size client = App().ClientSize();
    ASSERT_GT(client.width, 190);
    ASSERT_GT(client.height, 127);

    auto expectAt = [&](Control c, int left, int top, int width, int height) {
        ControlState s = App().State(c);
        EXPECT_TRUE(s.left == left && s.top == top && s.width == width && s.height == height)
            << "got " << Show(s) << ", expected " << left << "," << top << " size " << width << "x" << height
            << " in a client area of " << client.width << "x" << client.height;
    };
    expectAt(Control::Panel1, 0, 0, client.width, 30);
    expectAt(Control::Bar, 0, client.height - 19, client.width, 19);
    expectAt(Control::Memo1, 0, 30, client.width, client.height - 30 - 19);
    for (const Placement& p : kDesigned)
        if (p.control != Control::Panel1 && p.control != Control::Bar && p.control != Control::Memo1)
            expectAt(p.control, p.left, p.top, p.width, p.height);
}

// Wine takes the screen density of a new process from HKCU\Control Panel\Desktop "LogPixels"; it is read
// once at the start of a process, so the tool started after the change sees it and this test does not.
class ScreenDensity {
public:
    explicit ScreenDensity(DWORD dpi) : saved_(ReadUserValue(kKey, kName))
    {
        WriteUserValue(kKey, kName, RegValue{REG_DWORD, std::string(reinterpret_cast<const char*>(&dpi), 4)});
    }
    ~ScreenDensity()
    {
        try {
            WriteUserValue(kKey, kName, saved_);
        } catch (const std::exception& e) {
            ADD_FAILURE() << "cannot restore the screen density: " << e.what();
        }
    }
    ScreenDensity(const ScreenDensity&) = delete;
    ScreenDensity& operator=(const ScreenDensity&) = delete;

private:
    static constexpr const char* kKey = "Control Panel\\Desktop";
    static constexpr const char* kName = "LogPixels";
    std::optional<RegValue> saved_;
};

TEST_F(Window, ScalesWithTheScreenDensity)
{
    ScreenDensity dense(144);
    StartWithEditorIfAvailable();
    const double scale = 144.0 / 96.0;
    vexdrive::Size client = App().ClientSize();
    EXPECT_TRUE(Near(client.width, 190 * scale) && Near(client.height, 127 * scale))
        << "client area " << client.width << "x" << client.height << " at 144 dpi";
    for (const Placement& p : kDesigned) {
        ControlState s = App().State(p.control);
        ASSERT_TRUE(s.exists) << vexdrive::ControlName(p.control) << " is missing";
        EXPECT_TRUE(Near(s.left, p.left * scale) && Near(s.top, p.top * scale) &&
                    Near(s.width, p.width * scale) && Near(s.height, p.height * scale) && s.visible == p.visible)
            << "got " << Show(s) << " at 144 dpi, designed " << p.left << "," << p.top << " size " << p.width
            << "x" << p.height << " at 96";
    }
}

}  // namespace
}  // namespace e2e

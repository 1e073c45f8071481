// The application's error report, the About text, and the release order at exit.
#include "tests/unit/form_fixture.h"

#include <new>

#include "doubles/fake_host.h"
#include "global/errors.h"

TEST(ErrorReport, FullStopIsAppendedOnlyAfterCharactersAboveTheFullStop)
{
    const struct {
        const char* message;
        const char* shown;
    } cases[] = {
        {"Variant does not reference an automation object", "Variant does not reference an automation object."},
        {"Cannot open file C:\\a.bmp", "Cannot open file C:\\a.bmp."},
        {"Already ends.", "Already ends."},
        {"ends in a space ", "ends in a space "},
        {"ends in (parens)", "ends in (parens)"},
        {"ends in a comma,", "ends in a comma,"},    // 0x2C
        {"ends in a dash-", "ends in a dash-"},      // 0x2D
        {"ends in a slash/", "ends in a slash/."},   // 0x2F
        {"digit 0", "digit 0."},
        {"", ""},
        {"high \xE9", "high \xE9."},                 // a character of the code page above 0x7F
    };
    for (const auto& c : cases)
        EXPECT_EQ(ErrorReportText(c.message), c.shown) << c.message;
}

using Shell = FormTest;

TEST_F(Shell, AnErrorEndsTheHandlerOnlyAndIsShownOnce)
{
    bool after = false;
    Click([&] {
        ShowStatus("before");
        throw Error("Floating point overflow");
        after = true;
    });
    Click([&] { throw std::bad_alloc(); });
    EXPECT_FALSE(after);
    EXPECT_EQ(form.Bar.PanelText(), "before"); // what the handler did before the error stays done
    EXPECT_EQ(host.errors, (std::vector<std::string>{"Floating point overflow.", "Out of memory."}));
}

TEST_F(Shell, AboutShowsItsFixedTextAndChangesNothing)
{
    form.SBAboutClick(nullptr);
    ASSERT_EQ(host.messages.size(), 1u);
    const std::string& text = host.messages[0];
    EXPECT_EQ(text.rfind("Vexmold ver 0.1\n\r\n\r", 0), 0u);
    // Four paragraphs in all, each separated by two LF CR pairs, and no other line break.
    std::vector<std::string> paragraphs;
    for (std::size_t at = 0;;) {
        const auto next = text.find("\n\r\n\r", at);
        paragraphs.push_back(text.substr(at, next - at));
        if (next == std::string::npos)
            break;
        at = next + 4;
    }
    ASSERT_EQ(paragraphs.size(), 4u);
    for (const auto& p : paragraphs) {
        EXPECT_FALSE(p.empty());
        EXPECT_EQ(p.find_first_of("\r\n"), std::string::npos) << p;
    }
    EXPECT_EQ(form.Caption(), "Vexmold   ");
    EXPECT_TRUE(form.Memo1.Lines().empty());
    EXPECT_FALSE(form.SBExport.Visible());
}

TEST_F(Shell, AtExitTheStringsAreClearedAndTheReferencesReleasedSurfaceFirst)
{
    FakeLevel level;
    level.AddSector({{0, 0, 0}}).AddSurface(-1, -1, {0});
    AppObj.Set(level.NewApp());
    AppObj.CallInto(LevelObj, "Level");
    LevelObj.CallInto(SectorObj, "GetSector", {ByVal(0)});
    SectorObj.CallInto(SurfaceObj, "GetSurface", {ByVal(0)});
    ConverterDir = "C:\\Conv\\";
    PrjDir = "C:\\Conv\\SomeName\\";
    PrjFileName = "SomeName.PRJ";
    level.ClearLog();

    global_Finalize();

    EXPECT_EQ(level.Log(), (std::vector<std::string>{"release surface[0.0]", "release sector[0]", "release level",
                                                     "release app"}));
    EXPECT_EQ(level.LiveObjects(), 0);
    EXPECT_TRUE(ConverterDir.empty() && PrjDir.empty() && PrjFileName.empty());
    EXPECT_TRUE(AppObj.IsEmpty() && LevelObj.IsEmpty() && SectorObj.IsEmpty() && SurfaceObj.IsEmpty());
}

// The export check and the deletions against the in-memory editor: report lines, status, the
// Export button, the calls the editor sees, and what stays when a call fails part way.
#include "tests/unit/form_fixture.h"

#include "doubles/fake_host.h"

namespace {

class CheckTest : public FormTest {
protected:
    void Connect()
    {
        AppObj.Set(level.NewApp());
        AppObj.CallInto(LevelObj, "Level");
        level.ClearLog();
    }
    std::vector<std::string> Calls() const
    {
        std::vector<std::string> calls;
        for (const auto& line : level.Log())
            if (line.rfind("call ", 0) == 0)
                calls.push_back(line);
        return calls;
    }
    void Check() { Click([this] { form.SBCheckClick(nullptr); }); }
    void DeleteFace() { Click([this] { form.SBDelFaceClick(nullptr); }); }
    void DeleteVertex() { Click([this] { form.SBDelVXClick(nullptr); }); }

    FakeLevel level;
};

TEST_F(CheckTest, WorkedExampleReportsFourLinesIn23Calls)
{
    level.AddSector({}).AddSurface(-1, -1, {0, 1, 2, 3}).AddSurface(1, 2, {0, 1, 2, 3}).AddSurface(-1, -1, {0, 1, 2, 3, 4});
    level.AddSector({}).AddSurface(-1, -1, {0, 1, 2}).AddSurface(-1, -1, {0, 1}).AddSurface(0, 1, {0, 1, 2, 3});
    Connect();
    form.SBExport.SetVisible(true);
    Check();

    EXPECT_EQ(form.Memo1.Lines(), (std::vector<std::string>{
                                      "Adjoned face in Sc 0 Sf 1 won`t be exported",
                                      "Sc 0 Sf 2 has 5 Vx",
                                      "Sc 1 Sf 1 has 2 Vx",
                                      "Adjoned face in Sc 1 Sf 2 won`t be exported",
                                  }));
    EXPECT_FALSE(Exportable);
    EXPECT_EQ(form.Bar.PanelText(), "Not ready To Export");
    EXPECT_FALSE(form.SBExport.Visible());
    const auto calls = Calls();
    ASSERT_EQ(calls.size(), 23u);
    // Sector and surface indices by value; the adjoin outputs by reference, not reset between
    // surfaces: the second GetAdjoin receives what the first one wrote.
    EXPECT_EQ(calls[0], "call level NSectors");
    EXPECT_EQ(calls[1], "call level GetSector i4:0");
    EXPECT_EQ(calls[2], "call sector[0] NSurfaces");
    EXPECT_EQ(calls[3], "call sector[0] GetSurface i4:0");
    EXPECT_EQ(calls[4], "call surface[0.0] NVertices");
    EXPECT_EQ(calls[5], "call surface[0.0] GetAdjoin &i4:0 &i4:0");
    EXPECT_EQ(calls[8], "call surface[0.1] GetAdjoin &i4:-1 &i4:-1");
    EXPECT_EQ(calls[11], "call surface[0.2] GetAdjoin &i4:1 &i4:2");
    EXPECT_EQ(calls[12], "call level GetSector i4:1");
    EXPECT_EQ(level.Calls("GetAdjoin"), 6);
    EXPECT_EQ(level.Calls("NVertices"), 6); // asked for adjoined faces too
    EXPECT_EQ(host.errors.size(), 0u);
}

TEST_F(CheckTest, TableOfLevels)
{
    struct Face {
        int32_t a, b;
        int vertices;
    };
    const struct {
        const char* what;
        std::vector<std::vector<Face>> sectors;
        std::vector<std::string> lines;
        bool passes;
        int calls;
    } cases[] = {
        {"no sectors", {}, {}, true, 1},
        {"a sector without surfaces", {{}}, {}, true, 3},
        {"vertex counts 0 to 7 without adjoin",
         {{{-1, -1, 0}, {-1, -1, 1}, {-1, -1, 2}, {-1, -1, 3}, {-1, -1, 4}, {-1, -1, 5}, {-1, -1, 6}, {-1, -1, 7}}},
         {"Sc 0 Sf 0 has 0 Vx", "Sc 0 Sf 1 has 1 Vx", "Sc 0 Sf 2 has 2 Vx", "Sc 0 Sf 5 has 5 Vx",
          "Sc 0 Sf 6 has 6 Vx", "Sc 0 Sf 7 has 7 Vx"},
         false, 3 + 3 * 8},
        {"adjoined faces of any vertex count pass",
         {{{0, 0, 7}, {3, 4, 0}}, {{2, 1, 4}}},
         {"Adjoned face in Sc 0 Sf 0 won`t be exported", "Adjoned face in Sc 0 Sf 1 won`t be exported",
          "Adjoned face in Sc 1 Sf 0 won`t be exported"},
         true, 1 + 2 * 2 + 3 * 3},
        {"-1 in one output only is not adjoined",
         {{{-1, 5, 5}, {5, -1, 2}, {-1, 5, 4}}},
         {"Sc 0 Sf 0 has 5 Vx", "Sc 0 Sf 1 has 2 Vx"},
         false, 3 + 3 * 3},
    };
    for (const auto& c : cases) {
        FakeLevel fresh;
        for (const auto& faces : c.sectors) {
            fresh.AddSector({});
            for (const Face& f : faces) {
                std::vector<int32_t> v(f.vertices, 0);
                fresh.AddSurface(f.a, f.b, v);
            }
        }
        global_Finalize();
        AppObj.Set(fresh.NewApp());
        AppObj.CallInto(LevelObj, "Level");
        fresh.ClearLog();
        const int before = fresh.Calls();
        Check();
        Check(); // a second run over the same level gives the same lines: nothing accumulates
        EXPECT_EQ(form.Memo1.Lines(), c.lines) << c.what;
        EXPECT_EQ(Exportable, c.passes) << c.what;
        EXPECT_EQ(form.SBExport.Visible(), c.passes) << c.what;
        EXPECT_EQ(form.Bar.PanelText(), c.passes ? "Ready to Export" : "Not ready To Export") << c.what;
        EXPECT_EQ(fresh.Calls() - before, 2 * c.calls) << c.what;
        global_Finalize();
    }
}

TEST_F(CheckTest, AFailurePartWayKeepsWhatWasDoneAndTouchesNoStatus)
{
    level.AddSector({}).AddSurface(-1, -1, {0, 1}).AddSurface(1, 1, {0, 1, 2});
    level.AddSector({}).AddSurface(-1, -1, {0, 1, 2});
    Connect();
    ShowStatus("earlier");
    form.SBExport.SetVisible(true);
    level.DieAfter(level.Calls() + 9); // the editor goes away while the second sector is walked

    Check();

    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_EQ(form.Memo1.Lines(), (std::vector<std::string>{"Sc 0 Sf 0 has 2 Vx",
                                                            "Adjoned face in Sc 0 Sf 1 won`t be exported"}));
    EXPECT_FALSE(Exportable);
    EXPECT_EQ(form.Bar.PanelText(), "earlier");
    EXPECT_TRUE(form.SBExport.Visible());
}

TEST_F(CheckTest, WithoutAConnectionTheCheckFailsAtItsFirstCall)
{
    ShowStatus("earlier");
    Check();
    EXPECT_EQ(host.errors, (std::vector<std::string>{"Variant does not reference an automation object."}));
    EXPECT_TRUE(form.Memo1.Lines().empty());
    EXPECT_TRUE(Exportable);
    EXPECT_EQ(form.Bar.PanelText(), "earlier");
    DeleteFace();
    DeleteVertex();
    EXPECT_EQ(host.errors.size(), 3u);
    EXPECT_EQ(form.Bar.PanelText(), "earlier");
}

TEST_F(CheckTest, FaceDeletionMakesFiveCallsByReference)
{
    level.AddSector({}).AddSurface(-1, -1, {0, 1, 2});
    level.AddSector({}).AddSurface(-1, -1, {0, 1, 2}).AddSurface(-1, -1, {0, 1, 2, 3});
    level.Select(1, 1, 0);
    Connect();
    DeleteFace();
    EXPECT_EQ(Calls(), (std::vector<std::string>{"call app CurSC", "call app CurSF", "call level GetSector &i4:1",
                                                 "call sector[1] DeleteSurface &i4:1", "call sector[1] Update"}));
    EXPECT_EQ(level.Sectors()[1].surfaces.size(), 1u);
    EXPECT_EQ(form.Bar.PanelText(), "Face deleted");
    EXPECT_TRUE(SurfaceObj.IsEmpty()); // face deletion leaves SurfaceObj alone
}

TEST_F(CheckTest, VertexDeletionSearchesTheFaceForTheSelectedVertex)
{
    const struct {
        const char* what;
        std::vector<int32_t> face;
        int32_t selected;
        std::vector<int32_t> after;
        int asked;   // GetVertex calls
    } cases[] = {
        {"at position 2 of 4", {4, 5, 7, 6}, 7, {4, 5, 6}, 3},
        {"not used by the face", {4, 5, 7, 6}, 9, {4, 5, 7, 6}, 4},
        {"no vertices", {}, 0, {}, 0},
        {"used twice: only the lower goes", {3, 8, 3}, 3, {8, 3}, 1},
    };
    for (const auto& c : cases) {
        FakeLevel fresh;
        fresh.AddSector({}).AddSurface(-1, -1, {0, 1, 2});
        fresh.AddSurface(-1, -1, c.face);
        fresh.Select(0, 1, c.selected);
        global_Finalize();
        AppObj.Set(fresh.NewApp());
        AppObj.CallInto(LevelObj, "Level");
        ShowStatus("");
        DeleteVertex();
        EXPECT_EQ(fresh.Sectors()[0].surfaces[1].vertices, c.after) << c.what;
        EXPECT_EQ(fresh.Calls("surface.GetVertex"), c.asked) << c.what;
        const int deleted = c.after.size() != c.face.size() ? 1 : 0;
        EXPECT_EQ(fresh.Calls("DeleteVertex"), deleted) << c.what;
        EXPECT_EQ(fresh.Calls("surface.Update"), deleted) << c.what;
        EXPECT_EQ(form.Bar.PanelText(), "Vertex deleted") << c.what;
        global_Finalize();
    }
    EXPECT_TRUE(host.errors.empty());
}

TEST_F(CheckTest, VertexSearchComparesAnswersByValue)
{
    level.AddSector({}).AddSurface(-1, -1, {0, 1, 2, 3});
    level.Select(0, 0, 2);
    Connect();
    level.Answer("surface.GetVertex", [] { return HostVariant::MakeNull(); });
    DeleteVertex(); // a null answer matches nothing
    EXPECT_EQ(form.Bar.PanelText(), "Vertex deleted");
    EXPECT_EQ(level.Calls("DeleteVertex"), 0);

    level.Answer("surface.GetVertex", [] { return HostVariant::MakeReal(2.5); });
    DeleteVertex(); // a fraction never matches
    EXPECT_EQ(level.Calls("DeleteVertex"), 0);

    level.Answer("surface.GetVertex", [] { return HostVariant::MakeReal(2.0); });
    DeleteVertex();
    EXPECT_EQ(level.Calls("DeleteVertex"), 1);

    ShowStatus("");
    level.Answer("surface.GetVertex", [] { return HostVariant(); });
    DeleteVertex();
    EXPECT_EQ(host.errors, (std::vector<std::string>{"Invalid variant operation."}));
    EXPECT_EQ(form.Bar.PanelText(), "");
}

TEST_F(CheckTest, DeletionLeavesReportAndButtonUntilTheNextCheck)
{
    level.AddSector({}).AddSurface(-1, -1, {0, 1, 2}).AddSurface(-1, -1, {0, 1, 2, 3});
    level.Select(0, 0, 1);
    Connect();
    Check();
    ASSERT_TRUE(form.SBExport.Visible());
    DeleteVertex();
    EXPECT_TRUE(form.SBExport.Visible());
    EXPECT_TRUE(Exportable);
    EXPECT_TRUE(form.Memo1.Lines().empty());
    Check();
    EXPECT_EQ(form.Memo1.Lines(), (std::vector<std::string>{"Sc 0 Sf 0 has 2 Vx"}));
    EXPECT_FALSE(form.SBExport.Visible());
}

} // namespace

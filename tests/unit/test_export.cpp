// The export against the in-memory editor and real files: the project folder, the bitmap copy,
// the PRJ bytes, and failures that leave an earlier export as it was.
#include "tests/unit/form_fixture.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>

#include "doubles/fake_host.h"
#include "global/files.h"

namespace fs = std::filesystem;

namespace {

std::string Hex(const std::string& bytes)
{
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (unsigned char b : bytes) {
        if (!out.empty())
            out += ' ';
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

class ExportTest : public FormTest {
protected:
    void SetUp() override
    {
        FormTest::SetUp();
        root = fs::temp_directory_path() /
               ("vexmold-export-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(root);
        fs::create_directories(root);
#ifdef _WIN32
        fs::create_directories(root / "Data");
#endif
        // The tool names the texture "Data\default.bmp" below the converter; here that is one name.
        std::ofstream(root / "Data\\default.bmp", std::ios::binary) << "BM texture";
        ConverterDir = root.string() + "/";
        form.SBExport.SetVisible(true);
    }
    void TearDown() override
    {
        FormTest::TearDown();
        fs::remove_all(root);
    }
    void Connect()
    {
        AppObj.Set(level.NewApp());
        AppObj.CallInto(LevelObj, "Level");
        level.ClearLog();
        connectedCalls = level.Calls();
    }
    // The tool builds its paths with backslashes; on this system a backslash is part of a name, so
    // "SomeName\\" is a folder and "SomeName\\SomeName.PRJ" a file beside it.
    fs::path Project(const std::string& folder) const { return root / (folder + "\\"); }
    fs::path InProject(const std::string& folder, const std::string& file) const
    {
        return root / (folder + "\\" + file);
    }
    std::size_t FilesIn(const std::string& folder) const
    {
        std::size_t n = 0;
#ifdef _WIN32
        for (const auto& entry : fs::directory_iterator(root / folder))
            if (entry.is_regular_file())
                ++n;
        return n;
#endif
        for (const auto& entry : fs::directory_iterator(root))
            if (entry.is_regular_file() && entry.path().filename().string().rfind(folder + "\\", 0) == 0)
                ++n;
        return n;
    }
    static std::string Read(const fs::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    void Export(const std::string& answer = "C:\\Conv\\SomeName.PRJ")
    {
        host.answers.push_back(answer);
        Click([this] { form.SBExportClick(nullptr); });
    }
    std::string Prj(const std::string& folder = "SomeName", const std::string& file = "SomeName.PRJ") const
    {
        return Hex(Read(InProject(folder, file)));
    }

    fs::path root;
    FakeLevel level;
    int connectedCalls = 0;
};

TEST_F(ExportTest, WorkedExampleGives108Bytes)
{
    level.AddSector({{0, 0, 0}, {2, 0, 0}, {2, 1.5, 0}, {0, 1.5, 0}})
        .AddSurface(-1, -1, {0, 1, 2, 3})
        .AddSurface(1, 1, {0, 1, 2, 3});
    level.AddSector({{5, 5, 5}, {0, 0, 0.1}, {-1, 0, 0.1}, {0, -0.25, 0.1}})
        .AddSurface(-1, -1, {1, 2, 3})
        .AddSurface(0, 1, {0, 1, 2});
    Connect();
    Export();

    ASSERT_TRUE(host.errors.empty()) << host.errors[0];
    EXPECT_EQ(Prj(), "02 00 00 00 "
                     "00 00 00 00 "
                     "00 00 00 00 00 00 00 00 00 00 00 00 "
                     "00 00 00 40 00 00 00 00 00 00 00 00 "
                     "00 00 00 40 00 00 C0 3F 00 00 00 00 "
                     "00 00 00 00 00 00 C0 3F 00 00 00 00 "
                     "01 00 00 00 "
                     "00 00 00 00 00 00 00 00 CD CC CC 3D "
                     "00 00 80 BF 00 00 00 00 CD CC CC 3D "
                     "00 00 00 00 00 00 80 BE CD CC CC 3D "
                     "00 00 80 BF 00 00 00 00 CD CC CC 3D");
    EXPECT_EQ(Read(InProject("SomeName", "default.bmp")), "BM texture");
    EXPECT_EQ(FilesIn("SomeName"), 2u);
    EXPECT_EQ(form.Bar.PanelText(), "Project Directory and File created");
    EXPECT_FALSE(form.SBExport.Visible());
    // The dialog as the export sets it up.
    ASSERT_EQ(host.dialogs.size(), 1u);
    EXPECT_EQ(host.dialogs[0].fileName, "SomeName.PRJ");
    EXPECT_EQ(host.dialogs[0].filter, "Project File |*.PRJ");
    EXPECT_EQ(host.dialogs[0].title, "Specify project name ,Dir will be created");
    EXPECT_EQ(host.dialogs[0].initialDir, ConverterDir);
    // Per face three calls, per vertex record two; the triangle asks for its second vertex again.
    EXPECT_EQ(level.Calls("surface.GetVertex"), 8);
    EXPECT_EQ(level.Calls("sector.GetVertex"), 8);
    EXPECT_EQ(level.Calls("GetAdjoin"), 4);
}

TEST_F(ExportTest, WhichFacesAndWhichVertices)
{
    const struct {
        const char* what;
        std::function<void(FakeLevel&)> build;
        std::string bytes;
    } cases[] = {
        {"empty level", [](FakeLevel&) {}, "00 00 00 00"},
        {"every face adjoined, a sector skipped",
         [](FakeLevel& l) {
             l.AddSector({{1, 1, 1}}).AddSurface(0, 0, {0, 0, 0});
             l.AddSector({{1, 2, 3}}).AddSurface(-1, 4, {0, 0, 0, 0});
         },
         "01 00 00 00 01 00 00 00 " + std::string(4, 'x')},
        {"triangle on sector vertices 7, 3, 9 repeats vertex 3", [](FakeLevel& l) {
             std::vector<FakeVertex> v(10);
             v[7] = {7, 0, 0};
             v[3] = {3, 0, 0};
             v[9] = {9, 0, 0};
             l.AddSector(v).AddSurface(-1, -1, {7, 3, 9});
         },
         "01 00 00 00 00 00 00 00 00 00 E0 40 00 00 00 00 00 00 00 00 00 00 40 40 00 00 00 00 00 00 00 00 "
         "00 00 10 41 00 00 00 00 00 00 00 00 00 00 40 40 00 00 00 00 00 00 00 00"},
    };
    for (const auto& c : cases) {
        FakeLevel fresh;
        c.build(fresh);
        global_Finalize();
        ConverterDir = root.string() + "/";
        AppObj.Set(fresh.NewApp());
        AppObj.CallInto(LevelObj, "Level");
        Export();
        std::string expected = c.bytes;
        if (expected.find('x') != std::string::npos) // four records of (1, 2, 3)
            expected = "01 00 00 00 01 00 00 00 " +
                       std::string("00 00 80 3F 00 00 00 40 00 00 40 40 00 00 80 3F 00 00 00 40 00 00 40 40 ") +
                       "00 00 80 3F 00 00 00 40 00 00 40 40 00 00 80 3F 00 00 00 40 00 00 40 40";
        EXPECT_EQ(Prj(), expected) << c.what;
    }
    EXPECT_TRUE(host.errors.empty());
}

TEST_F(ExportTest, FolderNameFromTheChosenName)
{
    const struct {
        const char* answer;
        const char* folder;
        const char* file;
    } cases[] = {
        {"C:\\Conv\\SomeName.PRJ", "SomeName", "SomeName.PRJ"},
        {"C:\\Conv\\Level1", "Le", "Level1"},      // no extension: the last four characters go all the same
        {"C:\\Conv\\x.PRJ", "x", "x.PRJ"},
        {"C:\\Conv\\a.b", "a", "a.b"},
        {"C:\\Conv\\ABCD", "A", "ABCD"},
        {"D:\\Elsewhere\\Deep\\Other.prj", "Other", "Other.prj"}, // browsed elsewhere: still below the converter
        {"E:Drive.PRJ", "Drive", "Drive.PRJ"},
    };
    level.AddSector({{0, 0, 0}}).AddSurface(-1, -1, {0, 0, 0, 0});
    Connect();
    for (const auto& c : cases) {
        Export(c.answer);
        EXPECT_TRUE(fs::exists(InProject(c.folder, c.file))) << c.answer;
        EXPECT_TRUE(fs::exists(InProject(c.folder, "default.bmp"))) << c.answer;
        EXPECT_EQ(PrjFileName, c.file);
        EXPECT_EQ(PrjDir, ConverterDir + c.folder + "\\");
    }
    EXPECT_TRUE(host.errors.empty());
}

TEST_F(ExportTest, CancellingChangesNothing)
{
    Connect();
    ShowStatus("earlier");
    Export("");
    EXPECT_EQ(std::distance(fs::directory_iterator(root), fs::directory_iterator()), 1); // only the texture
    EXPECT_TRUE(form.SBExport.Visible());
    EXPECT_EQ(form.Bar.PanelText(), "earlier");
    EXPECT_TRUE(host.errors.empty());
    EXPECT_EQ(level.Calls(), connectedCalls);
}

TEST_F(ExportTest, AFailedExportLeavesTheEarlierProjectFileIntact)
{
    level.AddSector({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}).AddSurface(-1, -1, {0, 1, 2, 3});
    level.AddSector({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}).AddSurface(-1, -1, {0, 1, 2});
    Connect();
    Export();
    const std::string earlier = Prj();
    ASSERT_EQ(earlier.size(), (4 + 2 * 52) * 3 - 1);

    const struct {
        const char* what;
        std::function<void()> fault;
        std::string message;
    } cases[] = {
        {"the editor goes away part way", [&] { level.DieAfter(level.Calls() + 12); }, ""},
        {"an infinite coordinate",
         [&] { level.Sectors()[1].vertices[2].y = std::numeric_limits<double>::infinity(); },
         "'INF' is not a valid floating point value."},
        {"beyond float32", [&] { level.Sectors()[1].vertices[2].y = -1e39; }, "Floating point overflow."},
        {"a face edited to 5 vertices after the check",
         [&] { level.Sectors()[1].surfaces[0].vertices = {0, 1, 2, 0, 1}; },
         "Sc 1 Sf 0 has 5 Vx: the level changed since the check. Check it again before you export."},
    };
    for (const auto& c : cases) {
        level.ClearFaults();
        level.Sectors()[1].vertices[2] = {1, 1, 0};
        level.Sectors()[1].surfaces[0].vertices = {0, 1, 2};
        global_Finalize();
        ConverterDir = root.string() + "/";
        AppObj.Set(level.NewApp());
        AppObj.CallInto(LevelObj, "Level");
        form.SBExport.SetVisible(true);
        ShowStatus("earlier");
        host.errors.clear();
        c.fault();
        Export();
        ASSERT_EQ(host.errors.size(), 1u) << c.what;
        if (!c.message.empty()) {
            EXPECT_EQ(host.errors[0], c.message) << c.what;
        }
        EXPECT_EQ(Prj(), earlier) << c.what;
        EXPECT_EQ(FilesIn("SomeName"), 2u) << c.what << ": no unfinished file is left";
        EXPECT_EQ(form.Bar.PanelText(), "earlier") << c.what;
        EXPECT_TRUE(form.SBExport.Visible()) << c.what;
    }
}

TEST_F(ExportTest, AProjectFileHeldByAnotherProgramFailsBeforeTheWalk)
{
    level.AddSector({{0, 0, 0}}).AddSurface(-1, -1, {0, 0, 0});
    Connect();
    Export();
    const std::string earlier = Prj();
    form.SBExport.SetVisible(true);
    File other;
    ASSERT_TRUE(other.OpenReadExclusive(InProject("SomeName", "SomeName.PRJ").string()));
    const int before = level.Calls();
    Export();
    EXPECT_EQ(host.errors, (std::vector<std::string>{"Cannot create file " + ConverterDir + "SomeName\\SomeName.PRJ."}));
    EXPECT_EQ(level.Calls(), before) << "no call to the editor before the file is known to be writable";
    other.Close();
    EXPECT_EQ(Prj(), earlier);
    EXPECT_EQ(FilesIn("SomeName"), 2u);
    EXPECT_TRUE(form.SBExport.Visible());
}

TEST_F(ExportTest, AMissingTextureStopsBeforeTheProjectFile)
{
    fs::remove(root / "Data\\default.bmp");
    level.AddSector({{0, 0, 0}}).AddSurface(-1, -1, {0, 0, 0});
    Connect();
    Export();
    EXPECT_EQ(host.errors, (std::vector<std::string>{"Cannot open file " + ConverterDir + "Data\\default.bmp."}));
    EXPECT_TRUE(fs::is_directory(Project("SomeName")));
    EXPECT_EQ(FilesIn("SomeName"), 0u);
    EXPECT_EQ(level.Calls(), connectedCalls);
    EXPECT_TRUE(form.SBExport.Visible());
}

} // namespace

namespace {

#ifndef _WIN32
// A full disk: scripts/test mounts a tiny file system and names it in VEX_FULL_DISK.
TEST_F(ExportTest, AFullDiskIsAnErrorAndNoSuccessIsShown)
{
    const char* small = std::getenv("VEX_FULL_DISK");
    if (!small)
        GTEST_SKIP() << "no small file system (VEX_FULL_DISK) to fill";
    const fs::path disk = fs::path(small) / "export";
    fs::remove_all(disk);
    fs::create_directories(disk);
    std::ofstream(disk / "Data\\default.bmp", std::ios::binary) << "BM texture";
    {
        // Fill the disk to its last few blocks.
        std::ofstream filler(disk / "filler", std::ios::binary);
        const std::string block(4096, 'f');
        while (filler.write(block.data(), block.size()) && fs::space(disk).available > 3 * 4096) {
        }
    }
    ConverterDir = disk.string() + "/";
    for (int i = 0; i < 400; ++i) // 400 faces: more than 20 KB of project file
        level.AddSector({{1, 2, 3}}).AddSurface(-1, -1, {0, 0, 0, 0});
    Connect();
    ShowStatus("earlier");
    Export();
    const std::string path = ConverterDir + "SomeName\\SomeName.PRJ";
    EXPECT_EQ(host.errors, (std::vector<std::string>{"Cannot write file " + path + "."}));
    EXPECT_EQ(form.Bar.PanelText(), "earlier");
    EXPECT_TRUE(form.SBExport.Visible());
    EXPECT_FALSE(fs::exists(path));
    EXPECT_FALSE(fs::exists(path + ".vexmold-tmp"));
    fs::remove_all(disk);
}
#endif

} // namespace

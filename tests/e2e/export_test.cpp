// The export as a user runs it: the save dialog, the project folder below the converter's folder, the
// copied default texture, the project file's bytes, and what a failure on the way leaves on disk.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <regex>
#include <set>
#include <sstream>

#include "tests/e2e/harness.h"

namespace e2e {
namespace {

using vexdrive::Button;
using vexdrive::WaitResult;

constexpr int kClickMs = 20000;
constexpr int kBoxMs = 10000;

const char kProjectTitle[] = "Specify project name ,Dir will be created";
const char kDone[] = "Project Directory and File created";
const char kReady[] = "Ready to Export";

// ---- files, read and written the way another program would ----

bool IsFolder(const std::string& path)
{
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

using Listing = std::set<std::string>;

// The names in a folder as stored (with their case); "." and ".." left out.
Listing Names(const std::string& folder)
{
    Listing names;
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((folder + "*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do {
        std::string n = found.cFileName;
        if (n != "." && n != "..")
            names.insert(n);
    } while (FindNextFileA(h, &found));
    FindClose(h);
    return names;
}

std::string Hex(const std::string& bytes)
{
    std::string out;
    char two[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(two, sizeof two, "%02X", static_cast<unsigned char>(bytes[i]));
        if (i)
            out += (i % 4 == 0) ? " | " : " ";
        out += two;
    }
    return out;
}

std::string FromHex(const std::string& text)
{
    std::string out;
    std::istringstream in(text);
    for (std::string byte; in >> byte;)
        out.push_back(static_cast<char>(std::stoi(byte, nullptr, 16)));
    return out;
}

struct AtExit {
    std::function<void()> run;
    ~AtExit() { run(); }
};

// ---- the project file as the converter reads it ----

struct Vertex {
    float x, y, z;
};

std::string Int32(std::int32_t v)
{
    std::string out(4, '\0');
    std::memcpy(out.data(), &v, 4);   // the test runs on a little-endian machine, as the file is
    return out;
}

std::string Float32(float v)
{
    std::string out(4, '\0');
    std::memcpy(out.data(), &v, 4);
    return out;
}

class PrjBytes {
public:
    PrjBytes& Face(std::int32_t sector, const std::vector<Vertex>& vertices)
    {
        ++count_;
        records_ += Int32(sector);
        for (const Vertex& v : vertices)
            records_ += Float32(v.x) + Float32(v.y) + Float32(v.z);
        return *this;
    }
    std::string Bytes() const { return Int32(count_) + records_; }

private:
    std::int32_t count_ = 0;
    std::string records_;
};

// ---- the stand-in editor's commands and call log ----

// The calls in a stretch of the call log, with what varies from run to run taken out: the serial of each
// object ("sector[1]#7" becomes "sector[1]"), the outputs after the call, the values passed into output
// arguments (the three coordinates of a sector vertex, the two adjoin answers).
std::vector<std::string> Calls(const std::string& log)
{
    static const std::regex serial("#[0-9]+");
    static const std::regex real("&r8:[^ ]+");
    static const std::regex adjoin("&i4:-?[0-9]+");
    std::vector<std::string> calls;
    std::istringstream in(log);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.rfind("call ", 0) != 0)
            continue;
        line = std::regex_replace(line.substr(5), serial, "");
        if (auto at = line.find(" ["); at != std::string::npos)
            line.erase(at);
        line = std::regex_replace(line, real, "&r8");
        if (line.find(" GetAdjoin ") != std::string::npos)
            line = std::regex_replace(line, adjoin, "&i4");
        calls.push_back(line);
    }
    return calls;
}

// The calls the export makes for one face of the given sector vertices: its three questions, then for
// each vertex record the surface's vertex and the sector's coordinates of it.
void ExpectFaceCalls(std::vector<std::string>& calls, int sc, int sf, const std::vector<int>& vertices,
                     bool exported)
{
    const std::string sector = "sector[" + std::to_string(sc) + "]";
    const std::string surface = "surface[" + std::to_string(sc) + "." + std::to_string(sf) + "]";
    calls.push_back(sector + " GetSurface i4:" + std::to_string(sf) + " = " + surface);
    calls.push_back(surface + " NVertices = i4:" + std::to_string(vertices.size()));
    calls.push_back(surface + " GetAdjoin &i4 &i4 = empty");
    if (!exported)
        return;
    auto record = [&](int k) {
        calls.push_back(surface + " GetVertex i4:" + std::to_string(k) + " = i4:" + std::to_string(vertices[k]));
        calls.push_back(sector + " GetVertex &i4:" + std::to_string(vertices[k]) + " &r8 &r8 &r8 = empty");
    };
    for (size_t k = 0; k < vertices.size(); ++k) {
        record(static_cast<int>(k));
        if (k == 2 && vertices.size() == 3)
            record(1);
    }
}

// ---- the fixture ----

class Export : public VexmoldTest {
protected:
    std::string Project(const std::string& folder = "SomeName") const { return ConverterDir() + folder + "\\"; }
    std::string DefaultBitmap() const { return ConverterDir() + "Data\\default.bmp"; }

    // Check passes and shows the Export button.
    void CheckPasses()
    {
        App().Click(Button::Check);
        ASSERT_EQ(App().WaitClick(kClickMs), WaitResult::Done) << "the check did not end";
        ASSERT_EQ(App().StatusText(), kReady) << "the check did not pass";
        ASSERT_TRUE(ExportVisible()) << "a passing check did not show Export";
    }

    bool ExportVisible()
    {
        auto b = App().VisibleButtons();
        return std::find(b.begin(), b.end(), Button::Export) != b.end();
    }

    // Clicks Export and answers the project dialog with the name typed in (null: the proposed name kept).
    // Answers how the click ended: Done, or Modal when an error report came up.
    WaitResult ExportAs(const std::string* name, vexdrive::SaveDialogInfo* shown = nullptr)
    {
        App().Click(Button::Export);
        EXPECT_EQ(App().WaitClick(kClickMs), WaitResult::Modal) << "no dialog came up";
        vexdrive::SaveDialogInfo info = App().ReadSaveDialog(kBoxMs);
        EXPECT_EQ(info.title, kProjectTitle);
        EXPECT_EQ(info.fileName, "SomeName.PRJ") << "the proposed name";
        EXPECT_EQ(info.filter, "Project File ");
        if (shown)
            *shown = info;
        App().SaveDialogSave(name, kBoxMs);
        return App().WaitClick(kClickMs);
    }
    WaitResult ExportAs(const std::string& name) { return ExportAs(&name); }
    WaitResult ExportProposed(vexdrive::SaveDialogInfo* shown = nullptr) { return ExportAs(nullptr, shown); }

    // The error report of a failed export, answered; the click then ends.
    void ExpectReport(WaitResult r, const std::string& text)
    {
        ASSERT_EQ(r, WaitResult::Modal) << "no error report came up";
        EXPECT_TRUE(IsErrorReport(App().ReadMessageBox(kBoxMs), text));
        App().PressMessageBoxOk(kBoxMs);
        ASSERT_EQ(App().WaitClick(kClickMs), WaitResult::Done);
    }

    // The state of a failed export's window: the check's status and the Export button both still there.
    void ExpectExportStillOffered()
    {
        EXPECT_EQ(App().StatusText(), kReady);
        EXPECT_TRUE(ExportVisible());
        EXPECT_FALSE(App().FindModal());
    }

    // The level file the editor serves, rewritten and read again by the editor.
    void ReloadLevel(const std::string& text)
    {
        WriteBytes(TestDir() + "level.txt", text);
        ASSERT_TRUE(SendEditorCommand("reload")) << "the editor did not reload its level";
    }
};

// The level of the worked example: two sectors, each with one exported and one adjoined face.
const char kWorkedLevel[] =
    "sector\n"
    "v 0 0 0\n"
    "v 2 0 0\n"
    "v 2 1.5 0\n"
    "v 0 1.5 0\n"
    "s -1 -1 0 1 2 3\n"
    "s 1 1 0 1 2 3\n"
    "sector\n"
    "v 5 5 5\n"
    "v 0 0 0.1\n"
    "v -1 0 0.1\n"
    "v 0 -0.25 0.1\n"
    "s -1 -1 1 2 3\n"
    "s 0 1 1 2 3\n";

const char kWorkedPrj[] =
    "02 00 00 00"
    " 00 00 00 00"
    " 00 00 00 00 00 00 00 00 00 00 00 00"
    " 00 00 00 40 00 00 00 00 00 00 00 00"
    " 00 00 00 40 00 00 C0 3F 00 00 00 00"
    " 00 00 00 00 00 00 C0 3F 00 00 00 00"
    " 01 00 00 00"
    " 00 00 00 00 00 00 00 00 CD CC CC 3D"
    " 00 00 80 BF 00 00 00 00 CD CC CC 3D"
    " 00 00 00 00 00 00 80 BE CD CC CC 3D"
    " 00 00 80 BF 00 00 00 00 CD CC CC 3D";

TEST_F(Export, WorkedExampleByteForByteWithTheDefaultTextureBesideIt)
{
    StartEditor(kWorkedLevel);
    StartAppReady();
    CheckPasses();
    const size_t logBefore = EditorLog().size();

    vexdrive::SaveDialogInfo shown;
    ASSERT_EQ(ExportProposed(&shown), WaitResult::Done);
    std::string folder = ConverterDir();
    folder.pop_back();
    EXPECT_TRUE(_stricmp(shown.folder.c_str(), folder.c_str()) == 0)
        << "the dialog opened in " << shown.folder << ", not in the converter's folder " << folder;

    EXPECT_EQ(Names(ConverterDir()), (Listing{"Data", "SomeName", "Zym_DXF.EXE"}));
    EXPECT_EQ(Names(Project()), (Listing{"SomeName.PRJ", "default.bmp"}));
    auto prj = ReadBytes(Project() + "SomeName.PRJ");
    ASSERT_TRUE(prj);
    EXPECT_EQ(prj->size(), 108u);
    EXPECT_EQ(Hex(*prj), Hex(FromHex(kWorkedPrj)));
    EXPECT_EQ(ReadBytes(Project() + "default.bmp"), ReadBytes(DefaultBitmap()));
    EXPECT_EQ(ReadBytes(DefaultBitmap())->size(), 70u) << "the converter's texture changed";

    EXPECT_EQ(App().StatusText(), kDone);
    EXPECT_FALSE(ExportVisible()) << "a complete export leaves Export shown";
    EXPECT_FALSE(App().FindModal());

    // The walk through the editor: every face asked its vertex count before its adjoins, by-value indices
    // for sectors, surfaces and surface vertices, the sector vertex by reference; the triangle's second
    // vertex once more at the end.
    std::vector<std::string> expected = {"level NSectors = i4:2", "level GetSector i4:0 = sector[0]",
                                         "sector[0] NSurfaces = i4:2"};
    ExpectFaceCalls(expected, 0, 0, {0, 1, 2, 3}, true);
    ExpectFaceCalls(expected, 0, 1, {0, 1, 2, 3}, false);
    expected.push_back("level GetSector i4:1 = sector[1]");
    expected.push_back("sector[1] NSurfaces = i4:2");
    ExpectFaceCalls(expected, 1, 0, {1, 2, 3}, true);
    ExpectFaceCalls(expected, 1, 1, {1, 2, 3}, false);
    EXPECT_EQ(Calls(EditorLog().substr(logBefore)), expected);
}

TEST_F(Export, WhichFacesAndInWhatVertexOrder)
{
    // Sector 0: all adjoined. Sector 1: a triangle on the sector vertices 7, 3, 9, a face exported by its
    // second adjoin alone, one by its first alone. Sector 2: nothing. Sector 3: one quad.
    StartEditor("sector\n"
                "v 0 0 0\n"
                "v 1 0 0\n"
                "v 1 1 0\n"
                "s 1 1 0 1 2\n"
                "s 2 0 0 1 2\n"
                "sector\n"
                "v 0 0 0\n v 1 1 1\n v 2 2 2\n v 3 0.5 -3\n v 4 4 4\n"
                "v 5 5 5\n v 6 6 6\n v 7 -0.25 70\n v 8 8 8\n v 9 90 0.5\n"
                "s 0 0 1 2 4\n"
                "s -1 -1 7 3 9\n"
                "s 5 -1 1 2 4 5\n"
                "s -1 6 6 5 4\n"
                "sector\n"
                "s 0 1\n"
                "sector\n"
                "v 1 2 3\n v 4 5 6\n v 7 8 9\n v 10 11 12\n"
                "s -1 -1 3 2 1 0\n");
    StartAppReady();
    CheckPasses();
    ASSERT_EQ(ExportProposed(), WaitResult::Done);

    const Vertex v1{1, 1, 1}, v2{2, 2, 2}, v3{3, 0.5f, -3}, v4{4, 4, 4}, v5{5, 5, 5}, v6{6, 6, 6};
    const Vertex v7{7, -0.25f, 70}, v9{9, 90, 0.5f};
    std::string expected = PrjBytes()
                               .Face(1, {v7, v3, v9, v3})
                               .Face(1, {v1, v2, v4, v5})
                               .Face(1, {v6, v5, v4, v5})
                               .Face(3, {{10, 11, 12}, {7, 8, 9}, {4, 5, 6}, {1, 2, 3}})
                               .Bytes();
    EXPECT_EQ(Hex(ReadBytes(Project() + "SomeName.PRJ").value_or("missing")), Hex(expected));
    EXPECT_EQ(App().StatusText(), kDone);
}

TEST_F(Export, EmptyLevelGivesACountOfZeroAlone)
{
    StartEditor("# no sectors\n");
    StartAppReady();
    CheckPasses();
    ASSERT_EQ(ExportProposed(), WaitResult::Done);
    EXPECT_EQ(Hex(ReadBytes(Project() + "SomeName.PRJ").value_or("missing")), "00 00 00 00");
    EXPECT_EQ(ReadBytes(Project() + "default.bmp"), ReadBytes(DefaultBitmap()));
    EXPECT_EQ(App().StatusText(), kDone);
    EXPECT_FALSE(ExportVisible());
}

// The folder is named after the name typed, less its last four characters; four or fewer give the first
// character alone. The file keeps the name as typed, with no extension added.
TEST_F(Export, FolderNameComesFromTheNameTyped)
{
    struct Case {
        const char* typed;
        const char* folder;
    };
    const Case cases[] = {
        {"Level1", "Le"}, {"x.PRJ", "x"}, {"a.b", "a"}, {"ABCD", "A"}, {"Mine.prj", "Mine"}, {"Q", "Q"},
    };
    StartEditor();
    StartAppReady();
    const std::string small = PrjBytes().Face(0, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}).Bytes();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("typed ") + c.typed);
        CheckPasses();
        ASSERT_EQ(ExportAs(c.typed), WaitResult::Done);
        EXPECT_EQ(Names(ConverterDir()), (Listing{"Data", c.folder, "Zym_DXF.EXE"}));
        EXPECT_EQ(Names(Project(c.folder)), (Listing{c.typed, "default.bmp"}));
        EXPECT_EQ(ReadBytes(Project(c.folder) + c.typed), small);
        EXPECT_EQ(App().StatusText(), kDone);
        // Out of the way, so that "a" and "A" (one folder to the file system) are told apart.
        std::filesystem::remove_all(Project(c.folder));
    }
}

TEST_F(Export, BrowsingElsewhereChangesNothingThere)
{
    const std::string other = TestDir() + "Other\\";
    ASSERT_TRUE(CreateDirectoryA(other.c_str(), nullptr));
    WriteBytes(other + "SomeName.PRJ", "someone else's file");
    StartEditor();
    StartAppReady();
    CheckPasses();

    // The full path of an existing file elsewhere: no question about replacing it, and it is not touched.
    ASSERT_EQ(ExportAs(other + "SomeName.PRJ"), WaitResult::Done);
    EXPECT_EQ(Names(other), (Listing{"SomeName.PRJ"}));
    EXPECT_EQ(ReadBytes(other + "SomeName.PRJ"), "someone else's file");
    EXPECT_EQ(Names(Project()), (Listing{"SomeName.PRJ", "default.bmp"}));
    EXPECT_EQ(ReadBytes(Project() + "SomeName.PRJ")->size(), 56u);
    EXPECT_EQ(App().StatusText(), kDone);
}

TEST_F(Export, ExportingAgainReplacesTheProjectAndKeepsOtherFiles)
{
    StartEditor(kWorkedLevel);
    StartAppReady();
    CheckPasses();
    ASSERT_EQ(ExportProposed(), WaitResult::Done);
    WriteBytes(Project() + "notes.txt", "mine");

    // A shorter project and another texture: nothing of the first ones may remain.
    ReloadLevel(kSmallLevel);
    WriteBytes(DefaultBitmap(), "BM2");
    CheckPasses();
    ASSERT_EQ(ExportProposed(), WaitResult::Done);

    EXPECT_EQ(Names(Project()), (Listing{"SomeName.PRJ", "default.bmp", "notes.txt"}));
    EXPECT_EQ(Hex(ReadBytes(Project() + "SomeName.PRJ").value_or("missing")),
              Hex(PrjBytes().Face(0, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}).Bytes()));
    EXPECT_EQ(ReadBytes(Project() + "default.bmp"), "BM2");
    EXPECT_EQ(ReadBytes(Project() + "notes.txt"), "mine");
    EXPECT_EQ(App().StatusText(), kDone);
    EXPECT_FALSE(ExportVisible());
}

TEST_F(Export, CancellingTheDialogMakesNothing)
{
    StartEditor();
    StartAppReady();
    CheckPasses();
    App().Click(Button::Export);
    ASSERT_EQ(App().WaitClick(kClickMs), WaitResult::Modal);
    EXPECT_EQ(App().ReadSaveDialog(kBoxMs).title, kProjectTitle);
    App().SaveDialogCancel(kBoxMs);
    ASSERT_EQ(App().WaitClick(kClickMs), WaitResult::Done);

    EXPECT_EQ(Names(ConverterDir()), (Listing{"Data", "Zym_DXF.EXE"}));
    ExpectExportStillOffered();
}

TEST_F(Export, MissingDefaultTextureLeavesTheFolderEmpty)
{
    ASSERT_TRUE(DeleteFileA(DefaultBitmap().c_str()));
    StartEditor();
    StartAppReady();
    CheckPasses();
    ExpectReport(ExportProposed(), "Cannot open file " + DefaultBitmap() + ".");
    EXPECT_TRUE(IsFolder(Project()));
    EXPECT_EQ(Names(Project()), Listing{});
    ExpectExportStillOffered();
}

TEST_F(Export, ProjectFileHeldByAnotherProgramIsLeftAsItWas)
{
    ASSERT_TRUE(CreateDirectoryA(Project().c_str(), nullptr));
    const std::string path = Project() + "SomeName.PRJ";
    WriteBytes(path, "the earlier project");
    StartEditor();
    StartAppReady();
    CheckPasses();

    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    WaitResult r = ExportProposed();
    CloseHandle(held);
    ExpectReport(r, "Cannot create file " + path + ".");

    EXPECT_EQ(ReadBytes(path), "the earlier project");
    EXPECT_EQ(Names(Project()), (Listing{"SomeName.PRJ", "default.bmp"})) << "a temporary file was left";
    ExpectExportStillOffered();
}

// A failure part way through the walk leaves the earlier project file as it was and no temporary file.
class ExportFailingPartWay : public Export {
protected:
    void Run(const std::vector<std::string>& editorOptions, const std::string& afterCheck,
             const std::optional<std::string>& report)
    {
        ASSERT_TRUE(CreateDirectoryA(Project().c_str(), nullptr));
        const std::string earlier = PrjBytes().Face(4, {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {1, 2, 3}}).Bytes();
        WriteBytes(Project() + "SomeName.PRJ", earlier);
        StartEditor(kWorkedLevel, editorOptions);
        StartAppReady();
        CheckPasses();
        if (!afterCheck.empty()) {
            ASSERT_TRUE(SendEditorCommand(afterCheck));
        }

        WaitResult r = ExportProposed();
        ASSERT_EQ(r, WaitResult::Modal) << "no error report came up";
        vexdrive::MessageBoxInfo box = App().ReadMessageBox(kBoxMs);
        if (report)
            EXPECT_TRUE(IsErrorReport(box, *report));
        else
            EXPECT_TRUE(box.caption == "Vexmold" && box.icon == "error" && !box.text.empty())
                << vexdrive::CEscape(box.text);
        App().PressMessageBoxOk(kBoxMs);
        ASSERT_EQ(App().WaitClick(kClickMs), WaitResult::Done);

        EXPECT_EQ(Hex(ReadBytes(Project() + "SomeName.PRJ").value_or("missing")), Hex(earlier));
        EXPECT_EQ(Names(Project()), (Listing{"SomeName.PRJ", "default.bmp"}));
        ExpectExportStillOffered();
    }
};

TEST_F(ExportFailingPartWay, WhenTheEditorRefusesAVertex)
{
    // The check asks for no coordinates, so the first vertex record fails: the second face never comes.
    Run({"--fail", "sector.GetVertex=Vertex gone  . "}, "", "Vertex gone.");
}

TEST_F(ExportFailingPartWay, WhenTheEditorEndsDuringTheWalk)
{
    // The editor ends inside the 12th call of the export: the coordinates of the first face's third vertex.
    Run({}, "die-after 11", std::nullopt);
    EXPECT_NE(EditorLog().find("die after 11 calls"), std::string::npos) << EditorLog();
}

TEST_F(Export, AFaceChangedSinceTheCheckStopsTheExport)
{
    ASSERT_TRUE(CreateDirectoryA(Project().c_str(), nullptr));
    StartEditor("sector\n v 0 0 0\n v 1 0 0\n v 1 1 0\n v 0 1 0\n v 0.5 2 0\n"
                "s -1 -1 0 1 2 3\n"
                "s -1 -1 0 1 2 3\n");
    StartAppReady();
    CheckPasses();
    ReloadLevel("sector\n v 0 0 0\n v 1 0 0\n v 1 1 0\n v 0 1 0\n v 0.5 2 0\n"
                "s -1 -1 0 1 2 3\n"
                "s -1 -1 0 1 4 2 3\n");
    ExpectReport(ExportProposed(),
                 "Sc 0 Sf 1 has 5 Vx: the level changed since the check. Check it again before you export.");
    EXPECT_EQ(Names(Project()), (Listing{"default.bmp"}));
    ExpectExportStillOffered();
}

TEST_F(Export, AFullDiskIsReportedAndLeavesNoFile)
{
    const char* small = std::getenv("VEX_FULL_DISK");
    if (!small || !*small)
        GTEST_SKIP() << "no small file system named in VEX_FULL_DISK";
    const std::string disk = WindowsPath(small) + "\\eex-" + std::to_string(GetCurrentProcessId()) + "\\";
    const std::string conv = disk + "Zym\\";
    std::error_code ignored;
    std::filesystem::remove_all(disk, ignored);
    // The small disk is shared by the whole run: emptied again whatever happens, once the tool (whose
    // current folder the dialog moves there) has ended.
    AtExit cleanup{[this, disk] {
        StopApp();
        std::error_code ignored;
        std::filesystem::remove_all(disk, ignored);
    }};
    ASSERT_TRUE(std::filesystem::create_directories(conv + "Data"));
    WriteBytes(conv + "Zym_DXF.EXE", "");
    WriteBytes(conv + "Data\\default.bmp", *ReadBytes(DefaultBitmap()));
    settings::StorePath(conv);

    std::string level = "sector\n v 0 0 0\n v 1 0 0\n v 1 1 0\n v 0 1 0\n";
    for (int i = 0; i < 120; ++i)   // 6 KB of project file
        level += "s -1 -1 0 1 2 3\n";
    StartEditor(level);
    StartAppReady();
    CheckPasses();

    // Fill the disk, then give back two pages: one for the texture's copy, one too few for the project.
    {
        HANDLE filler = CreateFileA((disk + "filler").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(filler, INVALID_HANDLE_VALUE);
        const std::string block(4096, 'f');
        DWORD put = 0;
        LONGLONG size = 0;
        while (WriteFile(filler, block.data(), 4096, &put, nullptr) && put == 4096)
            size += 4096;
        LARGE_INTEGER end;
        end.QuadPart = size > 8192 ? size - 8192 : 0;
        ASSERT_TRUE(SetFilePointerEx(filler, end, nullptr, FILE_BEGIN) && SetEndOfFile(filler));
        CloseHandle(filler);
        ULARGE_INTEGER free{};
        ASSERT_TRUE(GetDiskFreeSpaceExA(disk.c_str(), &free, nullptr, nullptr));
        ASSERT_LT(free.QuadPart, 10000u) << "the disk is not nearly full";
    }

    const std::string path = conv + "SomeName\\SomeName.PRJ";
    ExpectReport(ExportProposed(), "Cannot write file " + path + ".");
    EXPECT_EQ(Names(conv + "SomeName\\"), (Listing{"default.bmp"})) << "a project or temporary file was left";
    ExpectExportStillOffered();
}

// Without a converter folder (its question at start cancelled) the paths are relative to the tool's
// current folder: the folder it was started in, where the dialog opens and is answered.
TEST_F(Export, WithoutAConverterFolderTheProjectGoesBelowTheCurrentFolder)
{
    settings::DeleteValue();
    ASSERT_TRUE(CreateDirectoryA((TestDir() + "Data").c_str(), nullptr));
    WriteBytes(TestDir() + "Data\\default.bmp", "BM here");
    StartEditor();
    StartApp();
    ASSERT_EQ(App().WaitReady(kClickMs), WaitResult::Modal) << "no question for the converter's folder";
    App().SaveDialogCancel(kBoxMs);
    ASSERT_EQ(App().WaitReady(kClickMs), WaitResult::Done);
    CheckPasses();

    WaitResult r = ExportProposed();
    if (r == WaitResult::Modal)
        FAIL() << "error report: " << vexdrive::CEscape(App().ReadMessageBox(kBoxMs).text);
    ASSERT_EQ(r, WaitResult::Done);
    EXPECT_EQ(Names(TestDir() + "SomeName\\"), (Listing{"SomeName.PRJ", "default.bmp"}));
    EXPECT_EQ(ReadBytes(TestDir() + "SomeName\\default.bmp"), "BM here");
    EXPECT_EQ(ReadBytes(TestDir() + "SomeName\\SomeName.PRJ")->size(), 56u);
    EXPECT_EQ(Names(ConverterDir()), (Listing{"Data", "Zym_DXF.EXE"}));
    EXPECT_EQ(App().StatusText(), kDone);
}

}  // namespace
}  // namespace e2e

// CopyFileData over real files: the whole source and nothing else, its three errors, and a
// failure that leaves an earlier destination as it was and no file held open.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "global/errors.h"
#include "global/files.h"
#include "global/global.h"

namespace fs = std::filesystem;

namespace {

class CopyFileDataTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() /
              ("vexmold-copy-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string Path(const std::string& name) const { return (dir / name).string(); }
    static void Write(const std::string& path, const std::string& bytes)
    {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    static std::string Read(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    std::string ErrorOf(const std::string& source, const std::string& destination)
    {
        try {
            CopyFileData(source, destination);
        } catch (const Error& e) {
            return e.what();
        }
        return "";
    }
    // No unfinished copy is ever left beside the destination.
    void ExpectOnlyFiles(std::initializer_list<const char*> names)
    {
        std::size_t count = 0;
        for (const auto& entry : fs::directory_iterator(dir)) {
            (void)entry;
            ++count;
        }
        EXPECT_EQ(count, names.size());
        for (const char* name : names)
            EXPECT_TRUE(fs::exists(dir / name)) << name;
    }

    fs::path dir;
};

TEST_F(CopyFileDataTest, DestinationHoldsExactlyTheSourceBytes)
{
    const struct {
        const char* what;
        std::string source;
        const char* earlierDestination;   // nullptr: none
    } cases[] = {
        {"empty source", "", nullptr},
        {"bitmap-like bytes with zeros", std::string("BM\0\0\x36\x04\0\0\xFF", 9), nullptr},
        {"longer existing destination loses its tail", "short", "a much longer earlier file"},
        {"larger than one buffer", std::string((20 << 20) + 3, 'x'), "old"},
    };
    for (const auto& c : cases) {
        Write(Path("src.bmp"), c.source);
        fs::remove(Path("dst.bmp"));
        if (c.earlierDestination)
            Write(Path("dst.bmp"), c.earlierDestination);
        CopyFileData(Path("src.bmp"), Path("dst.bmp"));
        EXPECT_EQ(Read(Path("dst.bmp")), c.source) << c.what;
        ExpectOnlyFiles({"src.bmp", "dst.bmp"});
    }
}

TEST_F(CopyFileDataTest, FailuresNameTheirFileAndLeaveNothingBehind)
{
    Write(Path("src.bmp"), "picture");
    const std::string missingSource = Path("nothing.bmp");
    const std::string inMissingFolder = Path("no-such-folder/dst.bmp");

    EXPECT_EQ(ErrorOf(missingSource, Path("dst.bmp")), "Cannot open file " + missingSource);
    EXPECT_FALSE(fs::exists(Path("dst.bmp"))) << "a missing source creates no destination";

    EXPECT_EQ(ErrorOf(Path("src.bmp"), inMissingFolder), "Cannot create file " + inMissingFolder);
    // The source was not left open: the next copy of it works.
    CopyFileData(Path("src.bmp"), Path("dst.bmp"));
    EXPECT_EQ(Read(Path("dst.bmp")), "picture");
    ExpectOnlyFiles({"src.bmp", "dst.bmp"});
}

TEST_F(CopyFileDataTest, FilesHeldByAnotherOpenerAreNotTouched)
{
    Write(Path("src.bmp"), "new picture");
    Write(Path("dst.bmp"), "earlier copy");
    {
        File other; // another program holding the source
        ASSERT_TRUE(other.OpenReadExclusive(Path("src.bmp")));
        EXPECT_EQ(ErrorOf(Path("src.bmp"), Path("dst.bmp")), "Cannot open file " + Path("src.bmp"));
    }
    {
        File other; // ... or the destination
        ASSERT_TRUE(other.OpenReadExclusive(Path("dst.bmp")));
        EXPECT_EQ(ErrorOf(Path("src.bmp"), Path("dst.bmp")), "Cannot create file " + Path("dst.bmp"));
    }
    // A copy onto its own source (a project named after the texture's folder) is refused too.
    EXPECT_EQ(ErrorOf(Path("src.bmp"), Path("src.bmp")), "Cannot create file " + Path("src.bmp"));
    EXPECT_EQ(Read(Path("src.bmp")), "new picture");
    EXPECT_EQ(Read(Path("dst.bmp")), "earlier copy");
    ExpectOnlyFiles({"src.bmp", "dst.bmp"});
}

} // namespace

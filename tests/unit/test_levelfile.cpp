// The stand-in editor's level file: reading, refusing, and writing back without loss.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <limits>

#include "levelhost/levelfile.h"

using namespace levelfile;

namespace {

std::uint64_t Bits(double d)
{
    return std::bit_cast<std::uint64_t>(d);
}

std::string Refusal(const std::string& text)
{
    try {
        Parse(text, "bad.lvl");
    } catch (const SyntaxError& e) {
        return e.what();
    }
    return "accepted";
}

}  // namespace

TEST(LevelFile, ReadsSectorsVerticesSurfacesAndSelection)
{
    const std::string text =
        "# two rooms\r\n"
        "select 1 0 2\r\n"
        "\r\n"
        "sector\r\n"
        "  v 0 0 0\t# corner\r\n"
        "v\t2 0x1.8p1 -0.25\r\n"
        "s -1 -1 0 1 7\r\n"
        "s 1 2\r\n"
        "sector\n"
        "sector\n"
        "v 1e3 +2 .5\n"
        "s 0 -2147483648 2147483647";
    const Level level = Parse(text, "two.lvl");

    EXPECT_EQ(level.curSC, 1);
    EXPECT_EQ(level.curSF, 0);
    EXPECT_EQ(level.curVX, 2);
    ASSERT_EQ(level.sectors.size(), 3u);

    const Sector& s0 = level.sectors[0];
    ASSERT_EQ(s0.vertices.size(), 2u);
    EXPECT_EQ(s0.vertices[1].x, 2.0);
    EXPECT_EQ(s0.vertices[1].y, 3.0);
    EXPECT_EQ(s0.vertices[1].z, -0.25);
    ASSERT_EQ(s0.surfaces.size(), 2u);
    EXPECT_EQ(s0.surfaces[0].adjoinA, -1);
    EXPECT_EQ(s0.surfaces[0].adjoinB, -1);
    // Vertex 7 does not exist: only syntax is checked when the file is read.
    EXPECT_EQ(s0.surfaces[0].vertices, (std::vector<std::int32_t>{0, 1, 7}));
    EXPECT_EQ(s0.surfaces[1].adjoinA, 1);
    EXPECT_EQ(s0.surfaces[1].adjoinB, 2);
    EXPECT_TRUE(s0.surfaces[1].vertices.empty());

    EXPECT_TRUE(level.sectors[1].vertices.empty());
    EXPECT_TRUE(level.sectors[1].surfaces.empty());

    const Sector& s2 = level.sectors[2];
    EXPECT_EQ(s2.vertices[0].x, 1000.0);
    EXPECT_EQ(s2.vertices[0].y, 2.0);
    EXPECT_EQ(s2.vertices[0].z, 0.5);
    EXPECT_EQ(s2.surfaces[0].adjoinB, std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(s2.surfaces[0].vertices, (std::vector<std::int32_t>{std::numeric_limits<std::int32_t>::max()}));
}

TEST(LevelFile, EmptyTextIsAnEmptyLevel)
{
    const Level level = Parse("# nothing\n\n", "e.lvl");
    EXPECT_TRUE(level.sectors.empty());
    EXPECT_EQ(level.curSC, 0);
    EXPECT_EQ(level.curSF, 0);
    EXPECT_EQ(level.curVX, 0);
}

TEST(LevelFile, RefusesMalformedLinesNamingFileAndLine)
{
    struct Case {
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {"v 1 2 3", "bad.lvl:1: v before any sector"},
        {"# c\ns -1 -1 0", "bad.lvl:2: s before any sector"},
        {"sector\nv 1 2", "bad.lvl:2: v needs 3 numbers (X Y Z), found 2"},
        {"sector\nv 1 2 3 4", "bad.lvl:2: v needs 3 numbers (X Y Z), found 4"},
        {"sector\nv 1 2 1.5e", "bad.lvl:2: bad number '1.5e'"},
        {"sector\nv 1 , 3", "bad.lvl:2: bad number ','"},
        {"sector\nv 0x 2 3", "bad.lvl:2: bad number '0x'"},
        {"sector\nv --1 2 3", "bad.lvl:2: bad number '--1'"},
        {"sector\ns -1", "bad.lvl:2: s needs the two adjoin answers, found 1 numbers"},
        {"sector\ns -1 -1 1.5", "bad.lvl:2: bad integer '1.5'"},
        {"sector\ns -1 -1 0x10", "bad.lvl:2: bad integer '0x10'"},
        {"sector\ns -1 2147483648", "bad.lvl:2: integer out of range '2147483648'"},
        {"sector\ns -2147483649 0", "bad.lvl:2: integer out of range '-2147483649'"},
        {"select 1 2", "bad.lvl:1: select needs 3 numbers (SC SF VX), found 2"},
        {"sector 3", "bad.lvl:1: sector takes no numbers, found 1"},
        {"\n\n\nsurface 1 2", "bad.lvl:4: unknown directive 'surface'"},
        {"Sector", "bad.lvl:1: unknown directive 'Sector'"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Refusal(c.text), c.message) << c.text;
}

TEST(LevelFile, ReadsNumbersAsStrtodDoes)
{
    struct Case {
        const char* text;
        double value;
    };
    const double inf = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {"0.1", 0.1},
        {"-0.25", -0.25},
        {"1.", 1.0},
        {"+.5", 0.5},
        {"0X1P-2", 0.25},
        {"-0x1.8", -1.5},
        {"4.9406564584124654e-324", std::numeric_limits<double>::denorm_min()},
        {"1e999", inf},
        {"-1e999", -inf},
        {"1e-999", 0.0},
        {"INF", inf},
        {"-Infinity", -inf},
        // Correct rounding: the nearest double of a long digit string.
        {"1.00000005960464500000000000000001", 1.0000000596046450},
        {"9007199254740993", 9007199254740992.0},
    };
    for (const Case& c : cases) {
        double value = 12345;
        ASSERT_TRUE(ParseReal(c.text, value)) << c.text;
        EXPECT_EQ(Bits(value), Bits(c.value)) << c.text;
    }
    double value = 0;
    EXPECT_TRUE(ParseReal("nan", value) && std::isnan(value));
    EXPECT_TRUE(ParseReal("-NaN(123)", value) && std::isnan(value) && std::signbit(value));
    for (const char* bad : {"", "+", "-", "+-1", "1e", "0x", "0x+1", "1.5x", "abc", "1,5", "in"})
        EXPECT_FALSE(ParseReal(bad, value)) << bad;
}

TEST(LevelFile, WritesBackExactly)
{
    const double specials[] = {
        0.1, -0.0, 0.0, 1.0 / 3.0, 1e22, 1e-7, -1.5e300,
        std::numeric_limits<double>::max(),
        std::numeric_limits<double>::min(),
        std::numeric_limits<double>::denorm_min(),
        std::nextafter(1.0, 2.0),
        1 + 3 * std::ldexp(1.0, -24) + std::ldexp(1.0, -52),
        std::numeric_limits<double>::infinity(),
        -std::numeric_limits<double>::infinity(),
    };
    Level level;
    level.curSC = -3;
    level.curSF = 2147483647;
    level.curVX = 9;
    level.sectors.resize(3);
    for (double d : specials)
        level.sectors[0].vertices.push_back({d, -d, 2 * d});
    level.sectors[0].vertices.push_back({std::nan(""), 1, 2});
    level.sectors[0].surfaces.push_back({-1, -1, {0, 1, 2, 3, 4}});
    level.sectors[0].surfaces.push_back({5, -2147483647 - 1, {}});
    level.sectors[2].surfaces.push_back({0, 1, {99}});

    const Level back = Parse(Format(level), "x.lvl");

    EXPECT_EQ(back.curSC, -3);
    EXPECT_EQ(back.curSF, 2147483647);
    EXPECT_EQ(back.curVX, 9);
    ASSERT_EQ(back.sectors.size(), 3u);
    ASSERT_EQ(back.sectors[0].vertices.size(), level.sectors[0].vertices.size());
    for (std::size_t i = 0; i + 1 < level.sectors[0].vertices.size(); ++i) {
        const Vertex& a = level.sectors[0].vertices[i];
        const Vertex& b = back.sectors[0].vertices[i];
        EXPECT_EQ(Bits(a.x), Bits(b.x)) << i;
        EXPECT_EQ(Bits(a.y), Bits(b.y)) << i;
        EXPECT_EQ(Bits(a.z), Bits(b.z)) << i;
    }
    EXPECT_TRUE(std::isnan(back.sectors[0].vertices.back().x));
    ASSERT_EQ(back.sectors[0].surfaces.size(), 2u);
    EXPECT_EQ(back.sectors[0].surfaces[0].vertices, (std::vector<std::int32_t>{0, 1, 2, 3, 4}));
    EXPECT_EQ(back.sectors[0].surfaces[1].adjoinA, 5);
    EXPECT_EQ(back.sectors[0].surfaces[1].adjoinB, -2147483647 - 1);
    EXPECT_TRUE(back.sectors[1].vertices.empty());
    EXPECT_TRUE(back.sectors[1].surfaces.empty());
    EXPECT_EQ(back.sectors[2].surfaces[0].vertices, (std::vector<std::int32_t>{99}));

    // The texts do not depend on the C runtime of the build.
    EXPECT_EQ(FormatReal(0.1), "0.1");
    EXPECT_EQ(FormatReal(-0.0), "-0");
    EXPECT_EQ(FormatReal(1.5), "1.5");
    EXPECT_EQ(FormatReal(-std::numeric_limits<double>::infinity()), "-inf");
}

TEST(LevelFile, SavesAndLoadsAFile)
{
    const std::string path = (std::filesystem::temp_directory_path() / "levelfile_test.lvl").string();
    Level level = Parse("select 0 1 2\nsector\nv 0 0 0.1\ns -1 -1 0 0 0", "in.lvl");
    Save(level, path);
    const Level back = Load(path);
    std::remove(path.c_str());
    EXPECT_EQ(Format(back), Format(level));
    EXPECT_EQ(back.sectors[0].vertices[0].z, 0.1);

    EXPECT_THROW(Load(path), std::runtime_error);
    try {
        Parse("sector\nv 1", path);
        FAIL() << "accepted";
    } catch (const SyntaxError& e) {
        EXPECT_EQ(std::string(e.what()), path + ":2: v needs 3 numbers (X Y Z), found 1");
    }
}

// The project file's byte layout: encoding a level's faces, reading a file back and listing it.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "export/prjformat.h"
#include "global/errors.h"

namespace {

std::string Hex(const std::string& bytes)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char b : bytes) {
        if (!out.empty())
            out += ' ';
        out += kHex[b >> 4];
        out += kHex[b & 15];
    }
    return out;
}

void AppendVertex(std::string& file, double x, double y, double z)
{
    const PrjVertexRecord record = PrjVertexBytes(x, y, z);
    file.append(reinterpret_cast<const char*>(record.data()), record.size());
}

// Two sectors: a quad of sector 0, and a triangle of sector 1 whose second vertex is repeated.
std::string TwoFaceFile()
{
    std::string file;
    AppendInt32LE(file, 2);
    AppendInt32LE(file, 0);
    AppendVertex(file, 0, 0, 0);
    AppendVertex(file, 2, 0, 0);
    AppendVertex(file, 2, 1.5, 0);
    AppendVertex(file, 0, 1.5, 0);
    AppendInt32LE(file, 1);
    AppendVertex(file, 0, 0, 0.1);
    AppendVertex(file, -1, 0, 0.1);
    AppendVertex(file, 0, -0.25, 0.1);
    AppendVertex(file, -1, 0, 0.1);
    return file;
}

TEST(PrjFormat, EncodesTheTwoFaceLevel)
{
    const std::string file = TwoFaceFile();
    EXPECT_EQ(Hex(file),
        "02 00 00 00 00 00 00 00 "
        "00 00 00 00 00 00 00 00 00 00 00 00 "
        "00 00 00 40 00 00 00 00 00 00 00 00 "
        "00 00 00 40 00 00 C0 3F 00 00 00 00 "
        "00 00 00 00 00 00 C0 3F 00 00 00 00 "
        "01 00 00 00 "
        "00 00 00 00 00 00 00 00 CD CC CC 3D "
        "00 00 80 BF 00 00 00 00 CD CC CC 3D "
        "00 00 00 00 00 00 80 BE CD CC CC 3D "
        "00 00 80 BF 00 00 00 00 CD CC CC 3D");

    std::string negative;
    AppendInt32LE(negative, -2);
    EXPECT_EQ(Hex(negative), "FE FF FF FF");
    EXPECT_EQ(GetInt32LE(reinterpret_cast<const unsigned char*>(negative.data())), -2);
}

TEST(PrjFormat, VertexRecordFailsOnTheFirstBadCoordinate)
{
    const auto messageOf = [](double x, double y, double z) -> std::string {
        try {
            PrjVertexBytes(x, y, z);
        } catch (const Error& error) {
            return error.what();
        }
        return "";
    };
    EXPECT_EQ(messageOf(1e300, INFINITY, 0), "Floating point overflow");
    EXPECT_EQ(messageOf(0, INFINITY, 1e300), "'INF' is not a valid floating point value");
    EXPECT_EQ(messageOf(0, 0, NAN), "'NAN' is not a valid floating point value");
}

TEST(PrjFormat, ReadsAndListsAWellFormedFile)
{
    const PrjContents contents = ReadPrj(TwoFaceFile());
    EXPECT_EQ(contents.problem, "");
    EXPECT_EQ(contents.count, 2);
    ASSERT_EQ(contents.faces.size(), 2u);
    EXPECT_EQ(contents.faces[1].sector, 1);
    EXPECT_EQ(contents.faces[1].vertices[3].bits[0], 0xBF800000u);

    EXPECT_EQ(FormatPrjDump("level.PRJ", contents),
        "level.PRJ: 108 bytes, NFaces 2\n"
        "face 0: sector 0\n"
        "  vertex 0: 0 0 0       | 00 00 00 00  00 00 00 00  00 00 00 00\n"
        "  vertex 1: 2 0 0       | 00 00 00 40  00 00 00 00  00 00 00 00\n"
        "  vertex 2: 2 1.5 0     | 00 00 00 40  00 00 C0 3F  00 00 00 00\n"
        "  vertex 3: 0 1.5 0     | 00 00 00 00  00 00 C0 3F  00 00 00 00\n"
        "face 1: sector 1\n"
        "  vertex 0: 0 0 0.1     | 00 00 00 00  00 00 00 00  CD CC CC 3D\n"
        "  vertex 1: -1 0 0.1    | 00 00 80 BF  00 00 00 00  CD CC CC 3D\n"
        "  vertex 2: 0 -0.25 0.1 | 00 00 00 00  00 00 80 BE  CD CC CC 3D\n"
        "  vertex 3: -1 0 0.1    | 00 00 80 BF  00 00 00 00  CD CC CC 3D\n");

    // Float texts are the shortest that read back as the same float32.
    EXPECT_EQ(Float32Text(0x00000001u), "1e-45");
    EXPECT_EQ(Float32Text(0x7F7FFFFFu), "3.4028235e+38");
    EXPECT_EQ(Float32Text(0x3F800001u), "1.0000001");
}

TEST(PrjFormat, SaysWhyALengthDoesNotFit)
{
    const std::string file = TwoFaceFile();
    std::string zeroCount = file;
    zeroCount[0] = 0;  // what an export ended by a failure leaves
    const struct {
        std::string bytes;
        const char* problem;
        std::size_t faces;
    } cases[] = {
        {"", "length 0 is too short for the face count (4 bytes)", 0},
        {file.substr(0, 3), "length 3 is too short for the face count (4 bytes)", 0},
        {std::string(4, '\0'), "", 0},
        {file + "xy", "length 110 does not fit 4 + 52 per face: 2 faces and 2 bytes left", 2},
        {file.substr(0, 57), "length 57 does not fit 4 + 52 per face: 1 face and 1 byte left", 1},
        {zeroCount, "NFaces 0 disagrees with the length 108, which holds 2 faces", 2},
        {file.substr(0, 56), "NFaces 2 disagrees with the length 56, which holds 1 face", 1},
        {std::string("\xFF\xFF\xFF\xFF", 4), "NFaces -1 disagrees with the length 4, which holds 0 faces", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.problem);
        const PrjContents contents = ReadPrj(c.bytes);
        EXPECT_EQ(contents.problem, c.problem);
        EXPECT_EQ(contents.faces.size(), c.faces);
    }

    const PrjContents cut = ReadPrj(file + "xy");
    const std::string dump = FormatPrjDump("cut.PRJ", cut);
    EXPECT_EQ(dump.substr(0, dump.find("face 0")),
        "cut.PRJ: 110 bytes, NFaces 2\n"
        "error: length 110 does not fit 4 + 52 per face: 2 faces and 2 bytes left\n");
    EXPECT_EQ(FormatPrjDump("tiny.PRJ", ReadPrj("ab")),
        "tiny.PRJ: 2 bytes\nerror: length 2 is too short for the face count (4 bytes)\n");
}

}  // namespace

// The byte layout of the project file: little-endian int32 and float32 fields, a face count
// followed by face records (sector index, then vertex records of X, Y and Z). Encoders for the
// writer, and a reader for people and tests (the program itself never reads the file back).
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr std::size_t kPrjCountSize = 4;
constexpr std::size_t kPrjVertexSize = 12;
// A face that passed the check has 3 or 4 vertices and always 4 vertex records.
constexpr std::size_t kPrjFaceSize = 4 + 4 * kPrjVertexSize;

void PutUInt32LE(unsigned char* out, std::uint32_t value);
void PutInt32LE(unsigned char* out, std::int32_t value);
std::uint32_t GetUInt32LE(const unsigned char* in);
std::int32_t GetInt32LE(const unsigned char* in);

void AppendInt32LE(std::string& buffer, std::int32_t value);
// A float32 given by its bit pattern.
void AppendFloat32LE(std::string& buffer, std::uint32_t bits);

using PrjVertexRecord = std::array<unsigned char, kPrjVertexSize>;

// One vertex record from the editor's coordinates. All three are converted before anything is
// encoded, so a failing coordinate (Error of PrjCoordinateBits, the first failing one of X, Y, Z)
// leaves no partial record.
PrjVertexRecord PrjVertexBytes(double x, double y, double z);

struct PrjVertex {
    std::array<std::uint32_t, 3> bits{};  // X, Y, Z as stored
};

struct PrjFace {
    std::int32_t sector = 0;
    std::array<PrjVertex, 4> vertices{};
};

// A project file read back, assuming 52-byte face records. `faces` holds every whole record the
// bytes contain, even when the file is not well formed; `problem` then says why (empty when the
// length is 4 + 52 * NFaces).
struct PrjContents {
    std::size_t length = 0;
    bool hasCount = false;
    std::int32_t count = 0;
    std::vector<PrjFace> faces;
    std::string problem;
};

PrjContents ReadPrj(const std::string& bytes);

// The shortest text that reads back as the same float32 ("0.1", "-0.25", "1e+20", "nan").
std::string Float32Text(std::uint32_t bits);

// A listing for people:
//   NAME: 108 bytes, NFaces 2
//   face 0: sector 0
//     vertex 0: 0 0 0   | 00 00 00 00  00 00 00 00  00 00 00 00
// and, for a file that is not well formed, a line "error: " + problem after the first line.
std::string FormatPrjDump(const std::string& name, const PrjContents& contents);

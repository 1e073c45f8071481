// Implements the byte layout of the project file: encoders, the reader and the listing.
#include "export/prjformat.h"

#include <algorithm>
#include <bit>
#include <charconv>

#include "export/prjfloat.h"

void PutUInt32LE(unsigned char* out, std::uint32_t value)
{
    out[0] = static_cast<unsigned char>(value);
    out[1] = static_cast<unsigned char>(value >> 8);
    out[2] = static_cast<unsigned char>(value >> 16);
    out[3] = static_cast<unsigned char>(value >> 24);
}

void PutInt32LE(unsigned char* out, std::int32_t value)
{
    PutUInt32LE(out, static_cast<std::uint32_t>(value));
}

std::uint32_t GetUInt32LE(const unsigned char* in)
{
    return std::uint32_t{in[0]} | (std::uint32_t{in[1]} << 8) | (std::uint32_t{in[2]} << 16)
        | (std::uint32_t{in[3]} << 24);
}

std::int32_t GetInt32LE(const unsigned char* in)
{
    return static_cast<std::int32_t>(GetUInt32LE(in));
}

void AppendFloat32LE(std::string& buffer, std::uint32_t bits)
{
    unsigned char bytes[4];
    PutUInt32LE(bytes, bits);
    buffer.append(reinterpret_cast<const char*>(bytes), 4);
}

void AppendInt32LE(std::string& buffer, std::int32_t value)
{
    AppendFloat32LE(buffer, static_cast<std::uint32_t>(value));
}

PrjVertexRecord PrjVertexBytes(double x, double y, double z)
{
    const std::uint32_t bx = PrjCoordinateBits(x);
    const std::uint32_t by = PrjCoordinateBits(y);
    const std::uint32_t bz = PrjCoordinateBits(z);
    PrjVertexRecord record{};
    PutUInt32LE(record.data(), bx);
    PutUInt32LE(record.data() + 4, by);
    PutUInt32LE(record.data() + 8, bz);
    return record;
}

PrjContents ReadPrj(const std::string& bytes)
{
    PrjContents contents;
    contents.length = bytes.size();
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    if (bytes.size() < kPrjCountSize) {
        contents.problem = "length " + std::to_string(bytes.size()) + " is too short for the face count (4 bytes)";
        return contents;
    }
    contents.hasCount = true;
    contents.count = GetInt32LE(data);

    const std::size_t body = bytes.size() - kPrjCountSize;
    const std::size_t whole = body / kPrjFaceSize;
    const std::size_t left = body % kPrjFaceSize;
    contents.faces.resize(whole);
    for (std::size_t f = 0; f < whole; ++f) {
        const unsigned char* record = data + kPrjCountSize + f * kPrjFaceSize;
        PrjFace& face = contents.faces[f];
        face.sector = GetInt32LE(record);
        for (std::size_t v = 0; v < 4; ++v)
            for (std::size_t c = 0; c < 3; ++c)
                face.vertices[v].bits[c] = GetUInt32LE(record + 4 + v * kPrjVertexSize + c * 4);
    }

    if (left != 0) {
        contents.problem = "length " + std::to_string(bytes.size()) + " does not fit 4 + 52 per face: "
            + std::to_string(whole) + (whole == 1 ? " face and " : " faces and ") + std::to_string(left)
            + (left == 1 ? " byte left" : " bytes left");
    } else if (contents.count < 0 || static_cast<std::size_t>(contents.count) != whole) {
        contents.problem = "NFaces " + std::to_string(contents.count) + " disagrees with the length "
            + std::to_string(bytes.size()) + ", which holds " + std::to_string(whole)
            + (whole == 1 ? " face" : " faces");
    }
    return contents;
}

std::string Float32Text(std::uint32_t bits)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::bit_cast<float>(bits));
    return std::string(buffer, result.ptr);
}

namespace {

void AppendHexByte(std::string& out, std::uint32_t byte)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    out += kHex[(byte >> 4) & 0xF];
    out += kHex[byte & 0xF];
}

}  // namespace

std::string FormatPrjDump(const std::string& name, const PrjContents& contents)
{
    std::string out = name + ": " + std::to_string(contents.length) + " bytes";
    if (contents.hasCount)
        out += ", NFaces " + std::to_string(contents.count);
    out += '\n';
    if (!contents.problem.empty())
        out += "error: " + contents.problem + '\n';

    // The decimals first, so that the byte columns line up.
    std::vector<std::string> decimals;
    decimals.reserve(contents.faces.size() * 4);
    std::size_t width = 0;
    for (const PrjFace& face : contents.faces)
        for (const PrjVertex& vertex : face.vertices) {
            decimals.push_back(Float32Text(vertex.bits[0]) + ' ' + Float32Text(vertex.bits[1]) + ' '
                + Float32Text(vertex.bits[2]));
            width = std::max(width, decimals.back().size());
        }

    std::size_t next = 0;
    for (std::size_t f = 0; f < contents.faces.size(); ++f) {
        const PrjFace& face = contents.faces[f];
        out += "face " + std::to_string(f) + ": sector " + std::to_string(face.sector) + '\n';
        for (std::size_t v = 0; v < face.vertices.size(); ++v) {
            const std::string& decimal = decimals[next++];
            out += "  vertex " + std::to_string(v) + ": " + decimal;
            out.append(width - decimal.size(), ' ');
            out += " |";
            for (std::size_t c = 0; c < 3; ++c) {
                out += c == 0 ? " " : "  ";
                for (int b = 0; b < 4; ++b) {
                    if (b != 0)
                        out += ' ';
                    AppendHexByte(out, face.vertices[v].bits[c] >> (8 * b));
                }
            }
            out += '\n';
        }
    }
    return out;
}

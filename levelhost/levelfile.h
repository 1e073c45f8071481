// The level that the stand-in editor serves, and its plain-text file format.
//
// One directive a line; '#' starts a comment that runs to the end of the line; blank lines are ignored;
// tokens are separated by blanks or tabs.
//   sector            begins the next sector (sectors count from 0 in file order)
//   v X Y Z           adds a vertex to the current sector (vertices count from 0 within it)
//   s A B I0 I1 ...   adds a surface to the current sector: its two adjoin answers, then the sector vertex
//                     indices of the face in order (none, one or many)
//   select SC SF VX   the current selection (0 0 0 when absent)
// Only syntax is checked: a surface may name vertices that its sector lacks, and the selection may name
// anything at all; the editor's operations fail for those when they are used.
#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace levelfile {

struct Vertex {
    double x = 0, y = 0, z = 0;
};

struct Surface {
    std::int32_t adjoinA = -1;
    std::int32_t adjoinB = -1;
    std::vector<std::int32_t> vertices;  // sector vertex indices, in the face's order
};

struct Sector {
    std::vector<Vertex> vertices;
    std::vector<Surface> surfaces;
};

struct Level {
    std::vector<Sector> sectors;
    std::int32_t curSC = 0;
    std::int32_t curSF = 0;
    std::int32_t curVX = 0;
};

// A refused level file; the message reads "FILE:LINE: what is wrong".
class SyntaxError : public std::runtime_error {
public:
    explicit SyntaxError(const std::string& message) : std::runtime_error(message) {}
};

// Reads the text of a level file; fileName only serves the error messages.
Level Parse(const std::string& text, const std::string& fileName);

// Writes a level in the same format; Parse(Format(level)) gives the level back bit for bit
// (infinities, NaNs and negative zero included).
std::string Format(const Level& level);

// Reads a whole file / writes a whole file; both throw std::runtime_error naming the file on failure.
Level Load(const std::string& path);
void Save(const Level& level, const std::string& path);

// Number texts of the format. ParseReal reads what C's strtod reads (decimal, hex floats, inf,
// infinity, nan, nan(...), an optional sign), correctly rounded, and insists on the whole token.
bool ParseReal(const std::string& token, double& value);
bool ParseInt32(const std::string& token, std::int32_t& value, bool& outOfRange);
// The shortest text that reads back as the same double ("0.1", "-0", "inf", "-inf", "nan").
std::string FormatReal(double value);

}  // namespace levelfile

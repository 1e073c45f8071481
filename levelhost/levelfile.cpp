// Implements the level file: reading, writing and the number texts it uses.
#include "levelhost/levelfile.h"

#include <charconv>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

namespace levelfile {

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::vector<std::string> Tokens(const std::string& line)
{
    std::vector<std::string> tokens;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && IsBlank(line[i]))
            ++i;
        const std::size_t start = i;
        while (i < line.size() && !IsBlank(line[i]))
            ++i;
        if (i > start)
            tokens.push_back(line.substr(start, i - start));
    }
    return tokens;
}

// Reads the directives of one file, keeping the position for the messages.
class Reader {
public:
    Reader(const std::string& fileName) : fileName_(fileName) {}

    void Line(const std::string& rawLine, int number)
    {
        line_ = number;
        const std::string text = rawLine.substr(0, rawLine.find('#'));
        const std::vector<std::string> tokens = Tokens(text);
        if (tokens.empty())
            return;
        const std::string& directive = tokens[0];
        const std::size_t args = tokens.size() - 1;
        if (directive == "sector") {
            if (args != 0)
                Fail("sector takes no numbers, found " + std::to_string(args));
            level_.sectors.emplace_back();
        } else if (directive == "v") {
            if (level_.sectors.empty())
                Fail("v before any sector");
            if (args != 3)
                Fail("v needs 3 numbers (X Y Z), found " + std::to_string(args));
            Vertex v;
            v.x = Real(tokens[1]);
            v.y = Real(tokens[2]);
            v.z = Real(tokens[3]);
            level_.sectors.back().vertices.push_back(v);
        } else if (directive == "s") {
            if (level_.sectors.empty())
                Fail("s before any sector");
            if (args < 2)
                Fail("s needs the two adjoin answers, found " + std::to_string(args) + " numbers");
            Surface s;
            s.adjoinA = Integer(tokens[1]);
            s.adjoinB = Integer(tokens[2]);
            for (std::size_t i = 3; i < tokens.size(); ++i)
                s.vertices.push_back(Integer(tokens[i]));
            level_.sectors.back().surfaces.push_back(std::move(s));
        } else if (directive == "select") {
            if (args != 3)
                Fail("select needs 3 numbers (SC SF VX), found " + std::to_string(args));
            level_.curSC = Integer(tokens[1]);
            level_.curSF = Integer(tokens[2]);
            level_.curVX = Integer(tokens[3]);
        } else {
            Fail("unknown directive '" + directive + "'");
        }
    }

    Level Take() { return std::move(level_); }

private:
    [[noreturn]] void Fail(const std::string& what) const
    {
        throw SyntaxError(fileName_ + ":" + std::to_string(line_) + ": " + what);
    }

    double Real(const std::string& token) const
    {
        double value = 0;
        if (!ParseReal(token, value))
            Fail("bad number '" + token + "'");
        return value;
    }

    std::int32_t Integer(const std::string& token) const
    {
        std::int32_t value = 0;
        bool outOfRange = false;
        if (!ParseInt32(token, value, outOfRange))
            Fail(outOfRange ? "integer out of range '" + token + "'" : "bad integer '" + token + "'");
        return value;
    }

    std::string fileName_;
    int line_ = 0;
    Level level_;
};

}  // namespace

bool ParseReal(const std::string& token, double& value)
{
    const char* first = token.data();
    const char* const last = first + token.size();
    bool negative = false;
    if (first != last && (*first == '+' || *first == '-')) {
        negative = *first == '-';
        ++first;
    }
    if (first == last || *first == '+' || *first == '-')
        return false;

    std::chars_format format = std::chars_format::general;
    if (last - first > 2 && first[0] == '0' && (first[1] == 'x' || first[1] == 'X')) {
        first += 2;
        format = std::chars_format::hex;
        if (*first == '+' || *first == '-')
            return false;
    }
    double parsed = 0;
    const auto [end, error] = std::from_chars(first, last, parsed, format);
    if (end != last)
        return false;
    if (error == std::errc::result_out_of_range) {
        // Beyond the range of a double: strtod's answer (an infinity, or zero after underflow) is what we keep.
        value = std::strtod(token.c_str(), nullptr);
        return true;
    }
    if (error != std::errc())
        return false;
    value = negative ? -parsed : parsed;
    return true;
}

bool ParseInt32(const std::string& token, std::int32_t& value, bool& outOfRange)
{
    outOfRange = false;
    const char* first = token.data();
    const char* const last = first + token.size();
    if (first != last && *first == '+') {
        ++first;
        if (first != last && *first == '-')
            return false;
    }
    if (first == last)
        return false;
    std::int32_t parsed = 0;
    const auto [end, error] = std::from_chars(first, last, parsed, 10);
    if (end != last) {
        // "12abc" or "1.5": not an integer, whatever its leading digits read as.
        return false;
    }
    if (error == std::errc::result_out_of_range) {
        outOfRange = true;
        return false;
    }
    if (error != std::errc())
        return false;
    value = parsed;
    return true;
}

std::string FormatReal(double value)
{
    char buffer[64];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (error != std::errc())
        return "nan";  // cannot happen: 64 characters hold every shortest double text
    return std::string(buffer, end);
}

Level Parse(const std::string& text, const std::string& fileName)
{
    Reader reader(fileName);
    std::size_t start = 0;
    int number = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        ++number;
        reader.Line(text.substr(start, end - start), number);
        start = end + 1;
    }
    return reader.Take();
}

std::string Format(const Level& level)
{
    std::string out;
    out += "select " + std::to_string(level.curSC) + " " + std::to_string(level.curSF) + " " +
           std::to_string(level.curVX) + "\n";
    for (std::size_t i = 0; i < level.sectors.size(); ++i) {
        const Sector& sector = level.sectors[i];
        out += "sector  # " + std::to_string(i) + "\n";
        for (const Vertex& v : sector.vertices)
            out += "v " + FormatReal(v.x) + " " + FormatReal(v.y) + " " + FormatReal(v.z) + "\n";
        for (const Surface& s : sector.surfaces) {
            out += "s " + std::to_string(s.adjoinA) + " " + std::to_string(s.adjoinB);
            for (std::int32_t index : s.vertices)
                out += " " + std::to_string(index);
            out += "\n";
        }
    }
    return out;
}

Level Load(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("Cannot read level file " + path);
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad())
        throw std::runtime_error("Cannot read level file " + path);
    return Parse(text.str(), path);
}

void Save(const Level& level, const std::string& path)
{
    const std::string text = Format(level);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        throw std::runtime_error("Cannot write level file " + path);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out)
        throw std::runtime_error("Cannot write level file " + path);
}

}  // namespace levelfile

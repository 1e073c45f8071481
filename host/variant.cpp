// Implements the portable answer value and the rules for reading answers as integers.
#include <charconv>
#include <cmath>
#include <limits>
#include "host/dispatch.h"
#include "global/errors.h"

HostVariant::~HostVariant() = default;

HostVariant HostVariant::MakeNull()
{
    HostVariant v;
    v.kind_ = Kind::Null;
    v.type_ = 1;  // VT_NULL
    return v;
}

HostVariant HostVariant::MakeInteger(int64_t value, uint16_t type)
{
    HostVariant v;
    v.kind_ = Kind::Integer;
    v.type_ = type;
    v.integer_ = value;
    return v;
}

HostVariant HostVariant::MakeReal(double value, uint16_t type)
{
    HostVariant v;
    v.kind_ = Kind::Real;
    v.type_ = type;
    v.real_ = value;
    return v;
}

HostVariant HostVariant::MakeBool(bool value)
{
    HostVariant v;
    v.kind_ = Kind::Bool;
    v.type_ = 11;  // VT_BOOL
    v.integer_ = value ? -1 : 0;
    return v;
}

HostVariant HostVariant::MakeText(std::string value)
{
    HostVariant v;
    v.kind_ = Kind::Text;
    v.type_ = 8;  // VT_BSTR
    v.text_ = std::move(value);
    return v;
}

HostVariant HostVariant::MakeObject(std::unique_ptr<HostDispatch> object)
{
    HostVariant v;
    v.kind_ = Kind::Object;
    v.type_ = 9;  // VT_DISPATCH
    v.object_ = std::move(object);
    return v;
}

HostVariant HostVariant::MakeOther(uint16_t type)
{
    HostVariant v;
    v.kind_ = Kind::Other;
    v.type_ = type;
    return v;
}

std::unique_ptr<HostDispatch> HostVariant::TakeObject()
{
    return std::move(object_);
}

std::string HostVariant::Describe() const
{
    switch (kind_) {
    case Kind::Empty: return "empty";
    case Kind::Null: return "null";
    case Kind::Integer: return (type_ == 20 ? "i8:" : "i4:") + std::to_string(integer_);
    case Kind::Real: {
        char buf[40];
        const auto r = std::to_chars(buf, buf + sizeof buf, real_);
        return "r8:" + std::string(buf, r.ptr);
    }
    case Kind::Bool: return integer_ ? "bool:true" : "bool:false";
    case Kind::Text: return "bstr:" + text_;
    case Kind::Object: return object_ ? "object" : "object:none";
    case Kind::Other: return "other:" + std::to_string(type_);
    }
    return "?";
}

namespace {

const char kTypeConversion[] = "Invalid variant type conversion";
const char kOperation[] = "Invalid variant operation";

// Nearest integer, halves to the even neighbour, whatever the floating-point rounding mode.
double RoundHalfEven(double x)
{
    const double down = std::floor(x);
    const double rest = x - down;
    if (rest > 0.5)
        return down + 1;
    if (rest < 0.5)
        return down;
    return std::fmod(down, 2.0) == 0 ? down : down + 1;
}

bool FitsInt32(int64_t v)
{
    return v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max();
}

}  // namespace

int32_t ToInt32(const HostVariant& answer)
{
    switch (answer.kind()) {
    case HostVariant::Kind::Empty:
        return 0;
    case HostVariant::Kind::Bool:
        return answer.boolean() ? -1 : 0;
    case HostVariant::Kind::Integer:
        // A number that cannot be read as an int32 is refused like a value of the wrong kind.
        if (!FitsInt32(answer.integer()))
            throw Error(kTypeConversion);
        return static_cast<int32_t>(answer.integer());
    case HostVariant::Kind::Real: {
        const double r = RoundHalfEven(answer.real());
        if (!(r >= -2147483648.0 && r <= 2147483647.0))  // also refuses NaN
            throw Error(kTypeConversion);
        return static_cast<int32_t>(r);
    }
    default:
        throw Error(kTypeConversion);
    }
}

bool VariantEqualsInt(const HostVariant& answer, int32_t value)
{
    switch (answer.kind()) {
    case HostVariant::Kind::Null:
        return false;
    case HostVariant::Kind::Integer:
    case HostVariant::Kind::Bool:
        return answer.integer() == value;
    case HostVariant::Kind::Real:
        return answer.real() == static_cast<double>(value);
    case HostVariant::Kind::Text: {
        // Text is compared as the number it spells; text that is no number matches nothing.
        const std::string& t = answer.text();
        size_t b = 0, e = t.size();
        while (b < e && (t[b] == ' ' || t[b] == '\t'))
            ++b;
        while (e > b && (t[e - 1] == ' ' || t[e - 1] == '\t'))
            --e;
        if (b + 1 < e && t[b] == '+' && t[b + 1] != '-')
            ++b;
        double number = 0;
        const auto r = std::from_chars(t.data() + b, t.data() + e, number);
        if (b == e || r.ec != std::errc() || r.ptr != t.data() + e)
            return false;
        return number == static_cast<double>(value);
    }
    default:
        throw Error(kOperation);
    }
}

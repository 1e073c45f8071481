// The coordinate conversion of the project file: fixed values (they run in both builds, so the
// Windows build shows that no exact C runtime is needed), and natively a comparison over millions
// of doubles with an independent reference built from glibc, whose printf and strtold are exact.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <string>

#include "export/prjfloat.h"
#include "global/errors.h"

namespace {

double Pow2(int e) { return std::ldexp(1.0, e); }

std::string ErrorOf(double x)
{
    try {
        PrjCoordinateBits(x);
    } catch (const Error& error) {
        return error.what();
    }
    return "";
}

struct Stored {
    const char* what;
    double x;
    std::uint32_t bits;
};

const Stored kStored[] = {
    {"0.1", 0.1, 0x3DCCCCCDu},
    {"negative zero is stored as positive zero", -0.0, 0x00000000u},
    {"zero", 0.0, 0x00000000u},
    {"15 digits fall below the midpoint a direct rounding sees", 1 + 3 * Pow2(-24) + Pow2(-52), 0x3F800001u},
    {"the 16th digit 5 rounds the cut up", 1 + Pow2(-24) + Pow2(-52), 0x3F800001u},
    {"2", 2.0, 0x40000000u},
    {"1.5", 1.5, 0x3FC00000u},
    {"-0.25", -0.25, 0xBE800000u},
    {"-1", -1.0, 0xBF800000u},
    {"0.3", 0.3, 0x3E99999Au},
    {"1e20", 1e20, 0x60AD78ECu},
    {"above 10^17", 123456789012345678.0, 0x5BDB4DA6u},
    {"1 - 2^-53 carries to 1", 1 - Pow2(-53), 0x3F800000u},
    {"integer tie goes to even, down", 16777217.0, 0x4B800000u},
    {"integer tie goes to even, up", 16777219.0, 0x4B800002u},
    {"exact tie at the 19th digit", 100000000.0009765625, 0x4CBEBC20u},
    // The 15 digits read into 64 bits land exactly on a float32 midpoint, which then goes to the
    // even neighbour; a direct rounding of the digits to float32 would pick the other one.
    {"64-bit value on a midpoint, even below", 0x1.69f1cdp-53, 0x2534F8E6u},
    {"64-bit value on a midpoint, even above", 0x1.024e17p-123, 0x0201270Cu},
    {"64-bit value on a midpoint, even above (large)", 0x1.3cf517p+75, 0x651E7A8Cu},
    {"64-bit value on a midpoint, even below (large)", 0x1.4d8811p+82, 0x68A6C408u},
    {"FLT_MAX", FLT_MAX, 0x7F7FFFFFu},
    {"15 digits just below the overflow boundary", 3.40282356779733e38, 0x7F7FFFFFu},
    {"smallest normal", 1.17549435082229e-38, 0x00800000u},
    {"subnormal", 1e-40, 0x000116C2u},
    {"smallest subnormal", 1.4e-45, 0x00000001u},
    {"below half the smallest subnormal", 7e-46, 0x00000000u},
    {"15 digits just above half the smallest subnormal", 7.00649232162409e-46, 0x00000001u},
    {"15 digits just below half the smallest subnormal", 7.00649232162408e-46, 0x00000000u},
    {"DBL_MIN", DBL_MIN, 0x00000000u},
    {"DBL_TRUE_MIN", DBL_TRUE_MIN, 0x00000000u},
    {"a tiny negative value keeps its sign", -DBL_TRUE_MIN, 0x80000000u},
};

TEST(PrjCoordinate, StoredBits)
{
    for (const Stored& c : kStored) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(PrjCoordinateBits(c.x), c.bits);
    }
    EXPECT_EQ(PrjCoordinate(0.1), 0.1f);
}

TEST(PrjCoordinate, Errors)
{
    const struct {
        double x;
        const char* message;
    } cases[] = {
        {INFINITY, "'INF' is not a valid floating point value"},
        {-INFINITY, "'-INF' is not a valid floating point value"},
        {NAN, "'NAN' is not a valid floating point value"},
        {-NAN, "'NAN' is not a valid floating point value"},
        {DBL_MAX, "Floating point overflow"},
        {1e300, "Floating point overflow"},
        {3.40282356779734e38, "Floating point overflow"},
        {-3.40282356779734e38, "Floating point overflow"},
        {Pow2(128) - Pow2(103), "Floating point overflow"},  // the float32 midpoint itself
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.x);
        EXPECT_EQ(ErrorOf(c.x), c.message);
    }
}

TEST(PrjCoordinate, Text)
{
    const struct {
        double x;
        const char* text;
    } cases[] = {
        {0.0, "0"},
        {-0.0, "0"},
        {0.1, "0.1"},
        {-0.25, "-0.25"},
        {1 + Pow2(-24) + Pow2(-52), "1.00000005960465"},
        {1 + 3 * Pow2(-24) + Pow2(-52), "1.00000017881393"},
        {1 - Pow2(-53), "1"},
        {250.0, "250"},
        {123456789012345.0, "123456789012345"},
        {1234567890123456.0, "1.23456789012346E+15"},
        {0.00001, "0.00001"},
        {0.000001, "1E-6"},
        {1.5e20, "1.5E+20"},
        {DBL_MAX, "1.79769313486232E+308"},
        {-DBL_TRUE_MIN, "-4.94065645841247E-324"},
        {INFINITY, "INF"},
        {-INFINITY, "-INF"},
        {NAN, "NAN"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PrjCoordinateText(c.x), c.text) << c.x;
}

}  // namespace

#ifndef _WIN32
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

namespace {

// The reference: glibc prints the 18 correctly rounded digits; the cut to 15 follows the rule;
// glibc's strtold reads the 15 digits exactly into the x87 64-bit significand; the cast to float
// rounds to float32. An infinite float means overflow.
struct Reference {
    std::uint64_t digits = 0;
    int exponent = 0;
    bool overflow = false;
    std::uint32_t bits = 0;
};

Reference ReferenceOf(double x)
{
    Reference r;
    char printed[64];
    std::snprintf(printed, sizeof printed, "%.17e", std::fabs(x));
    // "D.DDDDDDDDDDDDDDDDDe+XX"
    std::uint64_t q = 0;
    const char* digit = printed;
    for (int i = 0; i < 15; ++i, ++digit) {
        if (*digit == '.')
            ++digit;
        q = q * 10 + static_cast<std::uint64_t>(*digit - '0');
    }
    if (*digit >= '5')
        ++q;
    int exponent = std::atoi(std::strchr(printed, 'e') + 1) - 14;
    if (q == 1000000000000000ull) {
        q /= 10;
        ++exponent;
    }
    while (q % 10 == 0) {
        q /= 10;
        ++exponent;
    }
    r.digits = q;
    r.exponent = exponent;

    char text[64];
    std::snprintf(text, sizeof text, "%s%llue%d", x < 0 ? "-" : "", static_cast<unsigned long long>(q), exponent);
    const long double extended = std::strtold(text, nullptr);
    const float f = static_cast<float>(extended);
    r.overflow = std::isinf(f);
    std::memcpy(&r.bits, &f, sizeof f);
    return r;
}

std::uint64_t BitsOf(double x)
{
    std::uint64_t bits;
    std::memcpy(&bits, &x, sizeof x);
    return bits;
}

double DoubleOf(std::uint64_t bits)
{
    double x;
    std::memcpy(&x, &bits, sizeof x);
    return x;
}

// x moved by k units in the last place (same sign, k small).
double Nudge(double x, int k)
{
    return DoubleOf(BitsOf(x) + static_cast<std::uint64_t>(static_cast<std::int64_t>(k)));
}

struct Tally {
    explicit Tally(const char* n) : name(n) {}
    const char* name;
    long cases = 0;
    long mismatches = 0;
    std::string first;
};

void Check(Tally& tally, double x)
{
    if (!std::isfinite(x) || x == 0)
        return;
    ++tally.cases;
    const Reference ref = ReferenceOf(x);
    const PrjConversion ours = PrjConvertFinite(x);
    const PrjDecimal& decimal = ours.decimal;
    const std::uint32_t bits = ours.bits;
    const bool overflow = ours.overflow;
    const bool same = decimal.digits == ref.digits && decimal.exponent == ref.exponent && decimal.negative == (x < 0)
        && overflow == ref.overflow && (overflow || bits == ref.bits);
    if (same)
        return;
    if (tally.mismatches++ == 0) {
        char line[256];
        std::snprintf(line, sizeof line,
            "x %.17g (bits %016llX): digits %llue%d, expected %llue%d; float %08X%s, expected %08X%s", x,
            static_cast<unsigned long long>(BitsOf(x)), static_cast<unsigned long long>(decimal.digits),
            decimal.exponent, static_cast<unsigned long long>(ref.digits), ref.exponent, bits,
            overflow ? " (overflow)" : "", ref.bits, ref.overflow ? " (overflow)" : "");
        tally.first = line;
    }
}

TEST(PrjCoordinate, MatchesExactReference)
{
    std::mt19937_64 random(20240601);
    auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(random); };
    auto integer = [&](long lo, long hi) { return std::uniform_int_distribution<long>(lo, hi)(random); };
    auto sign = [&](double x) { return (random() & 1) != 0 ? -x : x; };
    std::vector<Tally> tallies;

    {  // any bit pattern
        Tally t{"random bit patterns"};
        for (int i = 0; i < 1500000; ++i)
            Check(t, DoubleOf(random()));
        tallies.push_back(t);
    }
    {  // the float32 midpoints, where the two roundings and a direct rounding part ways
        Tally t{"near float32 midpoints"};
        for (int i = 0; i < 200000; ++i) {
            const std::uint32_t fbits = static_cast<std::uint32_t>(integer(1, 0x7F7FFFFE));
            float lo;
            float hi;
            std::memcpy(&lo, &fbits, 4);
            const std::uint32_t next = fbits + 1;
            std::memcpy(&hi, &next, 4);
            const double mid = sign((static_cast<double>(lo) + static_cast<double>(hi)) / 2);
            for (int k = -2; k <= 2; ++k)
                Check(t, Nudge(mid, k));
            Check(t, mid * (1 + uniform(-1e-15, 1e-15)));
        }
        tallies.push_back(t);
    }
    {  // around the largest float32 and the overflow boundary half an ulp above it
        Tally t{"near the float32 overflow boundary"};
        const double boundary = Pow2(128) - Pow2(103);
        for (int i = 0; i < 100000; ++i) {
            Check(t, sign(boundary * (1 + uniform(-3e-14, 3e-14))));
            Check(t, sign(Nudge(boundary, static_cast<int>(integer(-2000, 2000)))));
            Check(t, sign(static_cast<double>(FLT_MAX) * (1 + uniform(-1e-7, 1e-7))));
        }
        tallies.push_back(t);
    }
    {  // below the normal range: subnormal midpoints, the smallest normal, half the smallest subnormal
        Tally t{"float32 subnormal range"};
        for (int i = 0; i < 100000; ++i) {
            Check(t, sign(uniform(0.5, 1.0) * Pow2(static_cast<int>(integer(-160, -120)))));
            const double midpoint = (static_cast<double>(integer(0, 1 << 23)) + 0.5) * Pow2(-149);
            Check(t, sign(midpoint * (1 + uniform(-1e-14, 1e-14))));
            Check(t, sign(Nudge(midpoint, static_cast<int>(integer(-3, 3)))));
            Check(t, sign(Pow2(-150) * (1 + uniform(-1e-14, 1e-14))));
            Check(t, sign(Pow2(-126) * (1 + uniform(-1e-14, 1e-14))));
        }
        tallies.push_back(t);
    }
    {  // 16th to 18th digits close to 5 and to 4999..., where the cut decides
        Tally t{"16th-18th digits near 5"};
        static const char* const kTails[] = {"5", "4999", "49999", "5000", "50001", "4995", "49949", "49950", "9995",
            "99949", "0005", "00049"};
        for (int i = 0; i < 120000; ++i) {
            char text[64];
            std::snprintf(text, sizeof text, "%ld%se%ld", integer(100000000000000L, 999999999999999L),
                kTails[integer(0, std::size(kTails) - 1)], integer(-340, 295));
            const double x = sign(std::strtod(text, nullptr));
            for (int k = -2; k <= 2; ++k)
                Check(t, Nudge(x, k));
        }
        tallies.push_back(t);
    }
    {  // exact ties at the 19th digit: odd n * 2^-j with 19 significant digits
        Tally t{"exact 19-digit ties"};
        for (int i = 0; i < 100000; ++i) {
            const int j = static_cast<int>(integer(4, 22));
            const double pow5 = std::pow(5.0, j);
            const long lo = static_cast<long>(std::ceil(1e18 / pow5));
            const long hi = std::min(static_cast<long>(std::floor(1e19 / pow5)) - 1, (1L << 53) - 2);
            const long n = integer(lo, hi) | 1;
            Check(t, sign(std::ldexp(static_cast<double>(n), -j)));
        }
        tallies.push_back(t);
    }

    for (const Tally& t : tallies) {
        std::printf("[ %-36s ] %8ld cases, %ld mismatches\n", t.name, t.cases, t.mismatches);
        EXPECT_GT(t.cases, 50000) << t.name;
        EXPECT_EQ(t.mismatches, 0) << t.name << ": first " << t.first;
    }
}

}  // namespace
#endif

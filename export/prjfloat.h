// Coordinates of the project file: a 64-bit coordinate from the editor becomes the float32 the
// converter reads. The value is first rounded to 15 significant decimal digits, in two steps
// (to 18 digits, to nearest, then cut to 15: up when the 16th digit is 5 or more, down otherwise,
// whatever follows), then read back with a 64-bit significand (80-bit extended, to nearest, ties
// to even), and that value is rounded to float32 (to nearest, ties to even).
//
// All of it is exact integer arithmetic of our own: the C runtimes we build with do not all round
// long digit strings correctly, and the stored bits must not depend on the runtime.
#pragma once
#include <bit>
#include <cstdint>
#include <string>

// A coordinate rounded to 15 significant digits: value = (negative ? -1 : 1) * digits * 10^exponent.
// digits has at most 15 decimal digits and no trailing zeros; zero of either sign is {false, 0, 0}.
struct PrjDecimal {
    bool negative = false;
    std::uint64_t digits = 0;
    int exponent = 0;
};

// The float32 bit pattern stored for a coordinate. Throws Error (global/errors.h):
//   +inf  "'INF' is not a valid floating point value"
//   -inf  "'-INF' is not a valid floating point value"
//   NaN   "'NAN' is not a valid floating point value"
//   "Floating point overflow" when the 15-digit value, rounded to float32, would be infinite.
// Values too small for a normal float32 become subnormal or zero without an error. A negative
// value so small that it rounds to zero keeps its sign (0x80000000); only a zero coordinate of
// either sign has the text "0" and is stored as +0.
std::uint32_t PrjCoordinateBits(double x);

// The whole conversion of a finite coordinate, without exceptions (for callers that convert in
// bulk): the 15-digit decimal and, unless the float32 would be infinite, the stored bits.
struct PrjConversion {
    PrjDecimal decimal;
    bool overflow = false;
    std::uint32_t bits = 0;
};
PrjConversion PrjConvertFinite(double x);

inline float PrjCoordinate(double x) { return std::bit_cast<float>(PrjCoordinateBits(x)); }

// The 15-digit text of a coordinate, for people and tests; it never fails. Layout: "-" for a
// negative value, then fixed notation when the decimal exponent of the first digit lies in
// -5..14 ("0.1", "1.00000005960465", "-250", "0.00001"), otherwise one digit, the others after a
// point, and "E", a sign and the exponent ("1.5E+20", "1E-40", "1.79769313486232E+308").
// Zero is "0"; the non-finite values are "INF", "-INF" and "NAN".
std::string PrjCoordinateText(double x);

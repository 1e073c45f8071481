// Implements the coordinate conversion of the project file with exact integer arithmetic.
//
// A finite double is m * 2^e with an integer m < 2^53. Every step below works on exact integers
// built from m, e and powers of five (10^k = 5^k * 2^k, so the power of two is a shift), and keeps
// what a division leaves as a "rest": zero, below half a unit, exactly half, or above half. That is
// all a rounding to nearest needs.
#include "export/prjfloat.h"

#include <bit>
#include <cstring>

#include "global/errors.h"

namespace {

// An unsigned integer of fixed capacity, least significant 32-bit limb first, without leading
// zero limbs (zero has no limbs). The largest number the conversion builds has about 1200 bits:
// the smallest subnormal scaled up to 18 digits (m * 5^342).
class Big {
public:
    static constexpr int kLimbs = 48;

    // Only the limbs in use are ever read, so only they are copied.
    Big() = default;
    explicit Big(std::uint64_t value) { Assign(value); }
    Big(const Big& other) : n_(other.n_) { std::memcpy(w_, other.w_, sizeof w_[0] * n_); }
    Big& operator=(const Big& other)
    {
        n_ = other.n_;
        std::memcpy(w_, other.w_, sizeof w_[0] * n_);
        return *this;
    }

    void Assign(std::uint64_t value)
    {
        n_ = 0;
        while (value != 0) {
            w_[n_++] = static_cast<std::uint32_t>(value);
            value >>= 32;
        }
    }

    int Limbs() const { return n_; }
    std::uint32_t Limb(int i) const { return i < n_ ? w_[i] : 0; }
    bool IsZero() const { return n_ == 0; }

    int BitLength() const { return n_ == 0 ? 0 : 32 * (n_ - 1) + std::bit_width(w_[n_ - 1]); }

    bool Bit(int i) const { return i >= 0 && ((Limb(i / 32) >> (i % 32)) & 1u) != 0; }

    // True when any bit below bit i is set.
    bool AnyBitBelow(int i) const
    {
        if (i <= 0)
            return false;
        const int full = i / 32;
        for (int k = 0; k < full && k < n_; ++k)
            if (w_[k] != 0)
                return true;
        const int part = i % 32;
        return part != 0 && (Limb(full) & ((1u << part) - 1u)) != 0;
    }

    // The 64 bits starting at bit `from` (from >= 0).
    std::uint64_t Bits64(int from) const
    {
        const int limb = from / 32;
        const int shift = from % 32;
        const std::uint64_t lo = Limb(limb) | (std::uint64_t{Limb(limb + 1)} << 32);
        if (shift == 0)
            return lo;
        return (lo >> shift) | (std::uint64_t{Limb(limb + 2)} << (64 - shift));
    }

    void MulSmall(std::uint32_t factor)
    {
        std::uint64_t carry = 0;
        for (int i = 0; i < n_; ++i) {
            const std::uint64_t t = std::uint64_t{w_[i]} * factor + carry;
            w_[i] = static_cast<std::uint32_t>(t);
            carry = t >> 32;
        }
        if (carry != 0)
            Push(static_cast<std::uint32_t>(carry));
    }

    void MulPow5(int k)
    {
        constexpr std::uint32_t kPow5_13 = 1220703125u;  // the largest power of five in 32 bits
        static constexpr std::uint32_t kSmall[13] = {1, 5, 25, 125, 625, 3125, 15625, 78125,
            390625, 1953125, 9765625, 48828125, 244140625};
        for (; k >= 13; k -= 13)
            MulSmall(kPow5_13);
        if (k > 0)
            MulSmall(kSmall[k]);
    }

    void ShiftLeft(int bits)
    {
        if (n_ == 0 || bits == 0)
            return;
        const int limbs = bits / 32;
        const int shift = bits % 32;
        const int top = n_ - 1 + limbs + 1;  // room for the bits pushed out of the top limb
        Require(top + 1);
        w_[top] = 0;
        for (int i = n_ - 1; i >= 0; --i) {
            const std::uint32_t v = w_[i];
            if (shift == 0) {
                w_[i + limbs] = v;
            } else {
                w_[i + limbs + 1] |= v >> (32 - shift);
                w_[i + limbs] = v << shift;
            }
        }
        for (int i = 0; i < limbs; ++i)
            w_[i] = 0;
        n_ = top + 1;
        Trim();
    }

    // Twice this number, compared with other: -1, 0 or 1.
    int CompareDoubled(const Big& other) const
    {
        const int len = n_ == 0 ? 0 : (w_[n_ - 1] >> 31) != 0 ? n_ + 1 : n_;
        if (len != other.n_)
            return len < other.n_ ? -1 : 1;
        for (int i = len - 1; i >= 0; --i) {
            const std::uint32_t doubled = (Limb(i) << 1) | (i > 0 ? w_[i - 1] >> 31 : 0);
            if (doubled != other.w_[i])
                return doubled < other.w_[i] ? -1 : 1;
        }
        return 0;
    }

    static int Compare(const Big& a, const Big& b)
    {
        if (a.n_ != b.n_)
            return a.n_ < b.n_ ? -1 : 1;
        for (int i = a.n_ - 1; i >= 0; --i)
            if (a.w_[i] != b.w_[i])
                return a.w_[i] < b.w_[i] ? -1 : 1;
        return 0;
    }

    // quotient = u / v and remainder = u % v, v not zero (long division with 32-bit digits,
    // estimating each quotient digit from the top two digits and correcting it).
    static void DivMod(const Big& u, const Big& v, Big& quotient, Big& remainder)
    {
        quotient.n_ = 0;
        if (Compare(u, v) < 0) {
            remainder = u;
            return;
        }
        const int n = v.n_;
        const int m = u.n_;
        if (n == 1) {
            const std::uint64_t d = v.w_[0];
            std::uint64_t rest = 0;
            quotient.n_ = m;
            for (int i = m - 1; i >= 0; --i) {
                const std::uint64_t cur = (rest << 32) | u.w_[i];
                quotient.w_[i] = static_cast<std::uint32_t>(cur / d);
                rest = cur % d;
            }
            quotient.Trim();
            remainder.Assign(rest);
            return;
        }

        // Normalise so that the divisor's top digit has its top bit set.
        const int s = std::countl_zero(v.w_[n - 1]);
        std::uint32_t vn[kLimbs];
        std::uint32_t un[kLimbs + 1];
        for (int i = n - 1; i > 0; --i)
            vn[i] = (v.w_[i] << s) | (s != 0 ? v.w_[i - 1] >> (32 - s) : 0);
        vn[0] = v.w_[0] << s;
        un[m] = s != 0 ? u.w_[m - 1] >> (32 - s) : 0;
        for (int i = m - 1; i > 0; --i)
            un[i] = (u.w_[i] << s) | (s != 0 ? u.w_[i - 1] >> (32 - s) : 0);
        un[0] = u.w_[0] << s;

        constexpr std::uint64_t kBase = std::uint64_t{1} << 32;
        quotient.n_ = m - n + 1;
        for (int j = m - n; j >= 0; --j) {
            const std::uint64_t top = (std::uint64_t{un[j + n]} << 32) | un[j + n - 1];
            std::uint64_t qhat = top / vn[n - 1];
            std::uint64_t rhat = top % vn[n - 1];
            while (qhat >= kBase || qhat * vn[n - 2] > ((rhat << 32) | un[j + n - 2])) {
                --qhat;
                rhat += vn[n - 1];
                if (rhat >= kBase)
                    break;
            }
            // un[j .. j+n] -= qhat * vn
            std::int64_t borrow = 0;
            std::int64_t t = 0;
            for (int i = 0; i < n; ++i) {
                const std::uint64_t p = qhat * vn[i];
                t = static_cast<std::int64_t>(un[i + j]) - borrow - static_cast<std::int64_t>(p & 0xFFFFFFFFu);
                un[i + j] = static_cast<std::uint32_t>(t);
                borrow = static_cast<std::int64_t>(p >> 32) - (t >> 32);
            }
            t = static_cast<std::int64_t>(un[j + n]) - borrow;
            un[j + n] = static_cast<std::uint32_t>(t);
            if (t < 0) {  // qhat was one too large: add the divisor back
                --qhat;
                std::uint64_t carry = 0;
                for (int i = 0; i < n; ++i) {
                    const std::uint64_t sum = std::uint64_t{un[i + j]} + vn[i] + carry;
                    un[i + j] = static_cast<std::uint32_t>(sum);
                    carry = sum >> 32;
                }
                un[j + n] = static_cast<std::uint32_t>(un[j + n] + carry);
            }
            quotient.w_[j] = static_cast<std::uint32_t>(qhat);
        }
        quotient.Trim();

        remainder.n_ = n;
        for (int i = 0; i < n; ++i)
            remainder.w_[i] = (un[i] >> s) | (s != 0 ? un[i + 1] << (32 - s) : 0);
        remainder.Trim();
    }

private:
    void Require(int limbs)
    {
        // The conversion's own bounds keep every number far below the capacity; exceeding it
        // would be a defect here, not a property of the input.
        if (limbs > kLimbs)
            throw Error("Internal error: number too large in the coordinate conversion");
        for (int i = n_; i < limbs; ++i)
            w_[i] = 0;
    }

    void Push(std::uint32_t limb)
    {
        Require(n_ + 1);
        w_[n_++] = limb;
    }

    void Trim()
    {
        while (n_ > 0 && w_[n_ - 1] == 0)
            --n_;
    }

    std::uint32_t w_[kLimbs];
    int n_ = 0;
};

// What a division or a cut leaves below the kept unit.
enum class Rest { Zero, BelowHalf, Half, AboveHalf };

Rest RestOfRemainder(const Big& remainder, const Big& divisor)
{
    if (remainder.IsZero())
        return Rest::Zero;
    const int c = remainder.CompareDoubled(divisor);
    return c < 0 ? Rest::BelowHalf : c == 0 ? Rest::Half : Rest::AboveHalf;
}

// The rest when the lowest `bits` bits of n are dropped.
Rest RestOfLowBits(const Big& n, int bits)
{
    if (bits <= 0)
        return Rest::Zero;
    const bool half = n.Bit(bits - 1);
    const bool sticky = n.AnyBitBelow(bits - 1);
    if (half)
        return sticky ? Rest::AboveHalf : Rest::Half;
    return sticky ? Rest::BelowHalf : Rest::Zero;
}

// The rest after one more low digit (or bit) is dropped below an earlier rest.
Rest FoldDigit(unsigned digit, unsigned half, Rest below)
{
    if (digit > half)
        return Rest::AboveHalf;
    if (digit == half)
        return below == Rest::Zero ? Rest::Half : Rest::AboveHalf;
    if (digit == 0 && below == Rest::Zero)
        return Rest::Zero;
    return Rest::BelowHalf;
}

// Round to nearest, ties to even.
bool RoundsUp(std::uint64_t kept, Rest rest)
{
    return rest == Rest::AboveHalf || (rest == Rest::Half && (kept & 1u) != 0);
}

constexpr std::uint64_t kTen15 = 1000000000000000ull;
constexpr std::uint64_t kTen17 = 100000000000000000ull;
constexpr std::uint64_t kTen18 = 1000000000000000000ull;

void ThrowNotFinite(double x)
{
    const char* text = x != x ? "NAN" : x < 0 ? "-INF" : "INF";
    throw Error(std::string("'") + text + "' is not a valid floating point value");
}

// The magnitude of a finite, non-zero double as m * 2^e.
void Decompose(double x, std::uint64_t& m, int& e)
{
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(x);
    const int biased = static_cast<int>((bits >> 52) & 0x7FF);
    m = bits & ((std::uint64_t{1} << 52) - 1);
    if (biased == 0) {
        e = -1074;
    } else {
        m |= std::uint64_t{1} << 52;
        e = biased - 1075;
    }
}

// Step 1: the magnitude to 18 significant digits, to nearest (an exact tie goes to the even
// digit), then cut to 15 digits by the 16th digit alone. Which way a tie goes never changes the
// 15 digits: it matters only when the 18 digits would end in 499 or 500, and 499 is odd, so a tie
// there rounds up to 500 whether ties go to even or away from zero.
PrjDecimal RoundTo15Digits(double x)
{
    PrjDecimal result;
    if (x == 0)
        return result;
    result.negative = x < 0;
    std::uint64_t m = 0;
    int e = 0;
    Decompose(x, m, e);

    // floor(log10(2^E2)) for the binary exponent E2 of the value; the decimal exponent of the
    // value is that or one more, so q below has 18 or 19 digits.
    const int e2 = std::bit_width(m) - 1 + e;
    const int k10 = (e2 * 78913) >> 18;
    int p = k10 - 17;

    // q = floor(m * 2^e / 10^p) and the rest, where 10^p = 5^p * 2^p.
    std::uint64_t q = 0;
    Rest rest = Rest::Zero;
    Big num(m);
    if (p <= 0) {
        num.MulPow5(-p);
        const int drop = p - e;  // the division by 2^(p - e) is a shift
        if (drop <= 0) {
            num.ShiftLeft(-drop);
            q = num.Bits64(0);
        } else {
            q = num.Bits64(drop);
            rest = RestOfLowBits(num, drop);
        }
    } else {
        Big den(1);
        den.MulPow5(p);
        if (e >= p)
            num.ShiftLeft(e - p);
        else
            den.ShiftLeft(p - e);
        Big quotient;
        Big remainder;
        Big::DivMod(num, den, quotient, remainder);
        q = quotient.Bits64(0);
        rest = RestOfRemainder(remainder, den);
    }

    if (q >= kTen18) {
        rest = FoldDigit(static_cast<unsigned>(q % 10), 5, rest);
        q /= 10;
        ++p;
    }
    if (RoundsUp(q, rest))
        ++q;
    if (q == kTen18) {
        q = kTen17;
        ++p;
    }

    // Cut to 15 digits: the 16th digit alone decides.
    std::uint64_t d = q / 1000 + (q % 1000 >= 500 ? 1 : 0);
    p += 3;
    if (d == kTen15) {
        d /= 10;
        ++p;
    }
    while (d % 10 == 0) {
        d /= 10;
        ++p;
    }
    result.digits = d;
    result.exponent = p;
    return result;
}

// Step 2: digits * 10^exponent (digits > 0) to the nearest value with a 64-bit significand, ties
// to even: significand (top bit set) * 2^binaryExponent.
void ToExtended(std::uint64_t digits, int exponent, std::uint64_t& significand, int& binaryExponent)
{
    std::uint64_t kept = 0;
    Rest rest = Rest::Zero;
    int b = 0;
    if (exponent >= 0) {
        // An integer: digits * 5^k * 2^k.
        Big n(digits);
        n.MulPow5(exponent);
        const int len = n.BitLength();
        if (len <= 64) {
            kept = n.Bits64(0) << (64 - len);
            b = exponent + len - 64;
        } else {
            kept = n.Bits64(len - 64);
            rest = RestOfLowBits(n, len - 64);
            b = exponent + len - 64;
        }
    } else {
        // digits * 2^k / 5^-k (k < 0), scaled by 2^t so that the quotient has 64 or 65 bits.
        Big den(1);
        den.MulPow5(-exponent);
        const int t = 64 + den.BitLength() - std::bit_width(digits);
        Big num(digits);
        num.ShiftLeft(t);
        Big quotient;
        Big remainder;
        Big::DivMod(num, den, quotient, remainder);
        rest = RestOfRemainder(remainder, den);
        b = exponent - t;
        if (quotient.BitLength() > 64) {
            rest = FoldDigit(quotient.Bit(0) ? 1u : 0u, 1, rest);
            kept = quotient.Bits64(1);
            ++b;
        } else {
            kept = quotient.Bits64(0);
        }
    }
    if (RoundsUp(kept, rest)) {
        ++kept;
        if (kept == 0) {  // carried out of 64 bits
            kept = std::uint64_t{1} << 63;
            ++b;
        }
    }
    significand = kept;
    binaryExponent = b;
}

// Step 3: significand * 2^binaryExponent (top bit set) to the nearest float32, ties to even.
// False when the float32 would be infinite.
bool ToFloat32(bool negative, std::uint64_t significand, int binaryExponent, std::uint32_t& bits)
{
    const std::uint32_t sign = negative ? 0x80000000u : 0u;
    int exp2 = binaryExponent + 63;  // the value lies in [2^exp2, 2^(exp2 + 1))
    // Units of the float32 result: 2^(exp2 - 23) when normal, 2^-149 below the normal range.
    const int drop = exp2 >= -126 ? 40 : -149 - binaryExponent;
    if (drop > 64) {  // below half the smallest subnormal
        bits = sign;
        return true;
    }
    std::uint64_t kept = drop == 64 ? 0 : significand >> drop;
    const std::uint64_t low = drop == 64 ? significand : significand & ((std::uint64_t{1} << drop) - 1);
    const std::uint64_t half = std::uint64_t{1} << (drop - 1);
    const Rest rest = low == 0 ? Rest::Zero
        : low < half           ? Rest::BelowHalf
        : low == half          ? Rest::Half
                               : Rest::AboveHalf;
    if (RoundsUp(kept, rest))
        ++kept;
    if (exp2 < -126) {  // subnormal; a carry into 2^23 is the smallest normal and encodes the same
        bits = sign | static_cast<std::uint32_t>(kept);
        return true;
    }
    if (kept == (std::uint64_t{1} << 24)) {
        kept >>= 1;
        ++exp2;
    }
    if (exp2 > 127)
        return false;
    bits = sign | (static_cast<std::uint32_t>(exp2 + 127) << 23) | (static_cast<std::uint32_t>(kept) & 0x7FFFFFu);
    return true;
}

void AppendDigits(std::string& out, std::uint64_t value)
{
    char buffer[24];
    int n = 0;
    do {
        buffer[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (n > 0)
        out += buffer[--n];
}

}  // namespace

PrjConversion PrjConvertFinite(double x)
{
    PrjConversion result;
    result.decimal = RoundTo15Digits(x);
    if (result.decimal.digits == 0)
        return result;
    std::uint64_t significand = 0;
    int binaryExponent = 0;
    ToExtended(result.decimal.digits, result.decimal.exponent, significand, binaryExponent);
    result.overflow = !ToFloat32(result.decimal.negative, significand, binaryExponent, result.bits);
    return result;
}

std::uint32_t PrjCoordinateBits(double x)
{
    if (x != x || x - x != 0)
        ThrowNotFinite(x);
    const PrjConversion conversion = PrjConvertFinite(x);
    if (conversion.overflow)
        throw Error("Floating point overflow");
    return conversion.bits;
}

std::string PrjCoordinateText(double x)
{
    if (x != x)
        return "NAN";
    if (x - x != 0)
        return x < 0 ? "-INF" : "INF";
    const PrjDecimal decimal = RoundTo15Digits(x);
    if (decimal.digits == 0)
        return "0";

    std::string digits;
    AppendDigits(digits, decimal.digits);
    const int count = static_cast<int>(digits.size());
    const int lead = decimal.exponent + count - 1;  // decimal exponent of the first digit

    std::string text = decimal.negative ? "-" : "";
    if (lead >= -5 && lead < 15) {
        if (lead < 0) {
            text += "0.";
            text.append(static_cast<std::size_t>(-lead - 1), '0');
            text += digits;
        } else if (decimal.exponent >= 0) {
            text += digits;
            text.append(static_cast<std::size_t>(decimal.exponent), '0');
        } else {
            text.append(digits, 0, static_cast<std::size_t>(lead + 1));
            text += '.';
            text.append(digits, static_cast<std::size_t>(lead + 1));
        }
    } else {
        text += digits[0];
        if (count > 1) {
            text += '.';
            text.append(digits, 1);
        }
        text += lead < 0 ? "E-" : "E+";
        AppendDigits(text, static_cast<std::uint64_t>(lead < 0 ? -lead : lead));
    }
    return text;
}

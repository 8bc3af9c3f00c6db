// Number readers and writers: a thin layer over std::from_chars / std::to_chars that adds
// what a stream extraction accepts (leading white space, '+', the 0x prefix) and nothing more.
#include "text/Numbers.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <system_error>

namespace {

inline bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

inline bool isDigit(char c) { return c >= '0' && c <= '9'; }

inline bool isHexDigit(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

inline const char* skipSpace(const char* p, const char* end) {
    while (p != end && isSpace(*p)) ++p;
    return p;
}

// Skips leading white space and one '+' or '-'; `negative` tells which.
inline const char* skipSpaceAndSign(const char* p, const char* end, bool& negative) {
    p = skipSpace(p, end);
    negative = p != end && *p == '-';
    if (p != end && (*p == '+' || *p == '-')) ++p;
    return p;
}

// Turns a sign and a magnitude into an int32. The negative range reaches one further than
// the positive one (-2147483648).
inline bool storeSigned(bool negative, std::uint32_t magnitude, std::int32_t& out) {
    if (negative) {
        if (magnitude > 0x80000000u) return false;
        out = static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude));
        return true;
    }
    if (magnitude > 0x7FFFFFFFu) return false;
    out = static_cast<std::int32_t>(magnitude);
    return true;
}

}  // namespace

bool readInt(std::string_view text, std::int32_t& out) {
    const char* end = text.data() + text.size();
    bool negative = false;
    const char* p = skipSpaceAndSign(text.data(), end, negative);
    if (p == end || !isDigit(*p)) return false;
    std::uint32_t magnitude = 0;
    auto result = std::from_chars(p, end, magnitude, 10);
    if (result.ec != std::errc()) return false;
    return storeSigned(negative, magnitude, out);
}

bool readHex(std::string_view text, std::int32_t& out) {
    const char* end = text.data() + text.size();
    bool negative = false;
    const char* p = skipSpaceAndSign(text.data(), end, negative);
    // "0x" counts as a prefix only when a digit follows; "0xg" reads as 0.
    if (end - p >= 3 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && isHexDigit(p[2])) p += 2;
    if (p == end || !isHexDigit(*p)) return false;
    std::uint32_t magnitude = 0;
    auto result = std::from_chars(p, end, magnitude, 16);
    if (result.ec != std::errc()) return false;
    if (negative) return storeSigned(true, magnitude, out);
    // Up to 0xFFFFFFFF is the 32-bit pattern, so a negative value written in hex reads back.
    out = static_cast<std::int32_t>(magnitude);
    return true;
}

namespace {

// Exact powers of ten: every one up to 10^22 is a double without rounding.
constexpr double ExactPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                  1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                  1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The common plain decimal ("-12.345678"): digits, at most one point, no exponent, and no
// more than 2^53 in its digits taken as one integer. Such a number is that integer divided
// by a power of ten, both exact doubles, and one correctly rounded division gives the
// nearest double, as from_chars would. False, with `out` untouched, for any other text.
bool readPlainDecimal(const char* p, const char* end, double& out) {
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    // Unsigned arithmetic wraps on overlong digit runs; the count below refuses those.
    std::uint64_t digits = 0;
    const char* start = p;
    while (p != end && isDigit(*p)) digits = digits * 10 + static_cast<unsigned char>(*p++ - '0');
    int count = static_cast<int>(p - start);
    int decimals = 0;
    if (p != end && *p == '.') {
        const char* first = ++p;
        while (p != end && isDigit(*p))
            digits = digits * 10 + static_cast<unsigned char>(*p++ - '0');
        decimals = static_cast<int>(p - first);
        count += decimals;
    }
    // An exponent may follow: that is the general reader's work.
    if (p != end && (*p == 'e' || *p == 'E')) return false;
    if (count == 0 || count > 19 || digits > (std::uint64_t{1} << 53) || decimals > 22)
        return false;
    const double value = static_cast<double>(digits) / ExactPowers[decimals];
    out = negative ? -value : value;
    return true;
}

}  // namespace

bool readReal(std::string_view text, double& out) {
    const char* end = text.data() + text.size();
    const char* p = skipSpace(text.data(), end);
    // from_chars takes '-' itself but not '+'; q is the first character after either sign.
    const char* q = p;
    if (p != end && *p == '+') {
        q = ++p;
    } else if (p != end && *p == '-') {
        q = p + 1;
    }
    // That character decides: a digit, or a point with a digit after it. This keeps out
    // "inf", "nan" and a second sign, which from_chars would otherwise take.
    if (q == end) return false;
    if (!isDigit(*q) && !(*q == '.' && q + 1 != end && isDigit(q[1]))) return false;
    if (readPlainDecimal(p, end, out)) return true;
    double value = 0;
    auto result = std::from_chars(p, end, value, std::chars_format::general);
    if (result.ec == std::errc()) {
        out = value;
        return true;
    }
    if (result.ec != std::errc::result_out_of_range) return false;
    // Out of range is either overflow (refused) or underflow, which a stream reads as the
    // nearest tiny value or zero. Rare path: strtod on the matched text tells them apart.
    std::string matched(p, result.ptr);
    double tiny = std::strtod(matched.c_str(), nullptr);
    if (std::isinf(tiny) || std::fabs(tiny) >= 1.0) return false;
    out = tiny;
    return true;
}

namespace {

// Powers of ten that fit 64 bits.
constexpr std::uint64_t TenTo[] = {1,
                                   10,
                                   100,
                                   1000,
                                   10000,
                                   100000,
                                   1000000,
                                   10000000,
                                   100000000,
                                   1000000000,
                                   10000000000,
                                   100000000000,
                                   1000000000000,
                                   10000000000000,
                                   100000000000000,
                                   1000000000000000,
                                   10000000000000000,
                                   100000000000000000,
                                   1000000000000000000};

// Two decimal digits at a time.
constexpr char DigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes `value` (below 10^Digits) with exactly Digits digits, zeros in front.
template <int Digits>
char* writeDigits(char* p, std::uint64_t value) {
    if constexpr (Digits >= 2) {
        p = writeDigits<Digits - 2>(p, value / 100);
        std::memcpy(p, DigitPairs + 2 * (value % 100), 2);
        return p + 2;
    } else if constexpr (Digits == 1) {
        *p = static_cast<char>('0' + value);
        return p + 1;
    } else {
        return p;
    }
}

// mantissa * unit / 2^shift, rounded to the nearest integer and a tie to the even one; for
// shift 20 to 127 and a quotient below 2^64. The product needs up to 128 bits.
#if defined(__SIZEOF_INT128__) && !defined(SETI_NO_INT128)
std::uint64_t shiftRounded(std::uint64_t mantissa, std::uint64_t unit, int shift) {
    const unsigned __int128 product = static_cast<unsigned __int128>(mantissa) * unit;
    const unsigned __int128 kept = product >> shift;
    const unsigned __int128 rest = product - (kept << shift);
    const unsigned __int128 half = static_cast<unsigned __int128>(1) << (shift - 1);
    auto scaled = static_cast<std::uint64_t>(kept);
    if (rest > half || (rest == half && (scaled & 1) != 0)) ++scaled;
    return scaled;
}
#else
// The same for compilers without a 128-bit integer: the product in two 64-bit halves.
std::uint64_t shiftRounded(std::uint64_t mantissa, std::uint64_t unit, int shift) {
    constexpr std::uint64_t Low32 = 0xFFFFFFFFu;
    const std::uint64_t ll = (mantissa & Low32) * (unit & Low32);
    const std::uint64_t lh = (mantissa & Low32) * (unit >> 32);
    const std::uint64_t hl = (mantissa >> 32) * (unit & Low32);
    const std::uint64_t hh = (mantissa >> 32) * (unit >> 32);
    const std::uint64_t middle = (ll >> 32) + (lh & Low32) + (hl & Low32);
    const std::uint64_t low = (ll & Low32) | (middle << 32);
    const std::uint64_t high = hh + (lh >> 32) + (hl >> 32) + (middle >> 32);
    // Bit n of the product, and whether any bit below n is set.
    const auto bit = [&](int n) { return ((n < 64 ? low >> n : high >> (n - 64)) & 1) != 0; };
    const auto anyBelow = [&](int n) {
        if (n <= 64) return n == 64 ? low != 0 : (low & ((std::uint64_t{1} << n) - 1)) != 0;
        return low != 0 || (high & ((std::uint64_t{1} << (n - 64)) - 1)) != 0;
    };
    std::uint64_t scaled =
        shift < 64 ? (low >> shift) | (high << (64 - shift)) : high >> (shift - 64);
    // The bits shifted out are more than half when the highest of them is set and any other,
    // half exactly when only that one is.
    if (bit(shift - 1) && (anyBelow(shift - 1) || (scaled & 1) != 0)) ++scaled;
    return scaled;
}
#endif

// Up to 9 decimals of a finite value below 2^33, rounded exactly as printf rounds: the value
// is m * 2^e, so value * 10^decimals is the integer m * 10^decimals shifted right by -e, and
// the bits shifted out say which way to round (a tie to the even neighbour). nullptr, nothing
// written, for any other value; otherwise the end of the text written at `p` (at most
// 1 + 10 + 1 + 9 characters). The decimals are a template argument so that every division is
// by a constant.
template <int Decimals>
char* formatFixedExact(char* p, double value) {
    const auto bits = std::bit_cast<std::uint64_t>(value);
    const int biased = static_cast<int>((bits >> 52) & 0x7FF);
    // Infinities, NaN and magnitudes of 2^33 and more take the general path.
    if (biased >= 1023 + 33) return nullptr;
    std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
    int shift = 1075 - biased;  // value = mantissa * 2^-shift, shift at least 20
    if (biased == 0) {
        shift = 1074;  // subnormal: no hidden bit
    } else {
        mantissa |= std::uint64_t{1} << 52;
    }
    if ((bits >> 63) != 0) *p++ = '-';
    constexpr std::uint64_t Unit = TenTo[Decimals];
    const std::uint64_t scaled =
        mantissa != 0 && shift < 128 ? shiftRounded(mantissa, Unit, shift) : 0;
    p = std::to_chars(p, p + 20, scaled / Unit).ptr;
    if constexpr (Decimals > 0) {
        *p++ = '.';
        p = writeDigits<Decimals>(p, scaled % Unit);
    }
    return p;
}

char* formatFixedExact(char* p, double value, int decimals) {
    switch (decimals) {
        case 0: return formatFixedExact<0>(p, value);
        case 1: return formatFixedExact<1>(p, value);
        case 2: return formatFixedExact<2>(p, value);
        case 3: return formatFixedExact<3>(p, value);
        case 4: return formatFixedExact<4>(p, value);
        case 5: return formatFixedExact<5>(p, value);
        case 6: return formatFixedExact<6>(p, value);
        case 7: return formatFixedExact<7>(p, value);
        case 8: return formatFixedExact<8>(p, value);
        case 9: return formatFixedExact<9>(p, value);
        default: return nullptr;
    }
}

}  // namespace

char* writeFixed(char* p, double value, int decimals) {
    if (decimals < 0 || decimals > 9) decimals = decimals < 0 ? 6 : 9;
    if (char* end = formatFixedExact(p, value, decimals)) return end;
    return std::to_chars(p, p + FixedRoom, value, std::chars_format::fixed, decimals).ptr;
}

char* writeInt(char* p, std::int64_t value) { return std::to_chars(p, p + 20, value).ptr; }

char* writeHex(char* p, std::int32_t value) {
    *p++ = '0';
    *p++ = 'x';
    return std::to_chars(p, p + 8, static_cast<std::uint32_t>(value), 16).ptr;
}

void appendFixed(std::string& out, double value, int decimals) {
    char buffer[FixedRoom];
    out.append(buffer, writeFixed(buffer, value, decimals));
}

void appendInt(std::string& out, std::int64_t value) {
    char buffer[20];
    out.append(buffer, writeInt(buffer, value));
}

void appendHex(std::string& out, std::int32_t value) {
    char buffer[10];
    out.append(buffer, writeHex(buffer, value));
}

void appendPadded(std::string& out, std::int64_t value, int width) {
    // The magnitude as unsigned, so the most negative value has one too.
    std::uint64_t magnitude =
        value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, magnitude);
    int digits = static_cast<int>(result.ptr - buffer);
    if (value < 0) out.push_back('-');
    if (width > digits) out.append(static_cast<std::size_t>(width - digits), '0');
    out.append(buffer, result.ptr);
}

void appendGeneral(std::string& out, double value) {
    char buffer[32];
    auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6);
    out.append(buffer, result.ptr);
}

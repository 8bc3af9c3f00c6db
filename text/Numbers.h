// Number readers and writers shared by every format: stream-extraction semantics on top of
// std::from_chars, and fixed-point / integer output through std::to_chars.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

// Each reader skips leading white space (blank, tab, CR, LF, VT, FF), accepts an optional
// '+' or '-', takes the longest prefix that forms a number and ignores the rest.
// A text that does not begin with a number, or whose number overflows the type, leaves
// `out` as it was and returns false.
// Decimal integer: "12.5" reads 12.
bool readInt(std::string_view text, std::int32_t& out);
// Hexadecimal integer with optional 0x / 0X after the sign; values up to 0xFFFFFFFF are
// taken as their 32-bit pattern, so everything the writers print reads back.
bool readHex(std::string_view text, std::int32_t& out);
// Real number in decimal or exponent notation: "1e5x" reads 100000, "1e" reads 1;
// "inf", "nan" and hexadecimal floats are not numbers. A magnitude too small for a double
// reads as 0 (or the nearest subnormal); one too large is an overflow.
bool readReal(std::string_view text, double& out);

// The order of numbers for sorting: ascending, NaN after every number, so a stray NaN cannot
// break a sort's ordering contract.
inline bool lessNumber(double a, double b) {
    if (std::isnan(a)) return false;
    if (std::isnan(b)) return true;
    return a < b;
}

// Appends `value` in fixed-point notation with `decimals` digits after the point, 0 to 9 (more
// count as 9, a negative count as 6, printf's rule), as printf("%.*f") prints it (no exponent,
// '-' for negatives, "-0.000000" for tiny negatives exactly as printf does).
void appendFixed(std::string& out, double value, int decimals);
// Writers into a caller's buffer, for rows of many numbers: each writes at `p`, which must
// have the room given, and returns the end of what it wrote.
// The room writeFixed needs: '-', 309 integer digits of 1e308, the point and 9 decimals.
constexpr std::size_t FixedRoom = 1 + 309 + 1 + 9;
// appendFixed into a buffer.
char* writeFixed(char* p, double value, int decimals);
// appendInt (room 20) and appendHex (room 10).
char* writeInt(char* p, std::int64_t value);
char* writeHex(char* p, std::int32_t value);

// Appends a decimal integer.
void appendInt(std::string& out, std::int64_t value);
// Appends "0x" and the lower-case hex digits of the 32-bit pattern; 0 is "0x0".
void appendHex(std::string& out, std::int32_t value);
// Appends `value` with at least `width` digits, zero-padded on the left ('-' first).
void appendPadded(std::string& out, std::int64_t value, int width);
// Appends `value` as printf("%g") prints it (6 significant digits).
void appendGeneral(std::string& out, double value);

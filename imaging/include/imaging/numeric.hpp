#pragma once
// Numeric conventions shared by both programs: rounding, 16-bit arithmetic with
// overflow detection, the text forms of numbers, and reading numbers from text boxes.

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace imaging {

// Rounds to the nearest whole number, halves to even (2.5 -> 2, 3.5 -> 4).
double roundHalfEven(double v);
// roundHalfEven as an int; the value must fit an int.
int roundToInt(double v);
// `Int`: the largest whole number not above v (rounds towards minus infinity).
inline double intFloor(double v) { return std::floor(v); }

// 16-bit signed arithmetic; a result outside -32768..32767 throws "Overflow".
int16_t toInt16(long long v);
int16_t add16(int16_t a, int16_t b);
int16_t sub16(int16_t a, int16_t b);
int16_t mul16(int16_t a, int16_t b);

// Every text below is made and read the same way whatever the process locale says: "." is the
// decimal point, no digit grouping.

// The text a number shows in a text box or a file field: shortest decimal text with at most
// 15 significant digits (double) or 7 (float), "." as decimal point, "0" before the point of a
// magnitude below 1, exponent form ("2.56E+08") only where plain digits would need more
// significant digits than allowed.
std::string numberText(double v);
std::string numberText(float v);
std::string numberText(int v);
std::string numberText(long long v);

// The shortest text that reads back (parseNumber) as exactly v, e.g. "0.1", "1e-05", "150.5".
std::string exactText(double v);
// The shortest text that reads back as exactly the same single-precision value.
std::string exactText(float v);

// The print form: a leading blank (or "-" for a negative number), the number text, a trailing blank.
std::string printForm(double v);
std::string printForm(float v);
std::string printForm(int v);
std::string printForm(long long v);

// A text box's content read as a number ("Type mismatch" for anything else; surrounding blanks allowed).
double parseNumber(std::string_view text);
// A text box's content as a 16-bit integer: half-to-even rounding; "Type mismatch" for a non-number,
// "Overflow" outside -32768..32767.
int16_t parseInt16(std::string_view text);
// A whole number written in decimal digits with an optional sign (surrounding blanks allowed);
// nothing for any other text or one beyond the range of long long.
std::optional<long long> parseWholeNumber(std::string_view text);
// A seed for the random generator: decimal digits, 0 to 2^64-1; nothing for any other text.
std::optional<uint64_t> parseSeed(std::string_view text);

// Natural logarithm that reports the logarithm of zero or of a negative number as a run-time error.
double checkedLog(double v);

// Least-squares slope over the points (x[i], y[i]):
// (n Sxy - Sx Sy) / (n Sxx - Sx Sx). Each term is a double, the four sums are accumulated in
// long double and rounded to double, and the formula is evaluated in double.
double leastSquaresSlope(const double* x, const double* y, int n);

}  // namespace imaging

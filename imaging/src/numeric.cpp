#include "imaging/numeric.hpp"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "imaging/errors.hpp"

namespace imaging {

double roundHalfEven(double v) {
    // nearbyint rounds in the current rounding mode, which is round-to-nearest-even by default.
    return std::nearbyint(v);
}

int roundToInt(double v) {
    return static_cast<int>(roundHalfEven(v));
}

int16_t toInt16(long long v) {
    if (v < -32768 || v > 32767) throw RunError::overflow();
    return static_cast<int16_t>(v);
}

int16_t add16(int16_t a, int16_t b) { return toInt16(static_cast<long long>(a) + b); }
int16_t sub16(int16_t a, int16_t b) { return toInt16(static_cast<long long>(a) - b); }
int16_t mul16(int16_t a, int16_t b) { return toInt16(static_cast<long long>(a) * b); }

namespace {

// Formats v rounded to `digits` significant digits, trailing zeros removed.
std::string formatSignificant(double v, int digits) {
    if (std::isnan(v)) return "NaN";
    if (std::isinf(v)) return v < 0 ? "-Infinity" : "Infinity";
    if (v == 0.0) return "0";

    // %.*e rounds the exact binary value correctly to `digits` significant digits.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*e", digits - 1, v);
    std::string s(buf);
    const bool negative = s[0] == '-';
    if (negative) s.erase(0, 1);
    const auto ePos = s.find('e');
    std::string mantissa = s.substr(0, ePos);
    const int exponent = std::atoi(s.c_str() + ePos + 1);

    std::string sig;  // the significant digits without the point
    for (char c : mantissa)
        if (c != '.') sig += c;
    while (sig.size() > 1 && sig.back() == '0') sig.pop_back();
    const int nSig = static_cast<int>(sig.size());

    // Plain digits are used unless they would need more digits than allowed: a large number
    // needs every digit up to the decimal point ("256000000" needs 9); a small one only its
    // significant digits ("0.07622714" needs 7), as long as its first significant digit lies
    // within the allowed number of decimal places.
    const bool plain = exponent >= 0 ? std::max(exponent + 1, nSig) <= digits : -exponent <= digits;

    std::string out;
    if (plain) {
        if (exponent >= 0) {
            if (nSig <= exponent + 1) {
                out = sig + std::string(exponent + 1 - nSig, '0');
            } else {
                out = sig.substr(0, exponent + 1) + "." + sig.substr(exponent + 1);
            }
        } else {
            out = "0." + std::string(-exponent - 1, '0') + sig;
        }
    } else {
        out = sig.substr(0, 1);
        if (nSig > 1) out += "." + sig.substr(1);
        char ebuf[16];
        std::snprintf(ebuf, sizeof ebuf, "E%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
        out += ebuf;
    }
    return negative ? "-" + out : out;
}

std::string withBlanks(const std::string& text) {
    if (!text.empty() && text[0] == '-') return text + " ";
    return " " + text + " ";
}

}  // namespace

std::string numberText(double v) { return formatSignificant(v, 15); }
std::string numberText(float v) { return formatSignificant(static_cast<double>(v), 7); }
std::string numberText(int v) { return std::to_string(v); }
std::string numberText(long long v) { return std::to_string(v); }

std::string printForm(double v) { return withBlanks(numberText(v)); }
std::string printForm(float v) { return withBlanks(numberText(v)); }
std::string printForm(int v) { return withBlanks(numberText(v)); }
std::string printForm(long long v) { return withBlanks(numberText(v)); }

double parseNumber(std::string_view text) {
    std::string s(text);
    const auto first = s.find_first_not_of(" \t");
    const auto last = s.find_last_not_of(" \t");
    if (first == std::string::npos) throw RunError::typeMismatch(s);
    std::string trimmed = s.substr(first, last - first + 1);
    // Only plain decimal numbers: no hexadecimal, infinity or NaN spellings.
    for (char c : trimmed) {
        if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '+' || c == 'e' ||
              c == 'E'))
            throw RunError::typeMismatch(s);
    }
    errno = 0;
    char* end = nullptr;
    const double v = std::strtod(trimmed.c_str(), &end);
    if (end == trimmed.c_str() || *end != '\0') throw RunError::typeMismatch(s);
    if (errno == ERANGE && std::isinf(v)) throw RunError::overflow();
    return v;
}

int16_t parseInt16(std::string_view text) {
    const double v = roundHalfEven(parseNumber(text));
    if (!(v >= -32768.0 && v <= 32767.0)) throw RunError::overflow();
    return static_cast<int16_t>(v);
}

double checkedLog(double v) {
    if (!(v > 0.0)) throw RunError::invalidArgument("logarithm of " + numberText(v));
    return std::log(v);
}

double leastSquaresSlope(const double* x, const double* y, int n) {
    long double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (int i = 0; i < n; ++i) {
        const double xi = x[i];
        const double yi = y[i];
        const double xy = xi * yi;
        const double xx = xi * xi;
        sx += xi;
        sy += yi;
        sxy += xy;
        sxx += xx;
    }
    const double Sx = static_cast<double>(sx);
    const double Sy = static_cast<double>(sy);
    const double Sxx = static_cast<double>(sxx);
    const double Sxy = static_cast<double>(sxy);
    const double dn = n;
    const double denominator = dn * Sxx - Sx * Sx;
    if (denominator == 0.0) throw RunError::divisionByZero();
    return (dn * Sxy - Sx * Sy) / denominator;
}

}  // namespace imaging

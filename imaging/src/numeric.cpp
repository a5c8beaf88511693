#include "imaging/numeric.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>
#include <system_error>

#include "imaging/errors.hpp"
#include "imaging/loglog_fit.hpp"

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

// Every number text below is made and read with <charconv>, which never consults the process
// locale: a window whose toolkit adopted a decimal-comma locale writes and reads the same texts
// as a command-line tool running in the C locale.

std::string digitsOf(long long v) {
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

// Formats v rounded to `digits` significant digits, trailing zeros removed.
std::string formatSignificant(double v, int digits) {
    if (std::isnan(v)) return "NaN";
    if (std::isinf(v)) return v < 0 ? "-Infinity" : "Infinity";
    if (v == 0.0) return "0";

    // Scientific form with digits-1 decimals rounds the exact binary value correctly to
    // `digits` significant digits: "d.ddde[+-]xx".
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::scientific, digits - 1);
    const std::string_view s(buf, static_cast<std::size_t>(r.ptr - buf));
    const bool negative = std::signbit(v);
    const auto ePos = s.find('e');
    const std::string_view mantissa = s.substr(0, ePos);
    std::string_view exponentText = s.substr(ePos + 1);
    if (!exponentText.empty() && exponentText[0] == '+') exponentText.remove_prefix(1);
    int exponent = 0;
    std::from_chars(exponentText.data(), exponentText.data() + exponentText.size(), exponent);

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
        const int magnitude = std::abs(exponent);
        out += exponent < 0 ? "E-" : "E+";
        if (magnitude < 10) out += '0';
        out += digitsOf(magnitude);
    }
    return negative ? "-" + out : out;
}

std::string withBlanks(const std::string& text) {
    if (!text.empty() && text[0] == '-') return text + " ";
    return " " + text + " ";
}

// The power of ten of the first non-zero digit of a decimal text ("0.05" -> -2, "12e3" -> 4);
// the text has passed from_chars, so it is digits, an optional point and an optional exponent.
long long decimalMagnitude(std::string_view text) {
    long long exponent = 0;
    const auto e = text.find_first_of("eE");
    if (e != std::string_view::npos) {
        std::string_view x = text.substr(e + 1);
        const bool negative = !x.empty() && x[0] == '-';
        if (!x.empty() && (x[0] == '-' || x[0] == '+')) x.remove_prefix(1);
        // An exponent too long for a long long saturates: the text is then certainly out of range.
        for (char c : x) exponent = std::min(exponent * 10 + (c - '0'), 1'000'000'000'000LL);
        if (negative) exponent = -exponent;
        text = text.substr(0, e);
    }
    const auto point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    const auto firstWhole = whole.find_first_not_of('0');
    if (firstWhole != std::string_view::npos)
        return exponent + static_cast<long long>(whole.size() - firstWhole) - 1;
    const std::string_view fraction = point == std::string_view::npos ? std::string_view{} : text.substr(point + 1);
    const auto firstFraction = fraction.find_first_not_of('0');
    return exponent - static_cast<long long>(firstFraction == std::string_view::npos ? 0 : firstFraction) - 1;
}

std::string_view trimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

}  // namespace

std::string numberText(double v) { return formatSignificant(v, 15); }
std::string numberText(float v) { return formatSignificant(static_cast<double>(v), 7); }
std::string numberText(int v) { return digitsOf(v); }
std::string numberText(long long v) { return digitsOf(v); }

std::string exactText(double v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

std::string exactText(float v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

std::string printForm(double v) { return withBlanks(numberText(v)); }
std::string printForm(float v) { return withBlanks(numberText(v)); }
std::string printForm(int v) { return withBlanks(numberText(v)); }
std::string printForm(long long v) { return withBlanks(numberText(v)); }

double parseNumber(std::string_view text) {
    const std::string original(text);
    std::string_view t = trimBlanks(text);
    if (t.empty()) throw RunError::typeMismatch(original);
    // Only plain decimal numbers: no hexadecimal, infinity or NaN spellings.
    for (char c : t) {
        if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' ||
              c == 'E'))
            throw RunError::typeMismatch(original);
    }
    // One sign, "+" or "-", may lead.
    bool negative = false;
    if (t[0] == '+' || t[0] == '-') {
        negative = t[0] == '-';
        t.remove_prefix(1);
    }
    if (t.empty() || t[0] == '+' || t[0] == '-') throw RunError::typeMismatch(original);
    double v = 0.0;
    const auto r = std::from_chars(t.data(), t.data() + t.size(), v, std::chars_format::general);
    if (r.ptr != t.data() + t.size()) throw RunError::typeMismatch(original);
    if (r.ec == std::errc::result_out_of_range) {
        // Beyond the largest double is an overflow; below the smallest it reads as zero.
        if (decimalMagnitude(t) > 0) throw RunError::overflow();
        v = 0.0;
    } else if (r.ec != std::errc{}) {
        throw RunError::typeMismatch(original);
    }
    return negative ? -v : v;
}

std::optional<long long> parseWholeNumber(std::string_view text) {
    std::string_view t = trimBlanks(text);
    if (!t.empty() && t[0] == '+') {
        t.remove_prefix(1);
        if (t.empty() || t[0] == '-') return std::nullopt;
    }
    long long v = 0;
    const auto r = std::from_chars(t.data(), t.data() + t.size(), v);
    if (r.ec != std::errc{} || r.ptr != t.data() + t.size()) return std::nullopt;
    return v;
}

std::optional<uint64_t> parseSeed(std::string_view text) {
    std::string_view t = trimBlanks(text);
    if (t.empty() || t[0] == '-' || t[0] == '+') return std::nullopt;
    uint64_t v = 0;
    const auto r = std::from_chars(t.data(), t.data() + t.size(), v);
    if (r.ec != std::errc{} || r.ptr != t.data() + t.size()) return std::nullopt;
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

double leastSquaresSlope(const double* x, const double* y, int n) { return leastSquaresLine(x, y, n).slope; }

}  // namespace imaging

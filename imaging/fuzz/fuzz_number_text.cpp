// libFuzzer target for the number parser behind every parameter box: any text a user can type
// must either read as a finite number or throw imaging::RunError ("Type mismatch", "Overflow").
// A number that was read must survive the text forms the programs write (its number text reads
// back, within the digits kept), and the 16-bit reading must agree with the rounding rule.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "imaging/errors.hpp"
#include "imaging/numeric.hpp"

namespace {

void checkTextForms(double v) {
    // The number text of a finite double reads back within 15 significant digits (below the top of
    // the double range, where rounding to 15 digits would step beyond it).
    if (!(std::fabs(v) <= 1e300)) return;
    const std::string text = imaging::numberText(v);
    const double back = imaging::parseNumber(text);
    if (!(std::fabs(back - v) <= std::fabs(v) * 1e-14)) std::abort();
    const std::string print = imaging::printForm(v);
    if (print.size() < 2 || print.back() != ' ' || (print[0] != ' ' && print[0] != '-')) std::abort();
    // The shortest exact texts (reports, marks files) read back as the very same value.
    if (imaging::parseNumber(imaging::exactText(v)) != v) std::abort();
    // The single-precision form of a value that fits a float reads back within 7 digits.
    if (std::fabs(v) <= 3.0e38) {
        const float f = static_cast<float>(v);
        const double fb = imaging::parseNumber(imaging::numberText(f));
        if (!(std::fabs(fb - double(f)) <= std::fabs(double(f)) * 1e-6)) std::abort();
        if (static_cast<float>(imaging::parseNumber(imaging::exactText(f))) != f) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    double v = 0;
    try {
        v = imaging::parseNumber(text);
    } catch (const imaging::RunError& e) {
        if (e.kind() != imaging::ErrorKind::TypeMismatch && e.kind() != imaging::ErrorKind::Overflow) std::abort();
        return 0;
    }
    if (!std::isfinite(v)) std::abort();
    try {
        const int16_t n = imaging::parseInt16(text);
        if (double(n) != imaging::roundHalfEven(v)) std::abort();
    } catch (const imaging::RunError& e) {
        // Only a value outside the 16-bit range may fail once it read as a number.
        if (e.kind() != imaging::ErrorKind::Overflow) std::abort();
        const double r = imaging::roundHalfEven(v);
        if (r >= -32768.0 && r <= 32767.0) std::abort();
    }
    checkTextForms(v);
    return 0;
}

// Number texts under a decimal-comma locale: both the C library's locale and the C++ global
// locale are German while these tests run, as in a window whose toolkit adopted the user's
// settings. The texts and the numbers read must be those of the C locale.

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <locale>
#include <random>
#include <string>
#include <vector>

#include "imaging/errors.hpp"
#include "imaging/numeric.hpp"
#include "test_support.hpp"

using imaging::ErrorKind;
using imaging::RunError;

namespace {

constexpr const char* kGerman = "de_DE.UTF-8";

using imaging_test::errorKindOf;

// Doubles and floats whose texts cover every form: plain, small, large, exponent, negative.
const std::vector<double> kDoubles = {0.0,     -0.0,  1.930777687670256, -0.09, 0.78125, 2.456512, 200.0,
                                      400.0,   600.0, 256000000.0,       1e16,  1e15,    1.0 / 3.0,
                                      -2.0 / 3.0, 0.2545421121011313, 1234567.25, 6.02e-9, -1.5e-20, 150.5};
const std::vector<float> kFloats = {98.333336f, 256000000.0f, 40000.0f, 0.1f, -0.25f, 12345678.0f,
                                    1.0f / 3.0f, 2.456512f,   1234.5f,  -7.5e-6f};

struct Texts {
    std::vector<std::string> numbers, prints;
};

Texts textsOfAll() {
    Texts t;
    for (double v : kDoubles) {
        t.numbers.push_back(imaging::numberText(v));
        t.prints.push_back(imaging::printForm(v));
    }
    for (float v : kFloats) {
        t.numbers.push_back(imaging::numberText(v));
        t.prints.push_back(imaging::printForm(v));
    }
    for (int v : {0, -32768, 32767, 1234567}) {
        t.numbers.push_back(imaging::numberText(v));
        t.prints.push_back(imaging::printForm(v));
    }
    return t;
}

// Switches the C library and the C++ global locale to German for one test, back to C after it.
class GermanLocale : public ::testing::Test {
protected:
    void SetUp() override {
        cTexts_ = textsOfAll();  // made in the C locale the test program starts in
        if (std::setlocale(LC_ALL, kGerman) == nullptr)
            FAIL() << "the locale " << kGerman << " is missing (scripts/setup.sh makes it available)";
        try {
            std::locale::global(std::locale(kGerman));
        } catch (const std::runtime_error& e) {
            FAIL() << "no C++ locale " << kGerman << ": " << e.what();
        }
        // The locale really writes a decimal comma, so the tests below would see it.
        char buf[16];
        std::snprintf(buf, sizeof buf, "%.1f", 1.5);
        ASSERT_STREQ(buf, "1,5");
    }
    void TearDown() override {
        std::locale::global(std::locale::classic());
        std::setlocale(LC_ALL, "C");
    }
    Texts cTexts_;
};

}  // namespace

TEST_F(GermanLocale, NumberTextsAreThoseOfTheCLocale) {
    const Texts german = textsOfAll();
    EXPECT_EQ(german.numbers, cTexts_.numbers);
    EXPECT_EQ(german.prints, cTexts_.prints);
}

TEST_F(GermanLocale, NumberTextsUseAPointAndNoGrouping) {
    EXPECT_EQ(imaging::numberText(400.0), "400");
    EXPECT_EQ(imaging::numberText(600.0), "600");
    EXPECT_EQ(imaging::numberText(2.456512), "2.456512");
    EXPECT_EQ(imaging::numberText(0.2545421121011313), "0.254542112101131");
    EXPECT_EQ(imaging::numberText(1234567.25), "1234567.25");
    EXPECT_EQ(imaging::numberText(6.02e-9), "0.00000000602");
    EXPECT_EQ(imaging::numberText(6.02e-20), "6.02E-20");
    EXPECT_EQ(imaging::numberText(-1.5e-20), "-1.5E-20");
    EXPECT_EQ(imaging::numberText(1e16), "1E+16");
    EXPECT_EQ(imaging::numberText(256000000.0f), "2.56E+08");
    EXPECT_EQ(imaging::numberText(12345678.0f), "1.234568E+07");
    EXPECT_EQ(imaging::numberText(-7.5e-6f), "-0.0000075");
    EXPECT_EQ(imaging::numberText(-7.5e-9f), "-7.5E-09");
    EXPECT_EQ(imaging::numberText(1234.5f), "1234.5");
    EXPECT_EQ(imaging::numberText(1234567), "1234567");
    EXPECT_EQ(imaging::numberText(-32768LL), "-32768");
    EXPECT_EQ(imaging::printForm(2.456512f), " 2.456512 ");
    EXPECT_EQ(imaging::printForm(-0.25f), "-0.25 ");
    EXPECT_EQ(imaging::printForm(1234567), " 1234567 ");
    EXPECT_EQ(imaging::numberText(std::numeric_limits<double>::infinity()), "Infinity");
    EXPECT_EQ(imaging::numberText(-std::numeric_limits<double>::infinity()), "-Infinity");
    EXPECT_EQ(imaging::numberText(std::numeric_limits<double>::quiet_NaN()), "NaN");
}

TEST_F(GermanLocale, TextBoxesReadAPoint) {
    EXPECT_EQ(imaging::parseNumber("150.5"), 150.5);
    EXPECT_EQ(imaging::parseNumber(" 0.78125 "), 0.78125);
    EXPECT_EQ(imaging::parseNumber("-2.5"), -2.5);
    EXPECT_EQ(imaging::parseNumber("+2.5"), 2.5);
    EXPECT_EQ(imaging::parseNumber(".5"), 0.5);
    EXPECT_EQ(imaging::parseNumber("5."), 5.0);
    EXPECT_EQ(imaging::parseNumber("2.56E+08"), 256000000.0);
    EXPECT_EQ(imaging::parseNumber("1e-3"), 0.001);
    EXPECT_EQ(imaging::parseNumber("1234567"), 1234567.0);
    EXPECT_EQ(imaging::parseInt16("150.5"), 150);  // half to even
    EXPECT_EQ(imaging::parseInt16("151.5"), 152);
    EXPECT_EQ(imaging::parseInt16("200"), 200);
}

TEST_F(GermanLocale, ACommaIsNotADecimalPoint) {
    for (const char* text : {"150,5", "1,5", "1.234,5", "1,234"})
        EXPECT_EQ(errorKindOf([&] { imaging::parseNumber(text); }), ErrorKind::TypeMismatch) << text;
    EXPECT_EQ(errorKindOf([] { imaging::parseInt16("150,5"); }), ErrorKind::TypeMismatch);
}

TEST_F(GermanLocale, MalformedTextsAreATypeMismatch) {
    for (const char* text : {"", "  ", "-", "+", "+-1", "-+1", "--1", "1e", "1e+", "e5", ".", "1.2.3", "0x10",
                             "inf", "nan", "1 2", "12a", "1-2"})
        EXPECT_EQ(errorKindOf([&] { imaging::parseNumber(text); }), ErrorKind::TypeMismatch) << '"' << text << '"';
}

TEST_F(GermanLocale, TextsBeyondTheDoubleRange) {
    EXPECT_EQ(errorKindOf([] { imaging::parseNumber("1e400"); }), ErrorKind::Overflow);
    EXPECT_EQ(errorKindOf([] { imaging::parseNumber("-1e400"); }), ErrorKind::Overflow);
    EXPECT_EQ(errorKindOf([] { imaging::parseNumber("0.01e311"); }), ErrorKind::Overflow);
    EXPECT_EQ(errorKindOf([] { imaging::parseNumber("1e99999999999999999999"); }), ErrorKind::Overflow);
    EXPECT_EQ(errorKindOf([] { imaging::parseInt16("32767.5"); }), ErrorKind::Overflow);
    // Below the smallest double the text reads as zero, as the C library reads it.
    EXPECT_EQ(imaging::parseNumber("1e-400"), 0.0);
    EXPECT_EQ(imaging::parseNumber("100000e-330"), 0.0);
    EXPECT_EQ(imaging::parseNumber("-1e-99999999999999999999"), 0.0);
    EXPECT_EQ(imaging::parseNumber("4.9406564584124654e-324"), std::numeric_limits<double>::denorm_min());
    EXPECT_EQ(imaging::parseNumber("1.7976931348623157e308"), std::numeric_limits<double>::max());
}

TEST_F(GermanLocale, ExactTextsReadBackAsTheSameDouble) {
    EXPECT_EQ(imaging::exactText(150.5), "150.5");
    EXPECT_EQ(imaging::exactText(0.1), "0.1");
    EXPECT_EQ(imaging::exactText(1.0 / 3.0), "0.3333333333333333");
    std::mt19937_64 gen(9);
    std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
    std::uniform_int_distribution<int> exponent(-300, 300);
    for (int i = 0; i < 2000; ++i) {
        const double v = std::ldexp(mantissa(gen), exponent(gen));
        const std::string text = imaging::exactText(v);
        EXPECT_EQ(text.find(','), std::string::npos) << text;
        EXPECT_EQ(imaging::parseNumber(text), v) << text;
    }
}

TEST_F(GermanLocale, WholeNumbersAndSeeds) {
    EXPECT_EQ(imaging::parseWholeNumber("20"), 20);
    EXPECT_EQ(imaging::parseWholeNumber(" -7 "), -7);
    EXPECT_EQ(imaging::parseWholeNumber("+7"), 7);
    EXPECT_EQ(imaging::parseWholeNumber("9223372036854775807"), std::numeric_limits<long long>::max());
    for (const char* text : {"", "1.5", "1,5", "1.000", "x", "+-1", "9223372036854775808", "1e3"})
        EXPECT_FALSE(imaging::parseWholeNumber(text).has_value()) << text;
    EXPECT_EQ(imaging::parseSeed("7"), uint64_t{7});
    EXPECT_EQ(imaging::parseSeed("18446744073709551615"), std::numeric_limits<uint64_t>::max());
    for (const char* text : {"", "-1", "+1", "1.0", "1,0", "18446744073709551616", "seven"})
        EXPECT_FALSE(imaging::parseSeed(text).has_value()) << text;
}

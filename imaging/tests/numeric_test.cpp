// Rounding, 16-bit arithmetic, number texts, print forms and reading numbers from text boxes.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "imaging/errors.hpp"
#include "imaging/numeric.hpp"
#include "test_support.hpp"

using imaging::ErrorKind;
using imaging::RunError;

namespace {

using imaging_test::errorKindOf;

}  // namespace

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
    EXPECT_EQ(imaging::roundHalfEven(0.5), 0.0);
    EXPECT_EQ(imaging::roundHalfEven(1.5), 2.0);
    EXPECT_EQ(imaging::roundHalfEven(2.5), 2.0);
    EXPECT_EQ(imaging::roundHalfEven(3.5), 4.0);
    EXPECT_EQ(imaging::roundHalfEven(-2.5), -2.0);
    EXPECT_EQ(imaging::roundHalfEven(-3.5), -4.0);
    EXPECT_EQ(imaging::roundToInt(254.5), 254);
    EXPECT_EQ(imaging::roundToInt(255.5), 256);
}

TEST(RoundHalfEven, NonHalvesGoToTheNearest) {
    EXPECT_EQ(imaging::roundHalfEven(2.4999999), 2.0);
    EXPECT_EQ(imaging::roundHalfEven(2.5000001), 3.0);
    EXPECT_EQ(imaging::roundHalfEven(-0.49), 0.0);
    EXPECT_EQ(imaging::roundToInt(-7.6), -8);
    EXPECT_EQ(imaging::roundToInt(199.67), 200);
}

TEST(IntFloor, RoundsTowardsMinusInfinity) {
    EXPECT_EQ(imaging::intFloor(-0.5), -1.0);
    EXPECT_EQ(imaging::intFloor(-2.0), -2.0);
    EXPECT_EQ(imaging::intFloor(2.99), 2.0);
    EXPECT_EQ(imaging::intFloor(0.0), 0.0);
}

TEST(Int16Arithmetic, ResultsInsideTheRangeAreExact) {
    EXPECT_EQ(imaging::add16(32766, 1), 32767);
    EXPECT_EQ(imaging::add16(-32767, -1), -32768);
    EXPECT_EQ(imaging::sub16(-32767, 1), -32768);
    EXPECT_EQ(imaging::sub16(100, 300), -200);
    EXPECT_EQ(imaging::mul16(181, 181), 32761);
    EXPECT_EQ(imaging::toInt16(-32768), -32768);
    EXPECT_EQ(imaging::toInt16(32767), 32767);
}

TEST(Int16Arithmetic, LeavingTheRangeIsAnOverflow) {
    EXPECT_EQ(errorKindOf([] { imaging::add16(32767, 1); }), ErrorKind::Overflow);
    EXPECT_EQ(errorKindOf([] { imaging::add16(-32768, -1); }), ErrorKind::Overflow);
    EXPECT_EQ(errorKindOf([] { imaging::sub16(-32768, 1); }), ErrorKind::Overflow);
    EXPECT_EQ(errorKindOf([] { imaging::sub16(32767, -1); }), ErrorKind::Overflow);
    EXPECT_EQ(errorKindOf([] { imaging::mul16(182, 181); }), ErrorKind::Overflow);
    EXPECT_EQ(errorKindOf([] { imaging::toInt16(32768); }), ErrorKind::Overflow);
    EXPECT_EQ(errorKindOf([] { imaging::toInt16(-32769); }), ErrorKind::Overflow);
    EXPECT_EQ(imaging_test::runErrorMessage([] { imaging::add16(32767, 1); }), "Overflow");
}

TEST(Int16Arithmetic, LoopEndOfCornerPlusSide) {
    // A square's loop end (corner + side) is 16-bit: 32567 + 200 fits, 32568 + 200 does not.
    EXPECT_EQ(imaging::add16(32567, 200), 32767);
    EXPECT_EQ(errorKindOf([] { imaging::add16(32568, 200); }), ErrorKind::Overflow);
}

TEST(ParseInt16, RoundsHalvesToEven) {
    EXPECT_EQ(imaging::parseInt16("2.5"), 2);
    EXPECT_EQ(imaging::parseInt16("3.5"), 4);
    EXPECT_EQ(imaging::parseInt16("-2.5"), -2);
    EXPECT_EQ(imaging::parseInt16("200"), 200);
    EXPECT_EQ(imaging::parseInt16("199.6"), 200);
    EXPECT_EQ(imaging::parseInt16(" 200 "), 200);
}

TEST(ParseInt16, AcceptsTheWholeRange) {
    EXPECT_EQ(imaging::parseInt16("32767"), 32767);
    EXPECT_EQ(imaging::parseInt16("-32768"), -32768);
    EXPECT_EQ(imaging::parseInt16("32766.5"), 32766);
    EXPECT_EQ(imaging::parseInt16("-32768.5"), -32768);  // the even neighbour is inside
}

TEST(ParseInt16, NonNumbersAreATypeMismatch) {
    for (const char* text : {"abc", "", "   ", "12abc", "1,5"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(errorKindOf([&] { imaging::parseInt16(text); }), ErrorKind::TypeMismatch);
        EXPECT_EQ(imaging_test::runErrorMessage([&] { imaging::parseInt16(text); }).rfind("Type mismatch", 0), 0u);
    }
}

TEST(ParseInt16, OutsideTheRangeIsAnOverflow) {
    for (const char* text : {"32768", "-32769", "32767.5", "100000", "1e9"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(errorKindOf([&] { imaging::parseInt16(text); }), ErrorKind::Overflow);
        EXPECT_EQ(imaging_test::runErrorMessage([&] { imaging::parseInt16(text); }), "Overflow");
    }
}

TEST(ParseNumber, ReadsDecimalTexts) {
    EXPECT_EQ(imaging::parseNumber("0.78125"), 0.78125);
    EXPECT_EQ(imaging::parseNumber("-2.5"), -2.5);
    EXPECT_EQ(imaging::parseNumber(" 200"), 200.0);
    EXPECT_EQ(errorKindOf([] { imaging::parseNumber("x1"); }), ErrorKind::TypeMismatch);
    EXPECT_EQ(errorKindOf([] { imaging::parseNumber(""); }), ErrorKind::TypeMismatch);
}

TEST(NumberText, DoubleKeepsFifteenSignificantDigits) {
    EXPECT_EQ(imaging::numberText(1.930777687670256), "1.93077768767026");
    EXPECT_EQ(imaging::numberText(1.9129080192587942), "1.91290801925879");
    EXPECT_EQ(imaging::numberText(-0.09), "-0.09");
    EXPECT_EQ(imaging::numberText(0.78125), "0.78125");
    EXPECT_EQ(imaging::numberText(2.5), "2.5");
    EXPECT_EQ(imaging::numberText(0.0), "0");
    EXPECT_EQ(imaging::numberText(200.0), "200");
    EXPECT_EQ(imaging::numberText(256000000.0), "256000000");
    EXPECT_EQ(imaging::numberText(1e16), "1E+16");
}

TEST(NumberText, FloatKeepsSevenSignificantDigits) {
    EXPECT_EQ(imaging::numberText(98.333336f), "98.33334");
    EXPECT_EQ(imaging::numberText(85.33334f), "85.33334");
    EXPECT_EQ(imaging::numberText(256000000.0f), "2.56E+08");
    EXPECT_EQ(imaging::numberText(40000.0f), "40000");
    EXPECT_EQ(imaging::numberText(159.375f), "159.375");
    EXPECT_EQ(imaging::numberText(0.5f), "0.5");
    EXPECT_EQ(imaging::numberText(-0.25f), "-0.25");
}

TEST(NumberText, FloatIsNotWidenedToDoubleDigits) {
    // 0.1f is 0.100000001490116... as a double; its single-precision text is "0.1".
    EXPECT_EQ(imaging::numberText(0.1f), "0.1");
    EXPECT_EQ(imaging::numberText(double(0.1f)), "0.100000001490116");
}

TEST(NumberText, RoundsToTheAllowedDigits) {
    EXPECT_EQ(imaging::numberText(0.1 + 0.2), "0.3");
    EXPECT_EQ(imaging::numberText(1.0 / 3.0), "0.333333333333333");
    EXPECT_EQ(imaging::numberText(2.0 / 3.0), "0.666666666666667");
    EXPECT_EQ(imaging::numberText(-2.0 / 3.0), "-0.666666666666667");
    EXPECT_EQ(imaging::numberText(0.9999999999999999), "1");
    EXPECT_EQ(imaging::numberText(999999999999999.0), "999999999999999");
    EXPECT_EQ(imaging::numberText(1e15), "1E+15");
    EXPECT_EQ(imaging::numberText(1.0f / 3.0f), "0.3333333");
    EXPECT_EQ(imaging::numberText(1234567.0f), "1234567");
    EXPECT_EQ(imaging::numberText(12345678.0f), "1.234568E+07");
    EXPECT_EQ(imaging::numberText(-256000000.0f), "-2.56E+08");
}

TEST(NumberText, Integers) {
    EXPECT_EQ(imaging::numberText(0), "0");
    EXPECT_EQ(imaging::numberText(-32768), "-32768");
    EXPECT_EQ(imaging::numberText(32761LL), "32761");
}

TEST(PrintForm, LeadingBlankOrMinusAndTrailingBlank) {
    EXPECT_EQ(imaging::printForm(-2.5), "-2.5 ");
    EXPECT_EQ(imaging::printForm(2.5), " 2.5 ");
    EXPECT_EQ(imaging::printForm(0.0), " 0 ");
    EXPECT_EQ(imaging::printForm(98.333336f), " 98.33334 ");
    EXPECT_EQ(imaging::printForm(-7), "-7 ");
    EXPECT_EQ(imaging::printForm(12), " 12 ");
    EXPECT_EQ(imaging::printForm(1.930777687670256), " 1.93077768767026 ");
}

TEST(CheckedLog, LogOfZeroOrNegativeIsARunError) {
    EXPECT_EQ(imaging::checkedLog(1.0), 0.0);
    EXPECT_DOUBLE_EQ(imaging::checkedLog(std::exp(2.0)), 2.0);
    EXPECT_THROW(imaging::checkedLog(0.0), RunError);
    EXPECT_THROW(imaging::checkedLog(-1.0), RunError);
}

TEST(LeastSquaresSlope, ExactForPointsOnALine) {
    const double x[] = {0.0, 1.0, 2.0, 3.0, 4.0};
    const double y[] = {1.0, -1.0, -3.0, -5.0, -7.0};
    EXPECT_EQ(imaging::leastSquaresSlope(x, y, 5), -2.0);
    const double flat[] = {3.0, 3.0, 3.0, 3.0, 3.0};
    EXPECT_EQ(imaging::leastSquaresSlope(x, flat, 5), 0.0);
}

TEST(LeastSquaresSlope, FitsScatteredPoints) {
    // Hand-checked: n = 4, Sx = 6, Sy = 10, Sxy = 0*1 + 1*3 + 2*2 + 3*4 = 19, Sxx = 14:
    // (4*19 - 6*10) / (4*14 - 36) = 16 / 20 = 0.8.
    const double x[] = {0.0, 1.0, 2.0, 3.0};
    const double y[] = {1.0, 3.0, 2.0, 4.0};
    EXPECT_DOUBLE_EQ(imaging::leastSquaresSlope(x, y, 4), 0.8);
}

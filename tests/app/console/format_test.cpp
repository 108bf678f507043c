// Field rendering and line structure of the formatted writer.

#include "console/format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

namespace tarven::console {
namespace {

std::string field(std::string_view format, FormatValue value) {
  std::string out = render(format, {value});
  EXPECT_FALSE(out.empty());
  EXPECT_EQ(out.back(), '\n');
  if (!out.empty()) out.pop_back();
  return out;
}

std::string blanks(std::size_t n) {
  return std::string(n, ' ');
}

// The digits the C library's fixed conversion produces, right-justified: the reference for values
// whose rounding is decided by the platform (exact halfway cases).
std::string printf_fixed(double magnitude, int decimals, int width) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%*.*f", width, decimals, magnitude);
  return buf;
}

TEST(IntegerField, RightJustifiedWithoutLeadingZeros) {
  EXPECT_EQ(field("(I2)", 7), " 7");
  EXPECT_EQ(field("(I4)", 2026), "2026");
  EXPECT_EQ(field("(I3)", -5), " -5");
  EXPECT_EQ(field("(I1)", 0), "0");
  EXPECT_EQ(field("(I7)", 0), blanks(6) + "0");
}

TEST(IntegerField, TooWideFillsTheFieldWithAsterisks) {
  EXPECT_EQ(field("(I2)", 123), "**");
  EXPECT_EQ(field("(I2)", -10), "**");  // the sign needs a column too
  EXPECT_EQ(field("(I2)", -9), "-9");
  EXPECT_EQ(field("(I11)", std::numeric_limits<int>::min()), "-2147483648");
  EXPECT_EQ(field("(I10)", std::numeric_limits<int>::min()), std::string(10, '*'));
  EXPECT_EQ(field("(I10)", std::numeric_limits<int>::max()), "2147483647");
}

TEST(FixedField, CommonValues) {
  EXPECT_EQ(field("(F7.3)", 0.5), "  0.500");
  EXPECT_EQ(field("(F7.3)", -1.0), " -1.000");
  EXPECT_EQ(field("(F10.6)", 0.5), "  0.500000");
  EXPECT_EQ(field("(F7.3)", 123.456), "123.456");
  EXPECT_EQ(field("(F7.3)", -12.5), "-12.500");
  EXPECT_EQ(field("(F12.2)", 12.345), blanks(7) + "12.35");
}

TEST(FixedField, ValueRoundingToZeroHasNoMinusSign) {
  EXPECT_EQ(field("(F7.3)", -0.0004), "  0.000");
  EXPECT_EQ(field("(F7.3)", -0.0), "  0.000");
  EXPECT_EQ(field("(F7.3)", 0.0), "  0.000");
  // Not zero at four decimals.
  EXPECT_EQ(field("(F8.4)", -0.0004), " -0.0004");
  // The double nearest -0.0005 lies just beyond the halfway point, so it rounds away from zero.
  EXPECT_EQ(field("(F7.3)", -0.0005), " -0.001");
  // Without the sign the value fits exactly.
  EXPECT_EQ(field("(F5.3)", -0.0004), "0.000");
  EXPECT_EQ(field("(F4.3)", -0.0), ".000");
}

TEST(FixedField, RoundsFromTheExactBinaryValue) {
  // These decimals are stored slightly below the written value, so they round down.
  EXPECT_EQ(field("(F5.2)", 2.675), " 2.67");
  EXPECT_EQ(field("(F5.2)", 1.005), " 1.00");
  EXPECT_EQ(field("(F6.3)", 1.0005), " 1.000");
  // ... and these slightly above.
  EXPECT_EQ(field("(F5.2)", 2.345), " 2.35");
  EXPECT_EQ(field("(F5.2)", 0.115), " 0.12");
  EXPECT_EQ(field("(F7.3)", 0.0005), "  0.001");
  // Rounding that adds an integer digit.
  EXPECT_EQ(field("(F7.3)", 9.9996), " 10.000");
  EXPECT_EQ(field("(F6.3)", 99.9996), "******");
  // Many exact integer digits of a large double.
  EXPECT_EQ(field("(F25.2)", 1e20), " 100000000000000000000.00");
  EXPECT_EQ(field("(F10.2)", 1e300), std::string(10, '*'));
  // Far below the last decimal.
  EXPECT_EQ(field("(F7.3)", 4.9406564584124654e-324), "  0.000");
}

TEST(FixedField, HalfwayValuesRoundAsThePlatformConversion) {
  for (double v : {0.0625, 0.125, 0.375, 2.5, 0.5, 1.5, 1.0625}) {
    for (int d : {0, 1, 2, 3}) {
      const int w = 9;
      std::string expected = printf_fixed(v, d, w);
      if (d == 0) expected = expected.substr(1) + ".";  // the point is always written
      const std::string format = "(F" + std::to_string(w) + "." + std::to_string(d) + ")";
      EXPECT_EQ(field(format, v), expected) << v << " " << format;
      if (expected.find_first_not_of(" 0.") != std::string::npos) {
        // The negative value shows the same digits with a minus sign.
        const std::size_t first = expected.find_first_not_of(' ');
        std::string negative = expected;
        negative[first - 1] = '-';
        EXPECT_EQ(field(format, -v), negative) << -v << " " << format;
      }
    }
  }
}

TEST(FixedField, LeadingZeroDroppedOnlyWhenThatAloneMakesItFit) {
  EXPECT_EQ(field("(F4.3)", 0.5), ".500");
  EXPECT_EQ(field("(F5.3)", -0.5), "-.500");
  EXPECT_EQ(field("(F5.3)", 0.5), "0.500");  // fits: zero kept
  EXPECT_EQ(field("(F4.3)", -0.5), "****");
  EXPECT_EQ(field("(F3.3)", 0.5), "***");
  EXPECT_EQ(field("(F6.3)", 12.5), "12.500");
  EXPECT_EQ(field("(F5.3)", 12.5), "*****");  // no leading zero to drop
  EXPECT_EQ(field("(F7.3)", 12345.678), "*******");
  EXPECT_EQ(field("(F7.3)", 1234.5), "*******");
  EXPECT_EQ(field("(F7.3)", -123.4), "*******");
}

TEST(FixedField, NoDecimalsStillWritesThePoint) {
  EXPECT_EQ(field("(F4.0)", 3.7), "  4.");
  EXPECT_EQ(field("(F4.0)", -2.6), " -3.");
  EXPECT_EQ(field("(F3.0)", 0.4), " 0.");
  EXPECT_EQ(field("(F3.0)", -0.4), " 0.");
  EXPECT_EQ(field("(F1.0)", 0.4), ".");
  EXPECT_EQ(field("(F2.0)", 10.0), "**");
}

TEST(ExponentField, WidthsOfTheFieldsInUse) {
  EXPECT_EQ(field("(D20.10)", 1.5), blanks(4) + "0.1500000000E+01");
  EXPECT_EQ(field("(D20.10)", -1.5), blanks(3) + "-0.1500000000E+01");
  EXPECT_EQ(field("(D20.11)", 1.5), blanks(3) + "0.15000000000E+01");
  EXPECT_EQ(field("(D20.11)", -1.5), blanks(2) + "-0.15000000000E+01");
  EXPECT_EQ(field("(D12.4)", 1.5), blanks(2) + "0.1500E+01");
  EXPECT_EQ(field("(D12.4)", -1.5), blanks(1) + "-0.1500E+01");
  EXPECT_EQ(field("(D12.5)", 1.5), blanks(1) + "0.15000E+01");
  EXPECT_EQ(field("(D12.5)", -1.5), "-0.15000E+01");
}

TEST(ExponentField, ZeroSmallAndCarryingValues) {
  EXPECT_EQ(field("(D20.10)", 0.0), blanks(4) + "0.0000000000E+00");
  EXPECT_EQ(field("(D20.10)", -0.0), blanks(4) + "0.0000000000E+00");
  EXPECT_EQ(field("(D20.10)", 0.00001234), blanks(4) + "0.1234000000E-04");
  EXPECT_EQ(field("(D20.10)", 9.99999999999), blanks(4) + "0.1000000000E+02");
  EXPECT_EQ(field("(D12.4)", -0.099996), " -0.1000E+00");
  EXPECT_EQ(field("(D12.4)", 0.1), "  0.1000E+00");
  EXPECT_EQ(field("(D12.4)", 1.0), "  0.1000E+01");
  EXPECT_EQ(field("(D12.4)", 0.012345678), "  0.1235E-01");
}

TEST(ExponentField, ThreeDigitExponentReplacesTheLetter) {
  EXPECT_EQ(field("(D20.10)", 1.0e-120), blanks(4) + "0.1000000000-119");
  EXPECT_EQ(field("(D20.10)", -2.5e200), blanks(3) + "-0.2500000000+201");
  // The boundary between two and three exponent digits.
  EXPECT_EQ(field("(D12.4)", 1e98), "  0.1000E+99");
  EXPECT_EQ(field("(D12.4)", 1e99), "  0.1000+100");
  EXPECT_EQ(field("(D12.4)", 1e-100), "  0.1000E-99");
  EXPECT_EQ(field("(D12.4)", 1e-101), "  0.1000-100");
  // The ends of the double range.
  EXPECT_EQ(field("(D12.5)", std::numeric_limits<double>::max()), " 0.17977+309");
  EXPECT_EQ(field("(D12.5)", std::numeric_limits<double>::denorm_min()), " 0.49407-323");
}

TEST(ExponentField, SpareColumnsAndOverflow) {
  EXPECT_EQ(field("(D10.4)", 1.5), "0.1500E+01");  // one spare column: the leading zero
  EXPECT_EQ(field("(D9.4)", 1.5), ".1500E+01");    // none: no leading zero
  EXPECT_EQ(field("(D10.4)", -1.5), "-.1500E+01");
  EXPECT_EQ(field("(D9.4)", -1.5), "*********");
  EXPECT_EQ(field("(D8.4)", 1.5), "********");
  EXPECT_EQ(field("(D6.1)", 5.0), ".5E+01");
  EXPECT_EQ(field("(D7.1)", 5.0), "0.5E+01");
}

TEST(ExponentField, HalfwayMantissaRoundsAsThePlatformConversion) {
  for (double v : {0.125, 0.375, 2.5, 1.0625, 0.0625}) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1e", v);  // d.de+xx: the two digits of a D?.2 mantissa
    const std::string reference = buf;
    const int exponent = std::stoi(reference.substr(4)) + 1;
    char exp_text[16];
    std::snprintf(exp_text, sizeof exp_text, "E%+03d", exponent);
    const std::string expected =
        "  0." + reference.substr(0, 1) + reference.substr(2, 1) + exp_text;
    EXPECT_EQ(field("(D10.2)", v), expected) << v;
  }
}

TEST(NonFiniteValues, ShownAsWordsOrAsterisksNeverDigits) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(field("(F7.3)", nan), "    NaN");
  EXPECT_EQ(field("(F7.3)", inf), "    Inf");
  EXPECT_EQ(field("(F7.3)", -inf), "   -Inf");
  EXPECT_EQ(field("(D12.4)", -inf), "        -Inf");
  EXPECT_EQ(field("(D20.10)", nan), blanks(17) + "NaN");
  EXPECT_EQ(field("(F2.0)", nan), "**");
  EXPECT_EQ(field("(D3.1)", -inf), "***");
}

TEST(TextField, WholeTextWithItsBlanks) {
  EXPECT_EQ(field("(A)", std::string_view("name    ")), "name    ");
  EXPECT_EQ(field("(a)", std::string_view("")), "");
  EXPECT_EQ(render("(4(a))", {std::string_view(" File "), std::string_view("x.txt  "),
                              std::string_view(" found"), std::string_view(" ?")}),
            " File x.txt   found ?\n");
  // With a width, as a record writer treats it: cut or right-justified.
  EXPECT_EQ(field("(a1)", std::string_view("yes")), "y");
  EXPECT_EQ(field("(A3)", std::string_view("x")), "  x");
}

TEST(WrongValueKind, ShowsAsterisksInsteadOfGuessing) {
  EXPECT_EQ(field("(I3)", 2.0), "***");
  EXPECT_EQ(field("(F5.1)", 2), "*****");
  EXPECT_EQ(field("(D10.2)", std::string_view("x")), "**********");
  EXPECT_EQ(field("(A)", 5), "*");
}

TEST(LineStructure, LiteralsBlanksAndSlashes) {
  EXPECT_EQ(render("('a',2X,'b')", {}), "a  b\n");
  EXPECT_EQ(render("(3X,I1)", {4}), "   4\n");
  EXPECT_EQ(render("('a',3X)", {}), "a\n");           // pending blanks dropped at line end
  EXPECT_EQ(render("('a',3X,/,'b')", {}), "a\nb\n");  // ... also at a slash
  EXPECT_EQ(render("(2X,2X,'c')", {}), "    c\n");
  EXPECT_EQ(render("(X,'c')", {}), " c\n");
  EXPECT_EQ(render("(/)", {}), "\n\n");
  EXPECT_EQ(render("(/,'a')", {}), "\na\n");
  EXPECT_EQ(render("('a',/)", {}), "a\n\n");
  EXPECT_EQ(render("('a',/,/,'b')", {}), "a\n\nb\n");
  EXPECT_EQ(render("('it''s')", {}), "it's\n");
  EXPECT_EQ(render("( 'a' , 2X , I2 )", {5}), "a   5\n");
}

TEST(LineStructure, StopsAtTheFirstFieldWithoutAValue) {
  const std::string seven = render("(8F7.3)", {1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 7.0});
  EXPECT_EQ(seven, "  1.000  2.000  3.000  4.000  5.000  6.000  7.000\n");
  EXPECT_EQ(render("('x',I2,'y')", {}), "x\n");
  EXPECT_EQ(render("(I2,'y')", {1}), " 1y\n");   // text after the last field is still written
  EXPECT_EQ(render("(I2,5X,I2)", {1}), " 1\n");  // blanks before a field without value dropped
  EXPECT_EQ(render("(I2,/,'after')", {1}), " 1\nafter\n");
  EXPECT_EQ(render("(I2)", {}), "\n");  // the line is ended even when empty
}

TEST(LineStructure, RepeatCountsOnFieldsAndGroups) {
  EXPECT_EQ(render("(3I2)", {1, 2, 3}), " 1 2 3\n");
  EXPECT_EQ(render("(2(I1,'-'))", {1, 2}), "1-2-\n");
  EXPECT_EQ(render("(2(2I1,'|'))", {1, 2, 3, 4}), "12|34|\n");
  EXPECT_EQ(render("(2(I1,'|'))", {1}), "1|\n");
  EXPECT_EQ(render("(3('ab',/))", {}), "ab\nab\nab\n\n");
  EXPECT_EQ(render("(2(2('x'),'y'))", {}), "xxyxxy\n");
  EXPECT_EQ(render("(1000I1)", {1, 2, 3}), "123\n");
  EXPECT_EQ(render("(2000000000(I1))", {4, 5}), "45\n");
  EXPECT_EQ(render("(40X,'a')", {}), blanks(40) + "a\n");
  EXPECT_EQ(render("(0('x'),'y')", {}), "y\n");
  EXPECT_EQ(render("(2/,'a')", {}), "\n\na\n");
}

TEST(LineStructure, LowerCaseMeansTheSameAsUpperCase) {
  const std::string upper = render("(I3,F6.2,D10.3,2X,A)", {5, 1.25, 3.0, std::string_view("t")});
  const std::string lower = render("(i3,f6.2,d10.3,2x,a)", {5, 1.25, 3.0, std::string_view("t")});
  EXPECT_EQ(upper, "  5  1.25 0.300E+01  t\n");
  EXPECT_EQ(lower, upper);
}

TEST(LineStructure, SpareValuesStartANewLineRatherThanGetLost) {
  EXPECT_EQ(render("(2I2)", {1, 2, 3}), " 1 2\n 3\n");
  // From the last top-level group, with its repeat count.
  EXPECT_EQ(render("(I3,(I2,'x'))", {1, 2, 3, 4}), "  1 2x\n 3x\n 4x\n");
  // A format that takes no values ignores them instead of looping.
  EXPECT_EQ(render("('a')", {1, 2}), "a\n");
  EXPECT_EQ(render("(I1,('a'))", {1, 2}), "1a\n");
}

TEST(LineStructure, MalformedTextWritesWhatItCouldRead) {
  EXPECT_EQ(render("(I2,Q,I2)", {1}), " 1\n");
  EXPECT_EQ(render("(I2", {1}), " 1\n");
  EXPECT_EQ(render("('open", {}), "\n");
  EXPECT_EQ(render("", {1}), "\n");
  EXPECT_EQ(render("(F7)", {1.0}), "\n");
  EXPECT_EQ(render("(99999999999I1)", {1}), "\n");
}

TEST(LineStructure, SpanAndInitializerListAgree) {
  const std::vector<FormatValue> values{3, 0.5, std::string_view("abc")};
  EXPECT_EQ(render("(I2,F5.2,1X,A)", std::span<const FormatValue>(values)),
            render("(I2,F5.2,1X,A)", {3, 0.5, std::string_view("abc")}));
  EXPECT_EQ(render("(I2,F5.2,1X,A)", std::span<const FormatValue>(values)), " 3 0.50 abc\n");
}

TEST(FreeForm, OneBlankTheTextAndTheLineEnd) {
  EXPECT_EQ(free_form("Total number of applicants?"), " Total number of applicants?\n");
  EXPECT_EQ(free_form(" Filename to write output of the program? "),
            "  Filename to write output of the program? \n");
  EXPECT_EQ(free_form(""), " \n");
}

}  // namespace
}  // namespace tarven::console

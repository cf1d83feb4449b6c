#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <utility>

#include "parser/valuechecks.h"

namespace {

class ValueChecks : public ::testing::Test {
protected:
    ConfigurationTree tree = Gui_NewConfigurationTree();
    const int item = kItemTaps;  // below Lowpass Filtering, Spectrum, Signal Processing

    const std::string &message() const { return tree.items[item].message; }
    bool faulty() const { return tree.items[item].faultImage >= 0; }
};

TEST_F(ValueChecks, IntegerAcceptsDigitsWithLeadingMinusOnly)
{
    int value = 99;
    EXPECT_EQ(Parser_CheckIntegerValue(tree, "-", -5, 5, item, &value), 1);
    EXPECT_EQ(value, 0);  // a lone minus sign converts to 0
    EXPECT_EQ(Parser_CheckIntegerValue(tree, "-0042", -100, 100, item, &value), 1);
    EXPECT_EQ(value, -42);
    EXPECT_FALSE(faulty());

    for (const char *bad : {"+5", "1e3", "12-", "1.0", " 7", "0x10", "--1"}) {
        value = 99;
        EXPECT_EQ(Parser_CheckIntegerValue(tree, bad, -100, 100, item, &value), 0) << bad;
        EXPECT_EQ(message(), "Integer value expected") << bad;
        EXPECT_EQ(value, 99) << bad;
    }
    EXPECT_EQ(Parser_CheckIntegerValue(tree, "", 0, 1, item, &value), 0);
    EXPECT_EQ(message(), "Value missing");
}

TEST_F(ValueChecks, IntegerRangeAndOverflowGiveTheRangeMessage)
{
    int value = 7;
    EXPECT_EQ(Parser_CheckIntegerValue(tree, "5", 10, 1024, item, &value), 0);
    EXPECT_EQ(message(), "Integer value between 10 and 1024 expected");
    EXPECT_EQ(value, 7);

    // Digit strings beyond 32 or 64 bits are out of range, never wrapped.
    for (const char *huge : {"2147483648", "-2147483649", "99999999999999999999", "-99999999999999999999999"}) {
        EXPECT_EQ(Parser_CheckIntegerValue(tree, huge, INT_MIN, INT_MAX, item, &value), 0) << huge;
        EXPECT_EQ(message(), "Integer value between -2147483648 and 2147483647 expected") << huge;
    }
    EXPECT_EQ(Parser_CheckIntegerValue(tree, "-2147483648", INT_MIN, INT_MAX, item, &value), 1);
    EXPECT_EQ(value, INT_MIN);
    EXPECT_EQ(message(), "");
}

TEST_F(ValueChecks, Integer64UsesDecimalTextsInItsMessage)
{
    int64_t value = 3;
    EXPECT_EQ(Parser_CheckInteger64Value(tree, "9223372036854775807", INT64_MIN, INT64_MAX, item, &value), 1);
    EXPECT_EQ(value, INT64_MAX);
    EXPECT_EQ(Parser_CheckInteger64Value(tree, "-9223372036854775808", INT64_MIN, INT64_MAX, item, &value), 1);
    EXPECT_EQ(value, INT64_MIN);

    EXPECT_EQ(Parser_CheckInteger64Value(tree, "9223372036854775808", INT64_MIN, INT64_MAX, item, &value), 0);
    EXPECT_EQ(message(), "Integer value between -9223372036854775808 and 9223372036854775807 expected");
    EXPECT_EQ(value, INT64_MIN);
    EXPECT_EQ(Parser_CheckInteger64Value(tree, "7", 8, 5000000000, item, &value), 0);
    EXPECT_EQ(message(), "Integer value between 8 and 5000000000 expected");
    EXPECT_EQ(Parser_CheckInteger64Value(tree, "+8", 8, 9, item, &value), 0);
    EXPECT_EQ(message(), "Integer value expected");
}

TEST_F(ValueChecks, DoubleTakesOnePointAndAnExponentAndPointsToTheDecimalPoint)
{
    double value = 5.0;
    const std::pair<const char *, double> numbers[] = {
        {".", 0.0}, {"-", 0.0}, {"-.25", -0.25}, {"2.4e6", 2400000.0},
        {"25E-2", 0.25}, {"-1e+2", -100.0}, {"0.1e1", 1.0}};
    for (const auto &[text, expected] : numbers) {
        EXPECT_EQ(Parser_CheckDoubleValue(tree, text, -1e9, 1e9, item, &value), 1) << text;
        EXPECT_EQ(value, expected) << text;
    }
    EXPECT_FALSE(faulty());

    // Multiplier letters belong to the sample rate alone; an exponent needs digits on both sides.
    for (const char *bad : {"+1", "1.2.3", "inf", "nan", "0x1p3", "1e", "e5", "-e5", "1e3.5", "2.4M", "1 ", " 1"}) {
        value = 5.0;
        EXPECT_EQ(Parser_CheckDoubleValue(tree, bad, -1e9, 1e9, item, &value), 0) << bad;
        EXPECT_EQ(message(), "Numerical value expected") << bad;
        EXPECT_EQ(value, 5.0) << bad;
    }
    for (const char *comma : {"0,25", "1,5e3", ","}) {
        EXPECT_EQ(Parser_CheckDoubleValue(tree, comma, -1e9, 1e9, item, &value), 0) << comma;
        EXPECT_EQ(message(), "Numerical value expected (use a point as decimal separator)") << comma;
    }
    EXPECT_EQ(Parser_CheckDoubleValue(tree, "1,2,3", -1e9, 1e9, item, &value), 0);
    EXPECT_EQ(message(), "Numerical value expected");
    EXPECT_EQ(Parser_CheckDoubleValue(tree, "", 0.0, 1.0, item, &value), 0);
    EXPECT_EQ(message(), "Value missing");
}

TEST_F(ValueChecks, MultiplierLettersReadAsTheExponentTheyStandFor)
{
    double value = 0.0;
    const std::pair<const char *, const char *> same[] = {{"2.4M", "2.4e6"}, {"250k", "250e3"}, {"0.3G", "0.3e9"},
                                                          {"-1.7k", "-1.7e3"}};
    for (const auto &[lettered, exponent] : same) {
        double expected = 0.0;
        ASSERT_EQ(Parser_ReadDecimalText(exponent, DecimalSuffixes::None, &expected), DecimalReading::Number);
        EXPECT_EQ(Parser_ReadDecimalText(lettered, DecimalSuffixes::Metric, &value), DecimalReading::Number)
            << lettered;
        EXPECT_EQ(value, expected) << lettered;  // bit for bit, not 2.4 * 1e6
    }
    EXPECT_EQ(value, -1700.0);
    for (const char *bad : {"2.4m", "2.4K", "M", "-k", "2.4Mk", "2e3k", "2.4 M"})
        EXPECT_EQ(Parser_ReadDecimalText(bad, DecimalSuffixes::Metric, &value), DecimalReading::NotANumber) << bad;
    EXPECT_EQ(Parser_ReadDecimalText("2,4M", DecimalSuffixes::Metric, &value), DecimalReading::DecimalComma);
}

TEST_F(ValueChecks, DoubleRangeMessageAndNonFiniteValues)
{
    double value = 5.0;
    EXPECT_EQ(Parser_CheckDoubleValue(tree, "150", 0.001, 100.0, item, &value), 0);
    EXPECT_EQ(message(), "Numerical value between 0.001000 and 100.000000 expected");
    EXPECT_EQ(value, 5.0);

    // 400 digits convert to infinity, which is above any finite maximum and must never pass,
    // even with the largest finite maximum.
    const std::string huge = "1" + std::string(400, '0');
    EXPECT_EQ(Parser_CheckDoubleValue(tree, huge.c_str(), 0.0, 1.7976931348623157e308, item, &value), 0);
    EXPECT_EQ(value, 5.0);
    EXPECT_EQ(message().rfind("Numerical value between 0.000000 and 1797693134862315", 0), 0u);
    EXPECT_EQ(Parser_CheckDoubleValue(tree, "1e999", 0.0, 1.7976931348623157e308, item, &value), 0);
    EXPECT_EQ(value, 5.0);
}

TEST_F(ValueChecks, MarksItemAndAncestorsAndClearsThemAgain)
{
    int value = 0;
    EXPECT_EQ(Parser_CheckIntegerValue(tree, "5", 10, 1024, item, &value), 0);
    EXPECT_TRUE(faulty());
    for (int branch : {kItemLowpassFiltering, kItemSpectrum, kItemSignalProcessing})
        EXPECT_EQ(tree.items[branch].faultCounter, 0) << branch;

    EXPECT_EQ(Parser_CheckStringValue(tree, "", kItemShift), 0);
    EXPECT_EQ(tree.items[kItemSignalProcessing].faultCounter, 1);

    Parser_ClearItemCheck(tree, kItemShift);
    EXPECT_EQ(Parser_CheckIntegerValue(tree, "256", 10, 1024, item, &value), 1);
    EXPECT_EQ(value, 256);
    EXPECT_FALSE(faulty());
    EXPECT_EQ(message(), "");
    for (int branch : {kItemLowpassFiltering, kItemSpectrum, kItemSignalProcessing})
        EXPECT_EQ(tree.items[branch].faultCounter, -1) << branch;
}

}  // namespace

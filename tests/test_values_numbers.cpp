// Number text: the "%d" and "%g" forms stored by the setters, their locale independence, and
// the non-finite forms.
#include "tree_helpers.hpp"

#include <gtest/gtest.h>

#include <cfloat>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace {

std::string integer_text(int32_t value) {
    Root root = make_root("r");
    EXPECT_TRUE(XMLSetNodeIntegerAttribute(root.get(), "n", value));
    return root->attributes.items[0].value;
}

std::string double_text(double value) {
    Root root = make_root("r");
    EXPECT_TRUE(XMLSetNodeDoubleAttribute(root.get(), "n", value));
    return root->attributes.items[0].value;
}

struct IntegerCase {
    int32_t value;
    const char* text;
};

const IntegerCase kIntegers[] = {
    {0, "0"},
    {7, "7"},
    {-7, "-7"},
    {1000000, "1000000"},
    {2147483647, "2147483647"},
    {std::numeric_limits<int32_t>::min(), "-2147483648"},
};

TEST(NumberText, IntegersInTheDecimalForm) {
    for (const IntegerCase& c : kIntegers) EXPECT_EQ(integer_text(c.value), c.text) << c.value;
}

struct DoubleCase {
    double value;
    const char* text;
};

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

const DoubleCase kDoubles[] = {
    // Plain forms and the examples stores are known by.
    {0.0, "0"},
    {0.5, "0.5"},
    {2.5, "2.5"},
    {100.0, "100"},
    {100000.0, "100000"},
    {3.14159265, "3.14159"},
    {-0.0001, "-0.0001"},
    {0.0001, "0.0001"},
    {0.1, "0.1"},
    // Exponent form: below 1e-4 or from 1e6 on, a sign and at least three digits.
    {1e6, "1e+006"},
    {1250000.0, "1.25e+006"},
    {0.00001, "1e-005"},
    {0.0000001, "1e-007"},
    {1e15, "1e+015"},
    {1e100, "1e+100"},
    {1e-100, "1e-100"},
    {-1.5e300, "-1.5e+300"},
    // Rounding at six significant digits, trailing zeros dropped.
    {1.0 / 3.0, "0.333333"},
    {2.0 / 3.0, "0.666667"},
    {123456.7, "123457"},
    {999999.4, "999999"},
    {999999.5, "1e+006"},
    {1234567.0, "1.23457e+006"},
    {0.000123456789, "0.000123457"},
    {1.0000001, "1"},
    {123456.5, "123456"},  // exact ties go to the even digit, as in the C library
    {1234565.0, "1.23456e+006"},
    {1234575.0, "1.23458e+006"},
    {-2.5e-5, "-2.5e-005"},
    // Zero's sign, denormals and the ends of the range.
    {-0.0, "-0"},
    {std::numeric_limits<double>::denorm_min(), "4.94066e-324"},
    {2.2250738585072009e-308, "2.22507e-308"},
    {DBL_MIN, "2.22507e-308"},
    {DBL_MAX, "1.79769e+308"},
    {-DBL_MAX, "-1.79769e+308"},
    // Non-finite values in their XML Schema forms.
    {kInf, "INF"},
    {-kInf, "-INF"},
    {kNaN, "NaN"},
    {-kNaN, "NaN"},
};

TEST(NumberText, DoublesInThePercentGForm) {
    for (const DoubleCase& c : kDoubles) EXPECT_EQ(double_text(c.value), c.text) << c.text;
}

TEST(NumberText, EveryDoubleSetterStoresTheSameText) {
    for (const DoubleCase& c : kDoubles) {
        Root root = make_root("r");
        XMLSetNodeDoubleAttribute(root.get(), "a", 1.0);
        ASSERT_TRUE(XMLSetDoubleAttribute(&root->attributes.items[0], "a", c.value, 7));
        EXPECT_STREQ(root->attributes.items[0].value, c.text);
        if (c.value < 0 || c.value > 0) {  // the element setter treats zero and NaN as "no value"
            XMLNode* e = XMLSetNodeDoubleElement(root.get(), "e", c.value);
            ASSERT_NE(e, nullptr);
            EXPECT_STREQ(e->value, c.text);
        }
    }
}

// The C library's "%g" text with its exponent widened to three digits: an independent
// reference for the formatter.
std::string reference_text(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%g", value);
    std::string text = buffer;
    std::size_t e = text.find('e');
    if (e != std::string::npos && text.size() - (e + 2) < 3) text.insert(e + 2, 3 - (text.size() - (e + 2)), '0');
    return text;
}

TEST(NumberText, AgreesWithTheCLibraryOnManyDoubles) {
    ASSERT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
    std::mt19937_64 random(20240607);
    std::uniform_int_distribution<int> decade(-320, 308);
    std::uniform_real_distribution<double> mantissa(1.0, 10.0);
    int checked = 0;
    for (int i = 0; i < 20000; ++i) {
        // Any bit pattern, and decimal-looking values whose seventh digit decides the rounding.
        double from_bits;
        uint64_t bits = random();
        std::memcpy(&from_bits, &bits, sizeof bits);
        double decimal = mantissa(random) * std::pow(10.0, decade(random));
        double boundary = (std::floor(mantissa(random) * 1e5) + 0.5) * std::pow(10.0, decade(random) / 10);
        for (double v : {from_bits, decimal, -decimal, boundary}) {
            if (!std::isfinite(v)) continue;
            ASSERT_EQ(double_text(v), reference_text(v)) << std::hexfloat << v;
            ++checked;
        }
    }
    EXPECT_GT(checked, 70000);
}

// Sets a locale for the length of a test and puts the old one back.
class LocaleScope {
public:
    explicit LocaleScope(const char* name) : old_(std::setlocale(LC_ALL, nullptr)) {
        ok_ = std::setlocale(LC_ALL, name) != nullptr;
    }
    ~LocaleScope() { std::setlocale(LC_ALL, old_.c_str()); }
    bool ok() const { return ok_; }

private:
    std::string old_;
    bool ok_ = false;
};

TEST(NumberText, UnchangedUnderACommaDecimalLocale) {
    LocaleScope german("de_DE.UTF-8");
    if (!german.ok())
        GTEST_SKIP() << "locale de_DE.UTF-8 is not installed here; .ci/run generates it, so CI runs this test";
    char c_library[32];
    std::snprintf(c_library, sizeof c_library, "%g", 1.5);
    ASSERT_STREQ(c_library, "1,5") << "the locale must really use a comma";

    for (const DoubleCase& c : kDoubles) EXPECT_EQ(double_text(c.value), c.text) << c.text;
    for (const IntegerCase& c : kIntegers) EXPECT_EQ(integer_text(c.value), c.text) << c.value;
}

}  // namespace

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/comma_locale.h"
#include "common/scratch_dir.h"
#include "geometry/log.h"
#include "geometry/number_text.h"
#include "geometry/point.h"
#include "geometry/qe_file.h"

namespace {

const char* const k_numbers[] = {
    "0",      "1.5",     "-2.25",  "+3",     "  \t7.5e2xyz", ".5",    "5.",      "-.25e-1", "1e",   "1e+",
    "abc",    "",        " ",      "-",      "+-1",         "1,5",   "2.5,3",   "inf",     "-nan", "1e400",
    "-1e400", "1e-400",  "0x10",   "12 34",  "-0",          "1.7976931348623157e308",
};

// strtod in the C locale is the oracle; the C locale is the process's own until a host
// changes it.
void expect_like_strtod(const char* text)
{
    char* oracle_end = nullptr;
    const double expected = std::strtod(text, &oracle_end);
    const char* end = nullptr;
    const double got = qe_read_double(text, &end);
    if (std::string(text) == "0x10") {
        // Hexadecimal is strtod's extension: only the leading 0 is a decimal number.
        EXPECT_EQ(got, 0.0);
        EXPECT_EQ(end, text + 1);
        return;
    }
    if (std::isnan(expected)) {
        EXPECT_TRUE(std::isnan(got)) << text;
    } else {
        EXPECT_EQ(got, expected) << text;
        EXPECT_EQ(std::signbit(got), std::signbit(expected)) << text;
    }
    EXPECT_EQ(end - text, oracle_end - text) << text;
}

TEST(Number_Text, ReadsAsStrtodDoesInTheCLocale)
{
    for (const char* text : k_numbers) expect_like_strtod(text);
    EXPECT_EQ(qe_read_double(nullptr), 0.0);

    // The oracle is taken before the locale changes; the reading is the same under it.
    Comma_Locale comma;
    ASSERT_COMMA_LOCALE(comma);
    EXPECT_EQ(std::strtod("1,5", nullptr), 1.5);  // the locale is in force
    EXPECT_EQ(qe_read_double("1,5"), 1.0);
    EXPECT_EQ(qe_read_double("-2.25"), -2.25);
    EXPECT_EQ(qe_read_double(" 7.5e2"), 750.0);
}

TEST(Number_Text, FixedTextAsPrintfWritesItInTheCLocale)
{
    const double values[] = {0.0, -0.0, 1.0, -2.5, 3.14159, 0.00005, 0.00004999, 123456789.123456789, 1e300, -1e-300,
                             2.5e-5, 0.125, 1e17};
    auto printf_text = [](double v, int precision) {
        char buf[400];
        std::snprintf(buf, sizeof buf, "%.*f", precision, v);
        return std::string(buf);
    };
    for (double v : values)
        for (int precision : {0, 1, 4, 11})
            EXPECT_EQ(qe_fixed_text(v, precision), printf_text(v, precision)) << v << " " << precision;
    EXPECT_EQ(qe_fixed_text(INFINITY, 4), "inf");

    Comma_Locale comma;
    ASSERT_COMMA_LOCALE(comma);
    EXPECT_EQ(printf_text(2.5, 4), "2,5000");  // the locale is in force
    EXPECT_EQ(qe_fixed_text(2.5, 4), "2.5000");
    EXPECT_EQ(qe_fixed_text(-1234.56789, 4), "-1234.5679");
}

// The log and the segment dump write their numbers with a point under any locale.
TEST(Number_Text, LogAndSegmentDumpUnderADecimalCommaLocale)
{
    Scratch_Dir dir(true);
    Comma_Locale comma;
    ASSERT_COMMA_LOCALE(comma);
    message_out("", Qe_Pt(1.0, -2.5, 1e-5), nullptr, false);
    const std::string path = dir.path() + "/dump.txt";
    {
        Qe_File f(path.c_str(), true);
        EXPECT_TRUE(f.write_segment(Qe_Pt(1, 2, 0), Qe_Pt(-3.25, 4.5, 1), 7));
    }
    auto slurp = [](const std::string& p) {
        std::string out;
        if (FILE* f = std::fopen(p.c_str(), "rb")) {
            char buf[256];
            for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) out.append(buf, n);
            std::fclose(f);
        }
        return out;
    };
    EXPECT_EQ(slurp("jxb.log"), "---------------\r\nx:1.0000  y:-2.5000  z:0.0000\r\n");
    EXPECT_EQ(slurp(path), "1.0000,2.0000,0.0000,-3.2500,4.5000,1.0000,7\r\n");
}

}  // namespace

// SPDX-License-Identifier: MIT
// The one boolean reader, for the settings file and a drive's Compressed
// property alike.
#include "vcl/Conversions.h"

#include <gtest/gtest.h>

namespace {

TEST(StrToBoolDef, NumbersThenTrueOrFalseElseTheDefault)
{
    struct Case
    {
        const char *text;
        int expected; // -1: the default
    };
    const Case cases[] = {
        {"True", 1}, {"TRUE", 1},   {"false", 0}, {"FALSE", 0}, {"1", 1},      {"0", 0},    {"2", 1},
        {"-1", 1},   {"0.0", 0},    {"1e3", 1},   {" 1 ", 1},   {"\t0\n", 0},  {"yes", -1}, {"", -1},
        {"  ", -1},  {"Truee", -1}, {"inf", -1},  {"nan", -1},  {"1,000", -1}, {"0x1", -1},
    };
    for (const Case &c : cases) {
        for (const bool fallback : {false, true}) {
            const bool expected = c.expected < 0 ? fallback : c.expected == 1;
            EXPECT_EQ(vcl::StrToBoolDef(QString::fromUtf8(c.text), fallback), expected)
                << '"' << c.text << "\" with the default " << fallback;
        }
    }
}

} // namespace

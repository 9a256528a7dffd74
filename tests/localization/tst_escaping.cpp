// SPDX-License-Identifier: MIT
#include "localization/ValueEscaping.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

namespace {
const QString BS = QStringLiteral("\\");
}

struct EscapeCase
{
    const char *what;
    QString plain;
    QString escaped;
};

// Values whose escaped form is unique and that come back unchanged.
TEST(ValueEscaping, RoundTripTable)
{
    const std::vector<EscapeCase> cases = {
        {"plain text keeps its blanks", "  a b  ", "  a b  "},
        {"CR LF", "Loading translations failed.\r\nLine %d: %s",
         "Loading translations failed." + BS + "nLine %d: %s"},
        {"TAB", "a\tb", "a" + BS + "tb"},
        {"backslash", "C:" + BS + "x", "C:" + BS + BS + "x"},
        {"backslash and digits", BS + "12", BS + BS + "12"},
        {"control codes as two digits", QString(QChar(1)) + QChar(31) + QChar(0),
         BS + "01" + BS + "31" + BS + "00"},
        {"code 32 and above", QStringLiteral("\u00E9\u20AC\u007F"), QStringLiteral("\u00E9\u20AC\u007F")},
        {"empty", "", ""},
    };
    for (const EscapeCase &c : cases) {
        EXPECT_EQ(EscapeValue(c.plain), c.escaped) << c.what;
        EXPECT_EQ(UnescapeValue(c.escaped), c.plain) << c.what;
    }
}

// Every line break convention becomes one \n, which comes back as CR LF.
TEST(ValueEscaping, LineBreaksComeBackAsCrLf)
{
    const std::vector<std::pair<QString, QString>> breaks = {
        {"a\r\nb", "a" + BS + "nb"},
        {"a\n\rb", "a" + BS + "nb"},
        {"a\rb", "a" + BS + "nb"},
        {"a\nb", "a" + BS + "nb"},
        {"a\n\nb", "a" + BS + "n" + BS + "nb"},
        {"a\r\n\r\nb", "a" + BS + "n" + BS + "nb"},
        {"a\r", "a" + BS + "n"},
    };
    for (const auto &[plain, escaped] : breaks) {
        EXPECT_EQ(EscapeValue(plain), escaped) << plain.toStdString();
        const QString crlf =
            QString(plain).replace("\r\n", "\n").replace("\n\r", "\n").replace('\r', '\n').replace("\n", "\r\n");
        EXPECT_EQ(UnescapeValue(escaped), crlf) << plain.toStdString();
    }
}

TEST(ValueEscaping, UnescapeTable)
{
    const std::vector<std::pair<QString, QString>> cases = {
        {BS + "12", QString(QChar(12))},
        {BS + "65", "A"},
        {BS + "99x", QString(QChar(99)) + "x"},
        {"end" + BS, "end" + BS},                   // a trailing backslash stays
        {BS + "N", BS + "N"},                       // letters are case-sensitive
        {BS + "T" + BS + "q", BS + "T" + BS + "q"}, // other letters stay as two characters
        {BS + "1x", BS + "1x"},                     // one digit is no sequence
        {BS + "1", BS + "1"},
        {BS + BS + "n", BS + "n"}, // the pair is consumed first
        {BS + BS + BS, BS + BS},
        {BS + BS + BS + "t", BS + "\t"},
    };
    for (const auto &[escaped, plain] : cases)
        EXPECT_EQ(UnescapeValue(escaped), plain) << escaped.toStdString();
}

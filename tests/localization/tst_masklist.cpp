// SPDX-License-Identifier: MIT
// Wildcard masks of the language controller's ignore and store lists.
#include "localization/MaskList.h"
#include "localization/VLangError.h"

#include <gtest/gtest.h>

namespace {

struct MatchCase
{
    const char *mask;
    const char *text;
    bool matches;
};

class MaskMatching : public ::testing::TestWithParam<MatchCase>
{};

TEST_P(MaskMatching, WholeString)
{
    const MatchCase &c = GetParam();
    const TVLang_MaskList masks(QStringList{QString::fromUtf8(c.mask)});
    EXPECT_EQ(masks.Matches(QString::fromUtf8(c.text)), c.matches) << c.mask << " vs " << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Masks, MaskMatching,
    ::testing::Values(
        // The main window's list: every property of WMISQL, a window-level SQL.
        MatchCase{"*SQL*", "WMISQL.SQL", true}, MatchCase{"*SQL*", "WMISQL.Host", true},
        MatchCase{"*SQL*", "lblIni.Caption", false}, MatchCase{".SQL", ".SQL", true},
        MatchCase{".SQL", "WMISQL.SQL", false}, MatchCase{"SQL", ".SQL", false},
        MatchCase{".Caption", ".Caption", true}, MatchCase{".Caption", "lblIni.Caption", false},
        MatchCase{"Caption", ".Caption", false}, MatchCase{"*.Caption", ".Caption", true},
        // Case: ASCII letters only.
        MatchCase{"*sql*", "WMISQL.Host", true}, MatchCase{"ñ", "Ñ", false}, MatchCase{"é", "é", true},
        // ?, *, runs of *.
        MatchCase{"a?c", "abc", true}, MatchCase{"a?c", "ac", false}, MatchCase{"a*", "a", true},
        MatchCase{"*", "", true}, MatchCase{"", "", true}, MatchCase{"", "a", false},
        MatchCase{"a**b", "ab", true}, MatchCase{"*a*b*c*", "xxaybzc", true}, MatchCase{"*a*b*c", "abcab", false},
        MatchCase{"a*b?d", "aXbXbcd", true},
        // Sets, ranges, negation, "-" before "]".
        MatchCase{"[abc]1", "B1", true}, MatchCase{"[abc]1", "d1", false}, MatchCase{"[a-c]x", "Cx", true},
        MatchCase{"[c-a]x", "bx", true}, MatchCase{"[!a-c]x", "dx", true}, MatchCase{"[!a-c]x", "ax", false},
        MatchCase{"[a-]", "-", true}, MatchCase{"[0-9][0-9]%", "20%", true}, MatchCase{"[*?]", "*", true},
        MatchCase{"[*?]", "x", false}, MatchCase{"Columns[[]0]", "Columns[0]", true}));

TEST(MaskList, EmptyListMatchesNothingAndAnyMaskMatches)
{
    EXPECT_FALSE(TVLang_MaskList().Matches(QString()));
    EXPECT_FALSE(TVLang_MaskList(QStringList{}).Matches(QStringLiteral("x")));
    const TVLang_MaskList masks(QStringList{"*SQL*", ".SQL", "SQL"});
    EXPECT_EQ(masks.Count(), 3);
    EXPECT_TRUE(masks.Matches(QStringLiteral("WMISQL.Active")));
    EXPECT_FALSE(masks.Matches(QStringLiteral("lblIni.Caption")));
}

TEST(MaskList, InvalidMasksNameTheMaskAndThePosition)
{
    const QString thirty = QString(QStringLiteral("a*")).repeated(30);
    const struct
    {
        QString mask;
        QString message;
    } cases[] = {
        {"ab[cd", "'ab[cd' is an invalid mask at (6)"},
        {"[", "'[' is an invalid mask at (2)"},
        {"x[]", "'x[]' is an invalid mask at (3)"},
        {"[!]", "'[!]' is an invalid mask at (3)"},
        {"[-z]", "'[-z]' is an invalid mask at (2)"},
        {thirty + "b*", QStringLiteral("'%1b*' is an invalid mask at (62)").arg(thirty)},
    };
    for (const auto &c : cases) {
        try {
            TVLang_MaskList masks(QStringList{"ok*", c.mask});
            ADD_FAILURE() << "accepted " << c.mask.toStdString();
        } catch (const EVLangError &e) {
            EXPECT_EQ(e.Message(), c.message);
        }
    }
    // Thirty wildcards are allowed, and a run counts once.
    EXPECT_NO_THROW(TVLang_MaskList(QStringList{thirty}));
    EXPECT_NO_THROW(TVLang_MaskList(QStringList{thirty + "**"}));
    EXPECT_TRUE(TVLang_MaskList(QStringList{thirty + "**"}).Matches(QString(QStringLiteral("a")).repeated(31)));
}

TEST(MaskList, ManyWildcardsOnALongTextStayQuick)
{
    // Back-tracking is bounded by mask x text; a pathological pair must not
    // explode (this finishes instantly with the one back-track point).
    const QString mask = QString(QStringLiteral("*a")).repeated(30) + QStringLiteral("b");
    const QString text = QString(QStringLiteral("a")).repeated(5000);
    EXPECT_FALSE(TVLang_MaskList(QStringList{mask}).Matches(text));
}

} // namespace

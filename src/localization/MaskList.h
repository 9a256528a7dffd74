// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <vector>

// Wildcard masks over a whole string: "*" any run of characters (none too),
// "?" one character, "[...]" one character of a set ("a-z" a range, "!"
// right after "[" negates), anything else itself. Only the ASCII letters
// compare without case.
class TVLang_Mask
{
public:
    // Throws EVLangError "'%s' is an invalid mask at (%d)" (the mask and the
    // 1-based position) for an unclosed "[", an empty set, a range without a
    // first character, or more than 30 "*" (consecutive ones count once).
    explicit TVLang_Mask(const QString &mask);

    bool Matches(QStringView s) const;

private:
    struct TRange
    {
        char16_t lo;
        char16_t hi;
    };
    struct TToken
    {
        enum Kind { Literal, AnyChar, AnyRun, Set } kind = Literal;
        char16_t ch = 0;
        bool negated = false;
        std::vector<TRange> ranges;
    };
    bool MatchesOne(const TToken &t, char16_t c) const;

    std::vector<TToken> FTokens;
};

// Masks compiled from a list of strings, one mask per string, in list order.
class TVLang_MaskList
{
public:
    TVLang_MaskList() = default;
    explicit TVLang_MaskList(const QStringList &MaskStrings);

    // True as soon as one mask matches the whole of s; false for an empty list.
    bool Matches(QStringView s) const;
    int Count() const { return int(FMasks.size()); }

private:
    std::vector<TVLang_Mask> FMasks;
};

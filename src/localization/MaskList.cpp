// SPDX-License-Identifier: MIT
#include "localization/MaskList.h"

#include "localization/VLangError.h"

#include <algorithm>

namespace {

// The most "*" wildcards a mask may hold; runs of them count once.
constexpr int MaxWildcards = 30;
constexpr char InvalidMask[] = "'%s' is an invalid mask at (%d)";

inline char16_t FoldAscii(char16_t c)
{
    return (c >= u'a' && c <= u'z') ? char16_t(c - (u'a' - u'A')) : c;
}

[[noreturn]] void Invalid(const QString &mask, qsizetype index)
{
    throw EVLangError::CreateFmt(InvalidMask, {mask, QString::number(index + 1)});
}

} // namespace

TVLang_Mask::TVLang_Mask(const QString &mask)
{
    const qsizetype n = mask.size();
    int stars = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = mask.at(i).unicode();
        TToken t;
        if (c == u'*') {
            if (!FTokens.empty() && FTokens.back().kind == TToken::AnyRun)
                continue;
            if (++stars > MaxWildcards)
                Invalid(mask, i);
            t.kind = TToken::AnyRun;
        } else if (c == u'?') {
            t.kind = TToken::AnyChar;
        } else if (c == u'[') {
            t.kind = TToken::Set;
            qsizetype j = i + 1;
            if (j < n && mask.at(j) == QLatin1Char('!')) {
                t.negated = true;
                ++j;
            }
            bool closed = false;
            while (j < n) {
                const char16_t s = mask.at(j).unicode();
                if (s == u']') {
                    if (t.ranges.empty())
                        Invalid(mask, j);
                    closed = true;
                    break;
                }
                if (s == u'-')
                    Invalid(mask, j); // a range needs its first character
                const bool dash = j + 1 < n && mask.at(j + 1) == QLatin1Char('-');
                if (dash && j + 2 < n && mask.at(j + 2) != QLatin1Char(']')) {
                    const char16_t lo = FoldAscii(s);
                    const char16_t hi = FoldAscii(mask.at(j + 2).unicode());
                    t.ranges.push_back({std::min(lo, hi), std::max(lo, hi)});
                    j += 3;
                } else if (dash) {
                    // A "-" right before "]" stands for itself.
                    t.ranges.push_back({FoldAscii(s), FoldAscii(s)});
                    t.ranges.push_back({u'-', u'-'});
                    j += 2;
                } else {
                    t.ranges.push_back({FoldAscii(s), FoldAscii(s)});
                    ++j;
                }
            }
            if (!closed)
                Invalid(mask, n);
            i = j;
        } else {
            t.kind = TToken::Literal;
            t.ch = FoldAscii(c);
        }
        FTokens.push_back(std::move(t));
    }
}

bool TVLang_Mask::MatchesOne(const TToken &t, char16_t c) const
{
    switch (t.kind) {
    case TToken::Literal:
        return FoldAscii(c) == t.ch;
    case TToken::AnyChar:
        return true;
    case TToken::Set: {
        const char16_t f = FoldAscii(c);
        bool in = false;
        for (const TRange &r : t.ranges)
            if (f >= r.lo && f <= r.hi) {
                in = true;
                break;
            }
        return in != t.negated;
    }
    case TToken::AnyRun:
        break;
    }
    return false;
}

bool TVLang_Mask::Matches(QStringView s) const
{
    // Greedy matching with one back-track point (the last "*"): linear in
    // practice, at worst tokens x characters, never exponential.
    const std::size_t nt = FTokens.size();
    const qsizetype ns = s.size();
    std::size_t ti = 0;
    qsizetype si = 0;
    std::size_t starToken = std::size_t(-1);
    qsizetype starPos = 0;
    while (si < ns) {
        if (ti < nt && FTokens[ti].kind == TToken::AnyRun) {
            starToken = ti++;
            starPos = si;
        } else if (ti < nt && MatchesOne(FTokens[ti], s.at(si).unicode())) {
            ++ti;
            ++si;
        } else if (starToken != std::size_t(-1)) {
            ti = starToken + 1;
            si = ++starPos;
        } else {
            return false;
        }
    }
    while (ti < nt && FTokens[ti].kind == TToken::AnyRun)
        ++ti;
    return ti == nt;
}

TVLang_MaskList::TVLang_MaskList(const QStringList &MaskStrings)
{
    FMasks.reserve(std::size_t(MaskStrings.size()));
    for (const QString &m : MaskStrings)
        FMasks.emplace_back(m);
}

bool TVLang_MaskList::Matches(QStringView s) const
{
    for (const TVLang_Mask &m : FMasks)
        if (m.Matches(s))
            return true;
    return false;
}

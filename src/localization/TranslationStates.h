// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

// The translation state of a translated value or constant.
enum class TVLang_TranslationState : quint8 {
    vltsUntranslated = 0,
    vltsAutotranslated = 1,
};

// A set of TVLang_TranslationState kept in one byte: bit n stands for the
// state with ordinal n. Everything read from a file has the empty set; only
// code that builds a translation in memory sets states.
class TVLang_TranslationStates
{
public:
    constexpr TVLang_TranslationStates() = default;
    constexpr TVLang_TranslationStates(TVLang_TranslationState state) : FBits(Bit(state)) {}

    static constexpr TVLang_TranslationStates FromByte(quint8 bits)
    {
        TVLang_TranslationStates s;
        s.FBits = bits & AllBits;
        return s;
    }
    constexpr quint8 ToByte() const { return FBits; }

    constexpr bool Contains(TVLang_TranslationState state) const { return (FBits & Bit(state)) != 0; }
    constexpr bool IsEmpty() const { return FBits == 0; }
    // True when the two sets share at least one member.
    constexpr bool Intersects(TVLang_TranslationStates other) const { return (FBits & other.FBits) != 0; }

    constexpr TVLang_TranslationStates &operator|=(TVLang_TranslationStates other)
    {
        FBits |= other.FBits;
        return *this;
    }
    friend constexpr TVLang_TranslationStates operator|(TVLang_TranslationStates a, TVLang_TranslationStates b)
    {
        return a |= b;
    }
    friend constexpr bool operator==(TVLang_TranslationStates, TVLang_TranslationStates) = default;

private:
    static constexpr quint8 Bit(TVLang_TranslationState state) { return quint8(1u << quint8(state)); }
    static constexpr quint8 AllBits = 0x03;

    quint8 FBits = 0;
};

// SPDX-License-Identifier: MIT
#pragma once

#include "localization/LanguageSourceObject.h"
#include "localization/TranslationStates.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <deque>

class QIODevice;

// One named constant: its name as given, its current and its default text.
struct TVLang_Constant
{
    QString wsName;
    QString wsValue;
    QString wsDefValue;
    TVLang_TranslationStates TranStates;
};

// Names are equal when they are equal after folding the ASCII letters a..z to
// A..Z; every other character compares exactly ("É" and "é" differ).
struct TCaseInsensitiveComparer
{
    static QString Fold(const QString &name);
    static bool Equals(QStringView a, QStringView b);
};

// A name as a key of an index: equal and hashed as TCaseInsensitiveComparer
// compares, without a folded copy.
struct TFoldedName
{
    QString wsName;
    friend bool operator==(const TFoldedName &a, const TFoldedName &b)
    {
        return TCaseInsensitiveComparer::Equals(a.wsName, b.wsName);
    }
};
size_t qHash(const TFoldedName &key, size_t seed = 0);

// The named constants of the program or of one translation: a map from name
// to TVLang_Constant (TCaseInsensitiveComparer), enumerated in the order the
// constants were added, plus the AutoSaveLangSource flag of the binary format.
//
// Binary format, little-endian: version byte 3, AutoSaveLangSource byte,
// signed 32-bit count, then per constant name and value as UTF-16 strings.
// Versions 0/1 (no version byte, the first byte is the flag; UTF-8 names and
// values) and 2 (UTF-8 names, UTF-16 values) are read too; 4 and above are
// refused.
class TVLang_Constants : public IVLang_LanguageSourceObject
{
public:
    TVLang_Constants();
    ~TVLang_Constants() override;
    TVLang_Constants(const TVLang_Constants &) = delete;
    TVLang_Constants &operator=(const TVLang_Constants &) = delete;

    // A name is valid when it is non-empty, starts with a letter or "_" and
    // goes on with letters, decimal digits and "_" (Unicode categories).
    static bool IsValidName(const QString &wsName);

    bool AutoSaveLangSource() const { return FAutoSaveLangSource; }
    void SetAutoSaveLangSource(bool value) { FAutoSaveLangSource = value; }

    // Adds a constant whose current and default texts are both wsValue.
    // Throws EVLangError for an invalid or an existing name.
    void Add(QString wsName, QString wsValue, TVLang_TranslationStates TranStates = {});

    // The constant with that name, or nullptr.
    const TVLang_Constant *FindConstName(const QString &wsName) const;

    // The current text; EVLangError "Constant "%s" not found" for an unknown name.
    QString Values(const QString &wsName) const;
    // Replaces the current text (the default stays); EListError "Item not
    // found" for an unknown name.
    void SetValues(const QString &wsName, const QString &wsValue);

    int Count() const { return int(FItems.size()); }
    // The constants in enumeration order, 0 <= index < Count().
    const TVLang_Constant &Items(int index) const { return FItems.at(std::size_t(index)); }
    // Removes every constant; the flag stays.
    void Clear();

    // Replaces the content with the constants read from the stream's current
    // position. Failures: EVLangError for a version above 3 (after clearing)
    // or a bad name, EReadError for a stream that ends early; the constants
    // read before the failure stay.
    void LoadFromStream(QIODevice &Stream);
    // Writes version 3 at the stream's current position (current texts).
    void SaveToStream(QIODevice &Stream) const;

    // Loads the resource wsResName of the module Instance (a Qt resource
    // folder such as ":/rcdata"). A missing resource answers false and changes
    // nothing; a present one is read with LoadFromStream.
    bool LoadFromResource(const QString &Instance, const QString &wsResName);

    // The bytes SaveToStream writes.
    QByteArray AsRawString() const;
    // Loads from the bytes; an empty value changes nothing.
    void SetAsRawString(const QByteArray &value);

    // Current texts from a translation's constants: a constant the
    // translation has takes its text, the others keep theirs. With nullptr
    // every constant goes back to its default.
    void TranslateFrom(const TVLang_Constants *Constants);

    // IVLang_LanguageSourceObject: the section "$CONSTANTS" with one line
    // "name=escaped current text" per constant whose states share no member
    // with skipStates.
    bool PrepareSourceExport() override;
    void WriteSourceLines(QStringList &lines, TVLang_TranslationStates skipStates) override;
    QString SourceSectionName() const override;

private:
    TVLang_Constant *Find(const QString &wsName) const;

    bool FAutoSaveLangSource = true;
    // A deque keeps every constant where it is while more are added.
    std::deque<TVLang_Constant> FItems;
    // Name -> position in FItems.
    QHash<TFoldedName, std::size_t> FIndex;
};

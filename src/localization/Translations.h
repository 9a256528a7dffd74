// SPDX-License-Identifier: MIT
#pragma once

#include "localization/Constants.h"
#include "localization/TranslationStates.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class QIODevice;

// One translated property value.
struct TVLang_PropValueTranslation
{
    qint32 iID = 0;
    QString wsValue;
    TVLang_TranslationStates TranStates;
};

// The translated values of one component (a window or frame): records kept in
// ascending iID order, no two with the same iID.
class TVLang_CompTranslation
{
public:
    explicit TVLang_CompTranslation(QString ComponentName) : FComponentName(std::move(ComponentName)) {}

    // The section name as first read.
    const QString &ComponentName() const { return FComponentName; }

    // Inserts the record in order and answers its position. EVLangError
    // "Duplicate property value translation ID (%d)" when iID is present.
    int Add(qint32 iID, QString wsValue, TVLang_TranslationStates TranStates = {});

    // Binary search. Found: true and iIndex its position; else false and
    // iIndex the position at which iID would be inserted.
    bool FindID(qint32 iID, int &iIndex) const;
    // Position or -1.
    int IndexOfID(qint32 iID) const;
    // The record or nullptr.
    const TVLang_PropValueTranslation *FindPropByID(qint32 iID) const;

    int Count() const { return int(FItems.size()); }
    const TVLang_PropValueTranslation &Items(int index) const { return FItems.at(std::size_t(index)); }
    void Delete(int index);

private:
    QString FComponentName;
    std::vector<TVLang_PropValueTranslation> FItems;
};

// A loaded translation: the header parameters, the component sections in
// order of first appearance and the translated constants.
//
// The text format is line based: "name=value" parameters before the first
// section, "[Component]" sections with "%.8d=escaped value" entries, and
// "[$CONSTANTS]" with "name=escaped value" lines. Empty lines and lines
// starting with ";" are comments.
class TVLang_CompTranslations
{
public:
    TVLang_CompTranslations();
    ~TVLang_CompTranslations();
    TVLang_CompTranslations(const TVLang_CompTranslations &) = delete;
    TVLang_CompTranslations &operator=(const TVLang_CompTranslations &) = delete;

    // The largest translation file Text_LoadFromFile reads; a file that has
    // more bytes to read is refused.
    static constexpr qsizetype MaxFileSize = 4 * 1024 * 1024;

    // "name=value" entries in insertion order; names compare without case.
    const QStringList &Params() const { return FParams; }
    // The value of a parameter, empty when absent.
    QString ParamValue(const QString &wsName) const;
    // Sets a parameter (replacing one with the same name); an empty value
    // removes it.
    void SetParamValue(const QString &wsName, const QString &wsValue);

    TVLang_Constants &Constants() { return FConstants; }
    const TVLang_Constants &Constants() const { return FConstants; }

    int Count() const { return int(FItems.size()); }
    TVLang_CompTranslation &Items(int index) { return *FItems.at(std::size_t(index)); }
    const TVLang_CompTranslation &Items(int index) const { return *FItems.at(std::size_t(index)); }
    // Appends an empty component section named wsComponentName.
    TVLang_CompTranslation &AddComponent(const QString &wsComponentName);

    // Empties the components, the parameters and the constants.
    void Clear();

    // Readers: all clear the translation first and read one whole file.
    // With bParamsOnly reading stops at the first section head. An error on
    // a line becomes EVLangError "Loading translations failed." CR LF
    // "Line %d: %s" (zero-based line); what was read before it stays.
    //
    // The stream is read from its start to its end, whatever its position.
    void Text_LoadFromStream(QIODevice &Stream, bool bParamsOnly = false);
    // The bytes of one whole file.
    void Text_LoadFromBytes(QByteArrayView bytes, bool bParamsOnly = false);
    // EFOpenError "Cannot open file "%s". %s" when the file cannot be read.
    void Text_LoadFromFile(const QString &wsFileName, bool bParamsOnly = false);
    // A resource of the module Instance (a Qt resource folder such as
    // ":/rcdata"), by name or by number; EResNotFound "Resource %s not found".
    void Text_LoadFromResource(const QString &Instance, const QString &wsResName, bool bParamsOnly = false);
    void Text_LoadFromResource(const QString &Instance, int iResID, bool bParamsOnly = false);

    // Writes the file at the stream's current position, lines ending in
    // CR LF. bUnicode: UTF-16LE with the mark FF FE; otherwise UTF-8 without a
    // mark (which the reader recognises). bSkipUntranslated leaves out values
    // and constants whose states hold vltsUntranslated.
    void Text_SaveToStream(QIODevice &Stream, bool bUnicode, bool bSkipUntranslated) const;
    // Creates or truncates the file; EFCreateError when that fails.
    void Text_SaveToFile(const QString &wsFileName, bool bUnicode, bool bSkipUntranslated) const;

    // Position of the first component whose name equals wsComponentName
    // (ASCII letters without case), or -1.
    int IndexOfComponentName(const QString &wsComponentName) const;
    // That component; failing that, when the name ends in "_" and decimal
    // digits, the component named by the part before the last "_"; or nullptr.
    TVLang_CompTranslation *FindComponentName(const QString &wsComponentName);
    const TVLang_CompTranslation *FindComponentName(const QString &wsComponentName) const;

private:
    int IndexOfParam(QStringView wsName) const;

    QStringList FParams;
    TVLang_Constants FConstants;
    std::vector<std::unique_ptr<TVLang_CompTranslation>> FItems;
};

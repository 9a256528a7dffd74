// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringView>
#include <QtGlobal>

#include <vector>

class QIODevice;

// One translatable property of one component.
struct TVLang_PropEntry
{
    qint32 iID = 0;
    QString wsPropName;
    // The value in the source language: filled at run time, never stored.
    QString wsDefLangValue;
    // Confirmed by the current update pass.
    bool bValidated = false;
};

// Property names compare with the ASCII letters folded to upper case and
// every other character by code unit, so that the order does not depend on
// the locale.
int VLang_ComparePropNames(QStringView a, QStringView b);

// The translatable properties of a component, sorted by wsPropName; no two
// names compare equal. Pointers returned by the lookups stay valid until the
// list is changed.
class TVLang_PropEntries
{
public:
    // Inserts (iID, wsPropName) at its sorted place unless the name is there
    // already; either way the entry gets wsDefLangValue and is validated.
    // True when a new entry was inserted (an existing entry keeps its ID).
    bool Add(qint32 iID, const QString &wsPropName, const QString &wsDefLangValue);

    // Binary search; when not found, iIndex is the insertion position.
    bool FindPropName(QStringView wsPropName, int &iIndex) const;
    TVLang_PropEntry *FindPropByName(QStringView wsPropName);
    const TVLang_PropEntry *FindPropByName(QStringView wsPropName) const;
    int IndexOfPropName(QStringView wsPropName) const;
    int IndexOfID(qint32 iID) const;
    // The greatest ID, 0 for an empty list.
    qint32 MaxID() const;

    void ResetValidated();
    void DeleteUnvalidated();

    int Count() const { return int(FItems.size()); }
    const TVLang_PropEntry &Items(int index) const { return FItems.at(std::size_t(index)); }
    TVLang_PropEntry &Items(int index) { return FItems.at(std::size_t(index)); }
    void Clear() { FItems.clear(); }

    // Clears the list, then reads a count and that many (ID, path) records;
    // a count of zero or less reads none. Paths are re-sorted on the way and
    // a repeated path keeps its first ID. Throws EReadError when the stream
    // ends early (the list is then empty).
    void LoadLangData(QIODevice &Stream);
    void SaveLangData(QIODevice &Stream) const;

private:
    std::vector<TVLang_PropEntry> FItems;
};

// SPDX-License-Identifier: MIT
#include "localization/PropEntries.h"

#include "localization/StreamPrimitives.h"

#include <QIODevice>

#include <algorithm>

namespace {

inline char16_t FoldAscii(char16_t c)
{
    return (c >= u'a' && c <= u'z') ? char16_t(c - (u'a' - u'A')) : c;
}

} // namespace

int VLang_ComparePropNames(QStringView a, QStringView b)
{
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t ca = FoldAscii(a.at(i).unicode());
        const char16_t cb = FoldAscii(b.at(i).unicode());
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool TVLang_PropEntries::Add(qint32 iID, const QString &wsPropName, const QString &wsDefLangValue)
{
    int index = 0;
    const bool found = FindPropName(wsPropName, index);
    if (!found) {
        TVLang_PropEntry entry;
        entry.iID = iID;
        entry.wsPropName = wsPropName;
        FItems.insert(FItems.begin() + index, std::move(entry));
    }
    TVLang_PropEntry &entry = FItems[std::size_t(index)];
    entry.wsDefLangValue = wsDefLangValue;
    entry.bValidated = true;
    return !found;
}

bool TVLang_PropEntries::FindPropName(QStringView wsPropName, int &iIndex) const
{
    int lo = 0;
    int hi = int(FItems.size()) - 1;
    while (lo <= hi) {
        const int mid = int(unsigned(lo + hi) >> 1);
        const int c = VLang_ComparePropNames(FItems[std::size_t(mid)].wsPropName, wsPropName);
        if (c < 0) {
            lo = mid + 1;
        } else if (c > 0) {
            hi = mid - 1;
        } else {
            iIndex = mid;
            return true;
        }
    }
    iIndex = lo;
    return false;
}

TVLang_PropEntry *TVLang_PropEntries::FindPropByName(QStringView wsPropName)
{
    int index = 0;
    return FindPropName(wsPropName, index) ? &FItems[std::size_t(index)] : nullptr;
}

const TVLang_PropEntry *TVLang_PropEntries::FindPropByName(QStringView wsPropName) const
{
    int index = 0;
    return FindPropName(wsPropName, index) ? &FItems[std::size_t(index)] : nullptr;
}

int TVLang_PropEntries::IndexOfPropName(QStringView wsPropName) const
{
    int index = 0;
    return FindPropName(wsPropName, index) ? index : -1;
}

int TVLang_PropEntries::IndexOfID(qint32 iID) const
{
    for (std::size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i].iID == iID)
            return int(i);
    return -1;
}

qint32 TVLang_PropEntries::MaxID() const
{
    qint32 result = 0;
    for (const TVLang_PropEntry &e : FItems)
        result = std::max(result, e.iID);
    return result;
}

void TVLang_PropEntries::ResetValidated()
{
    for (TVLang_PropEntry &e : FItems)
        e.bValidated = false;
}

void TVLang_PropEntries::DeleteUnvalidated()
{
    for (std::size_t i = FItems.size(); i-- > 0;)
        if (!FItems[i].bValidated)
            FItems.erase(FItems.begin() + std::ptrdiff_t(i));
}

void TVLang_PropEntries::LoadLangData(QIODevice &Stream)
{
    using namespace StreamPrimitives;
    Clear();
    try {
        const qint32 count = GetInt32(Stream);
        // No reservation from the count: each record must be read first.
        for (qint32 i = 0; i < count; ++i) {
            const qint32 id = GetInt32(Stream);
            const QString path = GetUtf8String(Stream);
            Add(id, path, QString());
        }
    } catch (...) {
        Clear();
        throw;
    }
}

void TVLang_PropEntries::SaveLangData(QIODevice &Stream) const
{
    using namespace StreamPrimitives;
    PutInt32(Stream, qint32(FItems.size()));
    for (const TVLang_PropEntry &e : FItems) {
        PutInt32(Stream, e.iID);
        PutUtf8String(Stream, e.wsPropName);
    }
}

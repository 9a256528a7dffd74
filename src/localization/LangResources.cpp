// SPDX-License-Identifier: MIT
#include "localization/LangResources.h"

#include "localization/SystemErrors.h"
#include "localization/VLangError.h"

#include <QBuffer>

namespace {

constexpr char ListIndexError[] = "List index out of bounds (%d)";
constexpr char ListRange[] = ".  %s range is 0..%d";
constexpr char ListEmpty[] = ".  %s is empty";

} // namespace

TVLang_LangResource::TVLang_LangResource() = default;
TVLang_LangResource::~TVLang_LangResource() = default;

TVLang_LangResources::TVLang_LangResources() = default;
TVLang_LangResources::~TVLang_LangResources() = default;

QString TVLang_LangResources::ListIndexErrorText(int index, int count)
{
    const QString className = QStringLiteral("TVLang_LangResources");
    QString text = FormatMessage(ListIndexError, {QString::number(index)});
    if (count > 0)
        text += FormatMessage(ListRange, {className, QString::number(count - 1)});
    else
        text += FormatMessage(ListEmpty, {className});
    return text;
}

const TVLang_LangResource &TVLang_LangResources::Items(int index) const
{
    if (index < 0 || index >= Count())
        throw EListError(ListIndexErrorText(index, Count()));
    return *FItems[std::size_t(index)];
}

int TVLang_LangResources::IndexOfLangID(quint32 wLangID) const
{
    for (std::size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i]->wLangID == wLangID)
            return int(i);
    return -1;
}

const TVLang_LangResource *TVLang_LangResources::FindLangID(quint32 wLangID) const
{
    const int i = IndexOfLangID(wLangID);
    return i < 0 ? nullptr : FItems[std::size_t(i)].get();
}

TVLang_LangResource &TVLang_LangResources::Slot(quint32 wLangID, int *index)
{
    int i = IndexOfLangID(wLangID);
    if (i < 0) {
        FItems.push_back(std::make_unique<TVLang_LangResource>());
        i = int(FItems.size()) - 1;
    }
    TVLang_LangResource &entry = *FItems[std::size_t(i)];
    entry.Instance.clear();
    entry.Stream.reset();
    entry.wsName.clear();
    entry.iResID = 0;
    entry.wLangID = wLangID;
    *index = i;
    return entry;
}

int TVLang_LangResources::Add(QIODevice &stream, quint32 wLangID)
{
    // Copy first, so that a device that fails leaves the list untouched.
    if (!stream.isOpen() || !stream.isReadable() || (!stream.isSequential() && !stream.seek(0)))
        throw EReadError();
    auto copy = std::make_unique<QBuffer>();
    copy->setData(stream.readAll());
    copy->open(QIODevice::ReadOnly);
    int index = -1;
    TVLang_LangResource &entry = Slot(wLangID, &index);
    entry.Kind = TVLang_LangResourceKind::vlrkStream;
    entry.Stream = std::move(copy);
    return index;
}

int TVLang_LangResources::Add(const QString &wsFileName, quint32 wLangID)
{
    int index = -1;
    TVLang_LangResource &entry = Slot(wLangID, &index);
    entry.Kind = TVLang_LangResourceKind::vlrkFile;
    entry.wsName = wsFileName;
    return index;
}

int TVLang_LangResources::Add(const QString &Instance, const QString &wsResName, quint32 wLangID)
{
    int index = -1;
    TVLang_LangResource &entry = Slot(wLangID, &index);
    entry.Kind = TVLang_LangResourceKind::vlrkResName;
    entry.Instance = Instance;
    entry.wsName = wsResName;
    return index;
}

int TVLang_LangResources::Add(const QString &Instance, qint32 iResID, quint32 wLangID)
{
    int index = -1;
    TVLang_LangResource &entry = Slot(wLangID, &index);
    entry.Kind = TVLang_LangResourceKind::vlrkResID;
    entry.Instance = Instance;
    entry.iResID = iResID;
    return index;
}

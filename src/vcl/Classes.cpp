// SPDX-License-Identifier: MIT
#include "vcl/Classes.h"

#include "vcl/Persistent.h"

#include <QChildEvent>
#include <QEvent>

#include <algorithm>
#include <utility>

namespace {

int CompareText(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive);
}

} // namespace

int TStrings::Add(const QString &line)
{
    if (!FSorted) {
        FLines.append(line);
        return int(FLines.size()) - 1;
    }
    const auto it = std::lower_bound(FLines.begin(), FLines.end(), line,
                                     [](const QString &a, const QString &b) { return CompareText(a, b) < 0; });
    if (it != FLines.end() && CompareText(*it, line) == 0 && FDuplicates == TDuplicates::dupIgnore)
        return -1;
    const int index = int(it - FLines.begin());
    FLines.insert(index, line);
    return index;
}

void TStrings::Assign(const QStringList &lines)
{
    FLines.clear();
    for (const QString &line : lines)
        Add(line);
}

QString TStrings::Text() const
{
    QString text;
    for (qsizetype i = 0; i < FLines.size(); ++i) {
        text += FLines.at(i);
        if (FTrailingLineBreak || i + 1 < FLines.size())
            text += FLineBreak;
    }
    return text;
}

void TStrings::SetText(const QString &text)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        lines.append(text.mid(start, i - start));
        if (c == QLatin1Char('\r') && i + 1 < n && text.at(i + 1) == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines.append(text.mid(start));
    Assign(lines);
}

void TStrings::SetSorted(bool value)
{
    if (FSorted == value)
        return;
    FSorted = value;
    if (FSorted)
        Assign(QStringList(FLines));
}

TCollectionItem::TCollectionItem(TCollection *collection) : TPersistent(collection), FCollection(collection) {}

int TCollectionItem::Index() const
{
    return FCollection ? int(FCollection->FItems.indexOf(const_cast<TCollectionItem *>(this))) : -1;
}

TCollection::TCollection(TItemFactory factory, QObject *parent) : TPersistent(parent), FFactory(std::move(factory))
{}

TCollection::~TCollection()
{
    Clear();
}

TCollectionItem *TCollection::Add()
{
    TCollectionItem *item = FFactory ? FFactory(this) : new TCollectionItem(this);
    item->setParent(this);
    item->FCollection = this;
    FItems.append(item);
    return item;
}

void TCollection::Delete(int index)
{
    if (index < 0 || index >= FItems.size())
        return;
    delete FItems.takeAt(index);
}

void TCollection::Clear()
{
    const QList<TCollectionItem *> items = std::exchange(FItems, {});
    qDeleteAll(items);
}

namespace vcl {

TComponentWatcher::TComponentWatcher(TCallback callback, QObject *parent)
    : QObject(parent), FCallback(std::move(callback))
{}

void TComponentWatcher::Watch(QObject *root)
{
    if (!root)
        return;
    WatchOne(root);
    for (QObject *c : Components(root))
        Watch(c);
}

void TComponentWatcher::WatchOne(QObject *obj)
{
    if (obj == this || FWatched.contains(obj))
        return;
    FWatched.insert(obj);
    connect(obj, &QObject::destroyed, this, &TComponentWatcher::OnDestroyed);
    obj->installEventFilter(this);
}

bool TComponentWatcher::eventFilter(QObject *watched, QEvent *event)
{
    // The child is not constructed yet when it is inserted, so whether it is
    // a component cannot be told here; its destruction is reported anyway
    // and the receiver compares identities only.
    if (event->type() == QEvent::ChildAdded && FWatched.contains(watched)) {
        QObject *child = static_cast<QChildEvent *>(event)->child();
        if (child && child != this)
            WatchOne(child);
    }
    return QObject::eventFilter(watched, event);
}

void TComponentWatcher::OnDestroyed(QObject *obj)
{
    FWatched.remove(obj);
    if (FCallback)
        FCallback(obj, TOperation::opRemove);
}

} // namespace vcl

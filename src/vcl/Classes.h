// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

// Persistent sub-objects of components: what a window definition saves inside
// a component's property (a font, a string list, a collection of items).
// They are QObjects so that their published properties are reflected like a
// component's, but they are never components themselves: they have no name
// and no owner in the component tree.
class TPersistent : public QObject
{
    Q_OBJECT

public:
    explicit TPersistent(QObject *parent = nullptr) : QObject(parent) {}
};

enum class TDuplicates { dupAccept, dupIgnore };

// A list of strings whose whole text is one value: each line followed by
// LineBreak (CR LF by default), after the last line too unless
// TrailingLineBreak is false. Sorted lists keep their lines in ascending
// order (case-insensitive) and, with dupIgnore, drop repeated lines.
class TStrings : public TPersistent
{
    Q_OBJECT

public:
    explicit TStrings(QObject *parent = nullptr) : TPersistent(parent) {}

    int Count() const { return int(FLines.size()); }
    QString Strings(int index) const { return FLines.value(index); }
    const QStringList &Lines() const { return FLines; }

    // Returns the index of the line, or -1 when a sorted list ignored a duplicate.
    int Add(const QString &line);
    void Clear() { FLines.clear(); }
    void Assign(const QStringList &lines);
    void Assign(const TStrings &other) { Assign(other.FLines); }

    QString Text() const;
    // Splits at CR LF, a lone LF and a lone CR; a break at the very end adds
    // no empty line.
    void SetText(const QString &text);

    QString LineBreak() const { return FLineBreak; }
    void SetLineBreak(const QString &value) { FLineBreak = value; }
    bool TrailingLineBreak() const { return FTrailingLineBreak; }
    void SetTrailingLineBreak(bool value) { FTrailingLineBreak = value; }

    bool Sorted() const { return FSorted; }
    void SetSorted(bool value);
    TDuplicates Duplicates() const { return FDuplicates; }
    void SetDuplicates(TDuplicates value) { FDuplicates = value; }

private:
    QStringList FLines;
    QString FLineBreak = QStringLiteral("\r\n");
    bool FTrailingLineBreak = true;
    bool FSorted = false;
    TDuplicates FDuplicates = TDuplicates::dupAccept;
};

using TStringList = TStrings;

class TCollection;

// One item of a collection: a persistent object whose published properties
// are walked with the item's index as part of the path ("Columns[2].Caption").
class TCollectionItem : public TPersistent
{
    Q_OBJECT

public:
    explicit TCollectionItem(TCollection *collection = nullptr);

    TCollection *Collection() const { return FCollection; }
    int Index() const;

private:
    friend class TCollection;
    TCollection *FCollection = nullptr;
};

// An owning, ordered list of items created by the collection's factory.
class TCollection : public TPersistent
{
    Q_OBJECT

public:
    using TItemFactory = std::function<TCollectionItem *(TCollection *)>;

    explicit TCollection(TItemFactory factory, QObject *parent = nullptr);
    ~TCollection() override;

    int Count() const { return int(FItems.size()); }
    TCollectionItem *Items(int index) const { return FItems.value(index); }
    TCollectionItem *Add();
    void Delete(int index);
    void Clear();
    void Move(int from, int to) { FItems.move(from, to); }

private:
    friend class TCollectionItem;
    TItemFactory FFactory;
    QList<TCollectionItem *> FItems;
};

// A font as a window definition stores it. Its class name is "TFont" (the
// localization engine leaves fonts alone unless asked to look into them).
class TFont : public TPersistent
{
    Q_OBJECT
    Q_PROPERTY(QString Name READ Name WRITE SetName)
    Q_PROPERTY(int Size READ Size WRITE SetSize)
    Q_PROPERTY(int Height READ Height WRITE SetHeight)

public:
    explicit TFont(QObject *parent = nullptr) : TPersistent(parent) {}

    QString Name() const { return FName; }
    void SetName(const QString &value) { FName = value; }
    int Size() const { return FSize; }
    void SetSize(int value) { FSize = value; }
    int Height() const { return FHeight; }
    void SetHeight(int value) { FHeight = value; }

private:
    QString FName = QStringLiteral("Segoe UI");
    int FSize = 9;
    int FHeight = -12;
};

namespace vcl {

enum class TOperation { opInsert, opRemove };

// The removal notification of the component model. Qt tells that an object
// goes away through QObject::destroyed, which arrives after the derived
// destructors have run: the pointer passed on identifies the component but
// must not be used to reach it.
//
// A watcher follows a component tree: every component of the tree below the
// watched root, and every object inserted into a watched object later, reports
// its destruction to the callback once.
class TComponentWatcher : public QObject
{
    Q_OBJECT

public:
    using TCallback = std::function<void(QObject *component, TOperation operation)>;

    TComponentWatcher(TCallback callback, QObject *parent = nullptr);

    // Starts watching root, the components below it and whatever is later
    // inserted into any of them. Watching an object twice is harmless.
    void Watch(QObject *root);
    bool IsWatched(const QObject *obj) const { return FWatched.contains(obj); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void WatchOne(QObject *obj);
    void OnDestroyed(QObject *obj);

    TCallback FCallback;
    QSet<const QObject *> FWatched;
};

} // namespace vcl

// SPDX-License-Identifier: MIT
#pragma once

// Components for the entry-tree suites: a window with its own caption and
// font, labels with a string list, a collection, a font, an 8-bit text, a
// read-only and an unstored text and a reference to another component, and
// a frame that owns components of its own. Qt Core only.

#include "vcl/Classes.h"
#include "vcl/Component.h"

#include <QByteArray>
#include <QPointer>
#include <QString>

class TTestColumn : public TCollectionItem
{
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(int Width READ Width WRITE SetWidth)

public:
    using TCollectionItem::TCollectionItem;
    QString Caption() const { return FCaption; }
    void SetCaption(const QString &v) { FCaption = v; }
    int Width() const { return FWidth; }
    void SetWidth(int v) { FWidth = v; }

private:
    QString FCaption;
    int FWidth = 64;
};

// What every test component publishes: a Name that is the object name (never
// walked), a Caption, a Hint and a font.
class TTestControl : public TComponent
{
    Q_OBJECT
    Q_PROPERTY(QString Name READ Name WRITE SetName)
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(QString Hint READ Hint WRITE SetHint)
    Q_PROPERTY(qint64 Tag READ Tag WRITE SetTag)
    Q_PROPERTY(TFont *Font READ Font WRITE SetFont)

public:
    explicit TTestControl(QObject *owner = nullptr, const QString &name = QString()) : TComponent(owner)
    {
        setObjectName(name);
    }
    QString Name() const { return objectName(); }
    void SetName(const QString &v) { setObjectName(v); }
    QString Caption() const { return FCaption; }
    void SetCaption(const QString &v) { FCaption = v; }
    QString Hint() const { return FHint; }
    void SetHint(const QString &v) { FHint = v; }
    qint64 Tag() const { return FTag; }
    void SetTag(qint64 v) { FTag = v; }
    TFont *Font() const { return FFont; }
    void SetFont(TFont *v) { FFont->SetName(v ? v->Name() : QString()); }

private:
    QString FCaption;
    QString FHint;
    qint64 FTag = 0;
    TFont *FFont = new TFont(this);
};

class TTestForm : public TTestControl
{
    Q_OBJECT

public:
    using TTestControl::TTestControl;
};

// A frame: a component that owns components.
class TTestFrame : public TTestControl
{
    Q_OBJECT

public:
    using TTestControl::TTestControl;
};

class TTestLabel : public TTestControl
{
    Q_OBJECT
    Q_PROPERTY(TStrings *Lines READ Lines WRITE SetLines)
    Q_PROPERTY(TCollection *Columns READ Columns WRITE SetColumns)
    Q_PROPERTY(QByteArray AnsiText READ AnsiText WRITE SetAnsiText)
    Q_PROPERTY(QString ReadOnlyText READ ReadOnlyText)
    Q_PROPERTY(QString Computed READ Computed WRITE SetComputed STORED false)
    Q_PROPERTY(QString Borrowed READ Borrowed WRITE SetBorrowed)
    Q_PROPERTY(QObject *PopupMenu READ PopupMenu WRITE SetPopupMenu)

public:
    explicit TTestLabel(QObject *owner = nullptr, const QString &name = QString()) : TTestControl(owner, name) {}

    TStrings *Lines() const { return FLines; }
    void SetLines(TStrings *v) { FLines->Assign(v ? v->Lines() : QStringList()); }
    TCollection *Columns() const { return FColumns; }
    void SetColumns(TCollection *) {}
    TTestColumn *AddColumn(const QString &caption)
    {
        auto *c = static_cast<TTestColumn *>(FColumns->Add());
        c->SetCaption(caption);
        return c;
    }
    QByteArray AnsiText() const { return FAnsiText; }
    void SetAnsiText(const QByteArray &v) { FAnsiText = v; }
    QString ReadOnlyText() const { return QStringLiteral("Solo lectura"); }
    QString Computed() const { return FComputed; }
    void SetComputed(const QString &v) { FComputed = v; }
    // Stored only while no other component supplies it (like a menu item's
    // caption taken from its action).
    QString Borrowed() const { return FBorrowed; }
    void SetBorrowed(const QString &v) { FBorrowed = v; }
    bool BorrowedFromElsewhere = false;
    QObject *PopupMenu() const { return FPopupMenu; }
    void SetPopupMenu(QObject *v) { FPopupMenu = v; }

    bool IsStored(const char *propertyName) const override
    {
        return !(BorrowedFromElsewhere && qstrcmp(propertyName, "Borrowed") == 0);
    }

private:
    TStrings *FLines = new TStrings(this);
    TCollection *FColumns = new TCollection([](TCollection *c) -> TCollectionItem * { return new TTestColumn(c); },
                                            this);
    QByteArray FAnsiText;
    QString FComputed = QStringLiteral("Calculado");
    QString FBorrowed;
    QPointer<QObject> FPopupMenu;
};

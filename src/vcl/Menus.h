// SPDX-License-Identifier: MIT
#pragma once

#include "vcl/ActnList.h"
#include "vcl/Persistent.h"

#include <QAction>
#include <QList>
#include <QMenu>
#include <QPointer>

#include <memory>

class TPopupMenu;

// A menu command: a QAction, shown as a submenu once it has items of its own.
// A Caption of "-" makes a separator. While an action is linked (Action), the
// action supplies Caption, Hint, Checked, Enabled, Visible, ImageIndex,
// GroupIndex and AutoCheck, and those values are not stored with the item.
//
// The QAction holds Caption (its text), Hint (its status tip, also shown as
// tool tip), Checked and Visible. Enabled is kept beside it: Qt disables an
// action while it is hidden, and the item's Enabled is its own flag.
//
// Check marks: AutoCheck toggles the mark before OnClick runs (a RadioItem is
// checked instead); checking a RadioItem unchecks the other radio items of
// the same GroupIndex in the same menu.
class TMenuItem : public QAction, public vcl::TComponentBase, public vcl::IActionClient
{
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(QString Hint READ Hint WRITE SetHint)
    Q_PROPERTY(qint64 Tag READ Tag WRITE SetTag)
    Q_PROPERTY(bool Checked READ Checked WRITE SetChecked)
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)
    Q_PROPERTY(bool AutoCheck READ AutoCheck WRITE SetAutoCheck)
    Q_PROPERTY(bool RadioItem READ RadioItem WRITE SetRadioItem)
    Q_PROPERTY(int GroupIndex READ GroupIndex WRITE SetGroupIndex)
    Q_PROPERTY(int ImageIndex READ ImageIndex WRITE SetImageIndex)
    Q_PROPERTY(TAction *Action READ Action WRITE SetAction)

public:
    explicit TMenuItem(QObject *owner = nullptr);
    ~TMenuItem() override;

    QString Caption() const { return text(); }
    void SetCaption(const QString &value);
    QString Hint() const { return statusTip(); }
    void SetHint(const QString &value);
    qint64 Tag() const { return FTag; }
    void SetTag(qint64 value) { FTag = value; }
    // Qt shows a mark only on a checkable action; an item is checkable while
    // it checks itself on a click or holds a mark.
    bool Checked() const { return isChecked(); }
    void SetChecked(bool value);
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value);
    bool Visible() const { return isVisible(); }
    void SetVisible(bool value) { setVisible(value); }
    bool AutoCheck() const { return FAutoCheck; }
    void SetAutoCheck(bool value);
    bool RadioItem() const { return FRadioItem; }
    void SetRadioItem(bool value);
    int GroupIndex() const { return FGroupIndex; }
    void SetGroupIndex(int value) { FGroupIndex = value; }
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int value) { FImageIndex = value; }
    TAction *Action() const { return FAction; }
    void SetAction(TAction *action);

    // The item's values of the kinds an action supplies.
    vcl::TActionValues Values() const;

    // Items of the submenu.
    void Add(TMenuItem *item);
    int Count() const { return int(FItems.size()); }
    TMenuItem *Items(int index) const { return FItems.value(index); }
    // The item whose submenu holds this one (nullptr at the top of a menu).
    TMenuItem *Parent() const { return FParentItem; }
    TPopupMenu *PopupMenu() const { return FPopupMenu; }

    // What a user's click does: the check mark (AutoCheck), then the linked
    // action's OnExecute or the item's OnClick. Nothing when disabled.
    void Click();

    bool IsStored(const char *propertyName) const override;
    void ActionChanged(TAction *action) override;

signals:
    void OnClick(QObject *sender);

private:
    friend class TPopupMenu;
    QList<TMenuItem *> Siblings() const;
    void ApplyCheckable();

    qint64 FTag = 0;
    bool FEnabled = true;
    bool FAutoCheck = false;
    bool FRadioItem = false;
    int FGroupIndex = 0;
    int FImageIndex = -1;
    QPointer<TAction> FAction;
    QList<TMenuItem *> FItems;
    TMenuItem *FParentItem = nullptr;
    TPopupMenu *FPopupMenu = nullptr;
    std::unique_ptr<QMenu> FSubMenu;
};

// A popup menu: a QMenu whose items are TMenuItems. OnPopup runs before it
// opens and OnClose when it closes, whether an item was chosen or not.
class TPopupMenu : public QMenu, public vcl::TComponentBase
{
    Q_OBJECT
    Q_PROPERTY(qint64 Tag READ Tag WRITE SetTag)
    Q_PROPERTY(bool AutoPopup READ AutoPopup WRITE SetAutoPopup)

public:
    explicit TPopupMenu(QWidget *owner = nullptr);
    ~TPopupMenu() override;

    qint64 Tag() const { return FTag; }
    void SetTag(qint64 value) { FTag = value; }
    bool AutoPopup() const { return FAutoPopup; }
    void SetAutoPopup(bool value) { FAutoPopup = value; }

    void Add(TMenuItem *item);
    int Count() const { return int(FItems.size()); }
    TMenuItem *Items(int index) const { return FItems.value(index); }

    // Opens the menu at a global screen position.
    void Popup(const QPoint &globalPos);

signals:
    void OnPopup(QObject *sender);
    void OnClose(QObject *sender);

private:
    friend class TMenuItem;
    qint64 FTag = 0;
    bool FAutoPopup = true;
    QList<TMenuItem *> FItems;
};

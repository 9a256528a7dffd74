// SPDX-License-Identifier: MIT
#include "vcl/Menus.h"

#include <QSignalBlocker>

TMenuItem::TMenuItem(QObject *owner) : QAction(owner)
{
    // Qt flips a checkable action's mark before triggered(); the item keeps
    // its own Checked and decides in Click() what the click does to it.
    connect(this, &QAction::triggered, this, [this] {
        ShowChecked();
        Click();
    });
}

TMenuItem::~TMenuItem()
{
    SetAction(nullptr);
    for (TMenuItem *child : std::as_const(FItems))
        child->FParentItem = nullptr;
    if (FParentItem)
        FParentItem->FItems.removeAll(this);
    if (FPopupMenu)
        FPopupMenu->FItems.removeAll(this);
    if (FSubMenu)
        setMenu(static_cast<QMenu *>(nullptr));
}

void TMenuItem::SetCaption(const QString &value)
{
    FCaption = value;
    setSeparator(value == QLatin1String("-"));
    setText(value);
    if (FSubMenu)
        FSubMenu->setTitle(value);
}

void TMenuItem::SetHint(const QString &value)
{
    FHint = value;
    setToolTip(value);
    setStatusTip(value);
}

void TMenuItem::SetChecked(bool value)
{
    if (FChecked != value) {
        FChecked = value;
        if (value && FRadioItem) {
            for (TMenuItem *other : Siblings())
                if (other != this && other->FRadioItem && other->FGroupIndex == FGroupIndex)
                    other->SetChecked(false);
        }
    }
    ApplyCheckable();
    ShowChecked();
}

void TMenuItem::SetEnabled(bool value)
{
    FEnabled = value;
    setEnabled(value);
}

void TMenuItem::SetVisible(bool value)
{
    FVisible = value;
    setVisible(value);
}

void TMenuItem::SetAutoCheck(bool value)
{
    FAutoCheck = value;
    ApplyCheckable();
}

void TMenuItem::SetRadioItem(bool value)
{
    FRadioItem = value;
    ApplyCheckable();
}

void TMenuItem::SetGroupIndex(int value)
{
    FGroupIndex = value;
}

void TMenuItem::SetAction(TAction *action)
{
    if (FAction == action)
        return;
    if (FAction)
        FAction->UnregisterClient(this);
    FAction = action;
    if (action) {
        action->RegisterClient(this);
        ActionChanged(action);
    }
}

void TMenuItem::ActionChanged(TAction *action)
{
    if (action != FAction)
        return;
    SetCaption(action->Caption());
    SetHint(action->Hint());
    SetEnabled(action->Enabled());
    SetVisible(action->Visible());
    SetAutoCheck(action->AutoCheck());
    SetGroupIndex(action->GroupIndex());
    SetImageIndex(action->ImageIndex());
    SetChecked(action->Checked());
}

bool TMenuItem::IsStored(const char *propertyName) const
{
    if (!FAction)
        return true;
    const QByteArray name(propertyName);
    if (name == "Caption")
        return FCaption != FAction->Caption();
    if (name == "Hint")
        return FHint != FAction->Hint();
    if (name == "Checked")
        return FChecked != FAction->Checked();
    if (name == "Enabled")
        return FEnabled != FAction->Enabled();
    if (name == "Visible")
        return FVisible != FAction->Visible();
    if (name == "AutoCheck")
        return FAutoCheck != FAction->AutoCheck();
    if (name == "GroupIndex")
        return FGroupIndex != FAction->GroupIndex();
    if (name == "ImageIndex")
        return FImageIndex != FAction->ImageIndex();
    return true;
}

void TMenuItem::Add(TMenuItem *item)
{
    if (!item || item == this)
        return;
    if (!FSubMenu) {
        FSubMenu = std::make_unique<QMenu>(FCaption);
        setMenu(FSubMenu.get());
    }
    item->FParentItem = this;
    FItems.append(item);
    FSubMenu->addAction(item);
}

void TMenuItem::Click()
{
    if (!FEnabled)
        return;
    if (FAction) {
        // The action's own AutoCheck toggles in Execute; an item that checks
        // by itself hands its new state to the action.
        if (FAutoCheck && !FAction->AutoCheck())
            FAction->SetChecked(FRadioItem ? true : !FChecked);
        FAction->Execute();
        return;
    }
    if (FAutoCheck)
        SetChecked(FRadioItem ? true : !FChecked);
    emit OnClick(this);
}

QList<TMenuItem *> TMenuItem::Siblings() const
{
    if (FParentItem)
        return FParentItem->FItems;
    if (FPopupMenu)
        return FPopupMenu->FItems;
    return {};
}

void TMenuItem::ApplyCheckable()
{
    const QSignalBlocker block(this);
    setCheckable(FAutoCheck || FRadioItem || FChecked);
}

void TMenuItem::ShowChecked()
{
    const QSignalBlocker block(this);
    setChecked(FChecked);
}

TPopupMenu::TPopupMenu(QWidget *owner) : QMenu(owner)
{
    connect(this, &QMenu::aboutToShow, this, [this] { emit OnPopup(this); });
    connect(this, &QMenu::aboutToHide, this, [this] { emit OnClose(this); });
}

TPopupMenu::~TPopupMenu()
{
    for (TMenuItem *item : std::as_const(FItems))
        item->FPopupMenu = nullptr;
}

void TPopupMenu::Add(TMenuItem *item)
{
    if (!item)
        return;
    item->FPopupMenu = this;
    FItems.append(item);
    addAction(item);
}

void TPopupMenu::Popup(const QPoint &globalPos)
{
    popup(globalPos);
}

// SPDX-License-Identifier: MIT
#include "vcl/Menus.h"

#include "vcl/PlainText.h"

#include <QSignalBlocker>

TMenuItem::TMenuItem(QObject *owner) : QAction(owner)
{
    // Qt flips a checkable action's mark before triggered(); the item undoes
    // that and decides in Click() what the click does to its mark.
    connect(this, &QAction::triggered, this, [this](bool checked) {
        if (isCheckable()) {
            const QSignalBlocker block(this);
            setChecked(!checked);
        }
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
    setSeparator(value == QLatin1String("-"));
    setText(value);
    if (FSubMenu)
        FSubMenu->setTitle(value);
}

void TMenuItem::SetHint(const QString &value)
{
    // Hints come from translations: a tool tip never renders them as markup.
    setToolTip(vcl::PlainToolTip(value));
    setStatusTip(value);
}

void TMenuItem::SetChecked(bool value)
{
    const bool changed = Checked() != value;
    {
        const QSignalBlocker block(this);
        if (value)
            setCheckable(true);
        setChecked(value);
    }
    if (changed && value && FRadioItem) {
        for (TMenuItem *other : Siblings())
            if (other != this && other->FRadioItem && other->FGroupIndex == FGroupIndex)
                other->SetChecked(false);
    }
    ApplyCheckable();
}

void TMenuItem::SetEnabled(bool value)
{
    FEnabled = value;
    setEnabled(value);
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

vcl::TActionValues TMenuItem::Values() const
{
    return {Caption(), Hint(), Checked(), FEnabled, Visible(), FAutoCheck, FGroupIndex, FImageIndex};
}

void TMenuItem::ActionChanged(TAction *action)
{
    if (action != FAction)
        return;
    const vcl::TActionValues &values = action->Values();
    SetCaption(values.Caption);
    SetHint(values.Hint);
    SetEnabled(values.Enabled);
    SetVisible(values.Visible);
    SetAutoCheck(values.AutoCheck);
    SetGroupIndex(values.GroupIndex);
    SetImageIndex(values.ImageIndex);
    SetChecked(values.Checked);
}

bool TMenuItem::IsStored(const char *propertyName) const
{
    if (!FAction)
        return true;
    return !vcl::SameActionValue(propertyName, Values(), FAction->Values()).value_or(false);
}

void TMenuItem::Add(TMenuItem *item)
{
    if (!item || item == this)
        return;
    if (!FSubMenu) {
        FSubMenu = std::make_unique<QMenu>(Caption());
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
            FAction->SetChecked(FRadioItem ? true : !Checked());
        FAction->Execute();
        return;
    }
    if (FAutoCheck)
        SetChecked(FRadioItem ? true : !Checked());
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
    setCheckable(FAutoCheck || FRadioItem || isChecked());
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

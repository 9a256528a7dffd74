// SPDX-License-Identifier: MIT
#include "vcl/ActnList.h"

TAction::TAction(QObject *owner) : TComponent(owner) {}

TAction::~TAction()
{
    SetActionList(nullptr);
}

void TAction::SetCaption(const QString &value)
{
    if (FCaption == value)
        return;
    FCaption = value;
    Changed();
}

void TAction::SetHint(const QString &value)
{
    if (FHint == value)
        return;
    FHint = value;
    Changed();
}

void TAction::SetChecked(bool value)
{
    if (FChecked == value)
        return;
    FChecked = value;
    // A checked action of a group unchecks the other actions of its group in
    // the same list.
    if (value && FGroupIndex > 0 && FActionList) {
        for (const QPointer<TAction> &other : FActionList->FActions)
            if (other && other != this && other->FGroupIndex == FGroupIndex)
                other->SetChecked(false);
    }
    Changed();
}

void TAction::SetEnabled(bool value)
{
    if (FEnabled == value)
        return;
    FEnabled = value;
    Changed();
}

void TAction::SetVisible(bool value)
{
    if (FVisible == value)
        return;
    FVisible = value;
    Changed();
}

void TAction::SetAutoCheck(bool value)
{
    if (FAutoCheck == value)
        return;
    FAutoCheck = value;
    Changed();
}

void TAction::SetGroupIndex(int value)
{
    if (FGroupIndex == value)
        return;
    FGroupIndex = value;
    Changed();
}

void TAction::SetImageIndex(int value)
{
    if (FImageIndex == value)
        return;
    FImageIndex = value;
    Changed();
}

void TAction::SetActionList(TActionList *list)
{
    if (FActionList == list)
        return;
    if (FActionList)
        FActionList->FActions.removeAll(this);
    FActionList = list;
    if (list)
        list->FActions.append(this);
}

bool TAction::Execute()
{
    if (!FEnabled)
        return false;
    if (FAutoCheck)
        SetChecked(FGroupIndex > 0 ? true : !FChecked);
    emit OnExecute(this);
    return true;
}

void TAction::RegisterClient(QObject *client)
{
    if (client && !FClients.contains(client))
        FClients.append(client);
}

void TAction::UnregisterClient(QObject *client)
{
    FClients.removeAll(client);
}

void TAction::Changed()
{
    // A client may unlink itself while it is told; walk a copy.
    const QList<QPointer<QObject>> clients = FClients;
    for (const QPointer<QObject> &client : clients)
        if (auto *c = dynamic_cast<vcl::IActionClient *>(client.data()))
            c->ActionChanged(this);
}

TActionList::TActionList(QObject *owner) : TComponent(owner) {}

// SPDX-License-Identifier: MIT
#include "vcl/ActnList.h"

#include <variant>

namespace vcl {

std::optional<bool> SameActionValue(const char *propertyName, const TActionValues &a, const TActionValues &b)
{
    using TField = std::variant<QString TActionValues::*, bool TActionValues::*, int TActionValues::*>;
    static const std::pair<QByteArrayView, TField> kFields[] = {
        {"Caption", &TActionValues::Caption},       {"Hint", &TActionValues::Hint},
        {"Checked", &TActionValues::Checked},       {"Enabled", &TActionValues::Enabled},
        {"Visible", &TActionValues::Visible},       {"AutoCheck", &TActionValues::AutoCheck},
        {"GroupIndex", &TActionValues::GroupIndex}, {"ImageIndex", &TActionValues::ImageIndex},
    };
    const QByteArrayView name(propertyName);
    for (const auto &[fieldName, field] : kFields)
        if (fieldName == name)
            return std::visit([&](auto member) { return a.*member == b.*member; }, field);
    return std::nullopt;
}

} // namespace vcl

TAction::TAction(QObject *owner) : TComponent(owner) {}

TAction::~TAction()
{
    SetActionList(nullptr);
}

void TAction::SetChecked(bool value)
{
    if (FValues.Checked == value)
        return;
    FValues.Checked = value;
    // A checked action of a group unchecks the other actions of its group in
    // the same list.
    if (value && FValues.GroupIndex > 0 && FActionList) {
        for (const QPointer<TAction> &other : FActionList->FActions)
            if (other && other != this && other->GroupIndex() == FValues.GroupIndex)
                other->SetChecked(false);
    }
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
    if (!FValues.Enabled)
        return false;
    if (FValues.AutoCheck)
        SetChecked(FValues.GroupIndex > 0 ? true : !FValues.Checked);
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

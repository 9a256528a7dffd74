// SPDX-License-Identifier: MIT
#pragma once

#include "vcl/Component.h"

#include <QList>
#include <QPointer>
#include <QString>

#include <optional>

class TAction;
class TActionList;

namespace vcl {

// What an action supplies to the controls linked to it. A linked control
// (a menu item) takes every one of these values from its action, and does
// not store a value that equals its action's.
struct TActionValues
{
    QString Caption;
    QString Hint;
    bool Checked = false;
    bool Enabled = true;
    bool Visible = true;
    bool AutoCheck = false;
    int GroupIndex = 0;
    int ImageIndex = -1;
};

// For the published property of that name: nullopt when an action does not
// supply it, else whether a and b hold the same value for it.
std::optional<bool> SameActionValue(const char *propertyName, const TActionValues &a, const TActionValues &b);

// A control linked to an action (a menu item): the action tells it when any
// of the values it supplies has changed.
class IActionClient
{
public:
    virtual ~IActionClient() = default;
    virtual void ActionChanged(TAction *action) = 0;
};

} // namespace vcl

// A command shared by the controls linked to it: it supplies their Caption,
// Hint, Checked, Enabled, Visible, ImageIndex, GroupIndex and AutoCheck and
// runs OnExecute when one of them is clicked.
class TAction : public TComponent
{
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(QString Hint READ Hint WRITE SetHint)
    Q_PROPERTY(QString Category READ Category WRITE SetCategory)
    Q_PROPERTY(qint64 Tag READ Tag WRITE SetTag)
    Q_PROPERTY(bool Checked READ Checked WRITE SetChecked)
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)
    Q_PROPERTY(bool AutoCheck READ AutoCheck WRITE SetAutoCheck)
    Q_PROPERTY(int GroupIndex READ GroupIndex WRITE SetGroupIndex)
    Q_PROPERTY(int ImageIndex READ ImageIndex WRITE SetImageIndex)

public:
    explicit TAction(QObject *owner = nullptr);
    ~TAction() override;

    // Every value below that the linked controls take tells them of a change
    // (and only of a change: writing the current value is none).
    const vcl::TActionValues &Values() const { return FValues; }

    QString Caption() const { return FValues.Caption; }
    void SetCaption(const QString &value) { Update(&vcl::TActionValues::Caption, value); }
    QString Hint() const { return FValues.Hint; }
    void SetHint(const QString &value) { Update(&vcl::TActionValues::Hint, value); }
    QString Category() const { return FCategory; }
    void SetCategory(const QString &value) { FCategory = value; }
    qint64 Tag() const { return FTag; }
    void SetTag(qint64 value) { FTag = value; }
    bool Checked() const { return FValues.Checked; }
    void SetChecked(bool value);
    bool Enabled() const { return FValues.Enabled; }
    void SetEnabled(bool value) { Update(&vcl::TActionValues::Enabled, value); }
    bool Visible() const { return FValues.Visible; }
    void SetVisible(bool value) { Update(&vcl::TActionValues::Visible, value); }
    bool AutoCheck() const { return FValues.AutoCheck; }
    void SetAutoCheck(bool value) { Update(&vcl::TActionValues::AutoCheck, value); }
    int GroupIndex() const { return FValues.GroupIndex; }
    void SetGroupIndex(int value) { Update(&vcl::TActionValues::GroupIndex, value); }
    int ImageIndex() const { return FValues.ImageIndex; }
    void SetImageIndex(int value) { Update(&vcl::TActionValues::ImageIndex, value); }

    TActionList *ActionList() const { return FActionList; }
    void SetActionList(TActionList *list);

    // What a click on a linked control does: AutoCheck toggles Checked (an
    // action of a group, GroupIndex > 0, is checked instead), then OnExecute.
    // Returns false when the action is disabled (nothing runs).
    bool Execute();

    void RegisterClient(QObject *client);
    void UnregisterClient(QObject *client);

signals:
    void OnExecute(QObject *sender);

private:
    template <typename T>
    void Update(T vcl::TActionValues::*field, const T &value)
    {
        if (FValues.*field == value)
            return;
        FValues.*field = value;
        Changed();
    }
    void Changed();

    vcl::TActionValues FValues;
    QString FCategory;
    qint64 FTag = 0;
    QPointer<TActionList> FActionList;
    QList<QPointer<QObject>> FClients;
};

// Holds a window's actions. The actions stay components of the window; the
// list only keeps them together.
class TActionList : public TComponent
{
    Q_OBJECT
    Q_PROPERTY(qint64 Tag READ Tag WRITE SetTag)

public:
    explicit TActionList(QObject *owner = nullptr);

    qint64 Tag() const { return FTag; }
    void SetTag(qint64 value) { FTag = value; }

    int ActionCount() const { return int(FActions.size()); }
    TAction *Actions(int index) const { return FActions.value(index); }

private:
    friend class TAction;
    qint64 FTag = 0;
    QList<QPointer<TAction>> FActions;
};

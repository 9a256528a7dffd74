// SPDX-License-Identifier: MIT
#pragma once

#include "vcl/Component.h"

#include <QList>
#include <QPointer>
#include <QString>

class TAction;
class TActionList;

namespace vcl {

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

    QString Caption() const { return FCaption; }
    void SetCaption(const QString &value);
    QString Hint() const { return FHint; }
    void SetHint(const QString &value);
    QString Category() const { return FCategory; }
    void SetCategory(const QString &value) { FCategory = value; }
    qint64 Tag() const { return FTag; }
    void SetTag(qint64 value) { FTag = value; }
    bool Checked() const { return FChecked; }
    void SetChecked(bool value);
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value);
    bool Visible() const { return FVisible; }
    void SetVisible(bool value);
    bool AutoCheck() const { return FAutoCheck; }
    void SetAutoCheck(bool value);
    int GroupIndex() const { return FGroupIndex; }
    void SetGroupIndex(int value);
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int value);

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
    void Changed();

    QString FCaption;
    QString FHint;
    QString FCategory;
    qint64 FTag = 0;
    bool FChecked = false;
    bool FEnabled = true;
    bool FVisible = true;
    bool FAutoCheck = false;
    int FGroupIndex = 0;
    int FImageIndex = -1;
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

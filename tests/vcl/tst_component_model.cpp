// SPDX-License-Identifier: MIT
// The component model without widgets: definition order, published
// properties and their stored conditions, the window loader and its blocks,
// actions telling their clients, the message timer.
#include "vcl/ActnList.h"
#include "vcl/Component.h"
#include "vcl/FormLoader.h"
#include "vcl/Persistent.h"
#include "vcl/Timer.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

namespace {

QStringList *gEvents = nullptr;

// Timers want an application object; one for the whole program.
QCoreApplication &App()
{
    static int argc = 1;
    static char name[] = "tst_component_model";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

// A component that records what the loader does to it.
class TRecorder : public TComponent
{
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(QString Secret READ Caption STORED false)

public:
    using TComponent::TComponent;
    QString Caption() const { return FCaption; }
    void SetCaption(const QString &v) { FCaption = v; }

    void BeginLoading() override
    {
        TComponent::BeginLoading();
        gEvents->append(objectName() + QStringLiteral(":begin"));
    }
    bool ReadBlock(const QString &name, const QByteArray &data) override
    {
        EXPECT_TRUE(ComponentState() & csLoading);
        gEvents->append(objectName() + QStringLiteral(":block ") + name + QLatin1Char('=')
                        + QString::fromLatin1(data.toHex()));
        return name != QLatin1String("Unknown");
    }
    void Loaded() override
    {
        TComponent::Loaded();
        gEvents->append(objectName() + QStringLiteral(":loaded"));
    }
    bool IsStored(const char *name) const override { return QByteArray(name) != "Caption" || !FCaption.isEmpty(); }

private:
    QString FCaption;
};

class TClient : public QObject, public vcl::IActionClient
{
public:
    void ActionChanged(TAction *action) override
    {
        ++calls;
        caption = action->Caption();
        checked = action->Checked();
    }
    int calls = 0;
    QString caption;
    bool checked = false;
};

TRecorder *Named(QObject *owner, const char *name)
{
    auto *c = new TRecorder(owner);
    c->setObjectName(QLatin1String(name));
    return c;
}

class ComponentModel : public ::testing::Test
{
protected:
    void SetUp() override
    {
        App();
        gEvents = &events;
    }
    void TearDown() override { gEvents = nullptr; }
    QStringList events;
};

TEST_F(ComponentModel, ComponentsListInDefinitionOrderAndSkipPlainObjects)
{
    QObject window;
    Named(&window, "compB");
    new QObject(&window); // a helper object of Qt's, not a component
    Named(&window, "compA");
    Named(&window, "compC");
    QStringList names;
    for (QObject *c : vcl::Components(&window))
        names << c->objectName();
    EXPECT_EQ(names, (QStringList{"compB", "compA", "compC"}));
    EXPECT_EQ(vcl::FindComponent(&window, QStringLiteral("COMPA"))->objectName(), QStringLiteral("compA"));
    EXPECT_EQ(vcl::FindComponent(&window, QStringLiteral("none")), nullptr);
}

TEST_F(ComponentModel, LoaderHandsBlocksThenCallsLoadedInDefinitionOrder)
{
    QObject window;
    Named(&window, "compB");
    Named(&window, "compA");
    Named(&window, "compC");
    const int handed = vcl::LoadWindowDefinition(&window, QStringLiteral("TestForm"));
    EXPECT_EQ(handed, 2);
    // Every component is loading before the first block; blocks follow the
    // components' order, not the resource names; Loaded comes last, in order.
    EXPECT_EQ(events,
              (QStringList{"compB:begin", "compA:begin", "compC:begin", "compB:block Data=666972737420626c6f636b",
                           "compA:block Blob=010203", "compB:loaded", "compA:loaded", "compC:loaded"}));
    for (QObject *c : vcl::Components(&window))
        EXPECT_FALSE(static_cast<TComponent *>(c)->ComponentState() & TComponent::csLoading);
}

TEST_F(ComponentModel, LoaderWithoutBlocksStillCallsLoaded)
{
    QObject window;
    Named(&window, "only");
    EXPECT_EQ(vcl::LoadWindowDefinition(&window, QStringLiteral("NoSuchForm")), 0);
    EXPECT_EQ(events, (QStringList{"only:begin", "only:loaded"}));
}

TEST_F(ComponentModel, PublishedPropertiesAreTheCapitalisedOnes)
{
    TAction action;
    QStringList names;
    for (const QMetaProperty &p : vcl::PublishedProperties(&action))
        names << QString::fromLatin1(p.name());
    EXPECT_TRUE(names.contains("Caption"));
    EXPECT_TRUE(names.contains("Hint"));
    EXPECT_TRUE(names.contains("Checked"));
    EXPECT_FALSE(names.contains("objectName"));

    TTimer timer;
    names.clear();
    for (const QMetaProperty &p : vcl::PublishedProperties(&timer))
        names << QString::fromLatin1(p.name());
    // QTimer's own interval/active/singleShot stay Qt's.
    EXPECT_EQ(names, (QStringList{"Enabled", "Interval", "Tag"}));
}

TEST_F(ComponentModel, StoredConditionComesFromTheComponent)
{
    TRecorder c;
    const QMetaObject *mo = c.metaObject();
    const QMetaProperty caption = mo->property(mo->indexOfProperty("Caption"));
    const QMetaProperty secret = mo->property(mo->indexOfProperty("Secret"));
    const QMetaProperty objectName = mo->property(mo->indexOfProperty("objectName"));
    EXPECT_FALSE(vcl::IsStored(&c, caption));
    c.SetCaption(QStringLiteral("x"));
    EXPECT_TRUE(vcl::IsStored(&c, caption));
    EXPECT_FALSE(vcl::IsStored(&c, secret)) << "STORED false is never stored";
    EXPECT_FALSE(vcl::IsStored(&c, objectName)) << "Qt's own properties are not published";
}

TEST_F(ComponentModel, ActionTellsItsClientsOnlyOfChanges)
{
    TAction action;
    TClient client;
    action.RegisterClient(&client);
    action.SetCaption(QStringLiteral("&Cerrar"));
    EXPECT_EQ(client.calls, 1);
    EXPECT_EQ(client.caption, QStringLiteral("&Cerrar"));
    action.SetCaption(QStringLiteral("&Cerrar"));
    EXPECT_EQ(client.calls, 1) << "writing the same value is no change";
    action.SetChecked(true);
    EXPECT_TRUE(client.checked);
    action.UnregisterClient(&client);
    action.SetCaption(QStringLiteral("&Close"));
    EXPECT_EQ(client.caption, QStringLiteral("&Cerrar"));
}

TEST_F(ComponentModel, ClientDestroyedBeforeItsActionIsForgotten)
{
    TAction action;
    {
        TClient client;
        action.RegisterClient(&client);
    }
    action.SetCaption(QStringLiteral("safe"));
    SUCCEED();
}

TEST_F(ComponentModel, ExecuteAutoChecksAndGroupsInTheirList)
{
    TActionList list;
    TAction a, b, plain;
    for (TAction *x : {&a, &b}) {
        x->SetActionList(&list);
        x->SetAutoCheck(true);
        x->SetGroupIndex(2);
    }
    plain.SetAutoCheck(true);
    int executed = 0;
    QObject::connect(&a, &TAction::OnExecute, [&](QObject *sender) {
        EXPECT_EQ(sender, &a);
        EXPECT_TRUE(a.Checked()) << "the mark is set before the handler runs";
        ++executed;
    });
    EXPECT_TRUE(a.Execute());
    EXPECT_TRUE(a.Execute()) << "a grouped action stays checked when clicked again";
    EXPECT_TRUE(a.Checked());
    EXPECT_EQ(executed, 2);
    b.Execute();
    EXPECT_TRUE(b.Checked());
    EXPECT_FALSE(a.Checked());

    plain.Execute();
    EXPECT_TRUE(plain.Checked());
    plain.Execute();
    EXPECT_FALSE(plain.Checked());

    plain.SetEnabled(false);
    EXPECT_FALSE(plain.Execute());
    EXPECT_FALSE(plain.Checked());
    EXPECT_EQ(list.ActionCount(), 2);
}

TEST(Timer, IntervalRestartsOnlyWhenItChanges)
{
    App();
    TTimer timer;
    EXPECT_TRUE(timer.isActive()) << "a new timer is enabled with 1000 ms";
    timer.SetEnabled(false);
    timer.SetInterval(40);
    EXPECT_FALSE(timer.isActive());
    int ticks = 0;
    QObject::connect(&timer, &TTimer::OnTimer, [&](QObject *sender) {
        EXPECT_EQ(sender, &timer);
        ++ticks;
    });
    timer.SetEnabled(true);
    QElapsedTimer clock;
    clock.start();
    while (ticks < 2 && clock.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_GE(ticks, 2);

    // Writing the current interval leaves the running timer alone.
    const int before = timer.remainingTime();
    timer.SetInterval(40);
    EXPECT_LE(timer.remainingTime(), before);
    timer.SetInterval(5000);
    EXPECT_GT(timer.remainingTime(), 1000) << "a new interval restarts the timer";
    timer.SetInterval(0);
    EXPECT_FALSE(timer.isActive());
}

} // namespace

#include "tst_component_model.moc"

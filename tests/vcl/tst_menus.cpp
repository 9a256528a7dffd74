// SPDX-License-Identifier: MIT
// Menu items over QAction: check marks (auto, radio), linked actions that
// supply the item's values (and then are not stored with it), submenus, the
// popup menu's close event, the label's own Visible.
#include "vcl/ActnList.h"
#include "vcl/Menus.h"
#include "vcl/Persistent.h"
#include "vcl/StdCtrls.h"
#include "vcl/TrayIcon.h"

#include <QApplication>
#include <QTimer>

#include <functional>

#include <gtest/gtest.h>

namespace {

bool Stored(const QObject *obj, const char *name)
{
    const QMetaObject *mo = obj->metaObject();
    return vcl::IsStored(obj, mo->property(mo->indexOfProperty(name)));
}

class Menus : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "tst_menus";
        static char *argv[] = {name, nullptr};
        if (!qApp)
            new QApplication(argc, argv);
    }

    TMenuItem *Item(TMenuItem *parent, const char *name, qint64 tag, bool radio)
    {
        auto *item = new TMenuItem(&owner);
        item->setObjectName(QLatin1String(name));
        item->SetCaption(QLatin1String(name));
        item->SetTag(tag);
        item->SetAutoCheck(true);
        item->SetRadioItem(radio);
        item->SetGroupIndex(1);
        parent->Add(item);
        return item;
    }

    QObject owner;
};

TEST_F(Menus, RadioItemsOfOneSubmenuAreExclusiveAndAClickSetsTheMark)
{
    TMenuItem parent(&owner);
    TMenuItem *a = Item(&parent, "a", 5, true);
    TMenuItem *b = Item(&parent, "b", 10, true);
    TMenuItem *c = Item(&parent, "c", 15, true);
    EXPECT_NE(parent.menu(), nullptr) << "an item with items is a submenu";
    EXPECT_EQ(parent.Count(), 3);
    EXPECT_EQ(b->Parent(), &parent);

    QList<qint64> clicked;
    for (TMenuItem *x : {a, b, c})
        QObject::connect(x, &TMenuItem::OnClick, [&, x](QObject *sender) {
            EXPECT_EQ(sender, x);
            EXPECT_TRUE(x->Checked()) << "the mark is set before the handler";
            clicked << x->Tag();
        });
    c->SetChecked(true);
    b->trigger(); // what Qt does on a user's click
    EXPECT_TRUE(b->Checked());
    EXPECT_FALSE(c->Checked());
    EXPECT_TRUE(b->isChecked()) << "Qt shows the item's own mark";
    EXPECT_FALSE(c->isChecked());
    b->trigger();
    EXPECT_TRUE(b->Checked()) << "clicking the checked radio item keeps it checked";
    EXPECT_EQ(clicked, (QList<qint64>{10, 10}));
}

TEST_F(Menus, RadioGroupsAreSeparatedByGroupIndexAndBySubmenu)
{
    TMenuItem first(&owner), second(&owner);
    TMenuItem *a = Item(&first, "a", 0, true);
    TMenuItem *b = Item(&first, "b", 0, true);
    TMenuItem *other = Item(&second, "other", 0, true);
    b->SetGroupIndex(2);
    a->SetChecked(true);
    b->SetChecked(true);
    other->SetChecked(true);
    EXPECT_TRUE(a->Checked());
    EXPECT_TRUE(b->Checked());
    EXPECT_TRUE(other->Checked());
}

TEST_F(Menus, AutoCheckTogglesAndAPlainItemKeepsItsMark)
{
    TPopupMenu menu;
    auto *toggle = new TMenuItem(&owner);
    toggle->SetAutoCheck(true);
    toggle->SetChecked(true);
    auto *plain = new TMenuItem(&owner);
    plain->SetChecked(true);
    menu.Add(toggle);
    menu.Add(plain);
    toggle->trigger();
    EXPECT_FALSE(toggle->Checked());
    EXPECT_FALSE(toggle->isChecked());
    toggle->trigger();
    EXPECT_TRUE(toggle->Checked());
    int clicks = 0;
    QObject::connect(plain, &TMenuItem::OnClick, [&] { ++clicks; });
    plain->trigger();
    EXPECT_TRUE(plain->Checked()) << "without AutoCheck a click does not touch the mark";
    EXPECT_TRUE(plain->isChecked()) << "Qt's own toggle is undone";
    EXPECT_EQ(clicks, 1);
    plain->SetEnabled(false);
    plain->Click();
    EXPECT_EQ(clicks, 1) << "a disabled item does nothing";
}

TEST_F(Menus, LinkedActionSuppliesValuesWhichAreThenNotStored)
{
    TAction action(&owner);
    action.SetCaption(QStringLiteral("&Ejecutar al inicio"));
    action.SetHint(QStringLiteral("Ejecutar al inicio del sistema"));
    action.SetAutoCheck(true);
    action.SetChecked(true);
    auto *item = new TMenuItem(&owner);
    EXPECT_TRUE(Stored(item, "Caption"));
    item->SetAction(&action);
    EXPECT_EQ(item->Caption(), QStringLiteral("&Ejecutar al inicio"));
    EXPECT_EQ(item->property("Action").value<QObject *>(), &action);
    EXPECT_EQ(item->property("Caption").toString(), QStringLiteral("&Ejecutar al inicio"));
    EXPECT_EQ(item->text(), QStringLiteral("&Ejecutar al inicio"));
    EXPECT_EQ(item->toolTip(), QStringLiteral("Ejecutar al inicio del sistema"));
    EXPECT_TRUE(item->Checked());
    EXPECT_FALSE(Stored(item, "Caption"));
    EXPECT_FALSE(Stored(item, "Hint"));
    EXPECT_FALSE(Stored(item, "Checked"));
    EXPECT_TRUE(Stored(item, "Tag"));

    // The action's later changes (a translation, a check) reach the item.
    action.SetCaption(QStringLiteral("Run at &startup"));
    action.SetEnabled(false);
    EXPECT_EQ(item->Caption(), QStringLiteral("Run at &startup"));
    EXPECT_FALSE(item->isEnabled());
    action.SetEnabled(true);

    // A click goes through the action: its AutoCheck toggles once, the item
    // follows, and the action's OnExecute runs (the item's OnClick does not).
    int executed = 0, clicked = 0;
    QObject::connect(&action, &TAction::OnExecute, [&](QObject *sender) {
        EXPECT_EQ(sender, &action);
        EXPECT_FALSE(item->Checked()) << "the item already shows the new state";
        ++executed;
    });
    QObject::connect(item, &TMenuItem::OnClick, [&] { ++clicked; });
    item->trigger();
    EXPECT_FALSE(action.Checked());
    EXPECT_EQ(executed, 1);
    EXPECT_EQ(clicked, 0);

    // A caption of the item's own (different from the action's) is stored.
    item->SetCaption(QStringLiteral("own"));
    EXPECT_TRUE(Stored(item, "Caption"));
}

// Every value an action supplies is not stored while the item's value equals
// the action's, and is stored once the item holds a value of its own.
TEST_F(Menus, EachValueSuppliedByTheActionIsStoredOnlyWhenTheItemDiffers)
{
    struct Case
    {
        const char *property;
        std::function<void(TAction &)> setOnAction;
        std::function<void(TMenuItem &)> setOwn;
    };
    const Case cases[] = {
        {"Caption", [](TAction &a) { a.SetCaption(QStringLiteral("&Refrescar")); },
         [](TMenuItem &i) { i.SetCaption(QStringLiteral("own")); }},
        {"Hint", [](TAction &a) { a.SetHint(QStringLiteral("Refrescar ahora")); },
         [](TMenuItem &i) { i.SetHint(QStringLiteral("own")); }},
        {"Checked", [](TAction &a) { a.SetChecked(true); }, [](TMenuItem &i) { i.SetChecked(false); }},
        {"Enabled", [](TAction &a) { a.SetEnabled(false); }, [](TMenuItem &i) { i.SetEnabled(true); }},
        {"Visible", [](TAction &a) { a.SetVisible(false); }, [](TMenuItem &i) { i.SetVisible(true); }},
        {"AutoCheck", [](TAction &a) { a.SetAutoCheck(true); }, [](TMenuItem &i) { i.SetAutoCheck(false); }},
        {"GroupIndex", [](TAction &a) { a.SetGroupIndex(3); }, [](TMenuItem &i) { i.SetGroupIndex(4); }},
        {"ImageIndex", [](TAction &a) { a.SetImageIndex(7); }, [](TMenuItem &i) { i.SetImageIndex(-1); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.property);
        TAction action(&owner);
        c.setOnAction(action);
        TMenuItem item(&owner);
        item.SetAction(&action);
        EXPECT_EQ(item.property(c.property), action.property(c.property)) << "the item took the action's value";
        EXPECT_FALSE(Stored(&item, c.property));
        c.setOwn(item);
        EXPECT_NE(item.property(c.property), action.property(c.property));
        EXPECT_TRUE(Stored(&item, c.property)) << "a value of the item's own is stored";
        EXPECT_TRUE(Stored(&item, "Tag"));
        EXPECT_TRUE(Stored(&item, "RadioItem"));
    }
}

// Qt reads an action's tool tip from its text when none is set, and disables
// an action while it is hidden: the item's Hint and Enabled stay its own.
TEST_F(Menus, HintAndEnabledAreTheItemsOwnValues)
{
    TMenuItem item(&owner);
    item.SetCaption(QStringLiteral("&Cerrar"));
    EXPECT_EQ(item.Hint(), QString()) << "no hint is not the caption";
    EXPECT_EQ(item.property("Hint").toString(), QString());
    item.SetHint(QStringLiteral("Cerrar el widget"));
    EXPECT_EQ(item.Hint(), QStringLiteral("Cerrar el widget"));
    EXPECT_EQ(item.toolTip(), QStringLiteral("Cerrar el widget"));

    int clicks = 0;
    QObject::connect(&item, &TMenuItem::OnClick, [&] { ++clicks; });
    item.SetVisible(false);
    EXPECT_FALSE(item.Visible());
    EXPECT_TRUE(item.Enabled()) << "hiding an item does not disable it";
    item.Click();
    EXPECT_EQ(clicks, 1);
    item.SetVisible(true);
    EXPECT_TRUE(item.isEnabled());

    TAction action(&owner);
    action.SetVisible(false);
    TMenuItem linked(&owner);
    linked.SetAction(&action);
    EXPECT_FALSE(linked.isVisible());
    EXPECT_FALSE(Stored(&linked, "Enabled")) << "hidden by its action, still enabled like it";
}

// A radio item that does not check itself on a click leaves every mark as it
// was: the click only runs OnClick, whose handler decides.
TEST_F(Menus, RadioItemWithoutAutoCheckLeavesTheMarksToItsHandler)
{
    TMenuItem parent(&owner);
    TMenuItem *a = Item(&parent, "a", 1, true);
    TMenuItem *b = Item(&parent, "b", 2, true);
    a->SetAutoCheck(false);
    b->SetAutoCheck(false);
    a->SetChecked(true);
    int clicks = 0;
    QObject::connect(b, &TMenuItem::OnClick, [&] {
        ++clicks;
        EXPECT_FALSE(b->Checked());
        EXPECT_TRUE(a->Checked());
    });
    b->trigger();
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(a->Checked());
    EXPECT_TRUE(a->isChecked());
    EXPECT_FALSE(b->Checked());
    EXPECT_FALSE(b->isChecked());
    b->SetChecked(true);
    EXPECT_FALSE(a->Checked()) << "checking it from code still unchecks the group";
}

TEST_F(Menus, ItemDestroyedBeforeItsActionAndMenu)
{
    TAction action(&owner);
    TPopupMenu menu;
    auto *item = new TMenuItem(&owner);
    item->SetAction(&action);
    menu.Add(item);
    delete item;
    action.SetCaption(QStringLiteral("still fine"));
    EXPECT_EQ(menu.Count(), 0);
}

TEST_F(Menus, SeparatorAndPopupCloseEvent)
{
    TPopupMenu menu;
    auto *sep = new TMenuItem(&owner);
    sep->SetCaption(QStringLiteral("-"));
    EXPECT_TRUE(sep->isSeparator());
    menu.Add(sep);
    int closes = 0, popups = 0;
    QObject::connect(&menu, &TPopupMenu::OnClose, [&](QObject *sender) {
        EXPECT_EQ(sender, &menu);
        ++closes;
    });
    QObject::connect(&menu, &TPopupMenu::OnPopup, [&] { ++popups; });
    menu.Popup(QPoint(10, 10));
    EXPECT_TRUE(menu.isVisible());
    menu.hide();
    EXPECT_EQ(popups, 1);
    EXPECT_EQ(closes, 1) << "closing without a choice still runs OnClose";
}

TEST_F(Menus, LabelVisibleIsItsOwnFlagAndTrayIconWaitsForLoaded)
{
    QWidget window;
    TLabel &label = *new TLabel(&window);
    label.SetCaption(QStringLiteral("Inicializando el widget...."));
    EXPECT_EQ(label.text(), QStringLiteral("Inicializando el widget...."));
    EXPECT_TRUE(label.Visible()) << "not shown yet, but not hidden either";
    label.SetVisible(false);
    EXPECT_FALSE(label.Visible());

    TPopupMenu menu;
    TTrayIcon icon;
    icon.SetPopupMenu(&menu);
    EXPECT_EQ(icon.contextMenu(), &menu);
    // Reflection reads object references as QObject pointers.
    EXPECT_EQ(icon.property("PopupMenu").value<QObject *>(), &menu);
    icon.BeginLoading();
    icon.SetVisible(true);
    EXPECT_TRUE(icon.Visible());
    EXPECT_TRUE(icon.ReadBlock(QStringLiteral("Icon"),
                               QByteArray("<svg xmlns='http://www.w3.org/2000/svg' width='24' height='24'>"
                                          "<rect width='24' height='24' fill='red'/></svg>")));
    EXPECT_FALSE(icon.icon().isNull());
    EXPECT_FALSE(icon.ReadBlock(QStringLiteral("Other"), QByteArray()));
}

// The tray's picture is drawn at the size the notification area asks for,
// not a 24-pixel picture shrunk or left small: sharp at any scale.
TEST_F(Menus, TrayIconPictureIsSharpAtAnySize)
{
    TTrayIcon icon;
    // Red on the left half, blue on the right half.
    ASSERT_TRUE(icon.ReadBlock(QStringLiteral("Icon"),
                               QByteArray("<svg xmlns='http://www.w3.org/2000/svg' width='24' height='24'>"
                                          "<rect width='12' height='24' fill='#ff0000'/>"
                                          "<rect x='12' width='12' height='24' fill='#0000ff'/></svg>")));
    for (int side : {16, 24, 48, 96}) {
        const QImage image = icon.icon().pixmap(QSize(side, side)).toImage();
        ASSERT_EQ(image.size(), QSize(side, side)) << side;
        // One pixel on either side of the middle: a picture drawn at this size
        // has a hard edge there, a scaled-up 24-pixel one a blend.
        EXPECT_EQ(image.pixelColor(side / 2 - 1, side / 2), QColor(255, 0, 0)) << side;
        EXPECT_EQ(image.pixelColor(side / 2, side / 2), QColor(0, 0, 255)) << side;
    }
    // At a scale factor the picture is drawn at the device's pixels, with
    // the margin the SVG leaves transparent.
    ASSERT_TRUE(icon.ReadBlock(QStringLiteral("Icon"),
                               QByteArray("<svg xmlns='http://www.w3.org/2000/svg' width='24' height='24'>"
                                          "<rect x='4' y='4' width='8' height='16' fill='#ff0000'/>"
                                          "<rect x='12' y='4' width='8' height='16' fill='#0000ff'/></svg>")));
    for (const qreal scale : {1.0, 2.0, 3.0}) {
        const QPixmap pixmap = icon.icon().pixmap(QSize(22, 22), scale);
        const QImage image = pixmap.toImage();
        const int side = qRound(22 * scale);
        ASSERT_EQ(image.size(), QSize(side, side)) << scale;
        EXPECT_EQ(pixmap.devicePixelRatio(), scale);
        EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0) << scale << ": the margin is transparent";
        EXPECT_EQ(image.pixelColor(side - 1, side - 1).alpha(), 0) << scale;
        EXPECT_EQ(image.pixelColor(side / 2 - 1, side / 2), QColor(255, 0, 0)) << scale;
        EXPECT_EQ(image.pixelColor(side / 2, side / 2), QColor(0, 0, 255)) << scale;
    }
    // Notification areas that take pixmaps (Windows, the D-Bus status
    // notifier) pick among the sizes the icon offers: the usual tray sizes.
    const QList<QSize> sizes = icon.icon().availableSizes();
    for (const int side : {16, 22, 24, 32, 48})
        EXPECT_TRUE(sizes.contains(QSize(side, side))) << side;
    // A picture in another format still reads (PNG: 1 x 1, opaque green).
    const QByteArray png = QByteArray::fromBase64(
        "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAIAAACQd1PeAAAADElEQVR4nGNg+M8AAAICAQB7CYF4AAAAAElFTkSuQmCC");
    ASSERT_TRUE(icon.ReadBlock(QStringLiteral("Icon"), png));
    EXPECT_FALSE(icon.icon().isNull());
    EXPECT_EQ(icon.icon().pixmap(QSize(1, 1)).toImage().pixelColor(0, 0), QColor(0, 255, 0));
}

} // namespace

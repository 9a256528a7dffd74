// SPDX-License-Identifier: MIT
// The main window's definition: its components in definition order (the
// localization engine walks the same tree), the tray menu's items with their
// tags, check behaviour and actions, and the state right after construction.
#include "ShellTestSupport.h"

#include "localization/LanguageController.h"
#include "shell/FMain.h"
#include "shell/Opacidad.h"
#include "vcl/ActnList.h"
#include "vcl/Menus.h"
#include "vcl/Persistent.h"
#include "vcl/StdCtrls.h"
#include "vcl/Timer.h"
#include "vcl/TrayIcon.h"
#include "wmi/CWMISQL.h"

#include <gtest/gtest.h>

namespace {

class FormMainDefinition : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TestApp();
        ASSERT_TRUE(dir.isValid());
        qputenv("HOME", dir.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
        qputenv("VELMORA_FAKE_WBEM", dir.filePath(QStringLiteral("none.txt")).toUtf8());
    }
    void TearDown() override { qunsetenv("VELMORA_FAKE_WBEM"); }
    QTemporaryDir dir;
};

TEST_F(FormMainDefinition, ComponentsInDefinitionOrder)
{
    TFormMain w;
    QStringList names;
    for (QObject *c : vcl::Components(&w))
        names << c->objectName();
    const QStringList expected{"lblIni",
                               "WMISQL",
                               "TimerDiscos",
                               "TrayIcon",
                               "pmTray",
                               "menuVersion",
                               "N4",
                               "Ejecutaralinicio1",
                               "Idioma1",
                               "Espaol1",
                               "Ingls1",
                               "N2",
                               "N3",
                               "NOpa0",
                               "NOpa20",
                               "NOpa40",
                               "NOpa60",
                               "NOpa80",
                               "NOpa100",
                               "Intervalodeactualizacin1",
                               "N5sg1",
                               "N10sg2",
                               "N15sg1",
                               "N30sg1",
                               "N1minuto1",
                               "N1",
                               "Verdiscosdered1",
                               "Refrescar1",
                               "N5",
                               "Cerrar1",
                               "alMain",
                               "actCerrar",
                               "actRefrescar",
                               "actEjecutarInicio",
                               "vlLC",
                               "vlTS"};
    EXPECT_EQ(names, expected);
    EXPECT_EQ(w.objectName(), QStringLiteral("FormMain"));
}

TEST_F(FormMainDefinition, TrayMenuTreeTagsAndChecks)
{
    TFormMain w;
    QStringList top;
    for (int i = 0; i < w.pmTray->Count(); ++i)
        top << w.pmTray->Items(i)->objectName();
    EXPECT_EQ(top,
              (QStringList{"menuVersion", "N4", "Ejecutaralinicio1", "Idioma1", "N2", "N3",
                           "Intervalodeactualizacin1", "N1", "Verdiscosdered1", "Refrescar1", "N5", "Cerrar1"}));
    struct Sub
    {
        TMenuItem *parent;
        QStringList captions;
        QList<qint64> tags;
    };
    const Sub subs[] = {
        {w.Idioma1, {"Español", "Inglés"}, {0, 1}},
        {w.N3, {"0%", "20%", "40%", "60%", "80%", "100%"}, {0, 51, 102, 153, 204, 255}},
        {w.Intervalodeactualizacin1, {"5 sg.", "10 sg.", "15 sg.", "30 sg.", "1 min."}, {5, 10, 15, 30, 60}},
    };
    for (const Sub &s : subs) {
        ASSERT_EQ(s.parent->Count(), s.captions.size());
        for (int i = 0; i < s.parent->Count(); ++i) {
            TMenuItem *item = s.parent->Items(i);
            EXPECT_EQ(item->Caption(), s.captions[i]);
            EXPECT_EQ(item->Tag(), s.tags[i]);
            EXPECT_TRUE(item->AutoCheck() && item->RadioItem()) << item->objectName().toStdString();
            EXPECT_EQ(item->GroupIndex(), 1);
        }
    }
    for (TMenuItem *sep : {w.N4, w.N2, w.N1, w.N5})
        EXPECT_TRUE(sep->isSeparator());
    EXPECT_EQ(w.menuVersion->Caption(), QStringLiteral("version"));
    EXPECT_EQ(w.N3->Caption(), QStringLiteral("Nivel de &opacidad"));
    EXPECT_EQ(w.Intervalodeactualizacin1->Caption(), QStringLiteral("&Intervalo de actualización"));
    EXPECT_EQ(w.Idioma1->Hint(), QStringLiteral("Idioma para la aplicación"));
    EXPECT_EQ(w.Verdiscosdered1->Caption(), QStringLiteral("Ver discos de &red"));
    EXPECT_EQ(w.Verdiscosdered1->Hint(), QStringLiteral("Si deseo ver los discos de red"));
    EXPECT_TRUE(w.Verdiscosdered1->AutoCheck());
    EXPECT_TRUE(w.Espaol1->Checked());
    EXPECT_TRUE(w.NOpa60->Checked());
    EXPECT_TRUE(w.N15sg1->Checked());
    EXPECT_EQ(w.TrayIcon->PopupMenu(), w.pmTray);
}

TEST_F(FormMainDefinition, ActionsSupplyTheirItemsWhichDoNotStoreThem)
{
    TFormMain w;
    struct Link
    {
        TMenuItem *item;
        TAction *action;
        const char *caption;
        const char *hint;
    };
    const Link links[] = {
        {w.Ejecutaralinicio1, w.actEjecutarInicio, "&Ejecutar al inicio", "Ejecutar al inicio del sistema"},
        {w.Refrescar1, w.actRefrescar, "&Refrescar", "Refrecar los datos"},
        {w.Cerrar1, w.actCerrar, "&Cerrar", "Cerrar el widget"},
    };
    const QMetaObject *mo = &TMenuItem::staticMetaObject;
    const QMetaProperty caption = mo->property(mo->indexOfProperty("Caption"));
    for (const Link &l : links) {
        EXPECT_EQ(l.item->Action(), l.action);
        EXPECT_EQ(l.action->ActionList(), w.alMain);
        EXPECT_EQ(l.item->Caption(), QString::fromUtf8(l.caption));
        EXPECT_EQ(l.item->Hint(), QString::fromUtf8(l.hint));
        EXPECT_FALSE(vcl::IsStored(l.item, caption)) << l.caption;
        EXPECT_TRUE(vcl::IsStored(
            l.action, l.action->metaObject()->property(l.action->metaObject()->indexOfProperty("Caption"))));
    }
    EXPECT_TRUE(vcl::IsStored(w.N3, caption));
    EXPECT_TRUE(w.actEjecutarInicio->AutoCheck());
    EXPECT_EQ(w.alMain->ActionCount(), 3);
}

TEST_F(FormMainDefinition, StateRightAfterConstruction)
{
    TFormMain w;
    EXPECT_TRUE(w.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(w.windowFlags() & Qt::WindowStaysOnBottomHint);
    EXPECT_EQ(w.windowFlags() & Qt::WindowType_Mask, Qt::Tool);
    EXPECT_TRUE(w.windowTitle().isEmpty());
    EXPECT_EQ(w.size(), QSize(TFormMain::DesignWidth, TFormMain::DesignHeight));
    EXPECT_EQ(w.lblIni->geometry(), QRect(48, 24, 129, 15));
    EXPECT_EQ(w.lblIni->Caption(), QStringLiteral("Inicializando el widget...."));
    EXPECT_EQ(w.WMISQL->Host(), QStringLiteral("."));
    EXPECT_FALSE(w.WMISQL->Active());
    EXPECT_EQ(w.WMISQL->SQL(), QStringLiteral("SELECT * FROM Win32_LogicalDisk"));
    EXPECT_FALSE(w.TimerDiscos->Enabled());
    EXPECT_EQ(w.TimerDiscos->Interval(), 15000);
    EXPECT_EQ(w.vlLC->IgnoreList(), (QStringList{"*SQL*", ".SQL", "SQL"}));
    EXPECT_FALSE(w.TrayIcon->icon().isNull()) << "the icon block of the definition was read";
    EXPECT_TRUE(w.TrayIcon->Visible());

    // FormCreate: level 153 applied through the "60%" item; fields at their
    // construction values.
    ASSERT_NE(w.Opacidad(), nullptr);
    EXPECT_EQ(w.Opacidad()->Nivel(), 153);
    EXPECT_EQ(w.Intervalo(), 15);
    EXPECT_FALSE(w.VerDiscosRed());
    EXPECT_EQ(w.ActiveLanguage(), 0);
    EXPECT_EQ(w.Reintentos(), 0);
    EXPECT_FALSE(w.MustReload());
    EXPECT_TRUE(w.ListaDiscos().isEmpty());
    EXPECT_TRUE(w.LastListaDiscos().isEmpty());
    EXPECT_FALSE(w.Configurado());
}

TEST_F(FormMainDefinition, IntervalItemsDriveTheTimer)
{
    TFormMain w;
    w.N5sg1->trigger();
    EXPECT_EQ(w.TimerDiscos->Interval(), 5000);
    EXPECT_EQ(w.Intervalo(), 5);
    EXPECT_FALSE(w.N15sg1->Checked());
    w.SetIntervalo(7); // not a listed value: stored, the timer keeps its interval
    EXPECT_EQ(w.Intervalo(), 7);
    EXPECT_EQ(w.TimerDiscos->Interval(), 5000);
    w.SetIntervalo(60);
    EXPECT_TRUE(w.N1minuto1->Checked());
    EXPECT_EQ(w.TimerDiscos->Interval(), 60000);
    w.NOpa100->trigger();
    EXPECT_EQ(w.Opacidad()->Nivel(), 255);
}

} // namespace

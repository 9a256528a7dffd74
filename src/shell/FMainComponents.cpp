// SPDX-License-Identifier: MIT
// The components of the widget window, in the order of its definition, with
// their stored properties and the handlers they call; the binary blocks under
// :/forms/FormMain complete them (vcl::LoadWindowDefinition).
#include "shell/FMain.h"

#include "localization/LanguageController.h"
#include "localization/VLangStorage.h"
#include "vcl/ActnList.h"
#include "vcl/Menus.h"
#include "vcl/StdCtrls.h"
#include "vcl/Timer.h"
#include "vcl/TrayIcon.h"
#include "wmi/CWMISQL.h"

TMenuItem *TFormMain::NewItem(const char *name, const QString &caption, qint64 tag)
{
    auto *item = new TMenuItem(this);
    item->setObjectName(QLatin1String(name));
    item->SetCaption(caption);
    item->SetTag(tag);
    return item;
}

void TFormMain::CreateComponents()
{
    lblIni = new TLabel(this);
    lblIni->setObjectName(QStringLiteral("lblIni"));
    lblIni->setGeometry(48, 24, 129, 15);
    lblIni->SetCaption(QStringLiteral("Inicializando el widget...."));

    WMISQL = new TWMISQL(this);
    WMISQL->setObjectName(QStringLiteral("WMISQL"));
    WMISQL->SetHost(QStringLiteral("."));
    WMISQL->SetSQL(QStringLiteral("SELECT * FROM Win32_LogicalDisk"));

    TimerDiscos = new TTimer(this);
    TimerDiscos->setObjectName(QStringLiteral("TimerDiscos"));
    TimerDiscos->SetEnabled(false);
    TimerDiscos->SetInterval(15000);
    connect(TimerDiscos, &TTimer::OnTimer, this,
            [this](QObject *sender) { FErrorReport.Guarded([&] { TimerDiscosTimer(sender); }); });

    TrayIcon = new TTrayIcon(this);
    TrayIcon->setObjectName(QStringLiteral("TrayIcon"));

    pmTray = new TPopupMenu(this);
    pmTray->setObjectName(QStringLiteral("pmTray"));
    connect(pmTray, &TPopupMenu::OnClose, this,
            [this](QObject *sender) { FErrorReport.Guarded([&] { pmTrayClose(sender); }); });

    const QString sep = QStringLiteral("-");
    menuVersion = NewItem("menuVersion", QStringLiteral("version"));
    N4 = NewItem("N4", sep);
    Ejecutaralinicio1 = NewItem("Ejecutaralinicio1", QString());
    Idioma1 = NewItem("Idioma1", QStringLiteral("Idioma"));
    Idioma1->SetHint(QStringLiteral("Idioma para la aplicación"));
    Espaol1 = NewItem("Espaol1", QStringLiteral("Español"), 0);
    Ingls1 = NewItem("Ingls1", QStringLiteral("Inglés"), 1);
    N2 = NewItem("N2", sep);
    N3 = NewItem("N3", QStringLiteral("Nivel de &opacidad"));
    NOpa0 = NewItem("NOpa0", QStringLiteral("0%"), 0);
    NOpa20 = NewItem("NOpa20", QStringLiteral("20%"), 51);
    NOpa40 = NewItem("NOpa40", QStringLiteral("40%"), 102);
    NOpa60 = NewItem("NOpa60", QStringLiteral("60%"), 153);
    NOpa80 = NewItem("NOpa80", QStringLiteral("80%"), 204);
    NOpa100 = NewItem("NOpa100", QStringLiteral("100%"), 255);
    Intervalodeactualizacin1 = NewItem("Intervalodeactualizacin1", QStringLiteral("&Intervalo de actualización"));
    N5sg1 = NewItem("N5sg1", QStringLiteral("5 sg."), 5);
    N10sg2 = NewItem("N10sg2", QStringLiteral("10 sg."), 10);
    N15sg1 = NewItem("N15sg1", QStringLiteral("15 sg."), 15);
    N30sg1 = NewItem("N30sg1", QStringLiteral("30 sg."), 30);
    N1minuto1 = NewItem("N1minuto1", QStringLiteral("1 min."), 60);
    N1 = NewItem("N1", sep);
    Verdiscosdered1 = NewItem("Verdiscosdered1", QStringLiteral("Ver discos de &red"));
    Verdiscosdered1->SetHint(QStringLiteral("Si deseo ver los discos de red"));
    Verdiscosdered1->SetAutoCheck(true);
    Verdiscosdered1->SetChecked(true);
    Refrescar1 = NewItem("Refrescar1", QString());
    N5 = NewItem("N5", sep);
    Cerrar1 = NewItem("Cerrar1", QString());

    for (TMenuItem *item : {menuVersion, N4, Ejecutaralinicio1, Idioma1, N2, N3, Intervalodeactualizacin1, N1,
                            Verdiscosdered1, Refrescar1, N5, Cerrar1})
        pmTray->Add(item);
    const auto radioGroup = [](TMenuItem *parent, std::initializer_list<TMenuItem *> items) {
        for (TMenuItem *item : items) {
            item->SetAutoCheck(true);
            item->SetRadioItem(true);
            item->SetGroupIndex(1);
            parent->Add(item);
        }
    };
    radioGroup(Idioma1, {Espaol1, Ingls1});
    radioGroup(N3, {NOpa0, NOpa20, NOpa40, NOpa60, NOpa80, NOpa100});
    radioGroup(Intervalodeactualizacin1, {N5sg1, N10sg2, N15sg1, N30sg1, N1minuto1});
    Espaol1->SetChecked(true);
    NOpa60->SetChecked(true);
    N15sg1->SetChecked(true);

    // Handlers run from Qt's event handling, which must not be unwound by an
    // exception: what they raise goes to the error report.
    const auto onClick = [this](TMenuItem *item, void (TFormMain::*handler)(QObject *)) {
        connect(item, &TMenuItem::OnClick, this,
                [this, handler](QObject *sender) { FErrorReport.Guarded([&] { (this->*handler)(sender); }); });
    };
    for (TMenuItem *item : {Espaol1, Ingls1})
        onClick(item, &TFormMain::actEspañolExecute);
    for (TMenuItem *item : {NOpa0, NOpa20, NOpa40, NOpa60, NOpa80, NOpa100})
        onClick(item, &TFormMain::NivelOpacidadClick);
    for (TMenuItem *item : {N5sg1, N10sg2, N15sg1, N30sg1, N1minuto1})
        onClick(item, &TFormMain::IntervalosegundosClick);
    onClick(Verdiscosdered1, &TFormMain::Verdiscosdered1Click);

    alMain = new TActionList(this);
    alMain->setObjectName(QStringLiteral("alMain"));
    const auto newAction = [this](const char *name, const QString &caption, const QString &hint) {
        auto *action = new TAction(this);
        action->setObjectName(QLatin1String(name));
        action->SetCaption(caption);
        action->SetHint(hint);
        action->SetActionList(alMain);
        return action;
    };
    actCerrar = newAction("actCerrar", QStringLiteral("&Cerrar"), QStringLiteral("Cerrar el widget"));
    actRefrescar = newAction("actRefrescar", QStringLiteral("&Refrescar"), QStringLiteral("Refrecar los datos"));
    actEjecutarInicio = newAction("actEjecutarInicio", QStringLiteral("&Ejecutar al inicio"),
                                  QStringLiteral("Ejecutar al inicio del sistema"));
    actEjecutarInicio->SetAutoCheck(true);
    actEjecutarInicio->SetChecked(true);
    const auto onExecute = [this](TAction *action, void (TFormMain::*handler)(QObject *)) {
        connect(action, &TAction::OnExecute, this,
                [this, handler](QObject *sender) { FErrorReport.Guarded([&] { (this->*handler)(sender); }); });
    };
    onExecute(actCerrar, &TFormMain::actCerrarExecute);
    onExecute(actRefrescar, &TFormMain::actRefrescarExecute);
    onExecute(actEjecutarInicio, &TFormMain::actEjecutarInicioExecute);

    vlLC = new TVLanguageController(this);
    vlLC->setObjectName(QStringLiteral("vlLC"));
    vlLC->SetIgnoreList({QStringLiteral("*SQL*"), QStringLiteral(".SQL"), QStringLiteral("SQL")});
    vlLC->SetOnLanguageChanged([this](QObject *Sender) { vlLCLanguageChanged(Sender); });

    vlTS = new TVLTranslationsStorage(this);
    vlTS->setObjectName(QStringLiteral("vlTS"));

    // References between components are resolved once all of them exist.
    Ejecutaralinicio1->SetAction(actEjecutarInicio);
    Refrescar1->SetAction(actRefrescar);
    Cerrar1->SetAction(actCerrar);
    TrayIcon->SetPopupMenu(pmTray);
    TrayIcon->SetVisible(true);
}

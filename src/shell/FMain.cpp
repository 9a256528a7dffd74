// SPDX-License-Identifier: MIT
#include "shell/FMain.h"

#include "localization/ConstantText.h"
#include "localization/LangManager.h"
#include "localization/LanguageController.h"
#include "localization/VLangStorage.h"
#include "panels/DriveControls.h"
#include "panels/PanelFailure.h"
#include "panels/PropertyText.h"
#include "panels/WindowDrag.h"
#include "panels/frDisco.h"
#include "platform/SingleInstance.h"
#include "settings/Config.h"
#include "settings/HiddenDrives.h"
#include "settings/LocaleHelper.h"
#include "settings/RegistryApp.h"
#include "settings/VersionInfo.h"
#include "shell/DriveEject.h"
#include "shell/DriveMenu.h"
#include "shell/FormUtils.h"
#include "shell/Opacidad.h"
#include "shell/QtTranslations.h"
#include "shell/ScreenPlacement.h"
#include "shell/ShellLog.h"
#include "shell/Style.h"
#include "shell/rounded_corners.h"
#include "vcl/ActnList.h"
#include "vcl/Exception.h"
#include "vcl/FormLoader.h"
#include "vcl/Menus.h"
#include "vcl/StdCtrls.h"
#include "vcl/Timer.h"
#include "vcl/TrayIcon.h"
#include "wmi/CWMISQL.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QLocale>
#include <QMessageBox>
#include <QMouseEvent>
#include <QScopeGuard>

namespace {

// The captions of a menu as it shows them, separators left out and each
// submenu in brackets after its item: what the debug log says the menu reads.
QString MenuTexts(const QMenu *menu)
{
    QStringList texts;
    for (const QAction *action : menu->actions()) {
        if (action->isSeparator())
            continue;
        QString text = action->text();
        if (const QMenu *sub = action->menu())
            text += QStringLiteral(" [") + MenuTexts(sub) + QLatin1Char(']');
        texts << text;
    }
    return texts.join(QStringLiteral(" | "));
}

bool HiddenKind(TDriveType type)
{
    return type == TDriveType::Unknown || type == TDriveType::NoRootDirectory || type == TDriveType::NetworkDrive;
}

} // namespace

TFormMain::TFormMain(QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnBottomHint),
      FColumn(std::make_unique<TPanelColumn>(this, DesignWidth))
{
    setObjectName(QStringLiteral("FormMain"));
    // A frameless tool window below all others. The drop shadow that Windows
    // draws for this window has no X11 counterpart: a compositor shadows
    // windows by its own rules. The window keeps an empty title; on Linux a
    // second start finds the running one through the instance socket, not by
    // title.
    setWindowTitle(QString());
    // On Windows a second start finds the running widget by its title
    // (platform::InstanceWindowTitle, empty elsewhere); the window has no
    // caption, so the title is never seen.
    setWindowTitle(QString::fromStdString(platform::InstanceWindowTitle()));
    // The widget is never the active window (it stays below the others):
    // the panels' tooltips show all the same.
    setAttribute(Qt::WA_AlwaysShowToolTips);
    QFont font(QStringLiteral("Segoe UI"));
    font.setFamilies({QStringLiteral("Segoe UI"), QStringLiteral("DejaVu Sans")});
    font.setPointSize(9);
    setFont(font);
    resize(DesignWidth, DesignHeight);

    // The controller attaches to the running engine when it is created.
    LangManager::Start();
    CreateComponents();
    InitShellResources();
    vcl::LoadWindowDefinition(this, QStringLiteral("FormMain"));
    // After the stored English translation (index 1): the user's own
    // translations take the indexes from 2 on.
    LangManager::Instance().RegisterUserTranslations(LangManager::UserTranslationsFolder());
    AddLanguageItems();
    CrearAccionesUnidad();
    FormCreate(this);
}

TFormMain::~TFormMain()
{
    FormDestroy(this);
}

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

void TFormMain::FormCreate(QObject *)
{
    FReintentos = 0;
    FListaDiscos.clear();
    FLastListaDiscos.clear();
    FOpacidad = std::make_unique<TOpacyClass>(this);
    FOpacidad->DefaultValue();
    MarcarOpacidad();
    FIntervalo = 15;
    FormUtils::HideFromTaskbar(this);
}

void TFormMain::FormShow(QObject *)
{
    FormUtils::SendToBottom(this);
    CargarConfiguracion();
    LeerFuente();
    SetActiveLanguage(FActiveLanguage);
    MarcarOpacidad();
    ActualizarMenu();
    FOcultas = THiddenDrives::Read(TConfig::ConfigFileName());
    if (lcShell().isDebugEnabled()) {
        QStringList checked;
        for (const TMenuItem *item : findChildren<TMenuItem *>())
            if (item->Checked())
                checked << item->objectName();
        qCDebug(lcShell).noquote() << "menu marks:" << checked.join(QLatin1Char(' '));
    }
    RecargarFrames();
    // A saved place on a screen that is gone or has shrunk since.
    FScreenKeeper = new TScreenKeeper(this);
    FScreenKeeper->Keep();
    AvisarPocoEspacio();
    TimerDiscos->SetEnabled(true);
    rounded_corners::SetWindowCorners(this, rounded_corners::cpRound);
    if (!Configurado()) {
        // Asked once the event loop runs again, so that the widget is on the
        // screen behind the question and an end signal or the close command
        // can still end the program while the box waits for an answer.
        QMetaObject::invokeMethod(
            this, [this] { FErrorReport.Guarded([this] { PreguntarEjecutarAlInicio(); }); }, Qt::QueuedConnection);
    }
}

void TFormMain::PreguntarEjecutarAlInicio()
{
    const QString caption = QStringLiteral("Ejecutar al inicio");
    const QString text = ConstantText(QStringLiteral("msgIniciarAuto"));
    qCDebug(lcShell) << "first start: asking about starting with the session";
    bool yes = false;
    if (FAskQuestion) {
        yes = FAskQuestion(caption, text);
    } else {
        // No owner: a box that belonged to the widget would share its place
        // below all other windows.
        // The question comes from a translation: shown as written, never as markup.
        QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setTextFormat(Qt::PlainText);
        yes = box.exec() == QMessageBox::Yes;
    }
    // The widget was closed while the box waited: that is no answer, and the
    // start-up entry stays as it was.
    if (FClosing)
        return;
    FEjecutarAlInicio = yes;
    qCDebug(lcShell) << "start with the session:" << FEjecutarAlInicio;
    // The mark follows the answer at once (the action supplies it to its item,
    // and its next click toggles from there).
    actEjecutarInicio->SetChecked(FEjecutarAlInicio);
    TRegistryApp::ExecuteOnIni(FEjecutarAlInicio);
}

void TFormMain::FormDestroy(QObject *)
{
    // The window is going away: a problem with the settings file can only be
    // reported here, and must not escape a destructor.
    GuardarAlTerminar();
    qCDebug(lcShell) << "window destroyed";
    FOpacidad.reset();
    FLastListaDiscos.clear();
    FListaDiscos.clear();
}

void TFormMain::ActivarComponente()
{
    FLastListaDiscos = FListaDiscos;
    FListaDiscos.clear();
    FFuenteCaida = false;
    try {
        WMISQL->SetActive(false);
        WMISQL->SetActive(true);
        lblIni->SetVisible(false);
        FListaDiscos.clear();
        const auto forget = qScopeGuard([this] { FFigures.EndRefresh(); });
        QList<TDriveHistory::TDrive> historia;
        for (int i = 1; i <= WMISQL->ObjectsCount(); ++i) {
            WMISQL->SetObjectIndex(i);
            const TDriveFigures::TFigures &figures = FFigures.Read(WMISQL->PropertiesText());
            FListaDiscos.append(figures.Name);
            historia.append({figures.Name, figures.VolumeSerialNumber, figures.FileSystem,
                             figures.Access == QLatin1String("1"), PropertyUInt64(figures.FreeSpace),
                             PropertyUInt64(figures.Size), FOcultas.contains(figures.Name)});
            TFrameDrive *frame = BuscarFrame(figures.Name);
            if (!frame)
                continue;
            // A drive that reports no free space (a reader without a medium,
            // a network mount that did not answer in time) or one that is not
            // a number is shown without figures; the drives after it are read.
            if (const auto free = PropertyUInt64(figures.FreeSpace))
                frame->SetLibre(*free);
            else
                frame->ClearLibre();
            // The size is taken again whenever it is reported: a panel built
            // while its drive gave none (a network mount that had not answered
            // yet) gets its figures back, and a file system grown or shrunk
            // while mounted shows its new total without waiting for a rebuild.
            if (const auto size = PropertyUInt64(figures.Size);
                size && (frame->TamanyoAusente() || *size != frame->Tamanyo()))
                frame->SetTamanyo(*size);
            const bool answering = figures.Status.isEmpty() || figures.Status == QLatin1String("OK");
            MostrarEstado(frame,
                          answering                                ? QString()
                              : figures.ErrorDescription.isEmpty() ? figures.Status
                                                                   : figures.ErrorDescription);
            // The panel's handlers were hooked when GenerarFrames made it, and
            // no panel exists that it did not make.
            frame->UpdateSize();
        }
        GuardarHistoria(historia);
    } catch (...) {
        // Whatever went wrong is counted and logged; the fourth failure since
        // start is fatal.
        const QString message = TErrorReport::CurrentMessage();
        if (FFuente.IsRemote()) {
            // Another machine's source that does not answer ends nothing:
            // its panels stay with their last figures until it answers.
            FFuenteCaida = true;
            FListaDiscos = FLastListaDiscos;
            qCInfo(lcShell).noquote() << "drive source" << FFuente.Host << "failed:" << message;
            for (TFrameDrive *frame : Frames())
                MostrarEstado(frame, message);
            return;
        }
        ++FReintentos;
        qCInfo(lcShell) << "refresh failed (" << FReintentos << "since start):" << message;
        if (FReintentos > 3)
            ShowFatalError(message);
    }
}

bool TFormMain::HayCambios()
{
    const QString sep = QStringLiteral("\r\n");
    const bool changed = FLastListaDiscos.join(sep) != FListaDiscos.join(sep)
        || FLastListaDiscos.size() != FListaDiscos.size() || FMustReload;
    FMustReload = false;
    return changed;
}

void TFormMain::RecargarFrames()
{
    // One repaint at the end instead of one per destroyed and created panel.
    setUpdatesEnabled(false);
    const auto resume = qScopeGuard([this] { setUpdatesEnabled(true); });
    ActivarComponente();
    if (!FFuenteCaida)
        GenerarFrames();
    AplicarOcultas();
    AjustarTamanyo();
}

void TFormMain::GenerarFrames()
{
    const QList<TFrameDrive *> old = Frames();
    for (TFrameDrive *frame : old)
        delete frame;

    for (int i = 1; i <= WMISQL->ObjectsCount(); ++i) {
        // The column builds the controls of the panels in view.
        auto *frame = new TFrameDrive(this, TFrameDrive::TControls::Deferred);
        frame->setObjectName(QStringLiteral("FrameDiskInfo%1").arg(i));
        frame->SetDiskDriveInfo(WMISQL);
        WMISQL->SetObjectIndex(i);
        try {
            frame->SetPropiedades(WMISQL->PropertiesText());
        } catch (const EConvertError &e) {
            // A Size or FreeSpace that is no number is no figure: the drive
            // is shown without figures, and the panels after it are built.
            qCInfo(lcShell).noquote() << "drive without figures:" << e.Message();
            // The items are written back quoted, so that values holding
            // commas or line breaks stay whole.
            QString text;
            for (QString item : SplitPropertyText(WMISQL->PropertiesText())) {
                for (const QLatin1String key : {QLatin1String("Size="), QLatin1String("FreeSpace=")})
                    if (item.startsWith(key) && !PropertyUInt64(QStringView(item).mid(key.size())))
                        item = key;
                text += QLatin1Char('"') + item.replace(QLatin1Char('"'), QStringLiteral("\"\""))
                    + QStringLiteral("\"\r\n");
            }
            frame->SetPropiedades(text);
        }
        const QStringList items = SplitPropertyText(frame->Propiedades());
        if (const QString status = PropertyValue(items, QStringLiteral("Status"));
            !status.isEmpty() && status != QLatin1String("OK")) {
            const QString reason = PropertyValue(items, QStringLiteral("ErrorDescription"));
            MostrarEstado(frame, reason.isEmpty() ? status : reason);
        }
        EnlazarFrame(frame);
        frame->move(0, (i - 1) * frame->height());
        frame->show();
        const TDriveType type = frame->DriveType();
        if (HiddenKind(type))
            frame->hide();
        if (type == TDriveType::NetworkDrive)
            frame->setVisible(FVerDiscosRed);
    }
}

TFrameDrive *TFormMain::BuscarFrame(const QString &name) const
{
    return FColumn->Find(name);
}

void TFormMain::EnlazarFrame(TFrameDrive *frame)
{
    using TPart = TFrameDrive::TPart;
    // By part: a panel of a long column has its controls built only while it
    // is in view, and takes its hooks along.
    for (const TPart part : {TPart::Titulo, TPart::Datos, TPart::Drive, TPart::Capacidad, TPart::Espacio}) {
        frame->SetOnMouseDown(part, [this, frame](QWidget *sender, QMouseEvent *event) {
            if (!FGestures->DoubleClick(frame, event))
                MouseDownToWindowMove(sender, event);
        });
        frame->SetOnContextMenu(part, [this, frame](QWidget *, const QPoint &globalPos) {
            const TDriveType type = frame->DriveType();
            FDriveMenu->PopupFor(frame->Nombre(),
                                 type == TDriveType::RemovableDisk || type == TDriveType::CompactDisc, globalPos);
        });
    }
    EnlazarGestos(frame);
    FColumn->Adopt(frame);
}

void TFormMain::AjustarTamanyo()
{
    FColumn->Fit();
}

void TFormMain::TimerDiscosTimer(QObject *)
{
    if (FFatal)
        return;
    if (HayCambios())
        RecargarFrames();
    else
        ActivarComponente();
    AjustarTamanyo();
    AvisarPocoEspacio();
}

void TFormMain::ShowFatalError(const QString &message)
{
    FFatal = true;
    // No tick may come in while the box is open: it would count a fifth
    // failure and open a second box.
    TimerDiscos->SetEnabled(false);
    const QString text = ConstantText(QStringLiteral("errIniciarComponente")) + QStringLiteral("\r\nError:")
        + message;
    FErrorReport.Fatal(text, [this] {
        FExitCode = FatalExitCode;
        close();
    });
}

void TFormMain::MouseDownToWindowMove(QWidget *, QMouseEvent *event)
{
    if (WindowDrag::Start(this, event) == WindowDrag::TMove::System)
        qCDebug(lcShell) << "window move handed to the window manager";
}

void TFormMain::mousePressEvent(QMouseEvent *event)
{
    MouseDownToWindowMove(this, event);
}

void TFormMain::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (FShown)
        return;
    FShown = true;
    FErrorReport.Guarded([this] { FormShow(this); });
}

void TFormMain::closeEvent(QCloseEvent *event)
{
    event->accept();
    FClosing = true;
    TimerDiscos->SetEnabled(false);
    TrayIcon->hide();
    // The widget is the program: closing it ends the event loop (0, or 99
    // after the fatal refresh error); the window itself is destroyed by main.
    QCoreApplication::exit(FExitCode);
}

void TFormMain::BringToFront()
{
    qCDebug(lcShell) << "raise requested by a second start";
    if (isMinimized())
        showNormal();
    if (!isVisible() && !FColumn->HiddenEmpty())
        show();
    raise();
    activateWindow();
}

void TFormMain::EndSession(int signalNumber)
{
    qCDebug(lcShell) << "end of the session (signal" << signalNumber << ")";
    FErrorReport.SetUnattended();
    close();
}

void TFormMain::SaveAtExit()
{
    qCDebug(lcShell) << "the process ends outside the event loop: saving the settings";
    FErrorReport.SetUnattended();
    GuardarAlTerminar();
}

void TFormMain::GuardarAlTerminar()
{
    try {
        GuardarConfiguracion();
        if (const QString warning = TConfig::LastWarning(); !warning.isEmpty())
            FErrorReport.AtShutdown(warning);
    } catch (...) {
        FErrorReport.AtShutdown(TErrorReport::CurrentMessage());
    }
}

void TFormMain::MountsChanged()
{
    // Only once the first panels exist; before that FormShow builds them.
    if (!FShown || FFatal || !TimerDiscos->Enabled())
        return;
    // Another machine's drives do not change with this machine's mounts.
    if (FFuente.IsRemote())
        return;
    qCDebug(lcShell) << "mount table changed: refreshing";
    FMustReload = true;
    FErrorReport.Guarded([this] { TimerDiscosTimer(nullptr); });
}

bool TFormMain::Configurado() const
{
    return TConfig::Exists();
}

void TFormMain::SetIntervalo(int value)
{
    FIntervalo = value;
    for (TMenuItem *item : {N5sg1, N10sg2, N15sg1, N30sg1, N1minuto1}) {
        if (item->Tag() == value) {
            item->SetChecked(true);
            IntervalosegundosClick(item);
            break;
        }
    }
}

void TFormMain::SetVerDiscosRed(bool value)
{
    FVerDiscosRed = value;
    FErrorReport.Guarded([this] { TimerDiscosTimer(nullptr); });
}

void TFormMain::SetActiveLanguage(int value)
{
    FActiveLanguage = value;
    if (value >= 2 && value - 2 < FMoreLanguages.size())
        FMoreLanguages.at(value - 2)->SetChecked(true);
    else
        (value == 0 ? Espaol1 : Ingls1)->SetChecked(true);
    LangManager &manager = LangManager::Instance();
    manager.SwitchLanguage(manager.LanguageIdAt(value));
}

void TFormMain::AddLanguageItems()
{
    // No name: such components never get entries, so LangData stays the
    // window's own whatever translations the user has installed.
    const QList<LangManager::TLanguageInfo> languages = LangManager::Instance().Languages();
    for (qsizetype i = 2; i < languages.size(); ++i) {
        auto *item = new TMenuItem(this);
        item->SetCaption(languages.at(i).NativeName);
        item->SetTag(i);
        item->SetAutoCheck(true);
        item->SetRadioItem(true);
        item->SetGroupIndex(1);
        Idioma1->Add(item);
        connect(item, &TMenuItem::OnClick, this,
                [this](QObject *sender) { FErrorReport.Guarded([&] { actEspañolExecute(sender); }); });
        FMoreLanguages.append(item);
    }
}

void TFormMain::actEjecutarInicioExecute(QObject *)
{
    FEjecutarAlInicio = Ejecutaralinicio1->Checked();
    qCDebug(lcShell) << "start with the session:" << FEjecutarAlInicio;
    TRegistryApp::ExecuteOnIni(FEjecutarAlInicio);
}

void TFormMain::actEspañolExecute(QObject *Sender)
{
    if (auto *item = qobject_cast<TMenuItem *>(Sender))
        SetActiveLanguage(int(item->Tag()));
}

void TFormMain::NivelOpacidadClick(QObject *Sender)
{
    if (auto *item = qobject_cast<TMenuItem *>(Sender))
        FOpacidad->SetNivel(int(item->Tag()));
}

void TFormMain::IntervalosegundosClick(QObject *Sender)
{
    auto *item = qobject_cast<TMenuItem *>(Sender);
    if (!item)
        return;
    TimerDiscos->SetInterval(int(item->Tag()) * 1000);
    FIntervalo = int(item->Tag());
}

void TFormMain::Verdiscosdered1Click(QObject *)
{
    FMustReload = true;
    SetVerDiscosRed(Verdiscosdered1->Checked());
}

void TFormMain::actRefrescarExecute(QObject *)
{
    TimerDiscosTimer(nullptr);
}

void TFormMain::actCerrarExecute(QObject *)
{
    close();
}

void TFormMain::pmTrayClose(QObject *)
{
    FormUtils::SendToBottom(this);
}

void TFormMain::vlLCLanguageChanged(QObject *)
{
    menuVersion->SetCaption(ConstantText(QStringLiteral("msgVersion")) + QLatin1Char(' ')
                            + VersionInfo::FileVersionText(QString(), false));
    QtTranslations::FollowActiveLanguage();
    qCDebug(lcShell).noquote() << "menu reads:" << MenuTexts(pmTray);
}

TConfigValues TFormMain::Opciones() const
{
    TConfigValues values;
    values.Top = y();
    values.Left = x();
    values.Intervalo = FIntervalo;
    values.Opacidad = FOpacidad->Nivel();
    values.EjecutarInicio = FEjecutarAlInicio;
    values.VerDiscosRed = FVerDiscosRed;
    values.Idioma = FActiveLanguage;
    return values;
}

void TFormMain::LeerFuente()
{
    FFuente = TRemoteSource::Read();
    if (FFuente.IsRemote()) {
        WMISQL->SetHost(FFuente.Host);
        WMISQL->SetUser(FFuente.User);
    }
    if (!FFuente.Consulta.isEmpty())
        WMISQL->SetSQL(FFuente.Consulta);
    if (FFuente.IsRemote() || !FFuente.Consulta.isEmpty())
        qCDebug(lcShell).noquote() << "drive source:" << WMISQL->Host() << "query:" << WMISQL->SQL();
}

void TFormMain::MostrarEstado(TFrameDrive *frame, const QString &reason)
{
    const QString shown = PanelFailure::Reason(frame);
    if (reason == shown)
        return;
    if (reason.isEmpty()) {
        PanelFailure::Clear(frame);
        qCDebug(lcShell).noquote() << "panel" << frame->Nombre() << "answering again";
    } else {
        PanelFailure::Show(frame, reason);
        qCDebug(lcShell).noquote() << "panel" << frame->Nombre() << "greyed:" << reason;
    }
}

bool TFormMain::CargarConfiguracion()
{
    if (!Configurado())
        return false;
    // One read of the file; each missing or unreadable value keeps the
    // default of the settings table, which for the position and the interval
    // is what the window has now.
    const TConfigValues values = TConfig::ReadValues(TConfigValues::ReadDefaults(y(), x(), FIntervalo));
    if (const QString warning = TConfig::LastWarning(); !warning.isEmpty())
        FErrorReport.Show(warning);

    move(values.Left, values.Top);
    SetIntervalo(values.Intervalo);
    // Any level takes effect, listed in the menu or not.
    FOpacidad->SetNivel(values.Opacidad);
    FEjecutarAlInicio = values.EjecutarInicio;
    FVerDiscosRed = values.VerDiscosRed;
    FActiveLanguage = values.Idioma;
    // An index that names no language of the menu (a hand-edited file, a
    // translation the user has since removed, a file from a version with
    // more languages) lets the locale decide, as when the key is missing.
    if (FActiveLanguage != -1
        && (FActiveLanguage < 0 || FActiveLanguage >= LangManager::Instance().LanguageCount())) {
        qCInfo(lcShell) << "language index" << FActiveLanguage
                        << "in the settings is not known; the locale decides";
        FActiveLanguage = -1;
    }
    if (FActiveLanguage == -1)
        IdiomaPorDefecto();
    qCDebug(lcShell) << "settings read:" << Opciones();
    return true;
}

void TFormMain::GuardarConfiguracion()
{
    // All seven keys in one atomic replacement of the file: a failure leaves
    // the previous file whole instead of half the new values.
    const TConfigValues values = Opciones();
    TConfig::WriteValues(values);
    qCDebug(lcShell) << "settings written:" << values;
}

void TFormMain::ActualizarMenu()
{
    // Through the action, which supplies the mark to Ejecutaralinicio1: were
    // only the item's mark set, the action's AutoCheck would toggle its own
    // stale state at the next click.
    actEjecutarInicio->SetChecked(FEjecutarAlInicio);
    vlLCLanguageChanged(vlLC);
    Verdiscosdered1->SetChecked(FVerDiscosRed);
}

void TFormMain::MarcarOpacidad()
{
    if (!FOpacidad)
        return;
    for (TMenuItem *item : {NOpa0, NOpa20, NOpa40, NOpa60, NOpa80, NOpa100}) {
        if (item->Tag() == FOpacidad->Nivel()) {
            item->SetChecked(true);
            NivelOpacidadClick(item);
            break;
        }
    }
}

void TFormMain::IdiomaPorDefecto()
{
    FActiveLanguage = LocaleHelper::DefaultLanguageIndex(LocaleHelper::UserLocaleId());
}

void TFormMain::CrearAccionesUnidad()
{
    const auto guarded = [this](void (TFormMain::*handler)(const QString &)) {
        return [this, handler](const QString &drive) { FErrorReport.Guarded([&] { (this->*handler)(drive); }); };
    };
    TDriveMenu::THandlers handlers;
    handlers.Open = guarded(&TFormMain::AbrirUnidad);
    handlers.Eject = guarded(&TFormMain::ExpulsarUnidad);
    handlers.Hide = guarded(&TFormMain::OcultarUnidad);
    handlers.Show = guarded(&TFormMain::MostrarUnidad);
    handlers.Hidden = [this] { return FOcultas; };
    FDriveMenu = std::make_unique<TDriveMenu>(pmTray, std::move(handlers));
    FGestures = std::make_unique<TPanelGestures>([this](QWidget *panel) {
        if (auto *frame = qobject_cast<TFrameDrive *>(panel))
            FErrorReport.Guarded([&] { AbrirUnidad(frame->Nombre()); });
    });
    FNotifier = std::make_unique<TDesktopNotifier>(TrayIcon);
    FEject = std::make_unique<TDriveEject>();
}

void TFormMain::EnlazarGestos(TFrameDrive *frame)
{
    FGestures->Watch(frame);
}

void TFormMain::AbrirUnidad(const QString &name)
{
    if (!OpenDriveFolder(name))
        FErrorReport.Show(ConstantText(QStringLiteral("msgErrorAbrir")).arg(name));
}

void TFormMain::ExpulsarUnidad(const QString &name)
{
    // The panel stays: it goes with the drive, at the refresh that no longer
    // finds it.
    FEject->Eject(name, [this, name](TDriveEject::TResult result, const QString &detail) {
        qCDebug(lcShell).noquote() << "eject" << name << "ended:" << int(result) << detail;
        QString reason;
        switch (result) {
        case TDriveEject::TResult::Done:
            FNotifier->Notify(ConstantText(QStringLiteral("msgExpulsar")),
                              ConstantText(QStringLiteral("msgExpulsada")).arg(name));
            MountsChanged();
            return;
        case TDriveEject::TResult::Busy:
            reason = ConstantText(QStringLiteral("msgUnidadOcupada"));
            break;
        case TDriveEject::TResult::NotAllowed:
            reason = ConstantText(QStringLiteral("msgNoPermitido"));
            break;
        case TDriveEject::TResult::NotEjectable:
            reason = ConstantText(QStringLiteral("msgNoExpulsable"));
            break;
        case TDriveEject::TResult::Failed:
            reason = detail;
            break;
        }
        FErrorReport.Show(ConstantText(QStringLiteral("msgErrorExpulsar")).arg(name, reason));
    });
}

void TFormMain::OcultarUnidad(const QString &name)
{
    if (FOcultas.contains(name))
        return;
    FOcultas << name;
    qCDebug(lcShell).noquote() << "drive hidden:" << name;
    AplicarOcultas();
    AjustarTamanyo();
    AvisarPocoEspacio();
    GuardarOcultas();
}

void TFormMain::MostrarUnidad(const QString &name)
{
    if (!FOcultas.removeOne(name))
        return;
    qCDebug(lcShell).noquote() << "drive shown again:" << name;
    // A rebuild gives the panel back the visibility its kind calls for.
    FMustReload = true;
    TimerDiscosTimer(nullptr);
    GuardarOcultas();
}

void TFormMain::AplicarOcultas()
{
    for (TFrameDrive *frame : Frames())
        if (FOcultas.contains(frame->Nombre()))
            frame->hide();
}

void TFormMain::GuardarOcultas()
{
    QStringList leftOut;
    THiddenDrives::Write(TConfig::ConfigFileName(), FOcultas, &leftOut);
    if (!leftOut.isEmpty())
        qCInfo(lcShell).noquote() << "hidden until the end only (no settings key can hold the name):"
                                  << leftOut.join(QStringLiteral(", "));
}

void TFormMain::GuardarHistoria(const QList<TDriveHistory::TDrive> &drives)
{
    // Only this machine's own drives have a history here; another machine's
    // has its own (Velmora_DiskTrend asks its server), a test's objects none.
    if (FFuente.IsRemote() || qEnvironmentVariableIsSet("VELMORA_FAKE_WBEM"))
        return;
    if (!FHistory)
        FHistory = std::make_unique<TDriveHistory>(
            [this](const QString &title, const QString &text) { FNotifier->Notify(title, text); });
    FHistory->Refreshed(drives, QDateTime::currentSecsSinceEpoch());
    for (TFrameDrive *frame : Frames())
        frame->SetToolTipNote(FHistory->Note(frame->Nombre()));
}

void TFormMain::AvisarPocoEspacio()
{
    const bool logPlaces = lcShell().isDebugEnabled();
    QList<TLowSpaceWatch::TDrive> drives;
    QStringList shown;
    for (const TFrameDrive *frame : Frames()) {
        if (logPlaces && !frame->isHidden())
            shown << frame->Nombre() + QLatin1Char('@') + QString::number(frame->y());
        // A drive whose inodes run out is as full as one without space.
        const bool full = (frame->CapacidadEnError() && !frame->LibreAusente())
            || (FHistory && FHistory->InodesOut(frame->Nombre()));
        drives.append({frame->Nombre(), full, frame->isHidden() || FOcultas.contains(frame->Nombre())});
    }
    // Where each shown panel stands, when that changed: what a test needs to
    // point at a panel.
    if (logPlaces) {
        QString line = shown.join(QLatin1Char(' '));
        if (line != FPanelesMostrados) {
            qCDebug(lcShell).noquote() << "panels shown:" << line;
            FPanelesMostrados = std::move(line);
        }
    }
    for (const QString &name : FLowSpace.Update(drives)) {
        const TFrameDrive *frame = BuscarFrame(name);
        const QString free = frame
            ? QLocale().formattedDataSize(frame->Libre(), 1, QLocale::DataSizeTraditionalFormat)
            : QString();
        const QString text = FHistory && FHistory->InodesOut(name) && !(frame && frame->CapacidadEnError())
            ? ConstantText(QStringLiteral("msgPocoEspacioInodos")).arg(name).arg(FHistory->InodesFreePercent(name))
            : ConstantText(QStringLiteral("msgPocoEspacio")).arg(name, free);
        qCDebug(lcShell).noquote() << "low-space notice:" << text;
        FNotifier->Notify(ConstantText(QStringLiteral("msgPocoEspacioTitulo")), text);
    }
}

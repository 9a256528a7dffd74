// SPDX-License-Identifier: MIT
#include "shell/FMain.h"

#include "analysis/DriveWindows.h"
#include "desktop/DesktopNotifier.h"
#include "localization/ConstantText.h"
#include "localization/LangManager.h"
#include "localization/LanguageController.h"
#include "localization/VLangStorage.h"
#include "panels/DriveControls.h"
#include "panels/WindowDrag.h"
#include "panels/frDisco.h"
#include "platform/SingleInstance.h"
#include "settings/Config.h"
#include "settings/LocaleHelper.h"
#include "settings/RefreshInterval.h"
#include "settings/RegistryApp.h"
#include "settings/VersionInfo.h"
#include "shell/DriveActions.h"
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
#include "wmi/PropertyText.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QMessageBox>
#include <QMouseEvent>
#include <QScopeGuard>

#include <algorithm>

namespace {

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
    // windows by its own rules. The window has no caption, so its title is
    // never seen: it is empty, except on Windows, where a second start finds
    // the running widget by it (platform::InstanceWindowTitle).
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
    CrearOtrasMaquinas();
    FormCreate(this);
}

TFormMain::~TFormMain()
{
    delete FOtrasMaquinasDialog;
    FormDestroy(this);
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
    // A password from the keyring comes after the first refresh: the next
    // one goes at once.
    FSource.Read(WMISQL, [this] { SourceAnswered(); });
    SetActiveLanguage(FActiveLanguage);
    MarcarOpacidad();
    ActualizarMenu();
    FActions->ReadHidden();
    LogMenuMarks();
    RecargarFrames();
    // A saved place on a screen that is gone or has shrunk since.
    FScreenKeeper = new TScreenKeeper(this);
    FScreenKeeper->Keep();
    HandOutRefresh();
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
    const auto forget = qScopeGuard([this] { FFigures.EndRefresh(); });
    TDriveStates queried;
    QSet<QString> localNames;
    const TDriveSource::TAnswers answers = FSource.QueryAll();
    if (answers.AnyAnswered)
        lblIni->SetVisible(false);
    const QString &localFailure = answers.LocalFailure;
    for (TDriveSource::TSource *source : FSource.Sources()) {
        for (const QString &text : std::as_const(source->Texts)) {
            const TDriveFigures::TFigures &figures = FFigures.Read(text);
            FListaDiscos.append(figures.Name);
            if (!source->Remote)
                localNames.insert(figures.Name);
            queried.push_back(DriveStateOf(figures, FQueried));
            TFrameDrive *frame = BuscarFrame(figures.Name);
            if (!frame)
                continue;
            if (!source->Failure.isEmpty()) {
                // Its last figures stay, greyed with the reason.
                TDriveSource::ShowState(frame, source->Failure);
                continue;
            }
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
            TDriveSource::ShowState(frame,
                                    answering                                ? QString()
                                        : figures.ErrorDescription.isEmpty() ? figures.Status
                                                                             : figures.ErrorDescription);
            // The panel's handlers were hooked when GenerarFrames made it, and
            // no panel exists that it did not make.
            frame->UpdateSize();
        }
    }
    FQueried = std::move(queried);
    FSource.SetLocalNames(std::move(localNames));
    FHeadings.ShowStates(FSource.Sources());
    if (!localFailure.isEmpty()) {
        // Counted and logged; the fourth failure since start is fatal.
        ++FReintentos;
        qCInfo(lcShell) << "refresh failed (" << FReintentos << "since start):" << localFailure;
        if (FReintentos > 3)
            ShowFatalError(localFailure);
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
    GenerarFrames();
    AplicarOcultas();
    AjustarTamanyo();
}

void TFormMain::GenerarFrames()
{
    const QList<TFrameDrive *> old = Frames();
    for (TFrameDrive *frame : old)
        delete frame;
    FHeadings.Clear();

    const bool grouped = FSource.Grouped();
    int i = 0;
    for (TDriveSource::TSource *source : FSource.Sources()) {
        FHeadings.BeginSource(source, grouped);
        for (const QString &text : std::as_const(source->Texts)) {
            ++i;
            FHeadings.BeforePanel(source, text, grouped);
            // The column builds the controls of the panels in view.
            auto *frame = new TFrameDrive(this, TFrameDrive::TControls::Deferred);
            frame->setObjectName(QStringLiteral("FrameDiskInfo%1").arg(i));
            frame->SetDiskDriveInfo(source->Query);
            try {
                frame->SetPropiedades(text);
            } catch (const EConvertError &e) {
                // A Size or FreeSpace that is no number is no figure: the drive
                // is shown without figures, and the panels after it are built.
                qCInfo(lcShell).noquote() << "drive without figures:" << e.Message();
                frame->SetPropiedades(TDriveFigures::WithoutBadFigures(text));
            }
            const QStringList items = SplitPropertyText(frame->Propiedades());
            if (const QString status = PropertyValue(items, QStringLiteral("Status"));
                !status.isEmpty() && status != QLatin1String("OK")) {
                const QString reason = PropertyValue(items, QStringLiteral("ErrorDescription"));
                TDriveSource::ShowState(frame, reason.isEmpty() ? status : reason);
            }
            if (!source->Failure.isEmpty())
                TDriveSource::ShowState(frame, source->Failure);
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
    FHeadings.ShowStates(FSource.Sources());
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
            if (!FActions->DoubleClick(frame, event))
                MouseDownToWindowMove(sender, event);
        });
        frame->SetOnContextMenu(
            part, [this, frame](QWidget *, const QPoint &globalPos) { FActions->PopupFor(frame, globalPos); });
    }
    FActions->Watch(frame);
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
    HandOutRefresh();
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
    WindowDrag::Start(this, event);
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

bool TFormMain::Configurado() const
{
    return TConfig::Exists();
}

void TFormMain::SetIntervalo(int value)
{
    // A value the menu does not offer (written by hand) is kept, and the timer
    // keeps its interval: say which one runs, so that the file's value is not
    // taken for the one in force.
    if (!RefreshInterval::Offered(value))
        qCWarning(lcShell).noquote() << QStringLiteral(
                                            "Refresh interval %1 s is not offered; the timer keeps %2 s.")
                                            .arg(value)
                                            .arg(TimerDiscos->Interval() / 1000);
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
    if (FOtrasMaquinas)
        FOtrasMaquinas->setText(ConstantText(QStringLiteral("msgOtrasMaquinas")));
    // The panels' lines hold a translated word: they follow now, not at the
    // next refresh.
    for (TFrameDrive *frame : Frames())
        frame->UpdateSize();
    // So do the open drive windows.
    if (FActions)
        FActions->DriveWindows().Retranslate();
    LogMenuTexts();
}

TConfigValues TFormMain::Opciones() const
{
    TConfigValues values;
    const QPoint place = FPlace.ToSave(pos(), ScreenPlacement::Screens());
    values.Top = place.y();
    values.Left = place.x();
    values.Intervalo = FIntervalo;
    values.Opacidad = FOpacidad->Nivel();
    values.EjecutarInicio = FEjecutarAlInicio;
    values.VerDiscosRed = FVerDiscosRed;
    values.Idioma = FActiveLanguage;
    return values;
}

bool TFormMain::CargarConfiguracion()
{
    if (!Configurado())
        return false;
    // One read of the file; each missing or unreadable value keeps the
    // default of the settings table, which for the position and the interval
    // is what the window has now.
    const QList<ScreenPlacement::TScreenScale> screens = ScreenPlacement::Screens();
    const QPoint here = ScreenPlacement::ToDevice(pos(), screens);
    const TConfigValues values = TConfig::ReadValues(TConfigValues::ReadDefaults(here.y(), here.x(), FIntervalo));
    if (const QString warning = TConfig::LastWarning(); !warning.isEmpty())
        FErrorReport.Show(warning);

    move(FPlace.Restore(QPoint(values.Left, values.Top), screens));
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
    if (FActions)
        FActions->SaveHiddenIfPending();
    // The list of other machines chosen before the file existed; by now the
    // seven options have made it.
    if (FOtrasMaquinasPendientes)
        FOtrasMaquinasPendientes = !TOtherMachines::Write(TConfig::ConfigFileName(), FSource.Machines());
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

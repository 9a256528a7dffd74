// SPDX-License-Identifier: MIT
#include "shell/FMain.h"

#include "localization/ConstantText.h"
#include "localization/LangManager.h"
#include "localization/LanguageController.h"
#include "localization/VLangStorage.h"
#include "panels/DriveControls.h"
#include "panels/PropertyText.h"
#include "panels/frDisco.h"
#include "settings/Config.h"
#include "settings/LocaleHelper.h"
#include "settings/RegistryApp.h"
#include "settings/VersionInfo.h"
#include "shell/FormUtils.h"
#include "shell/Opacidad.h"
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
#include <QHash>
#include <QMessageBox>
#include <QMouseEvent>
#include <QScopeGuard>
#include <QScreen>
#include <QWheelEvent>
#include <QWindow>

#include <algorithm>
#include <exception>

namespace {

QString MessageOf(const std::exception &e)
{
    if (const auto *ex = dynamic_cast<const Exception *>(&e))
        return ex->Message();
    return QString::fromUtf8(e.what());
}

// A decimal 64-bit integer, as the drive query renders Size and FreeSpace.
qint64 StrToInt64(const QString &text)
{
    bool ok = false;
    const qint64 value = text.toLongLong(&ok, 10);
    if (!ok)
        throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return value;
}

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

// The panels by drive name, for the lookups of one refresh. Names match
// ignoring letter case ("c:" finds "C:"), by Unicode case folding so that
// the result does not depend on the user's locale; an exact match wins first:
// Linux mount points differ by case alone (/mnt/a and /mnt/A), and each must
// keep its own panel. Among equals the first panel wins.
class FrameIndex
{
public:
    explicit FrameIndex(const QList<TFrameDrive *> &frames) : FFrames(frames)
    {
        for (TFrameDrive *frame : frames)
            if (!FExact.contains(frame->Nombre()))
                FExact.insert(frame->Nombre(), frame);
    }
    TFrameDrive *Find(const QString &name) const
    {
        if (TFrameDrive *frame = FExact.value(name))
            return frame;
        // Folded names only once a name is not found as it is.
        if (FFolded.isEmpty()) {
            for (TFrameDrive *frame : FFrames) {
                const QString folded = frame->Nombre().toCaseFolded();
                if (!FFolded.contains(folded))
                    FFolded.insert(folded, frame);
            }
        }
        return FFolded.value(name.toCaseFolded());
    }

private:
    QList<TFrameDrive *> FFrames;
    QHash<QString, TFrameDrive *> FExact;
    mutable QHash<QString, TFrameDrive *> FFolded;
};

bool HiddenKind(TDriveType type)
{
    return type == TDriveType::Unknown || type == TDriveType::NoRootDirectory
           || type == TDriveType::NetworkDrive;
}

} // namespace

template <typename Handler>
void TFormMain::Guarded(Handler &&handler)
{
    try {
        handler();
    } catch (const std::exception &e) {
        ReportError(MessageOf(e));
    }
}

TFormMain::TFormMain(QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnBottomHint)
{
    setObjectName(QStringLiteral("FormMain"));
    // A frameless tool window below all others. The drop shadow that Windows
    // draws for this window has no X11 counterpart: a compositor shadows
    // windows by its own rules. The window keeps an empty title; on Linux a
    // second start finds the running one through the instance socket, not by
    // title.
    setWindowTitle(QString());
#ifdef _WIN32
    // A second start finds the running widget by this title
    // (platform::win::FindRunningInstance); the window has no caption, so the
    // title is never seen.
    setWindowTitle(QStringLiteral("kvDivoziVirudu"));
#endif
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
    FormCreate(this);
}

TFormMain::~TFormMain()
{
    FormDestroy(this);
    delete FErrorBox.data();
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
            [this](QObject *sender) { Guarded([&] { TimerDiscosTimer(sender); }); });

    TrayIcon = new TTrayIcon(this);
    TrayIcon->setObjectName(QStringLiteral("TrayIcon"));

    pmTray = new TPopupMenu(this);
    pmTray->setObjectName(QStringLiteral("pmTray"));
    connect(pmTray, &TPopupMenu::OnClose, this, [this](QObject *sender) { Guarded([&] { pmTrayClose(sender); }); });

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

    for (TMenuItem *item : {menuVersion, N4, Ejecutaralinicio1, Idioma1, N2, N3, Intervalodeactualizacin1,
                            N1, Verdiscosdered1, Refrescar1, N5, Cerrar1})
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
                [this, handler](QObject *sender) { Guarded([&] { (this->*handler)(sender); }); });
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
                [this, handler](QObject *sender) { Guarded([&] { (this->*handler)(sender); }); });
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
    SetActiveLanguage(FActiveLanguage);
    MarcarOpacidad();
    ActualizarMenu();
    if (lcShell().isDebugEnabled()) {
        QStringList checked;
        for (const TMenuItem *item : findChildren<TMenuItem *>())
            if (item->Checked())
                checked << item->objectName();
        qCDebug(lcShell).noquote() << "menu marks:" << checked.join(QLatin1Char(' '));
    }
    RecargarFrames();
    TimerDiscos->SetEnabled(true);
    rounded_corners::SetWindowCorners(this, rounded_corners::cpRound);
    if (!Configurado()) {
        // Asked once the event loop runs again, so that the widget is on the
        // screen behind the question and an end signal or the close command
        // can still end the program while the box waits for an answer.
        QMetaObject::invokeMethod(
            this, [this] { Guarded([this] { PreguntarEjecutarAlInicio(); }); }, Qt::QueuedConnection);
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
        yes = QMessageBox::question(nullptr, caption, text, QMessageBox::Yes | QMessageBox::No,
                                    QMessageBox::Yes)
              == QMessageBox::Yes;
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
    try {
        GuardarConfiguracion();
        if (const QString warning = TConfig::LastWarning(); !warning.isEmpty())
            ShutdownReport(warning);
    } catch (const std::exception &e) {
        ShutdownReport(MessageOf(e));
    }
    qCDebug(lcShell) << "window destroyed";
    FOpacidad.reset();
    FLastListaDiscos.clear();
    FListaDiscos.clear();
}

void TFormMain::ActivarComponente()
{
    FLastListaDiscos = FListaDiscos;
    FListaDiscos.clear();
    try {
        WMISQL->SetActive(false);
        WMISQL->SetActive(true);
        lblIni->SetVisible(false);
        FListaDiscos.clear();
        const FrameIndex frames(Frames());
        // Most drives report the same property text tick after tick: what
        // was read from a text last time is taken again instead of splitting
        // it anew.
        ++FFiguresTick;
        const auto forget = qScopeGuard([this] {
            FFigures.removeIf([this](const auto &it) { return it.value().tick != FFiguresTick; });
        });
        for (int i = 1; i <= WMISQL->ObjectsCount(); ++i) {
            WMISQL->SetObjectIndex(i);
            const QString text = WMISQL->PropertiesText();
            auto found = FFigures.find(text);
            if (found == FFigures.end()) {
                const QStringList items = SplitPropertyText(text);
                found = FFigures.insert(text, {PropertyValue(items, QStringLiteral("Name")),
                                               PropertyValue(items, QStringLiteral("FreeSpace")),
                                               PropertyValue(items, QStringLiteral("Size")), 0});
            }
            found->tick = FFiguresTick;
            const TDriveFigures &figures = *found;
            FListaDiscos.append(figures.name);
            TFrameDrive *frame = frames.Find(figures.name);
            if (!frame)
                continue;
            // A drive that reports no free space (a reader without a medium,
            // a network mount that did not answer in time) is shown without
            // figures; only a value that is there but not a number is an error.
            if (figures.freeSpace.isEmpty())
                frame->ClearLibre();
            else
                frame->SetLibre(StrToInt64(figures.freeSpace));
            // A panel built while its drive gave no size (a network mount
            // that had not answered yet) takes the size once it is reported:
            // without it the figures would never come back until a rebuild.
            if (frame->TamanyoAusente() && !figures.size.isEmpty())
                frame->SetTamanyo(StrToInt64(figures.size));
            // The panel's handlers were hooked when GenerarFrames made it, and
            // no panel exists that it did not make.
            frame->UpdateSize();
        }
    } catch (const std::exception &e) {
        ++FReintentos;
        qCInfo(lcShell) << "refresh failed (" << FReintentos << "since start):" << MessageOf(e);
        if (FReintentos > 3)
            ShowFatalError(MessageOf(e));
    } catch (...) {
        ++FReintentos;
        if (FReintentos > 3)
            ShowFatalError(QStringLiteral("Unknown error"));
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
    AjustarTamanyo();
}

QList<TFrameDrive *> TFormMain::Frames() const
{
    QList<TFrameDrive *> frames;
    for (QObject *child : children())
        if (auto *frame = qobject_cast<TFrameDrive *>(child))
            frames.append(frame);
    return frames;
}

void TFormMain::GenerarFrames()
{
    const QList<TFrameDrive *> old = Frames();
    for (TFrameDrive *frame : old)
        delete frame;

    for (int i = 1; i <= WMISQL->ObjectsCount(); ++i) {
        auto *frame = new TFrameDrive(this);
        frame->setObjectName(QStringLiteral("FrameDiskInfo%1").arg(i));
        frame->SetDiskDriveInfo(WMISQL);
        WMISQL->SetObjectIndex(i);
        frame->SetPropiedades(WMISQL->PropertiesText());
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
    return FrameIndex(Frames()).Find(name);
}

void TFormMain::EnlazarFrame(TFrameDrive *frame)
{
    const QList<QWidget *> controls{frame->pnlTitulo(), frame->pnlDatos(),
                                    frame->imgDrive(),
                                    frame->pbCapacidad(), frame->lblEspacio()};
    for (QWidget *control : controls) {
        if (!control)
            continue;
        frame->SetOnMouseDown(control, [this](QWidget *sender, QMouseEvent *event) {
            MouseDownToWindowMove(sender, event);
        });
        control->setContextMenuPolicy(Qt::CustomContextMenu);
        disconnect(control, &QWidget::customContextMenuRequested, this, nullptr);
        connect(control, &QWidget::customContextMenuRequested, this,
                [this, control](const QPoint &pos) { pmTray->Popup(control->mapToGlobal(pos)); });
    }
    frame->installEventFilter(this);
}

void TFormMain::AjustarTamanyo()
{
    // Panels are aligned to the top: the visible ones stack without gaps
    // across the design width (a window that once shrank to the start text
    // must not narrow the panels).
    int top = 0;
    for (TFrameDrive *frame : Frames()) {
        if (frame->isHidden())
            continue;
        const int h = frame->height() > 0 ? frame->height() : frame->sizeHint().height();
        frame->setGeometry(0, top, DesignWidth, h);
        top += h;
    }

    // Then the client area shrinks to the visible children, shifted so that
    // they meet its top-left corner.
    QRect bounds;
    QList<QWidget *> visible;
    for (QObject *child : children()) {
        auto *w = qobject_cast<QWidget *>(child);
        if (!w || w->isWindow() || w->isHidden())
            continue;
        visible.append(w);
        bounds = bounds.united(w->geometry());
    }
    if (visible.isEmpty()) {
        // A window cannot be 0 x 0: with nothing to show it is hidden, and it
        // comes back as soon as a refresh has something visible.
        FFittedSize = QSize(0, 0);
        if (FShown && isVisible()) {
            FHiddenEmpty = true;
            hide();
        }
        return;
    }
    for (QWidget *w : visible)
        w->move(w->pos() - bounds.topLeft());
    // Taller than the usable height of its screen (hundreds of mounts): the
    // window stops there and the mouse wheel scrolls the panels; FScroll is
    // how many pixels of them are above the window's top.
    QSize fitted = bounds.size();
    const QScreen *where = screen();
    const int limit = where ? where->availableGeometry().height() : 0;
    if (limit > 0 && fitted.height() > limit) {
        FScroll = std::clamp(FScroll, 0, fitted.height() - limit);
        for (QWidget *w : visible)
            w->move(w->x(), w->y() - FScroll);
        fitted.setHeight(limit);
    } else {
        FScroll = 0;
    }
    FFittedSize = fitted;
    resize(fitted);
    if (FHiddenEmpty) {
        FHiddenEmpty = false;
        show();
    }
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
}

void TFormMain::ShowFatalError(const QString &message)
{
    FFatal = true;
    // No tick may come in while the box is open: it would count a fifth
    // failure and open a second box.
    TimerDiscos->SetEnabled(false);
    const QString text = ConstantText(QStringLiteral("errIniciarComponente")) + QStringLiteral("\r\nError:") + message;
    if (FFatalExit)
        FFatalExit(text);
    else
        DefaultFatalExit(text);
}

void TFormMain::DefaultFatalExit(const QString &message)
{
    QString shown = message;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(QMessageBox::Critical, QCoreApplication::applicationName(), shown, QMessageBox::Ok);
    box.exec();
    FExitCode = FatalExitCode;
    close();
}

void TFormMain::ShutdownReport(const QString &message)
{
    if (FShutdownReport)
        FShutdownReport(message);
    else
        DefaultShutdownReport(message);
}

void TFormMain::DefaultShutdownReport(const QString &message)
{
    qCCritical(lcShell).noquote() << message;
    // After a signal or at the end of the session nobody may be there to
    // close a box, and the session would wait for it: stderr only.
    if (FUnattendedEnd)
        return;
    QMessageBox box(QMessageBox::Critical, QCoreApplication::applicationName(), message, QMessageBox::Ok);
    box.exec();
}

void TFormMain::ReportError(const QString &message)
{
    qCWarning(lcShell) << message;
    // One report box at a time: a failing tick every few seconds must not
    // pile boxes up.
    if (!FErrorBox) {
        // Without a parent: a box that belonged to the widget would share its
        // place below all other windows.
        FErrorBox = new QMessageBox(QMessageBox::Critical, QCoreApplication::applicationName(), QString(),
                                    QMessageBox::Ok);
        FErrorBox->setAttribute(Qt::WA_DeleteOnClose);
    }
    FErrorBox->setText(message);
    FErrorBox->show();
}

void TFormMain::MouseDownToWindowMove(QWidget *, QMouseEvent *event)
{
    if (!event || event->button() != Qt::LeftButton)
        return;
    if (QWidget *grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
    QWindow *handle = windowHandle();
    if (handle && handle->startSystemMove()) {
        qCDebug(lcShell) << "window move handed to the window manager";
        return;
    }
    // No system move loop (no window manager, or one that does not offer it):
    // the window follows the mouse until the button is released.
    FDragging = true;
    FDragOffset = event->globalPosition().toPoint() - pos();
    grabMouse();
}

void TFormMain::mousePressEvent(QMouseEvent *event)
{
    MouseDownToWindowMove(this, event);
}

void TFormMain::mouseMoveEvent(QMouseEvent *event)
{
    if (FDragging && (event->buttons() & Qt::LeftButton))
        move(event->globalPosition().toPoint() - FDragOffset);
    else
        QWidget::mouseMoveEvent(event);
}

void TFormMain::mouseReleaseEvent(QMouseEvent *event)
{
    if (FDragging && event->button() == Qt::LeftButton) {
        FDragging = false;
        releaseMouse();
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

bool TFormMain::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Wheel && qobject_cast<TFrameDrive *>(watched)) {
        // A notch (120) is one panel; AjustarTamanyo keeps it in range and
        // ignores it when everything fits.
        const auto *frame = static_cast<QWidget *>(watched);
        FScroll -= static_cast<QWheelEvent *>(event)->angleDelta().y() * frame->height() / 120;
        AjustarTamanyo();
        return true;
    }
    if (event->type() == QEvent::Paint && !FFirstPaintLogged && qobject_cast<TFrameDrive *>(watched)) {
        FFirstPaintLogged = true;
        qCDebug(lcShell) << "first panel painted:" << watched->objectName();
    }
    return QWidget::eventFilter(watched, event);
}

void TFormMain::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (FShown)
        return;
    FShown = true;
    try {
        FormShow(this);
    } catch (const std::exception &e) {
        ReportError(MessageOf(e));
    }
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
    if (!isVisible() && !FHiddenEmpty)
        show();
    raise();
    activateWindow();
}

void TFormMain::EndSession(int signalNumber)
{
    qCDebug(lcShell) << "end of the session (signal" << signalNumber << ")";
    FUnattendedEnd = true;
    close();
}

void TFormMain::MountsChanged()
{
    // Only once the first panels exist; before that FormShow builds them.
    if (!FShown || FFatal || !TimerDiscos->Enabled())
        return;
    qCDebug(lcShell) << "mount table changed: refreshing";
    FMustReload = true;
    try {
        TimerDiscosTimer(nullptr);
    } catch (const std::exception &e) {
        ReportError(MessageOf(e));
    }
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
    try {
        TimerDiscosTimer(nullptr);
    } catch (const std::exception &e) {
        ReportError(MessageOf(e));
    }
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
                [this](QObject *sender) { Guarded([&] { actEspañolExecute(sender); }); });
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
    qCDebug(lcShell).noquote() << "menu reads:" << MenuTexts(pmTray);
}

bool TFormMain::CargarConfiguracion()
{
    if (!Configurado())
        return false;
    // One read of the file, in the order Top, Left, Intervalo, Opacidad,
    // EjecutarInicio, VerDiscosRed, Idioma; each missing or unreadable value
    // keeps its default here.
    TConfigValues defaults;
    defaults.Top = y();
    defaults.Left = x();
    defaults.Intervalo = FIntervalo;
    defaults.Opacidad = FOpacidad->DefaultValue();
    defaults.EjecutarInicio = true;
    defaults.VerDiscosRed = true;
    defaults.Idioma = -1;
    const TConfigValues values = TConfig::ReadValues(defaults);
    if (const QString warning = TConfig::LastWarning(); !warning.isEmpty())
        ReportError(warning);

    move(values.Left, values.Top);
    SetIntervalo(values.Intervalo);
    // Any level takes effect, listed in the menu or not.
    FOpacidad->SetNivel(values.Opacidad);
    FEjecutarAlInicio = values.EjecutarInicio;
    FVerDiscosRed = values.VerDiscosRed;
    FActiveLanguage = values.Idioma;
    // Two languages exist: an index the menu does not hold (a hand-edited
    // file, or one from a version with more languages) lets the locale
    // decide, as when the key is missing.
    if (FActiveLanguage != -1
        && (FActiveLanguage < 0 || FActiveLanguage >= LangManager::Instance().LanguageCount())) {
        qCInfo(lcShell) << "language index" << FActiveLanguage << "in the settings is not known; the locale decides";
        FActiveLanguage = -1;
    }
    if (FActiveLanguage == -1)
        IdiomaPorDefecto();
    qCDebug(lcShell).nospace() << "settings read: Intervalo=" << FIntervalo << " Opacidad=" << FOpacidad->Nivel()
                               << " EjecutarInicio=" << FEjecutarAlInicio << " VerDiscosRed=" << FVerDiscosRed
                               << " Idioma=" << FActiveLanguage;
    return true;
}

void TFormMain::GuardarConfiguracion()
{
    // All seven keys in one atomic replacement of the file: a failure leaves
    // the previous file whole instead of half the new values.
    TConfigValues values;
    values.Top = y();
    values.Left = x();
    values.Intervalo = FIntervalo;
    values.Opacidad = FOpacidad->Nivel();
    values.EjecutarInicio = FEjecutarAlInicio;
    values.VerDiscosRed = FVerDiscosRed;
    values.Idioma = FActiveLanguage;
    TConfig::WriteValues(values);
    qCDebug(lcShell).nospace() << "settings written: Intervalo=" << values.Intervalo << " Opacidad="
                               << values.Opacidad << " EjecutarInicio=" << values.EjecutarInicio
                               << " VerDiscosRed=" << values.VerDiscosRed << " Idioma=" << values.Idioma;
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

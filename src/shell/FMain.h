// SPDX-License-Identifier: MIT
#pragma once

#include "shell/DriveFigures.h"
#include "shell/DriveSource.h"
#include "shell/DriveStates.h"
#include "shell/ErrorReport.h"
#include "shell/MachineHeadings.h"
#include "shell/PanelColumn.h"
#include "shell/ScreenPlacement.h"

#include <QDialog>
#include <QHash>
#include <QPointer>
#include <QSet>
#include <QSize>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

class QAction;
class QMouseEvent;
class TDesktopNotifier;
class TDriveActions;
class TAction;
class TActionList;
class TFrameDrive;
class TLabel;
class TMenuItem;
class TOpacyClass;
class TPopupMenu;
class TScreenKeeper;
class TTimer;
class TTrayIcon;
struct TConfigValues;
class TVLTranslationsStorage;
class TVLanguageController;
class TWMISQL;

// The widget window: one drive panel per logical drive, stacked from the top,
// kept current by a refresh timer, moved by dragging its body; its only menu
// hangs from the notification-area icon.
//
// A frameless tool window that stays below the other windows and has an
// empty title. The window definition is the constructor (its components are
// created in definition order, so children() lists them in that order) plus
// the binary blocks under :/forms/FormMain, read by vcl::LoadWindowDefinition
// before FormCreate runs.
//
// The window holds its components, its options and the algorithms of its
// refresh cycle and menu; it hands the layout of its panels to TPanelColumn,
// dragging to WindowDrag, the settings file to TConfig (the options travel as
// one TConfigValues), telling the user about errors to TErrorReport, the
// drive commands to TDriveActions and where the drives come from to
// TDriveSource. After every refresh it hands the drives' states out
// (Refreshed).
class TFormMain : public QWidget
{
    Q_OBJECT

public:
    // Shows the fatal refresh error and ends the program. The default shows a
    // modal error box and leaves the event loop with exit code 99 once it is
    // closed; tests put their own in to observe it.
    using TFatalExit = TErrorReport::THandler;
    // Asks the first-run question (caption, text); true for Yes. The default
    // is a system question box without owner, Yes and No, Yes the default.
    using TAskQuestion = std::function<bool(const QString &caption, const QString &text)>;
    // Tells the user about a problem found while the window is destroyed (the
    // settings could not be written, a damaged settings file was set aside).
    // The default writes it to stderr and, unless the end was unattended (a
    // signal or the end of the session), also shows a modal error box.
    using TShutdownReport = TErrorReport::THandler;

    // Design size of the client area; panels span the width.
    static constexpr int DesignWidth = 339;
    static constexpr int DesignHeight = 85;
    static constexpr int FatalExitCode = 99;

    explicit TFormMain(QWidget *parent = nullptr);
    ~TFormMain() override;

    // Components of the window definition, in its order.
    TLabel *lblIni = nullptr;
    TWMISQL *WMISQL = nullptr;
    TTimer *TimerDiscos = nullptr;
    TTrayIcon *TrayIcon = nullptr;
    TPopupMenu *pmTray = nullptr;
    TMenuItem *menuVersion = nullptr;
    TMenuItem *N4 = nullptr;
    TMenuItem *Ejecutaralinicio1 = nullptr;
    TMenuItem *Idioma1 = nullptr;
    TMenuItem *Espaol1 = nullptr;
    TMenuItem *Ingls1 = nullptr;
    TMenuItem *N2 = nullptr;
    TMenuItem *N3 = nullptr;
    TMenuItem *NOpa0 = nullptr;
    TMenuItem *NOpa20 = nullptr;
    TMenuItem *NOpa40 = nullptr;
    TMenuItem *NOpa60 = nullptr;
    TMenuItem *NOpa80 = nullptr;
    TMenuItem *NOpa100 = nullptr;
    TMenuItem *Intervalodeactualizacin1 = nullptr;
    TMenuItem *N5sg1 = nullptr;
    TMenuItem *N10sg2 = nullptr;
    TMenuItem *N15sg1 = nullptr;
    TMenuItem *N30sg1 = nullptr;
    TMenuItem *N1minuto1 = nullptr;
    TMenuItem *N1 = nullptr;
    TMenuItem *Verdiscosdered1 = nullptr;
    TMenuItem *Refrescar1 = nullptr;
    TMenuItem *N5 = nullptr;
    TMenuItem *Cerrar1 = nullptr;
    TActionList *alMain = nullptr;
    TAction *actCerrar = nullptr;
    TAction *actRefrescar = nullptr;
    TAction *actEjecutarInicio = nullptr;
    TVLanguageController *vlLC = nullptr;
    TVLTranslationsStorage *vlTS = nullptr;

    // Lifecycle handlers. FormCreate runs at the end of construction,
    // FormShow on the first show, FormDestroy in the destructor.
    void FormCreate(QObject *Sender);
    void FormShow(QObject *Sender);
    void FormDestroy(QObject *Sender);

    // One query: shifts ListaDiscos into LastListaDiscos, runs the query,
    // lists the drive names and gives every existing panel its new free
    // space. A failure is counted; the fourth since start is fatal. When the
    // drives come from another machine (Host in the settings), a failure
    // only greys the panels, which keep their last figures, and the drive
    // list stays as it was.
    void ActivarComponente();
    // Destroys every panel and creates one per result object of the query
    // that ran last; runs no query itself.
    void GenerarFrames();
    // One refresh: a rebuild when the drive lists of the two previous
    // queries differ (or a rebuild is forced), an in-place update otherwise;
    // then the window is fitted and the drives are handed out (Refreshed).
    // Sender may be null.
    void TimerDiscosTimer(QObject *Sender);
    // Left button: the window follows the mouse until the button is released.
    void MouseDownToWindowMove(QWidget *Sender, QMouseEvent *event);

    // Tray-menu handlers.
    void actEjecutarInicioExecute(QObject *Sender);
    void actEspañolExecute(QObject *Sender);
    void NivelOpacidadClick(QObject *Sender);
    void IntervalosegundosClick(QObject *Sender);
    void Verdiscosdered1Click(QObject *Sender);
    void actRefrescarExecute(QObject *Sender);
    void actCerrarExecute(QObject *Sender);
    void pmTrayClose(QObject *Sender);
    void vlLCLanguageChanged(QObject *Sender);

    // Shows the machines of a Prometheus server for this run instead of the
    // source of the settings file (velmora --host); before the first show.
    void SetHostForThisRun(const QString &host) { FSource.SetHostForThisRun(host); }
    // The dialog of the other machines, while it is open (tests).
    QDialog *OtrasMaquinasDialog() const { return FOtrasMaquinasDialog; }
    QAction *OtrasMaquinasItem() const { return FOtrasMaquinas; }
    // Asks the window to come to the front (a second start of the program).
    void BringToFront();
    // The mount table changed: refresh at once with a rebuild.
    void MountsChanged();
    // Another machine's source gave its first answer after the refresh that
    // asked for it: refresh at once with a rebuild, not at the next tick.
    void SourceAnswered();
    // The session ends or the process was asked to stop (SIGTERM, SIGINT,
    // SIGHUP; 0 for the session manager): the window closes like with the
    // close command, but nobody may be there to read a message box.
    void EndSession(int signalNumber);
    // The process ends without returning to main (Qt's X11 connection broke
    // and it calls exit): the settings are written as at a normal end, and
    // any problem goes to the log only, as no box can be shown.
    void SaveAtExit();

    QStringList ListaDiscos() const { return FListaDiscos; }
    QStringList LastListaDiscos() const { return FLastListaDiscos; }
    TOpacyClass *Opacidad() const { return FOpacidad.get(); }
    // The drive commands and the drives the user hid.
    TDriveActions *DriveActions() const { return FActions.get(); }
    int Intervalo() const { return FIntervalo; }
    void SetIntervalo(int value);
    bool Configurado() const;
    bool VerDiscosRed() const { return FVerDiscosRed; }
    void SetVerDiscosRed(bool value);
    int ActiveLanguage() const { return FActiveLanguage; }
    void SetActiveLanguage(int value);
    int Reintentos() const { return FReintentos; }
    bool MustReload() const { return FMustReload; }

    // The client size the last fitting gave: (0, 0) when nothing was visible
    // (the window is then hidden, since a window cannot be empty); never taller
    // than the usable height of the screen, the wheel scrolling the rest.
    QSize FittedSize() const { return FColumn->FittedSize(); }
    // The panels, in the order of the children.
    QList<TFrameDrive *> Frames() const { return FColumn->Frames(); }

    void SetFatalExit(TFatalExit handler) { FErrorReport.SetFatalHandler(std::move(handler)); }
    void SetAskQuestion(TAskQuestion handler) { FAskQuestion = std::move(handler); }
    void SetShutdownReport(TShutdownReport handler) { FErrorReport.SetShutdownHandler(std::move(handler)); }

signals:
    // A refresh is over (also a drive hidden): the drives in the order of the
    // panels.
    void Refreshed(const TDriveStates &drives);

public:
    // What the drive history says of each drive: a line for its panel's
    // tool tip (by name), and the drives whose inodes run out, which the next
    // refreshes hand out as full.
    void SetDriveNotes(const QHash<QString, QString> &notes, const QSet<QString> &inodesOut);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    void CreateComponents();
    TMenuItem *NewItem(const char *name, const QString &caption, qint64 tag = 0);

    bool HayCambios();
    void RecargarFrames();
    TFrameDrive *BuscarFrame(const QString &name) const;
    void EnlazarFrame(TFrameDrive *frame);
    void AjustarTamanyo();
    // The headings take the state of their machine's source.
    void ShowFatalError(const QString &message);
    void PreguntarEjecutarAlInicio();

    // The options as the settings file holds them.
    TConfigValues Opciones() const;
    bool CargarConfiguracion();
    void GuardarConfiguracion();
    // Writes the settings as the program ends; a problem goes to the
    // shutdown report, never out of the caller (a destructor, an exit handler).
    void GuardarAlTerminar();
    void ActualizarMenu();
    void MarcarOpacidad();
    void IdiomaPorDefecto();

    bool FMustReload = false;
    int FActiveLanguage = 0;
    // Items for the languages after Spanish and English (index 2 on), from
    // the user's translation folder.
    QList<TMenuItem *> FMoreLanguages;
    void AddLanguageItems();
    int FReintentos = 0;
    TDriveSource FSource;
    bool FVerDiscosRed = false;
    bool FEjecutarAlInicio = false;
    QStringList FListaDiscos;
    QStringList FLastListaDiscos;
    int FIntervalo = 15;
    std::unique_ptr<TOpacyClass> FOpacidad;

    // The drive commands (TDriveActions) and what the window redoes after
    // them; the panels of hidden drives out of sight; the refresh's result
    // handed out.
    void CrearAccionesUnidad();
    // The menu item "Otras máquinas…" (made at run time, before Refrescar)
    // and its dialog; the list it gives is used at once and written.
    void CrearOtrasMaquinas();
    void OtrasMaquinasClick();
    void AplicarOtrasMaquinas(const TOtherMachines &machines);
    QAction *FOtrasMaquinas = nullptr;
    QPointer<QDialog> FOtrasMaquinasDialog;
    // The list waits for the settings file, which hiding it must not make.
    bool FOtrasMaquinasPendientes = false;
    void AplicarOcultas();
    void HandOutRefresh();
    // Debug lines: which items are checked, what the menu reads.
    void LogMenuMarks() const;
    void LogMenuTexts() const;
    QString FPanelesMostrados;
    std::unique_ptr<TDesktopNotifier> FNotifier;
    std::unique_ptr<TDriveActions> FActions;
    // What the last query said of each drive beyond its figures (identity,
    // file system, read-only), and what the drive history said back.
    QHash<QString, QString> FNotas;
    QSet<QString> FSinInodos;

    std::unique_ptr<TPanelColumn> FColumn;
    // Each machine's heading and the source it names.
    TMachineHeadings FHeadings{FColumn.get()};
    // Made once the first panels are in: the window then has its height.
    TScreenKeeper *FScreenKeeper = nullptr;
    // Top and Left of the settings are the screen's own (device) pixels.
    TSavedPlace FPlace;
    TDriveFigures FFigures;
    // The drives of the last query that answered, in its order (the order of
    // the panels): what HandOutRefresh hands out.
    TDriveStates FQueried;
    TErrorReport FErrorReport;
    TAskQuestion FAskQuestion;
    bool FShown = false;
    bool FFatal = false;
    bool FClosing = false;
    int FExitCode = 0;
};

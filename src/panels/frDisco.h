// SPDX-License-Identifier: MIT
#pragma once

#include "wbem/DriveType.h"

#include <QFrame>
#include <QPoint>
#include <QPointer>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

class QLabel;
class QMouseEvent;
class TCaptionPanel;
class TLineShape;
class TStateProgressBar;
class TSvgImage;
class TWMISQL;

// The drive kinds are the query's own enumeration.
using platform::TDriveType;

// Unit of a panel's figures. tmKB is never chosen; it marks a panel whose
// size was never set.
enum TMedida : std::uint8_t { tmKB = 0, tmMB = 1, tmGB = 2 };

static_assert(sizeof(TDriveType) == 1 && sizeof(TMedida) == 1);

// MB and GB of a byte count, as BytesToUnits gives them.
struct TUnits
{
    double MB = 0;
    double GB = 0;
};

// The panel of one logical drive inside the widget window: a picture of the
// drive's kind, a title ("Disco local (C:) - NTFS"), a bar filled with the used
// share that turns red at 90 % or more, and a line such as
// "45 GB disponibles de 237 GB". The window hands it the drive's property list
// (Propiedades) and, at each refresh, the new free space (Libre + UpdateSize).
// The panel does no querying of its own.
//
// Design size 294 x 58: the title panel (17 high) above the data panel (41
// high). When the window stretches the panel, the compression mark stays at
// the right edge of the title and the bar grows with the width.
//
// Mouse-down hooks: each inner control can carry one mouse-down handler
// (SetOnMouseDown), the counterpart of a control's mouse-down event. A press
// on a control that has a handler goes to that handler only and is not passed
// on to the control or its parents; a press on a control without one takes
// Qt's normal course. A new panel hooks MouseDownToWindowMove to pnlTitulo
// and imgDrive; the window replaces the handlers of pnlTitulo, pnlDatos,
// imgDrive, pbCapacidad and lblEspacio with its own.
//
// The panel's values and what it shows (title, free-space line, bar, picture,
// hooks) live in the panel itself; its inner controls only display them. A
// column of thousands of drives shows a screenful of them, so a panel can be
// made without its controls (TControls::Deferred) and have them built when
// it comes into view and released when it goes far out of it: its values,
// its tool tip, its accessible name and description and its hooks stay the
// same either way. Asking for a control (pnlTitulo() ...) builds them.
class TFrameDrive : public QFrame
{
    Q_OBJECT

public:
    using TMouseDownEvent = std::function<void(QWidget *sender, QMouseEvent *event)>;
    // A context menu asked for on a control, at a point of the screen.
    using TContextMenuEvent = std::function<void(QWidget *sender, const QPoint &globalPos)>;

    // The inner controls, in the order the panel makes them.
    enum class TPart : quint8 { Titulo, Compressed, Datos, Drive, Espacio, Inferior, Capacidad };
    static constexpr int PartCount = 7;

    enum class TControls : quint8 {
        Built,    // the inner controls are made with the panel
        Deferred, // made at the first need (BuildControls, or a control asked for)
    };

    explicit TFrameDrive(QWidget *parent = nullptr, TControls controls = TControls::Built);
    ~TFrameDrive() override;

    // True while the inner controls exist.
    bool ControlsBuilt() const { return FPnlTitulo != nullptr; }
    // Makes the inner controls, showing the panel's values as they are now.
    void BuildControls();
    // Lets the inner controls go (they are hidden at once and deleted from
    // the event loop, so a control whose handler is running stays valid);
    // the panel keeps every value and hook. Nothing happens without them.
    void ReleaseControls();

    QSize sizeHint() const override;

    // The query component the panel belongs to; not owned (the reference
    // clears itself when the component is destroyed).
    TWMISQL *DiskDriveInfo() const;
    void SetDiskDriveInfo(TWMISQL *query);

    // Index of the drive's object in the query component (1-based). Writing
    // activates the component when it is inactive, selects that object and
    // re-reads Propiedades (not the component's current properties).
    int Indice() const { return FIndice; }
    void SetIndice(int index);

    // The property list as one text ("Name=C:" CR LF "Size=..." ...). Writing
    // runs UpdateData.
    QString Propiedades() const { return FPropiedades; }
    void SetPropiedades(const QString &text);

    QString Nombre() const { return FNombre; }
    void SetNombre(const QString &name); // refreshes the title

    // Total size in bytes. Writing converts it (SizeMB, SizeGB) and chooses
    // the unit: MB below 9999 MB (cut to whole MB), GB from there on.
    quint64 Tamanyo() const { return FTamanyo; }
    void SetTamanyo(quint64 bytes);

    // Free space in bytes. Writing converts it (LibreMB, LibreGB) but neither
    // changes the unit nor the display: call UpdateSize for that.
    quint64 Libre() const { return FLibre; }
    void SetLibre(quint64 bytes);

    // A drive that reports no size or no free space (a reader without a
    // medium, a network mount that did not answer in time) shows no figures
    // and an empty bar. UpdateData marks a missing "Size" or "FreeSpace" this
    // way; ClearTamanyo/ClearLibre do it by hand (the value becomes 0, and for
    // the size the unit goes back to tmKB). Writing Tamanyo or Libre ends it.
    bool TamanyoAusente() const { return FTamanyoAusente; }
    bool LibreAusente() const { return FLibreAusente; }
    void ClearTamanyo();
    void ClearLibre();

    double SizeMB() const { return FSizeMB; }
    double SizeGB() const { return FSizeGB; }
    double LibreMB() const { return FLibreMB; }
    double LibreGB() const { return FLibreGB; }

    // Writing shows the picture of that kind in imgDrive (a question mark for
    // numbers the drive query never gives).
    TDriveType DriveType() const { return FDriveType; }
    void SetDriveType(TDriveType type);

    TMedida TipoMedida() const { return FTipoMedida; }

    // Writing shows (true) or hides (false) the compression mark.
    bool Comprimido() const { return FComprimido; }
    void SetComprimido(bool compressed);

    QString Descripcion() const { return FDescripcion; }
    void SetDescripcion(const QString &description);

    QString SistemaFicheros() const { return FSistemaFicheros; }
    void SetSistemaFicheros(const QString &fileSystem); // refreshes the title

    // Reads every value from Propiedades, in this order: DriveType (not an
    // integer: Unknown), Name, Size, FreeSpace, Compressed ("True"/"False" in
    // any case or a number; else false), Description, FileSystem; then
    // UpdateSize. Throws EConvertError ("'%s' is not a valid integer value")
    // for a Size or FreeSpace that is present but not a 64-bit integer; the
    // values read before it stay set and UpdateSize does not run.
    void UpdateData();

    // Sets the free-space text and the bar from the stored values: the text
    // "<free> GB disponibles de <total> GB" (or MB) with the current text of
    // the constant "msgdisponibles", and the bar at the used share of the
    // bytes (UsedPercent), in its error state at 90 or more. An Unknown drive
    // or one without figures: empty text, empty bar.
    void UpdateSize();

    // Sets the title to "Disco local (" + Nombre + ") - " + SistemaFicheros.
    void UpdateTitle();
    // A line shown below the tool tip's own text (when a drive will be
    // full, why it counts as full); empty for none.
    void SetToolTipNote(const QString &note);

    // Mouse-down handler that drags the widget: on the left button the
    // panel's top-level window moves with the mouse (WindowDrag). Other
    // buttons do nothing.
    void MouseDownToWindowMove(QWidget *sender, QMouseEvent *event);

    // x bytes in MB (rounded to a whole number, halves to even) and in GB
    // (rounded to two decimals, halves away from zero).
    static TUnits BytesToUnits(double bytes);
    // The unit a total of that many bytes is shown in: MB below 9999 whole
    // MB, GB from there on.
    static TMedida UnitFor(quint64 sizeBytes);
    // A figure as the free-space line writes it: "45 GB", "943 MB" (the
    // value of BytesToUnits in that unit, cut to its integer part).
    static QString FigureText(quint64 bytes, TMedida unit);
    // The free space of a drive as its panel shows it, in the unit its total
    // chooses: what any other text about the drive (a notice) quotes.
    static QString FreeSpaceText(quint64 freeBytes, quint64 sizeBytes);
    // The used share in whole percent from the bytes themselves (100 minus
    // the free share cut down), 0 to 100: an empty drive of a few KiB is 0,
    // whatever its figures round to. A total of 0 bytes holds nothing used
    // (0); free space above the total is an empty bar too.
    static int UsedPercent(quint64 freeBytes, quint64 sizeBytes);

    // The mouse-down handler of one of the panel's inner controls; an empty
    // handler removes it. Controls that are not inside the panel are ignored.
    void SetOnMouseDown(QWidget *control, TMouseDownEvent handler);
    TMouseDownEvent OnMouseDown(QWidget *control) const;
    // The same by part, whether the controls are built or not.
    void SetOnMouseDown(TPart part, TMouseDownEvent handler);
    // A context-menu handler for a part (the control then asks for custom
    // context menus); an empty handler gives the control its default back.
    void SetOnContextMenu(TPart part, TContextMenuEvent handler);

    // What the panel shows, built or not: the title, the free-space line and
    // the bar's state.
    QString Titulo() const { return FTitulo; }
    QString Espacio() const { return FEspacio; }
    bool CapacidadEnError() const { return FEnError; }

    // The inner controls; asking for one builds them.
    TCaptionPanel *pnlTitulo() const { return Built()->FPnlTitulo; }
    TSvgImage *imgCompressed() const { return Built()->FImgCompressed; }
    QFrame *pnlDatos() const { return Built()->FPnlDatos; }
    TSvgImage *imgDrive() const { return Built()->FImgDrive; }
    QLabel *lblEspacio() const { return Built()->FLblEspacio; }
    TLineShape *shInferior() const { return Built()->FShInferior; }
    TStateProgressBar *pbCapacidad() const { return Built()->FPbCapacidad; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool event(QEvent *event) override;

private:
    TFrameDrive *Built() const;
    void LayoutControls();
    void UpdateToolTip();
    QWidget *PartWidget(TPart part) const;
    // The part a widget is, or -1 when it is none of the built controls.
    int PartIndex(const QObject *widget) const;
    void ApplyContextMenu(TPart part);

    // Null while the controls are not built.
    TCaptionPanel *FPnlTitulo = nullptr;
    TSvgImage *FImgCompressed = nullptr;
    QFrame *FPnlDatos = nullptr;
    TSvgImage *FImgDrive = nullptr;
    QLabel *FLblEspacio = nullptr;
    TLineShape *FShInferior = nullptr;
    TStateProgressBar *FPbCapacidad = nullptr;
    std::array<TMouseDownEvent, PartCount> FMouseDown;
    std::array<TContextMenuEvent, PartCount> FContextMenu;

    // What the controls show, kept while they are not built.
    QString FToolTip;
    QString FToolTipNote;
    QString FTitulo;
    QString FEspacio;
    QString FPicture;
    bool FMarkVisible = true;
    int FPosicion = 50;
    bool FEnError = false;

    QPointer<TWMISQL> FDiskDriveInfo;
    QString FPropiedades;
    QString FNombre;
    quint64 FTamanyo = 0;
    quint64 FLibre = 0;
    double FLibreGB = 0;
    double FSizeGB = 0;
    double FLibreMB = 0;
    double FSizeMB = 0;
    TDriveType FDriveType = TDriveType::Unknown;
    TMedida FTipoMedida = tmKB;
    QString FSistemaFicheros;
    bool FComprimido = false;
    QString FDescripcion;
    int FIndice = 0;
    bool FTamanyoAusente = false;
    bool FLibreAusente = false;
    // What UpdateSize last put on the panel, and from what: a refresh that
    // brings the same figures in the same language changes nothing on it.
    struct TShownSize
    {
        int mode = -1; // -1 no figures, else the unit shown
        quint64 libre = 0;
        quint64 size = 0;
        QString available;
        bool operator==(const TShownSize &) const = default;
    };
    std::optional<TShownSize> FShownSize;
};

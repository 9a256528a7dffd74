// SPDX-License-Identifier: MIT
#include "panels/frDisco.h"

#include "localization/ConstantText.h"
#include "panels/DriveControls.h"
#include "panels/DriveFullness.h"
#include "panels/DriveName.h"
#include "panels/WindowDrag.h"
#include "vcl/Conversions.h"
#include "wmi/CWMISQL.h"
#include "wmi/PropertyText.h"

#include <QHelpEvent>
#include <QLabel>
#include <QLoggingCategory>
#include <QMouseEvent>
#include <QToolTip>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>

// Debug lines are off unless QT_LOGGING_RULES="velmora.panels.debug=true".
Q_LOGGING_CATEGORY(lcPanels, "velmora.panels", QtInfoMsg)

// Outside any namespace, as Q_INIT_RESOURCE requires: the pictures live in a
// static library, so their registration has to be pulled in by a call.
static void InitDrivePictures()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(drives);
        return true;
    }();
    Q_UNUSED(done);
}

namespace {

// Design geometry of the panel (pixels at a width of 294).
constexpr int kDesignWidth = 294;
constexpr int kTitleHeight = 17;
constexpr int kDataHeight = 41;
constexpr int kMarkSize = 16;
constexpr int kMarkRightGap = 6; // 294 - (272 + 16)
constexpr int kPictureSize = 40;
constexpr int kBarLeft = 56;
constexpr int kBarTop = 4;
constexpr int kBarRightGap = 16; // 294 - (56 + 222)
constexpr int kBarHeight = 17;
constexpr int kLabelLeft = 64;
constexpr int kLabelTop = 22;
constexpr int kLabelWidth = 166;
constexpr int kLabelHeight = 15;

const QColor kCoral(255, 127, 80);
const QColor kSilver(192, 192, 192);

// Pictures of the drive kinds, indexed by TDriveType.
constexpr std::array<const char *, 7> kDrivePictures{{
    ":/drives/unknown.svg", // Unknown
    ":/drives/cable.svg",   // NoRootDirectory
    ":/drives/usb.svg",     // RemovableDisk
    ":/drives/hdd.svg",     // LocalDisk
    ":/drives/network.svg", // NetworkDrive
    ":/drives/optical.svg", // CompactDisc
    ":/drives/ram.svg",     // RAMDisk
}};
constexpr const char *kPlaceholderPicture = ":/drives/placeholder.svg";
constexpr const char *kCompressedPicture = ":/drives/compressed.svg";

// Rounds to two decimals, halves away from zero, as the number reads in its
// shortest decimal text (the text that converts back to the same double). So
// 45.995, whose nearest double lies a hair below 45.995, gives 46.00, and
// 2.675 gives 2.68: what a reader of the figures expects, where printf's
// "%.2f" works on the exact binary value and gives 45.99 and 2.67. Doing it on
// text of our own also keeps the user's number format (decimal comma or
// point) out of the result.
double RoundTo2Decimals(double value)
{
    if (!std::isfinite(value))
        return value;
    const double magnitude = std::fabs(value);
    if (magnitude < 0.001)
        return 0.0;
    if (magnitude >= 1e15) // no room left for decimals worth rounding
        return value;
    std::array<char, 64> text{};
    const auto [end, ec] = std::to_chars(text.data(), text.data() + text.size(), magnitude,
                                         std::chars_format::fixed);
    if (ec != std::errc())
        return value;
    std::int64_t hundredths = 0;
    const char *p = text.data();
    for (; p != end && *p != '.'; ++p)
        hundredths = hundredths * 10 + (*p - '0');
    int decimals = 0;
    bool roundUp = false;
    if (p != end)
        ++p; // past the point
    for (; p != end; ++p, ++decimals) {
        if (decimals < 2) {
            hundredths = hundredths * 10 + (*p - '0');
        } else {
            roundUp = *p >= '5';
            break;
        }
    }
    for (; decimals < 2; ++decimals)
        hundredths *= 10;
    if (roundUp)
        ++hundredths;
    // hundredths < 2^53, so this is the double nearest to the decimal result,
    // the same one that reading its text back would give.
    const double rounded = static_cast<double>(hundredths) / 100.0;
    return value < 0 ? -rounded : rounded;
}

} // namespace

TFrameDrive::TFrameDrive(QWidget *parent, TControls controls) : QFrame(parent)
{
    InitDrivePictures();
    setObjectName(QStringLiteral("FrameDrive"));
    // As high as its two panels; as wide as the window makes it.
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);

    FTitulo = QStringLiteral("Disco local (C:)");
    FEspacio = QStringLiteral("1045 GB disponibles de 1024 GB");
    FPicture = QString::fromLatin1(kPlaceholderPicture);
    const auto moveWindow = [this](QWidget *sender, QMouseEvent *event) { MouseDownToWindowMove(sender, event); };
    FMouseDown[std::size_t(TPart::Titulo)] = moveWindow;
    FMouseDown[std::size_t(TPart::Drive)] = moveWindow;

    resize(kDesignWidth, kTitleHeight + kDataHeight);
    if (controls == TControls::Built)
        BuildControls();
}

TFrameDrive::~TFrameDrive() = default;

TFrameDrive *TFrameDrive::Built() const
{
    // Building the controls changes what the panel is made of, not what it
    // shows: a reader asking for a control may have it.
    auto *self = const_cast<TFrameDrive *>(this);
    if (!ControlsBuilt())
        self->BuildControls();
    return self;
}

void TFrameDrive::BuildControls()
{
    if (ControlsBuilt())
        return;
    FPnlTitulo = new TCaptionPanel(this);
    FPnlTitulo->setObjectName(QStringLiteral("pnlTitulo"));
    FPnlTitulo->SetCaption(FTitulo);
    FPnlTitulo->SetSideRoom(kMarkRightGap + kMarkSize);

    FImgCompressed = new TSvgImage(FPnlTitulo);
    FImgCompressed->setObjectName(QStringLiteral("imgCompressed"));
    FImgCompressed->SetPicture(QString::fromLatin1(kCompressedPicture));
    FImgCompressed->setToolTip(QStringLiteral("Indica que el disco está comprimido"));
    FImgCompressed->setVisible(FMarkVisible);

    FPnlDatos = new QFrame(this);
    FPnlDatos->setObjectName(QStringLiteral("pnlDatos"));
    FPnlDatos->setFrameShape(QFrame::NoFrame);

    FImgDrive = new TSvgImage(FPnlDatos);
    FImgDrive->setObjectName(QStringLiteral("imgDrive"));
    FImgDrive->SetPicture(FPicture);

    FLblEspacio = new QLabel(FEspacio, FPnlDatos);
    FLblEspacio->setObjectName(QStringLiteral("lblEspacio"));
    FLblEspacio->setTextFormat(Qt::PlainText);

    FShInferior = new TLineShape(kSilver, FPnlDatos);
    FShInferior->setObjectName(QStringLiteral("shInferior"));

    FPbCapacidad = new TStateProgressBar(kCoral, FPnlDatos);
    FPbCapacidad->setObjectName(QStringLiteral("pbCapacidad"));
    FPbCapacidad->setRange(0, 100);
    FPbCapacidad->setValue(FPosicion);
    FPbCapacidad->SetState(FEnError ? TStateProgressBar::pbsError : TStateProgressBar::pbsNormal);

    for (int i = 0; i < PartCount; ++i) {
        QWidget *control = PartWidget(TPart(i));
        control->installEventFilter(this);
        ApplyContextMenu(TPart(i));
        // Made into a panel already on screen, a control is not shown with
        // it.
        if (isVisible() && control != FImgCompressed)
            control->show();
    }
    LayoutControls();
}

void TFrameDrive::ReleaseControls()
{
    if (!ControlsBuilt())
        return;
    for (QWidget *control : {static_cast<QWidget *>(FPnlTitulo), static_cast<QWidget *>(FPnlDatos)}) {
        control->hide();
        control->deleteLater();
    }
    FPnlTitulo = nullptr;
    FImgCompressed = nullptr;
    FPnlDatos = nullptr;
    FImgDrive = nullptr;
    FLblEspacio = nullptr;
    FShInferior = nullptr;
    FPbCapacidad = nullptr;
}

QWidget *TFrameDrive::PartWidget(TPart part) const
{
    switch (part) {
    case TPart::Titulo:
        return FPnlTitulo;
    case TPart::Compressed:
        return FImgCompressed;
    case TPart::Datos:
        return FPnlDatos;
    case TPart::Drive:
        return FImgDrive;
    case TPart::Espacio:
        return FLblEspacio;
    case TPart::Inferior:
        return FShInferior;
    case TPart::Capacidad:
        return FPbCapacidad;
    }
    return nullptr;
}

int TFrameDrive::PartIndex(const QObject *widget) const
{
    if (!widget || !ControlsBuilt())
        return -1;
    for (int i = 0; i < PartCount; ++i)
        if (PartWidget(TPart(i)) == widget)
            return i;
    return -1;
}

void TFrameDrive::ApplyContextMenu(TPart part)
{
    QWidget *control = PartWidget(part);
    if (!control)
        return;
    disconnect(control, &QWidget::customContextMenuRequested, this, nullptr);
    if (!FContextMenu[std::size_t(part)]) {
        control->setContextMenuPolicy(Qt::DefaultContextMenu);
        return;
    }
    control->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(control, &QWidget::customContextMenuRequested, this, [this, part, control](const QPoint &pos) {
        // A copy: the handler may replace itself.
        if (const TContextMenuEvent handler = FContextMenu[std::size_t(part)])
            handler(control, control->mapToGlobal(pos));
    });
}

QSize TFrameDrive::sizeHint() const
{
    return {kDesignWidth, kTitleHeight + kDataHeight};
}

TWMISQL *TFrameDrive::DiskDriveInfo() const
{
    return FDiskDriveInfo.data();
}

void TFrameDrive::SetDiskDriveInfo(TWMISQL *query)
{
    FDiskDriveInfo = query;
}

void TFrameDrive::SetIndice(int index)
{
    FIndice = index;
    if (!FDiskDriveInfo)
        return;
    if (!FDiskDriveInfo->Active())
        FDiskDriveInfo->SetActive(true);
    FDiskDriveInfo->SetObjectIndex(index);
    UpdateData();
}

void TFrameDrive::SetPropiedades(const QString &text)
{
    FPropiedades = text;
    UpdateData();
}

void TFrameDrive::SetNombre(const QString &name)
{
    FNombre = name;
    UpdateTitle();
}

void TFrameDrive::SetTamanyo(quint64 bytes)
{
    FTamanyo = bytes;
    FTamanyoAusente = false;
    const TUnits units = BytesToUnits(static_cast<double>(bytes));
    FSizeMB = units.MB;
    FSizeGB = units.GB;
    FTipoMedida = UnitFor(bytes);
}

void TFrameDrive::SetLibre(quint64 bytes)
{
    FLibre = bytes;
    FLibreAusente = false;
    const TUnits units = BytesToUnits(static_cast<double>(bytes));
    FLibreMB = units.MB;
    FLibreGB = units.GB;
}

void TFrameDrive::ClearTamanyo()
{
    FTamanyo = 0;
    FSizeMB = 0;
    FSizeGB = 0;
    FTipoMedida = tmKB;
    FTamanyoAusente = true;
}

void TFrameDrive::ClearLibre()
{
    FLibre = 0;
    FLibreMB = 0;
    FLibreGB = 0;
    FLibreAusente = true;
}

void TFrameDrive::SetDriveType(TDriveType type)
{
    FDriveType = type;
    const auto index = static_cast<std::size_t>(type);
    FPicture = QString::fromLatin1(index < kDrivePictures.size() ? kDrivePictures[index] : kDrivePictures[0]);
    if (FImgDrive)
        FImgDrive->SetPicture(FPicture);
}

void TFrameDrive::SetComprimido(bool compressed)
{
    FComprimido = compressed;
    FMarkVisible = compressed;
    if (FImgCompressed)
        FImgCompressed->setVisible(compressed);
}

void TFrameDrive::SetDescripcion(const QString &description)
{
    FDescripcion = description;
}

void TFrameDrive::SetSistemaFicheros(const QString &fileSystem)
{
    FSistemaFicheros = fileSystem;
    UpdateTitle();
}

void TFrameDrive::UpdateData()
{
    const QStringList items = SplitPropertyText(FPropiedades);

    const auto type = PropertyInt32(PropertyValue(items, QStringLiteral("DriveType")));
    SetDriveType(static_cast<TDriveType>(static_cast<quint8>(type.value_or(0))));
    SetNombre(PropertyValue(items, QStringLiteral("Name")));

    // A missing or empty Size or FreeSpace means the system had no figure
    // for the drive: it is shown without figures. Text that is there but is
    // not a number is an error.
    const QString size = PropertyValue(items, QStringLiteral("Size"));
    if (size.isEmpty())
        ClearTamanyo();
    else
        SetTamanyo(StrToUInt64(size));
    const QString freeSpace = PropertyValue(items, QStringLiteral("FreeSpace"));
    if (freeSpace.isEmpty())
        ClearLibre();
    else
        SetLibre(StrToUInt64(freeSpace));

    SetComprimido(vcl::StrToBoolDef(PropertyValue(items, QStringLiteral("Compressed")), false));
    SetDescripcion(PropertyValue(items, QStringLiteral("Description")));
    SetSistemaFicheros(PropertyValue(items, QStringLiteral("FileSystem")));
    UpdateSize();
}

void TFrameDrive::UpdateSize()
{
    TShownSize shown;
    if (FDriveType == TDriveType::Unknown || FTamanyoAusente || FLibreAusente)
        shown.mode = -1;
    else if (FTipoMedida == tmGB || FTipoMedida == tmMB)
        shown = {int(FTipoMedida), FLibre, FTamanyo, {}};
    else
        shown.mode = int(tmKB);
    if (shown.mode == int(tmGB) || shown.mode == int(tmMB))
        shown.available = ConstantText(QStringLiteral("msgdisponibles"));
    if (FShownSize == shown)
        return;
    FShownSize = shown;

    int fill = 0;
    if (shown.mode == -1) {
        FEspacio.clear();
    } else if (shown.mode != int(tmKB)) {
        const auto unit = TMedida(shown.mode);
        FEspacio = FigureText(shown.libre, unit) + QLatin1Char(' ') + shown.available + QLatin1Char(' ')
            + FigureText(shown.size, unit);
        // From the bytes, not from the rounded figures: a RAM disk of 4 KiB
        // reads "0 MB ... de 0 MB" but is empty, not full.
        fill = DriveFullness::UsedPercent(shown.libre, shown.size);
    }
    // tmKB: a size was never set; the text stays as it is.

    FPosicion = fill;
    FEnError = shown.mode != -1 && shown.mode != int(tmKB)
        && DriveFullness::IsDriveFull(FDriveType, shown.libre, shown.size);
    if (FLblEspacio) {
        FLblEspacio->setText(FEspacio);
        FLblEspacio->resize(std::max(kLabelWidth, FLblEspacio->sizeHint().width()),
                            std::max(kLabelHeight, FLblEspacio->sizeHint().height()));
        FPbCapacidad->setValue(FPosicion);
        FPbCapacidad->SetState(FEnError ? TStateProgressBar::pbsError : TStateProgressBar::pbsNormal);
        FPbCapacidad->update();
    }
    // A screen reader reads the panel as its title and this line; the debug
    // line lets a test see what a panel shows without reading pixels.
    setAccessibleDescription(FEspacio);
    UpdateToolTip();
    qCDebug(lcPanels).noquote() << "panel" << FNombre << "reads:" << FEspacio;
}

void TFrameDrive::UpdateTitle()
{
    // The name itself, not the escaped text that keys the panel.
    FTitulo = QStringLiteral("Disco local (") + DriveNameShown(FNombre) + QStringLiteral(") - ")
        + FSistemaFicheros;
    if (FPnlTitulo)
        FPnlTitulo->SetCaption(FTitulo);
    setAccessibleName(FTitulo);
    UpdateToolTip();
}

void TFrameDrive::UpdateToolTip()
{
    // The whole title, which the panel may show cut, and the free-space line.
    FToolTip = FTitulo;
    if (!FEspacio.isEmpty())
        FToolTip += QLatin1Char('\n') + FEspacio;
    if (!FToolTipNote.isEmpty())
        FToolTip += QLatin1Char('\n') + FToolTipNote;
}

void TFrameDrive::SetToolTipNote(const QString &note)
{
    if (note == FToolTipNote)
        return;
    FToolTipNote = note;
    UpdateToolTip();
    qCDebug(lcPanels).noquote() << "panel" << FNombre << "note:" << note;
}

bool TFrameDrive::event(QEvent *event)
{
    // Shown from here rather than kept as the widget's tooltip: a screen
    // reader would read that as the description of a panel without figures,
    // and a greyed panel's tooltip (PanelFailure) tells why instead. Names
    // are plain text, whatever markup they look like.
    if (event->type() == QEvent::ToolTip && toolTip().isEmpty() && !FToolTip.isEmpty()) {
        // Markup of its own, every character escaped; a long path is not
        // broken over lines.
        QString tip = FToolTip.toHtmlEscaped();
        tip.replace(QLatin1Char('\n'), QLatin1String("<br>"));
        QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(),
                           QStringLiteral("<p style=\"white-space:pre\">") + tip + QStringLiteral("</p>"), this);
        return true;
    }
    return QFrame::event(event);
}

void TFrameDrive::MouseDownToWindowMove(QWidget *, QMouseEvent *event)
{
    WindowDrag::Start(this, event);
}

TUnits TFrameDrive::BytesToUnits(double bytes)
{
    if (bytes == 0)
        return {};
    // std::nearbyint rounds in the current rounding mode, round-to-nearest
    // with halves to even unless someone changed it.
    return {std::nearbyint(bytes / 1048576.0), RoundTo2Decimals(bytes / 1073741824.0)};
}

TMedida TFrameDrive::UnitFor(quint64 sizeBytes)
{
    // 9999, not 10000: from 9999 whole MB on the total is shown in GB.
    return sizeBytes / 1024 / 1024 < 9999 ? tmMB : tmGB;
}

QString TFrameDrive::FigureText(quint64 bytes, TMedida unit)
{
    const TUnits units = BytesToUnits(static_cast<double>(bytes));
    if (unit == tmGB)
        return QString::number(static_cast<qint64>(std::trunc(units.GB))) + QLatin1String(" GB");
    return QString::number(static_cast<qint64>(std::trunc(units.MB))) + QLatin1String(" MB");
}

QString TFrameDrive::FreeSpaceText(quint64 freeBytes, quint64 sizeBytes)
{
    return FigureText(freeBytes, UnitFor(sizeBytes));
}

int TFrameDrive::UsedPercent(quint64 freeBytes, quint64 sizeBytes)
{
    return DriveFullness::UsedPercent(freeBytes, sizeBytes);
}

void TFrameDrive::SetOnMouseDown(QWidget *control, TMouseDownEvent handler)
{
    const int part = PartIndex(control);
    if (part < 0) {
        qCWarning(lcPanels) << "mouse-down handler for a control outside the panel ignored:" << control;
        return;
    }
    FMouseDown[std::size_t(part)] = std::move(handler);
}

TFrameDrive::TMouseDownEvent TFrameDrive::OnMouseDown(QWidget *control) const
{
    const int part = PartIndex(control);
    return part < 0 ? TMouseDownEvent() : FMouseDown[std::size_t(part)];
}

void TFrameDrive::SetOnMouseDown(TPart part, TMouseDownEvent handler)
{
    FMouseDown[std::size_t(part)] = std::move(handler);
}

void TFrameDrive::SetOnContextMenu(TPart part, TContextMenuEvent handler)
{
    FContextMenu[std::size_t(part)] = std::move(handler);
    ApplyContextMenu(part);
}

bool TFrameDrive::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
        const int part = PartIndex(watched);
        if (part >= 0 && FMouseDown[std::size_t(part)]) {
            // A copy: the handler may replace itself or destroy the panel.
            const TMouseDownEvent handler = FMouseDown[std::size_t(part)];
            event->accept();
            handler(static_cast<QWidget *>(watched), static_cast<QMouseEvent *>(event));
            return true;
        }
    }
    return QFrame::eventFilter(watched, event);
}

void TFrameDrive::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    LayoutControls();
}

void TFrameDrive::LayoutControls()
{
    if (!ControlsBuilt())
        return;
    const int w = width();
    FPnlTitulo->setGeometry(0, 0, w, kTitleHeight);
    FImgCompressed->setGeometry(w - kMarkRightGap - kMarkSize, 0, kMarkSize, kMarkSize);
    FPnlDatos->setGeometry(0, kTitleHeight, w, kDataHeight);
    FImgDrive->setGeometry(0, 0, kPictureSize, kPictureSize);
    FShInferior->setGeometry(0, kDataHeight - 1, w, 1);
    FLblEspacio->setGeometry(kLabelLeft, kLabelTop, std::max(kLabelWidth, FLblEspacio->sizeHint().width()),
                             std::max(kLabelHeight, FLblEspacio->sizeHint().height()));
    FPbCapacidad->setGeometry(kBarLeft, kBarTop, std::max(0, w - kBarLeft - kBarRightGap), kBarHeight);
}

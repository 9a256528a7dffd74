// SPDX-License-Identifier: MIT
#include "wmi/FormAbout.h"

#include <QDesktopServices>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QSvgRenderer>
#include <QUrlQuery>

// The pictures live in a static library: its resources must be registered
// by hand, and outside any namespace.
static void initAboutResources()
{
    Q_INIT_RESOURCE(about);
}

namespace {

// Client area of the dialog.
constexpr int ClientWidth = 428;
constexpr int ClientHeight = 389;

QFont sansSerif(int pixelSize, bool bold)
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

QFrame *panel(QWidget *parent, const char *name, const QRect &geometry, bool bevel)
{
    auto *frame = new QFrame(parent);
    frame->setObjectName(QLatin1String(name));
    frame->setGeometry(geometry);
    if (bevel) {
        frame->setFrameStyle(QFrame::Panel | QFrame::Raised);
        frame->setLineWidth(1);
    }
    return frame;
}

QLabel *label(QWidget *parent, const char *name, const QString &text, const QPoint &pos)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setTextFormat(Qt::PlainText);
    l->move(pos);
    l->adjustSize();
    return l;
}

// Renders an SVG picture of the resources at the size it is shown, so that it
// is drawn sharp at any device pixel ratio.
QPixmap picture(const QString &path, const QSize &size, qreal dpr)
{
    QSvgRenderer renderer(path);
    QPixmap pixmap(size * dpr);
    pixmap.fill(Qt::transparent);
    if (renderer.isValid()) {
        QPainter painter(&pixmap);
        renderer.render(&painter);
    }
    pixmap.setDevicePixelRatio(dpr);
    return pixmap;
}

QLabel *box(QWidget *parent, const char *name, const QRect &geometry)
{
    auto *l = new QLabel(parent);
    l->setObjectName(QLatin1String(name));
    l->setGeometry(geometry);
    return l;
}

// The look of a hyperlink: blue, underlined, hand cursor.
void linkStyle(QLabel *l)
{
    QFont font = l->font();
    font.setUnderline(true);
    l->setFont(font);
    QPalette palette = l->palette();
    palette.setColor(QPalette::WindowText, Qt::blue);
    l->setPalette(palette);
    l->setCursor(Qt::PointingHandCursor);
    l->adjustSize();
}

} // namespace

const QString TFAbout::ContactAddress = QStringLiteral("quillon@brindlewick.example");
const QString TFAbout::WebAddress = QStringLiteral("https://www.brindlewick.example/quillon/");

TFAbout::TFAbout(QWidget *owner)
    : QDialog(owner), FUrlOpener([](const QUrl &url) { return QDesktopServices::openUrl(url); })
{
    initAboutResources();
    setObjectName(QStringLiteral("FAbout"));
    setWindowTitle(QStringLiteral("Acerca de Quillon..."));
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_DeleteOnClose); // FormClose: closing frees the dialog
    setFixedSize(ClientWidth, ClientHeight);
    setFont(sansSerif(11, false));
    const qreal dpr = devicePixelRatioF();

    pnSuperior = panel(this, "pnSuperior", QRect(0, 0, ClientWidth, 142), false);
    pnSuperior->setAutoFillBackground(true);
    QPalette white = pnSuperior->palette();
    white.setColor(QPalette::Window, Qt::white);
    pnSuperior->setPalette(white);

    pnlSuperior = panel(pnSuperior, "pnlSuperior", QRect(0, 0, ClientWidth, 64), false);
    imgLogo = box(pnlSuperior, "imgLogo", QRect(10, 6, 58, 52));
    // The 60 x 54 logo, shrunk proportionally into its 58 x 52 box.
    imgLogo->setPixmap(
        picture(QStringLiteral(":/about/logo.svg"), QSize(60, 54).scaled(58, 52, Qt::KeepAspectRatio), dpr));
    imgLogo->setAlignment(Qt::AlignCenter);

    lblLibreria = label(pnlSuperior, "lblLibreria", QStringLiteral("Componentes Quillon"), QPoint(99, 18));
    QFont arialBlack(QStringLiteral("Arial Black"));
    arialBlack.setStyleHint(QFont::SansSerif);
    arialBlack.setPixelSize(16);
    arialBlack.setBold(true);
    lblLibreria->setFont(arialBlack);
    lblLibreria->adjustSize();

    lbVersion = label(pnlSuperior, "lbVersion", QStringLiteral("  [versión]   "), QPoint(324, 39));
    lbVersion->setFont(sansSerif(13, true));
    lbVersion->setAlignment(Qt::AlignCenter);
    lbVersion->setFixedSize(82, 16);

    // The 432 x 78 banner, centred: one pixel column of it is cut on each side.
    imgBlog = box(pnSuperior, "imgBlog", QRect(0, 64, ClientWidth, 78));
    imgBlog->setPixmap(picture(QStringLiteral(":/about/banner.svg"), QSize(432, 78), dpr));
    imgBlog->setAlignment(Qt::AlignCenter);

    pnlInfo = panel(this, "pnlInfo", QRect(0, 142, ClientWidth, ClientHeight - 142), true);
    pnldesc = panel(pnlInfo, "pnldesc", QRect(1, 1, 426, 80), true);
    lblDescription = box(pnldesc, "lblDescription", QRect(8, 6, 411, 68));
    lblDescription->setTextFormat(Qt::PlainText);
    lblDescription->setWordWrap(true);
    lblDescription->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblDescription->setText(QStringLiteral("Esta demo utiliza las Librerías Quillon.\n"
                                           "Quillon es una librería de componentes que utilizan la WMI de Windows "
                                           "(Windows Management Information).\n"
                                           "\n"
                                           "Sugerencias, preguntas y errores encontrados son bienvenidos."));

    // A 382 x 117 picture stretched into 231 x 74.
    imgBuildwith = box(pnlInfo, "imgBuildwith", QRect(10, 103, 231, 74));
    imgBuildwith->setPixmap(picture(QStringLiteral(":/about/buildwith.svg"), QSize(231, 74), dpr));

    lblMail = label(pnlInfo, "lblMail", ContactAddress, QPoint(16, 206));
    lblMail->setToolTip(ContactAddress);
    linkStyle(lblMail);
    lblMail->installEventFilter(this);

    lblWeb = label(pnlInfo, "lblWeb", WebAddress, QPoint(16, 221));
    linkStyle(lblWeb);
    lblWeb->installEventFilter(this);

    btnCerrar = new QPushButton(QStringLiteral("&Cerrar"), pnlInfo);
    btnCerrar->setObjectName(QStringLiteral("btnCerrar"));
    btnCerrar->setGeometry(322, 214, 97, 27);
    // Enter presses the default button; QDialog turns Escape into reject(),
    // which closes the dialog like the button does.
    btnCerrar->setDefault(true);
    connect(btnCerrar, &QPushButton::clicked, this, &TFAbout::btnCerrarClick);

    if (QScreen *screen = owner ? owner->screen() : QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }

    FormCreate();
}

TFAbout::~TFAbout() = default;

void TFAbout::FormCreate()
{
    lbVersion->setText(QStringLiteral("3.3"));
}

QUrl TFAbout::MailUrl(const QString &address)
{
    QUrl url;
    url.setScheme(QStringLiteral("mailto"));
    url.setPath(address, QUrl::DecodedMode);
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("subject"), QStringLiteral("(Quillon Info)-"));
    query.addQueryItem(QStringLiteral("body"), QStringLiteral(""));
    url.setQuery(query);
    return url;
}

void TFAbout::SetUrlOpener(TUrlOpener opener)
{
    FUrlOpener = std::move(opener);
}

void TFAbout::lblMailClick()
{
    if (FUrlOpener)
        FUrlOpener(MailUrl(lblMail->toolTip()));
}

void TFAbout::lblWebClick()
{
    if (FUrlOpener)
        FUrlOpener(QUrl::fromUserInput(lblWeb->text()));
}

void TFAbout::btnCerrarClick()
{
    close();
}

bool TFAbout::eventFilter(QObject *watched, QEvent *event)
{
    // A label is clicked when the left button goes up over it.
    if (event->type() == QEvent::MouseButtonRelease && (watched == lblMail || watched == lblWeb)) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        auto *target = static_cast<QLabel *>(watched);
        if (mouse->button() == Qt::LeftButton && target->rect().contains(mouse->position().toPoint())) {
            if (target == lblMail)
                lblMailClick();
            else
                lblWebClick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

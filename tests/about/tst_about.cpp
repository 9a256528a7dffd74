// SPDX-License-Identifier: MIT
// The About dialog of the query components: its window definition, the
// addresses its two link lines open, and how it closes.
#include "wmi/FormAbout.h"

#include <QApplication>
#include <QDir>
#include <QFrame>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QUrlQuery>
#include <QWindow>

#include <gtest/gtest.h>

#include <vector>

namespace {

class AboutTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (!qApp) {
            static int argc = 1;
            static char name[] = "tst_about";
            static char *argv[] = {name, nullptr};
            new QApplication(argc, argv);
        }
    }

    void SetUp() override
    {
        FDialog = new TFAbout;
        FDialog->SetUrlOpener([this](const QUrl &url) {
            FOpened.push_back(url);
            return true;
        });
    }

    void TearDown() override { delete FDialog.data(); }

    static void click(QWidget *w, Qt::MouseButton button = Qt::LeftButton)
    {
        const QPointF at(w->width() / 2.0, w->height() / 2.0);
        QMouseEvent press(QEvent::MouseButtonPress, at, w->mapToGlobal(at), button, button, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, at, w->mapToGlobal(at), button, Qt::NoButton,
                            Qt::NoModifier);
        QCoreApplication::sendEvent(w, &press);
        QCoreApplication::sendEvent(w, &release);
    }

    static void processDeferredDeletes()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }

    QPointer<TFAbout> FDialog;
    std::vector<QUrl> FOpened;
};

TEST_F(AboutTest, WindowIsAFixedToolWindowOnTop)
{
    EXPECT_EQ(FDialog->windowTitle(), QStringLiteral("Acerca de Quillon..."));
    EXPECT_EQ(FDialog->size(), QSize(428, 389));
    EXPECT_EQ(FDialog->minimumSize(), FDialog->maximumSize()) << "not resizable";
    EXPECT_EQ(FDialog->windowType(), Qt::Tool);
    EXPECT_TRUE(FDialog->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(FDialog->testAttribute(Qt::WA_DeleteOnClose));
    EXPECT_EQ(FDialog->font().pixelSize(), 11);
    EXPECT_EQ(FDialog->font().family(), QStringLiteral("MS Sans Serif"));
}

struct Placement
{
    const char *name;
    const char *parent;
    QRect geometry; // empty size: only the position is fixed (the text sizes it)
};

TEST_F(AboutTest, ComponentsSitWhereTheDefinitionPutsThem)
{
    const Placement placements[] = {
        {"pnSuperior", "FAbout", QRect(0, 0, 428, 142)},      {"pnlSuperior", "pnSuperior", QRect(0, 0, 428, 64)},
        {"imgLogo", "pnlSuperior", QRect(10, 6, 58, 52)},     {"lblLibreria", "pnlSuperior", QRect(99, 18, 0, 0)},
        {"lbVersion", "pnlSuperior", QRect(324, 39, 82, 16)}, {"imgBlog", "pnSuperior", QRect(0, 64, 428, 78)},
        {"pnlInfo", "FAbout", QRect(0, 142, 428, 247)},       {"pnldesc", "pnlInfo", QRect(1, 1, 426, 80)},
        {"lblDescription", "pnldesc", QRect(8, 6, 411, 68)},  {"imgBuildwith", "pnlInfo", QRect(10, 103, 231, 74)},
        {"lblMail", "pnlInfo", QRect(16, 206, 0, 0)},         {"lblWeb", "pnlInfo", QRect(16, 221, 0, 0)},
        {"btnCerrar", "pnlInfo", QRect(322, 214, 97, 27)},
    };
    for (const Placement &p : placements) {
        SCOPED_TRACE(p.name);
        auto *w = FDialog->findChild<QWidget *>(QLatin1String(p.name));
        ASSERT_NE(w, nullptr);
        ASSERT_NE(w->parentWidget(), nullptr);
        EXPECT_EQ(w->parentWidget()->objectName(), QLatin1String(p.parent));
        if (p.geometry.size().isEmpty())
            EXPECT_EQ(w->pos(), p.geometry.topLeft());
        else
            EXPECT_EQ(w->geometry(), p.geometry);
        // Everything lies inside the dialog's client area.
        EXPECT_TRUE(FDialog->rect().contains(QRect(w->mapTo(FDialog, QPoint()), w->size())));
    }
}

TEST_F(AboutTest, Texts)
{
    EXPECT_EQ(FDialog->lblLibreria->text(), QStringLiteral("Componentes Quillon"));
    EXPECT_EQ(FDialog->lblLibreria->font().family(), QStringLiteral("Arial Black"));
    EXPECT_EQ(FDialog->lblLibreria->font().pixelSize(), 16);
    EXPECT_TRUE(FDialog->lblLibreria->font().bold());

    EXPECT_EQ(FDialog->lbVersion->text(), QStringLiteral("3.3"));
    EXPECT_EQ(FDialog->lbVersion->alignment(), Qt::AlignCenter);
    EXPECT_EQ(FDialog->lbVersion->font().pixelSize(), 13);
    EXPECT_TRUE(FDialog->lbVersion->font().bold());

    const QStringList lines = FDialog->lblDescription->text().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0], QStringLiteral("Esta demo utiliza las Librerías Quillon."));
    EXPECT_EQ(lines[1],
              QStringLiteral("Quillon es una librería de componentes que utilizan la "
                             "WMI de Windows (Windows Management Information)."));
    EXPECT_TRUE(lines[2].isEmpty());
    EXPECT_FALSE(lines[3].isEmpty());
    EXPECT_TRUE(FDialog->lblDescription->wordWrap());
    // The four lines fit the label's box once wrapped.
    EXPECT_LE(FDialog->lblDescription->heightForWidth(411), 68 + 13);

    EXPECT_EQ(FDialog->btnCerrar->text(), QStringLiteral("&Cerrar"));
    EXPECT_TRUE(FDialog->btnCerrar->isDefault());

    for (QLabel *link : {FDialog->lblMail, FDialog->lblWeb}) {
        SCOPED_TRACE(qPrintable(link->objectName()));
        EXPECT_TRUE(link->font().underline());
        EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(Qt::blue));
        EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
    }
    EXPECT_EQ(FDialog->lblMail->text(), TFAbout::ContactAddress);
    EXPECT_EQ(FDialog->lblMail->toolTip(), TFAbout::ContactAddress);
    EXPECT_EQ(FDialog->lblWeb->text(), TFAbout::WebAddress);
}

TEST_F(AboutTest, MailLineOpensAMailWithTheSubject)
{
    click(FDialog->lblMail);
    ASSERT_EQ(FOpened.size(), 1u);
    const QUrl url = FOpened.front();
    EXPECT_EQ(url.toString(),
              QStringLiteral("mailto:") + TFAbout::ContactAddress
                  + QStringLiteral("?subject=(Quillon Info)-&body="));
    EXPECT_EQ(url.toEncoded(),
              "mailto:" + TFAbout::ContactAddress.toLatin1() + "?subject=(Quillon%20Info)-&body=");
    EXPECT_TRUE(url.isValid());

    // A right click is no click.
    click(FDialog->lblMail, Qt::RightButton);
    EXPECT_EQ(FOpened.size(), 1u);
}

TEST_F(AboutTest, MailUrlKeepsTheAddressInItsPath)
{
    const QUrl url = TFAbout::MailUrl(QStringLiteral("a@b.example?cc=x@y.example&body=spam"));
    EXPECT_EQ(url.path(), QStringLiteral("a@b.example?cc=x@y.example&body=spam"));
    const QUrlQuery query(url);
    EXPECT_FALSE(query.hasQueryItem(QStringLiteral("cc")));
    EXPECT_EQ(query.queryItemValue(QStringLiteral("subject")), QStringLiteral("(Quillon Info)-"));
    EXPECT_EQ(query.queryItemValue(QStringLiteral("body")), QString());
    EXPECT_EQ(query.queryItems().size(), 2);
}

TEST_F(AboutTest, WebLineOpensItsOwnCaption)
{
    click(FDialog->lblWeb);
    ASSERT_EQ(FOpened.size(), 1u);
    EXPECT_EQ(FOpened.front(), QUrl(FDialog->lblWeb->text()));
    EXPECT_EQ(FOpened.front().scheme(), QStringLiteral("https"));
}

TEST_F(AboutTest, CloseButtonEnterAndEscapeCloseAndFreeTheDialog)
{
    const struct
    {
        const char *how;
        std::function<void(TFAbout *)> act;
    } ways[] = {
        {"button", [](TFAbout *d) { d->btnCerrar->click(); }},
        {"Escape",
         [](TFAbout *d) {
             QKeyEvent key(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
             QCoreApplication::sendEvent(d, &key);
         }},
        {"Enter",
         [](TFAbout *d) {
             QKeyEvent key(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
             QCoreApplication::sendEvent(d, &key);
         }},
        {"window close", [](TFAbout *d) { d->close(); }},
    };
    for (const auto &way : ways) {
        SCOPED_TRACE(way.how);
        QPointer<TFAbout> dialog = new TFAbout;
        dialog->show();
        ASSERT_TRUE(dialog->isVisible());
        way.act(dialog);
        processDeferredDeletes();
        EXPECT_TRUE(dialog.isNull()) << "the dialog frees itself when closed";
        delete dialog.data();
    }
}

TEST_F(AboutTest, StartsCentredOnTheScreen)
{
    FDialog->show();
    const QRect screen = FDialog->screen()->availableGeometry();
    // The frame is not known before the first show: its size is the slack.
    const QPoint centre = FDialog->geometry().center();
    const QMargins frame = FDialog->windowHandle()->frameMargins();
    EXPECT_LE(std::abs(centre.x() - screen.center().x()), frame.left() + frame.right() + 1);
    EXPECT_LE(std::abs(centre.y() - screen.center().y()), frame.top() + frame.bottom() + 1);
}

// Renders the dialog, for a look by eye (about.png in the build folder) and to
// see that the pictures came out of the resources.
TEST_F(AboutTest, RendersWithItsPictures)
{
    FDialog->show();
    const QImage image = FDialog->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(image.isNull());
    image.save(QDir(QStringLiteral(VELMORA_BINARY_DIR)).filePath(QStringLiteral("about.png")));

    const auto paintedIn = [&](QWidget *w) {
        const QRect r(w->mapTo(FDialog, QPoint()) * image.devicePixelRatio(),
                      w->size() * image.devicePixelRatio());
        const QRgb background = image.pixel(r.topLeft());
        int differing = 0;
        for (int y = r.top(); y <= r.bottom(); y += 2)
            for (int x = r.left(); x <= r.right(); x += 2)
                differing += image.pixel(x, y) != background ? 1 : 0;
        return differing;
    };
    EXPECT_GT(paintedIn(FDialog->imgLogo), 50);
    EXPECT_GT(paintedIn(FDialog->imgBlog), 500);
    EXPECT_GT(paintedIn(FDialog->imgBuildwith), 200);
    EXPECT_EQ(QColor(image.pixel(400, 10)), QColor(Qt::white)) << "white top panel";
}

} // namespace

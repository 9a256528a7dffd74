// SPDX-License-Identifier: MIT
// A panel greyed because its source stopped answering stays readable: the
// colours it is drawn in, read back from the picture the widget paints with
// its own style, give its texts a contrast of at least 4.5:1 (WCAG 2's level
// AA for normal text).
#include "ShellTestSupport.h"

#include "localization/LangManager.h"
#include "panels/DriveControls.h"
#include "panels/PanelFailure.h"
#include "panels/frDisco.h"
#include "shell/Style.h"

#include <QHash>
#include <QImage>
#include <QLabel>

#include <gtest/gtest.h>

#include <cmath>

namespace {

double Channel(int value)
{
    const double c = value / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

// WCAG 2 relative luminance and contrast ratio.
double Luminance(QRgb colour)
{
    return 0.2126 * Channel(qRed(colour)) + 0.7152 * Channel(qGreen(colour)) + 0.0722 * Channel(qBlue(colour));
}

double Contrast(QRgb a, QRgb b)
{
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

struct TTextColours
{
    QRgb background = 0;
    QRgb text = 0;
    double contrast = 1;
};

// The colours of a text in a region of a picture: the background is the
// colour most pixels have, the text the one farthest from it (a pixel wholly
// inside a stroke; the anti-aliased edges only lie between the two).
TTextColours ColoursIn(const QImage &image, const QRect &region)
{
    QHash<QRgb, int> counts;
    for (int y = region.top(); y <= region.bottom(); ++y)
        for (int x = region.left(); x <= region.right(); ++x)
            ++counts[image.pixel(x, y) | 0xff000000u];
    TTextColours colours;
    int most = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > most) {
            most = it.value();
            colours.background = it.key();
        }
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (const double c = Contrast(it.key(), colours.background); c > colours.contrast) {
            colours.contrast = c;
            colours.text = it.key();
        }
    return colours;
}

QString Hex(QRgb colour)
{
    return QColor(colour).name();
}

TEST(GreyedPanel, TextsKeepAContrastOfAtLeast4_5To1)
{
    QApplication &app = TestApp();
    LangManager::Start();
    ASSERT_TRUE(Style::ApplyVisualStyle(app, Style::SlateGrayResource,
                                        [](const QString &m) { ADD_FAILURE() << m.toStdString(); }));
    QWidget host;
    host.resize(339, 58);
    auto *panel = new TFrameDrive(&host);
    panel->setGeometry(0, 0, 339, 58);
    panel->SetPropiedades(QStringLiteral(
        "DriveType=4\r\nFileSystem=ext4\r\nName=nas:9100:/srv\r\nSize=107374182400\r\nFreeSpace=53687091200\r\n"));
    host.show();

    struct Part
    {
        const char *name;
        QWidget *widget;
    };
    const Part parts[] = {{"title", panel->pnlTitulo()}, {"free-space line", panel->lblEspacio()}};
    const auto measure = [&](const char *state) {
        const QImage image = host.grab().toImage().convertToFormat(QImage::Format_RGB32);
        for (const Part &part : parts) {
            const QRect region(part.widget->mapTo(&host, QPoint(0, 0)), part.widget->size());
            const TTextColours colours = ColoursIn(image, region.intersected(image.rect()));
            SCOPED_TRACE(std::string(state) + " " + part.name);
            EXPECT_GE(colours.contrast, 4.5)
                << Hex(colours.text).toStdString() << " on " << Hex(colours.background).toStdString();
        }
        return image;
    };
    const QImage normal = measure("normal");

    PanelFailure::Show(panel, QStringLiteral("No contact"));
    const QImage greyed = measure("greyed");

    // The greyed panel does look different: its bar has lost its colour.
    const QRect bar(panel->pbCapacidad()->mapTo(&host, QPoint(0, 0)), panel->pbCapacidad()->size());
    const QRgb barNormal = normal.pixel(bar.left() + 4, bar.center().y());
    const QRgb barGreyed = greyed.pixel(bar.left() + 4, bar.center().y());
    EXPECT_NE(qRed(barNormal), qBlue(barNormal)) << "the normal bar is coral";
    EXPECT_EQ(qRed(barGreyed), qBlue(barGreyed)) << Hex(barGreyed).toStdString();
    EXPECT_EQ(qRed(barGreyed), qGreen(barGreyed)) << Hex(barGreyed).toStdString();

    PanelFailure::Clear(panel);
    EXPECT_EQ(host.grab().toImage().convertToFormat(QImage::Format_RGB32), normal) << "its colours come back";
}

} // namespace

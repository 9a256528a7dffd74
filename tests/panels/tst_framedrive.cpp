// SPDX-License-Identifier: MIT
// The drive panel: from a drive's property list to picture, title, free-space
// text and bar, and the hooks the widget window uses.
#include "panels/DriveControls.h"
#include "panels/PanelFailure.h"
#include "panels/WindowDrag.h"
#include "panels/frDisco.h"
#include "platform/WbemFactory.h"
#include "vcl/Exception.h"
#include "wbem/fake/FakeWbemService.h"
#include "wmi/CWMISQL.h"
#include <QTextDocument>

#include <QAccessible>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QPointer>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <optional>
#include <vector>

namespace {

constexpr qint64 GB = qint64(1) << 30;
constexpr qint64 MB = qint64(1) << 20;

// The property list of one drive as the query component hands it over: one
// "Name=value" line per property, CR LF after each. A value left out is
// missing from the list altogether.
QString Props(std::optional<QString> driveType, std::optional<QString> size, std::optional<QString> freeSpace,
              const QString &extra = {})
{
    QString text = QStringLiteral("Caption=C:\r\nCompressed=FALSE\r\nDescription=Local Fixed Disk\r\n");
    if (driveType)
        text += QStringLiteral("DriveType=") + *driveType + QStringLiteral("\r\n");
    text += QStringLiteral("FileSystem=NTFS\r\n");
    if (freeSpace)
        text += QStringLiteral("FreeSpace=") + *freeSpace + QStringLiteral("\r\n");
    text += QStringLiteral("Name=C:\r\n");
    if (size)
        text += QStringLiteral("Size=") + *size + QStringLiteral("\r\n");
    return text + extra;
}

QString N(qint64 value)
{
    return QString::number(value);
}

// ---- sizes, units, text and bar -------------------------------------------

struct SizeCase
{
    const char *name;
    QString props;
    QString text;
    int bar;
    bool error;
    TMedida unit;
};

void PrintTo(const SizeCase &c, std::ostream *os)
{
    *os << c.name;
}

class FrameDriveSizeTest : public testing::TestWithParam<SizeCase>
{};

TEST_P(FrameDriveSizeTest, ShowsTextAndBar)
{
    const SizeCase &c = GetParam();
    TFrameDrive panel;
    ASSERT_NO_THROW(panel.SetPropiedades(c.props));
    EXPECT_EQ(panel.lblEspacio()->text(), c.text);
    EXPECT_EQ(panel.pbCapacidad()->value(), c.bar);
    EXPECT_EQ(panel.pbCapacidad()->State(), c.error ? TStateProgressBar::pbsError : TStateProgressBar::pbsNormal);
    EXPECT_EQ(panel.pbCapacidad()->CurrentBarColor(), c.error ? QColor(Qt::red) : QColor(255, 127, 80));
    EXPECT_EQ(panel.TipoMedida(), c.unit);
}

const QString kThree = QStringLiteral("3");

INSTANTIATE_TEST_SUITE_P(
    Cases, FrameDriveSizeTest,
    testing::Values(
        // 9998 whole MB: still MB (the total rounds to 9999 MB).
        SizeCase{"mb_below_9999", Props(kThree, N(10484711423), N(5000 * MB)), "5000 MB disponibles de 9999 MB",
                 50, false, tmMB},
        // 9999 whole MB: GB. 9.7646 GB -> 9.76, 4.8828 GB -> 4.88.
        SizeCase{"gb_from_9999", Props(kThree, N(10484711424), N(5000 * MB)), "4 GB disponibles de 9 GB", 50,
                 false, tmGB},
        SizeCase{"example_500_100", Props(kThree, N(500 * GB), N(100 * GB)), "100 GB disponibles de 500 GB", 80,
                 false, tmGB},
        SizeCase{"free_5_percent", Props(kThree, N(500 * GB), N(25 * GB)), "25 GB disponibles de 500 GB", 95, true,
                 tmGB},
        SizeCase{"free_exactly_10_percent", Props(kThree, N(500 * GB), N(50 * GB)), "50 GB disponibles de 500 GB",
                 90, true, tmGB},
        SizeCase{"free_10_5_percent", Props(kThree, N(500 * GB), N(52 * GB + GB / 2)),
                 "52 GB disponibles de 500 GB", 90, true, tmGB},
        SizeCase{"free_11_percent", Props(kThree, N(500 * GB), N(55 * GB)), "55 GB disponibles de 500 GB", 89,
                 false, tmGB},
        // 45.99 GB free is cut to 45; 45.996 GB rounds to 46.00 first.
        SizeCase{"libre_45_99", Props(kThree, N(237 * GB), N(49382319227)), "45 GB disponibles de 237 GB", 81,
                 false, tmGB},
        SizeCase{"libre_45_996", Props(kThree, N(237 * GB), N(49388761776)), "46 GB disponibles de 237 GB", 81,
                 false, tmGB},
        // MB figures round halves to even: 1.5 -> 2, 2.5 -> 2. The bar
        // follows the bytes: 1.5 % free is 99 % used, 2.5 % free 98 %.
        SizeCase{"mb_half_up_to_even", Props(kThree, N(100 * MB), N(MB + MB / 2)), "2 MB disponibles de 100 MB",
                 99, true, tmMB},
        SizeCase{"mb_half_down_to_even", Props(kThree, N(100 * MB), N(2 * MB + MB / 2)),
                 "2 MB disponibles de 100 MB", 98, true, tmMB},
        // Figures that round to 0 MB: the text says 0 MB, the bar tells the
        // bytes. An empty RAM disk of 4 KiB is an empty bar, a full one a
        // full bar.
        SizeCase{"ram_disk_4k_empty", Props(QStringLiteral("6"), N(4096), N(4096)), "0 MB disponibles de 0 MB", 0,
                 false, tmMB},
        SizeCase{"ram_disk_4k_full", Props(QStringLiteral("6"), N(4096), N(0)), "0 MB disponibles de 0 MB", 100,
                 true, tmMB},
        SizeCase{"ram_disk_4k_half", Props(QStringLiteral("6"), N(4096), N(2048)), "0 MB disponibles de 0 MB", 50,
                 false, tmMB},
        SizeCase{"zero_total", Props(kThree, N(524288), N(0)), "0 MB disponibles de 0 MB", 100, true, tmMB},
        SizeCase{"zero_total_with_free", Props(kThree, N(524288), N(524288)), "0 MB disponibles de 0 MB", 0, false,
                 tmMB},
        SizeCase{"just_above_half_mb", Props(kThree, N(524289), N(0)), "0 MB disponibles de 1 MB", 100, true,
                 tmMB},
        // 1.4 MB with 0.6 MB free reads "1 MB of 1 MB" but is 58 % used.
        SizeCase{"rounded_figures_equal", Props(kThree, N(1468006), N(629146)), "1 MB disponibles de 1 MB", 58,
                 false, tmMB},
        // Nothing at all: nothing used.
        SizeCase{"empty_drive", Props(kThree, N(0), N(0)), "0 MB disponibles de 0 MB", 0, false, tmMB},
        // Beyond what 64 bits hold once multiplied by 100: a hair under 5 %
        // free.
        SizeCase{"exabytes",
                 Props(kThree, N(std::numeric_limits<qint64>::max()), N(std::numeric_limits<qint64>::max() / 20)),
                 "429496729 GB disponibles de 8589934592 GB", 96, true, tmGB},
        // More free than total (a confused file system): the bar stays empty.
        SizeCase{"free_above_total", Props(kThree, N(100 * GB), N(200 * GB)), "200 GB disponibles de 100 GB", 0,
                 false, tmGB},
        SizeCase{"unknown_type", Props(QStringLiteral("0"), N(500 * GB), N(100 * GB)), "", 0, false, tmGB},
        SizeCase{"missing_type", Props(std::nullopt, N(500 * GB), N(100 * GB)), "", 0, false, tmGB},
        SizeCase{"unreadable_type", Props(QStringLiteral("abc"), N(500 * GB), N(100 * GB)), "", 0, false, tmGB},
        // No figure from the system (a reader without a medium): no text, an
        // empty bar, no error.
        SizeCase{"missing_size", Props(QStringLiteral("5"), std::nullopt, std::nullopt), "", 0, false, tmKB},
        SizeCase{"missing_free_space", Props(kThree, N(500 * GB), std::nullopt), "", 0, false, tmGB},
        SizeCase{"missing_size_only", Props(kThree, std::nullopt, N(100 * GB)), "", 0, false, tmKB},
        SizeCase{"empty_size_value", Props(kThree, QString(), QString()), "", 0, false, tmKB},
        SizeCase{"removable", Props(QStringLiteral("2"), N(16 * GB), N(8 * GB)), "8 GB disponibles de 16 GB", 50,
                 false, tmGB}),
    [](const testing::TestParamInfo<SizeCase> &info) { return std::string(info.param.name); });

// The free-space line joins a translated word with the figures: markup in a
// translation is shown as written, never as bold text or an image.
TEST(FrameDriveTest, LabelsShowMarkupAsWritten)
{
    TFrameDrive panel;
    const QList<QLabel *> labels = panel.findChildren<QLabel *>();
    ASSERT_FALSE(labels.isEmpty());
    const QString markup = QStringLiteral("<b>1 GB</b> <img src=\"/etc/hostname\">");
    for (QLabel *label : labels) {
        SCOPED_TRACE(label->objectName().toStdString());
        label->setText(markup);
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
        EXPECT_GE(label->sizeHint().width(), label->fontMetrics().horizontalAdvance(markup));
    }
}

TEST(FrameDriveTest, FreeSpaceRoundsToTwoDecimalsInGB)
{
    TFrameDrive panel;
    panel.SetPropiedades(Props(kThree, N(237 * GB), N(49382319227)));
    EXPECT_DOUBLE_EQ(panel.LibreGB(), 45.99);
    EXPECT_DOUBLE_EQ(panel.SizeGB(), 237.0);
    EXPECT_DOUBLE_EQ(panel.SizeMB(), 237.0 * 1024);
    panel.SetLibre(49388761776);
    EXPECT_DOUBLE_EQ(panel.LibreGB(), 46.0);
    EXPECT_EQ(panel.Tamanyo(), 237 * GB);
    EXPECT_EQ(panel.Libre(), 49388761776);
}

TEST(FrameDriveTest, SizeOrFreeSpaceThatIsNoIntegerIsAnError)
{
    for (const char *bad : {"abc", "12x", "1e9", "1.5", "0x10", "--5", "+-5", "-", "+", "99999999999999999999",
                            "18446744073709551616", "-1", "-9223372036854775808"}) {
        for (const bool inSize : {true, false}) {
            TFrameDrive panel;
            const QString value = QString::fromLatin1(bad);
            const QString props = inSize ? Props(kThree, value, N(GB)) : Props(kThree, N(GB), value);
            try {
                panel.SetPropiedades(props);
                ADD_FAILURE() << "no error for " << bad << (inSize ? " in Size" : " in FreeSpace");
            } catch (const EConvertError &e) {
                EXPECT_EQ(e.Message(), QStringLiteral("'%1' is not a valid integer value").arg(value));
            }
        }
    }
    // Non-ASCII digits are no decimal integer either.
    TFrameDrive panel;
    EXPECT_THROW(panel.SetPropiedades(Props(kThree, QStringLiteral("１２"), N(GB))), EConvertError);
}

// Figures of bytes are unsigned 64-bit numbers: the whole range is read,
// 2^63 and more included.
TEST(FrameDriveTest, FiguresUpToTheUnsigned64BitLimitAreAccepted)
{
    TFrameDrive panel;
    panel.SetPropiedades(Props(kThree, QStringLiteral("18446744073709551615"), QStringLiteral("+0")));
    EXPECT_EQ(panel.Tamanyo(), std::numeric_limits<quint64>::max());
    EXPECT_EQ(panel.Libre(), 0u);
    EXPECT_EQ(panel.TipoMedida(), tmGB);
    EXPECT_EQ(panel.lblEspacio()->text(), QStringLiteral("0 GB disponibles de 17179869184 GB"));
    panel.SetPropiedades(
        Props(kThree, QStringLiteral("9223372036854775808"), QStringLiteral("9223372036854775807")));
    EXPECT_EQ(panel.Tamanyo(), quint64(1) << 63);
    EXPECT_EQ(panel.Libre(), (quint64(1) << 63) - 1);
    EXPECT_EQ(panel.lblEspacio()->text(), QStringLiteral("8589934592 GB disponibles de 8589934592 GB"));
}

// The steps before the failing one have taken effect, those after it have
// not, and the display keeps what it showed.
TEST(FrameDriveTest, UpdateDataStopsAtABadSize)
{
    TFrameDrive panel;
    panel.SetPropiedades(QStringLiteral("Compressed=TRUE\r\nDescription=Old\r\nDriveType=3\r\nFileSystem=NTFS\r\n"
                                        "FreeSpace=107374182400\r\nName=C:\r\nSize=536870912000\r\n"));
    ASSERT_EQ(panel.lblEspacio()->text(), QStringLiteral("100 GB disponibles de 500 GB"));

    try {
        panel.SetPropiedades(QStringLiteral("Compressed=FALSE\r\nDescription=New\r\nDriveType=2\r\n"
                                            "FileSystem=FAT32\r\nFreeSpace=1024\r\nName=E:\r\nSize=abc\r\n"));
        FAIL() << "no error";
    } catch (const EConvertError &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("'abc' is not a valid integer value"));
    }
    EXPECT_EQ(panel.DriveType(), TDriveType::RemovableDisk);
    EXPECT_EQ(panel.imgDrive()->Picture(), QStringLiteral(":/drives/usb.svg"));
    EXPECT_EQ(panel.Nombre(), QStringLiteral("E:"));
    EXPECT_EQ(panel.pnlTitulo()->Caption(), QStringLiteral("Disco local (E:) - NTFS"));
    EXPECT_EQ(panel.Tamanyo(), 536870912000);
    EXPECT_EQ(panel.Libre(), 107374182400);
    EXPECT_TRUE(panel.Comprimido());
    EXPECT_FALSE(panel.imgCompressed()->isHidden());
    EXPECT_EQ(panel.Descripcion(), QStringLiteral("Old"));
    EXPECT_EQ(panel.SistemaFicheros(), QStringLiteral("NTFS"));
    EXPECT_EQ(panel.lblEspacio()->text(), QStringLiteral("100 GB disponibles de 500 GB"));
    EXPECT_EQ(panel.pbCapacidad()->value(), 80);
}

TEST(FrameDriveTest, ReadsEveryValueAndKeepsBlanksInValues)
{
    TFrameDrive panel;
    panel.SetPropiedades(QStringLiteral("Caption=/media/ana/My Disk\r\nCompressed=FALSE\r\n"
                                        "Description=Local Fixed Disk\r\nDriveType=2\r\nFileSystem=exfat\r\n"
                                        "FreeSpace=1073741824\r\nName=/media/ana/My Disk\r\nSize=4294967296\r\n"));
    EXPECT_EQ(panel.Nombre(), QStringLiteral("/media/ana/My Disk"));
    EXPECT_EQ(panel.Descripcion(), QStringLiteral("Local Fixed Disk"));
    EXPECT_EQ(panel.SistemaFicheros(), QStringLiteral("exfat"));
    EXPECT_EQ(panel.pnlTitulo()->Caption(), QStringLiteral("Disco local (/media/ana/My Disk) - exfat"));
    EXPECT_EQ(panel.lblEspacio()->text(), QStringLiteral("1024 MB disponibles de 4096 MB"));

    // The same list with commas instead of line breaks gives the same values.
    TFrameDrive commas;
    commas.SetPropiedades(QStringLiteral("Caption=/media/ana/My Disk,Compressed=FALSE,"
                                         "Description=Local Fixed Disk,DriveType=2,FileSystem=exfat,"
                                         "FreeSpace=1073741824,Name=/media/ana/My Disk,Size=4294967296"));
    EXPECT_EQ(commas.Nombre(), panel.Nombre());
    EXPECT_EQ(commas.Descripcion(), panel.Descripcion());
    EXPECT_EQ(commas.DriveType(), panel.DriveType());
    EXPECT_EQ(commas.Tamanyo(), panel.Tamanyo());
    EXPECT_EQ(commas.Libre(), panel.Libre());
    EXPECT_EQ(commas.pnlTitulo()->Caption(), panel.pnlTitulo()->Caption());
    EXPECT_EQ(commas.lblEspacio()->text(), panel.lblEspacio()->text());
}

// The window's refresh writes Libre and then calls UpdateSize.
TEST(FrameDriveTest, LibreAloneChangesNothingUntilUpdateSize)
{
    TFrameDrive panel;
    panel.SetPropiedades(Props(kThree, N(500 * GB), N(100 * GB)));
    panel.SetLibre(25 * GB);
    EXPECT_EQ(panel.lblEspacio()->text(), QStringLiteral("100 GB disponibles de 500 GB"));
    EXPECT_EQ(panel.pbCapacidad()->value(), 80);
    EXPECT_EQ(panel.pbCapacidad()->State(), TStateProgressBar::pbsNormal);
    EXPECT_DOUBLE_EQ(panel.LibreGB(), 25.0);
    panel.UpdateSize();
    EXPECT_EQ(panel.lblEspacio()->text(), QStringLiteral("25 GB disponibles de 500 GB"));
    EXPECT_EQ(panel.pbCapacidad()->value(), 95);
    EXPECT_EQ(panel.pbCapacidad()->State(), TStateProgressBar::pbsError);

    // Free space never changes the unit chosen for the total.
    TFrameDrive small;
    small.SetPropiedades(Props(kThree, N(100 * MB), N(10 * MB)));
    small.SetLibre(20000 * GB);
    small.UpdateSize();
    EXPECT_EQ(small.TipoMedida(), tmMB);
    EXPECT_EQ(small.lblEspacio()->text(), QStringLiteral("20480000 MB disponibles de 100 MB"));
    EXPECT_EQ(small.pbCapacidad()->value(), 0);
}

// A drive that had no figures gets them back once the window writes them.
TEST(FrameDriveTest, MissingFiguresComeBackWhenWritten)
{
    TFrameDrive panel;
    panel.SetPropiedades(Props(kThree, N(500 * GB), std::nullopt));
    EXPECT_TRUE(panel.LibreAusente());
    EXPECT_FALSE(panel.TamanyoAusente());
    EXPECT_EQ(panel.Libre(), 0);
    EXPECT_EQ(panel.lblEspacio()->text(), QString());
    panel.SetLibre(100 * GB);
    EXPECT_FALSE(panel.LibreAusente());
    panel.UpdateSize();
    EXPECT_EQ(panel.lblEspacio()->text(), QStringLiteral("100 GB disponibles de 500 GB"));

    panel.ClearLibre();
    panel.UpdateSize();
    EXPECT_EQ(panel.lblEspacio()->text(), QString());
    EXPECT_EQ(panel.pbCapacidad()->value(), 0);
    EXPECT_EQ(panel.pbCapacidad()->State(), TStateProgressBar::pbsNormal);

    TFrameDrive reader;
    reader.SetPropiedades(Props(QStringLiteral("5"), std::nullopt, std::nullopt));
    EXPECT_TRUE(reader.TamanyoAusente());
    reader.SetTamanyo(700 * MB);
    reader.SetLibre(0);
    reader.UpdateSize();
    EXPECT_EQ(reader.lblEspacio()->text(), QStringLiteral("0 MB disponibles de 700 MB"));
    EXPECT_EQ(reader.pbCapacidad()->value(), 100);
}

TEST(FrameDriveTest, NewPanelShowsItsDesignState)
{
    TFrameDrive panel;
    EXPECT_EQ(panel.objectName(), QStringLiteral("FrameDrive"));
    EXPECT_EQ(panel.size(), QSize(294, 58));
    EXPECT_EQ(panel.sizeHint(), QSize(294, 58));
    EXPECT_EQ(panel.pnlTitulo()->Caption(), QStringLiteral("Disco local (C:)"));
    EXPECT_EQ(panel.lblEspacio()->text(), QStringLiteral("1045 GB disponibles de 1024 GB"));
    EXPECT_EQ(panel.pbCapacidad()->value(), 50);
    EXPECT_EQ(panel.pbCapacidad()->minimum(), 0);
    EXPECT_EQ(panel.pbCapacidad()->maximum(), 100);
    EXPECT_FALSE(panel.pbCapacidad()->isTextVisible());
    EXPECT_FALSE(panel.imgCompressed()->isHidden());
    EXPECT_EQ(panel.imgCompressed()->toolTip(), QStringLiteral("Indica que el disco está comprimido"));
    EXPECT_EQ(panel.imgDrive()->Picture(), QStringLiteral(":/drives/placeholder.svg"));
    EXPECT_EQ(panel.shInferior()->Pen(), QColor(192, 192, 192));
    EXPECT_EQ(panel.TipoMedida(), tmKB);
    EXPECT_EQ(panel.DriveType(), TDriveType::Unknown);
    EXPECT_EQ(panel.Tamanyo(), 0);
    EXPECT_EQ(panel.Libre(), 0);
    EXPECT_FALSE(panel.Comprimido());
    EXPECT_EQ(panel.Indice(), 0);
    EXPECT_EQ(panel.DiskDriveInfo(), nullptr);

    for (const char *name :
         {"pnlTitulo", "imgCompressed", "pnlDatos", "imgDrive", "lblEspacio", "shInferior", "pbCapacidad"})
        EXPECT_NE(panel.findChild<QWidget *>(QLatin1String(name)), nullptr) << name;

    // A panel whose size was never set keeps its text on UpdateSize.
    panel.SetDriveType(TDriveType::LocalDisk);
    panel.UpdateSize();
    EXPECT_EQ(panel.lblEspacio()->text(), QStringLiteral("1045 GB disponibles de 1024 GB"));
    EXPECT_EQ(panel.pbCapacidad()->value(), 0);
}

TEST(FrameDriveTest, ControlsFollowTheWidth)
{
    TFrameDrive panel;
    const auto check = [&](int width) {
        SCOPED_TRACE(width);
        EXPECT_EQ(panel.pnlTitulo()->geometry(), QRect(0, 0, width, 17));
        EXPECT_EQ(panel.imgCompressed()->geometry(), QRect(width - 22, 0, 16, 16));
        EXPECT_EQ(panel.pnlDatos()->geometry(), QRect(0, 17, width, 41));
        EXPECT_EQ(panel.imgDrive()->geometry(), QRect(0, 0, 40, 40));
        EXPECT_EQ(panel.shInferior()->geometry(), QRect(0, 40, width, 1));
        EXPECT_EQ(panel.pbCapacidad()->geometry(), QRect(56, 4, width - 72, 17));
        EXPECT_EQ(panel.lblEspacio()->pos(), QPoint(64, 22));
        EXPECT_GE(panel.lblEspacio()->width(), 166);
    };
    panel.show();
    check(294);
    EXPECT_EQ(panel.imgCompressed()->x(), 272);
    EXPECT_EQ(panel.pbCapacidad()->width(), 222);
    panel.resize(339, 58);
    check(339);
    panel.resize(200, 58);
    check(200);
}

struct CompressedCase
{
    const char *value; // nullptr: no Compressed line
    bool compressed;
};

TEST(FrameDriveTest, CompressionMark)
{
    const CompressedCase cases[] = {{"TRUE", true}, {"FALSE", false}, {"True", true}, {"false", false},
                                    {"1", true},    {"0", false},     {"2", true},    {"-1", true},
                                    {"0.0", false}, {"yes", false},   {"", false},    {nullptr, false}};
    for (const CompressedCase &c : cases) {
        SCOPED_TRACE(c.value ? c.value : "(missing)");
        TFrameDrive panel;
        const QString extra = c.value ? QStringLiteral("Compressed=") + QLatin1String(c.value) + "\r\n"
                                      : QString();
        // Props carries Compressed=FALSE first; put ours before it.
        QString props = Props(kThree, N(GB), N(GB));
        props.replace(QStringLiteral("Compressed=FALSE\r\n"), extra);
        panel.SetPropiedades(props);
        EXPECT_EQ(panel.Comprimido(), c.compressed);
        EXPECT_EQ(panel.imgCompressed()->isHidden(), !c.compressed);
    }
}

TEST(FrameDriveTest, PictureOfEachDriveType)
{
    const std::vector<std::pair<QString, QString>> cases = {
        {"0", ":/drives/unknown.svg"}, {"1", ":/drives/cable.svg"},   {"2", ":/drives/usb.svg"},
        {"3", ":/drives/hdd.svg"},     {"4", ":/drives/network.svg"}, {"5", ":/drives/optical.svg"},
        {"6", ":/drives/ram.svg"},     {"7", ":/drives/unknown.svg"}, {"-1", ":/drives/unknown.svg"},
        {"258", ":/drives/usb.svg"}, // the low eight bits: 2
    };
    for (const auto &[type, picture] : cases) {
        SCOPED_TRACE(type.toStdString());
        TFrameDrive panel;
        panel.SetPropiedades(Props(type, N(GB), N(GB)));
        EXPECT_EQ(static_cast<int>(panel.DriveType()), static_cast<int>(static_cast<quint8>(type.toInt())));
        EXPECT_EQ(panel.imgDrive()->Picture(), picture);
        EXPECT_TRUE(panel.imgDrive()->HasPicture());
    }
}

TEST(FrameDriveTest, EveryPictureIsAValidSvgOfItsSize)
{
    TFrameDrive panel; // registers the pictures
    const std::vector<std::pair<const char *, QSize>> pictures = {
        {"placeholder", {64, 64}}, {"compressed", {16, 16}}, {"unknown", {32, 32}},
        {"cable", {32, 32}},       {"usb", {32, 32}},        {"hdd", {32, 32}},
        {"network", {32, 32}},     {"optical", {32, 32}},    {"ram", {32, 32}}};
    for (const auto &[name, size] : pictures) {
        SCOPED_TRACE(name);
        QSvgRenderer renderer(QStringLiteral(":/drives/%1.svg").arg(QLatin1String(name)));
        EXPECT_TRUE(renderer.isValid());
        EXPECT_EQ(renderer.defaultSize(), size);
    }
    // The placeholder is scaled down into the 40 x 40 box, the type pictures
    // keep their 32 x 32 and sit in its middle.
    EXPECT_EQ(panel.imgDrive()->PictureRect(), QRectF(0, 0, 40, 40));
    panel.SetDriveType(TDriveType::LocalDisk);
    EXPECT_EQ(panel.imgDrive()->PictureRect(), QRectF(4, 4, 32, 32));
    EXPECT_EQ(panel.imgCompressed()->PictureRect(), QRectF(0, 0, 16, 16));
}

TEST(FrameDriveTest, SettersRefreshWhatTheyShow)
{
    TFrameDrive panel;
    panel.SetNombre(QStringLiteral("D:"));
    EXPECT_EQ(panel.pnlTitulo()->Caption(), QStringLiteral("Disco local (D:) - "));
    panel.SetSistemaFicheros(QStringLiteral("CDFS"));
    EXPECT_EQ(panel.pnlTitulo()->Caption(), QStringLiteral("Disco local (D:) - CDFS"));
    panel.SetDescripcion(QStringLiteral("CD-ROM Disc"));
    EXPECT_EQ(panel.pnlTitulo()->Caption(), QStringLiteral("Disco local (D:) - CDFS"));
    panel.SetComprimido(true);
    EXPECT_FALSE(panel.imgCompressed()->isHidden());
    panel.SetComprimido(false);
    EXPECT_TRUE(panel.imgCompressed()->isHidden());
    panel.SetDriveType(TDriveType::CompactDisc);
    EXPECT_EQ(panel.imgDrive()->Picture(), QStringLiteral(":/drives/optical.svg"));

    const QString before = panel.lblEspacio()->text();
    panel.SetTamanyo(10484711423);
    EXPECT_EQ(panel.TipoMedida(), tmMB);
    EXPECT_EQ(panel.lblEspacio()->text(), before) << "Tamanyo does not refresh the text by itself";
    panel.SetTamanyo(10484711424);
    EXPECT_EQ(panel.TipoMedida(), tmGB);
}

// A panel of a long column gets its controls only when it comes into view,
// and loses them again far from it: built at any time, they show the panel's
// values of that moment (title, line, bar and its state, picture, compression
// mark), and the hooks set while there were none act on them.
TEST(FrameDriveTest, ControlsBuiltLaterShowTheValuesOfNow)
{
    QWidget window;
    window.show();
    auto *panel = new TFrameDrive(&window, TFrameDrive::TControls::Deferred);
    panel->show();
    EXPECT_FALSE(panel->ControlsBuilt());
    EXPECT_EQ(panel->findChild<QWidget *>(), nullptr);
    std::vector<QString> calls;
    panel->SetOnMouseDown(TFrameDrive::TPart::Espacio,
                          [&](QWidget *sender, QMouseEvent *) { calls.push_back(sender->objectName()); });
    panel->SetOnContextMenu(TFrameDrive::TPart::Capacidad, [&](QWidget *sender, const QPoint &) {
        calls.push_back(QStringLiteral("menu ") + sender->objectName());
    });

    struct Case
    {
        const char *name;
        QString props;
        const char *line;
        int bar;
        bool error;
        bool mark;
        const char *picture;
    };
    const Case cases[] = {
        {"nearly full, compressed, optical",
         Props(QStringLiteral("5"), N(500 * GB), N(10 * GB))
             .replace(QStringLiteral("Compressed=FALSE"), QStringLiteral("Compressed=TRUE")),
         "10 GB disponibles de 500 GB", 98, true, true, ":/drives/optical.svg"},
        {"half full, removable", Props(QStringLiteral("2"), N(16 * GB), N(8 * GB)), "8 GB disponibles de 16 GB",
         50, false, false, ":/drives/usb.svg"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        panel->ReleaseControls();
        panel->SetPropiedades(c.props);
        EXPECT_FALSE(panel->ControlsBuilt());
        EXPECT_EQ(panel->Espacio(), QLatin1String(c.line));
        EXPECT_EQ(panel->accessibleDescription(), QLatin1String(c.line));
        panel->BuildControls();
        EXPECT_EQ(panel->pnlTitulo()->Caption(), QStringLiteral("Disco local (C:) - NTFS"));
        EXPECT_EQ(panel->lblEspacio()->text(), QLatin1String(c.line));
        EXPECT_TRUE(panel->lblEspacio()->isVisible()) << "made into a panel on screen, it is shown";
        EXPECT_EQ(panel->lblEspacio()->geometry().topLeft(), QPoint(64, 22));
        EXPECT_EQ(panel->pbCapacidad()->value(), c.bar);
        EXPECT_EQ(panel->pbCapacidad()->State() == TStateProgressBar::pbsError, c.error);
        EXPECT_EQ(panel->imgCompressed()->isVisible(), c.mark);
        EXPECT_EQ(panel->imgDrive()->Picture(), QLatin1String(c.picture));

        calls.clear();
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(2, 2), panel->lblEspacio()->mapToGlobal(QPointF(2, 2)),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(panel->lblEspacio(), &press);
        QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(2, 2),
                               panel->pbCapacidad()->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(panel->pbCapacidad(), &menu);
        EXPECT_EQ(calls, (std::vector<QString>{QStringLiteral("lblEspacio"), QStringLiteral("menu pbCapacidad")}));
    }

    // Released, the controls are hidden at once and deleted from the event
    // loop; the values stay.
    QPointer<QWidget> label = panel->lblEspacio();
    panel->ReleaseControls();
    EXPECT_FALSE(panel->ControlsBuilt());
    ASSERT_FALSE(label.isNull());
    EXPECT_FALSE(label->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(label.isNull());
    EXPECT_EQ(panel->Espacio(), QStringLiteral("8 GB disponibles de 16 GB"));
    EXPECT_EQ(panel->Titulo(), QStringLiteral("Disco local (C:) - NTFS"));
}

// ---- BytesToUnits ------------------------------------------------------------

struct UnitsCase
{
    double bytes;
    double mb;
    double gb;
};

TEST(FrameDriveTest, BytesToUnits)
{
    const UnitsCase cases[] = {
        {0, 0, 0},
        {1.5 * MB, 2, 0}, // halves to even: up
        {2.5 * MB, 2, 0}, // halves to even: down
        {3.5 * MB, 4, 0},
        {0.5 * MB, 0, 0},
        {0.5 * MB + 1, 1, 0},
        {double(GB), 1024, 1},
        {0.125 * GB, 128, 0.13}, // an exact tie: away from zero
        {-0.125 * GB, -128, -0.13},
        {0.005 * GB, 5, 0.01},
        {0.0049 * GB, 5, 0},
        {45.995 * GB, 47099, 46}, // the double lies a hair below 45.995
        {2.675 * GB, 2739, 2.68}, // the same; printf's %.2f gives 2.67
        {49382319227, 47095, 45.99},
        {49388761776, 47101, 46},
        {237.0 * GB, 242688, 237},
        {double(qint64(1) << 62), double(qint64(1) << 42), double(qint64(1) << 32)},
    };
    for (const UnitsCase &c : cases) {
        SCOPED_TRACE(testing::Message() << std::fixed << c.bytes);
        const TUnits units = TFrameDrive::BytesToUnits(c.bytes);
        EXPECT_EQ(units.MB, c.mb);
        EXPECT_EQ(units.GB, c.gb);
    }
}

// ---- the window's hooks --------------------------------------------------------

TEST(FrameDriveTest, MouseDownHandlersReplaceTheOwnOnes)
{
    TFrameDrive panel;
    // A new panel drags by its title and picture only.
    EXPECT_TRUE(panel.OnMouseDown(panel.pnlTitulo()));
    EXPECT_TRUE(panel.OnMouseDown(panel.imgDrive()));
    EXPECT_FALSE(panel.OnMouseDown(panel.pnlDatos()));
    EXPECT_FALSE(panel.OnMouseDown(panel.lblEspacio()));
    EXPECT_FALSE(panel.OnMouseDown(panel.pbCapacidad()));

    std::vector<std::pair<QWidget *, Qt::MouseButton>> calls;
    const auto record = [&](QWidget *sender, QMouseEvent *event) { calls.emplace_back(sender, event->button()); };
    QWidget *const controls[] = {panel.pnlTitulo(), panel.pnlDatos(), panel.imgDrive(), panel.pbCapacidad(),
                                 panel.lblEspacio()};
    for (QWidget *control : controls)
        panel.SetOnMouseDown(control, record);

    for (QWidget *control : controls) {
        for (const Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton}) {
            calls.clear();
            const QPointF at(2, 2);
            QMouseEvent press(QEvent::MouseButtonPress, at, control->mapToGlobal(at), button, button,
                              Qt::NoModifier);
            QApplication::sendEvent(control, &press);
            // Only the control's own handler runs: the press does not reach
            // the handler of the panel it sits on.
            ASSERT_EQ(calls.size(), 1u) << control->objectName().toStdString();
            EXPECT_EQ(calls[0].first, control);
            EXPECT_EQ(calls[0].second, button);
        }
    }

    // Removing a handler lets the press take its normal course again: it
    // goes on to the parent pnlDatos and its handler.
    panel.SetOnMouseDown(panel.lblEspacio(), {});
    calls.clear();
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(1, 1), QPointF(1, 1), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(panel.lblEspacio(), &press);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].first, panel.pnlDatos());

    // Controls outside the panel are not hooked.
    QWidget stranger;
    panel.SetOnMouseDown(&stranger, record);
    EXPECT_FALSE(panel.OnMouseDown(&stranger));
}

TEST(FrameDriveTest, MouseDownToWindowMoveOnlyActsOnTheLeftButton)
{
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *panel = new TFrameDrive(&window);
    layout->addWidget(panel);
    window.show();
    // Offscreen there is no window manager to hand the move to; what matters
    // here is that neither button misbehaves and that a press starts no grab
    // that would stay behind.
    for (const Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), button, button, Qt::NoModifier);
        QApplication::sendEvent(panel->pnlTitulo(), &press);
        EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
    }
    panel->MouseDownToWindowMove(panel, nullptr);
}

// Where the window system offers no move loop (offscreen, or X without a
// window manager) the panel's window follows the mouse until the left button
// is released, keeping the pressed point under the pointer, without a grab.
TEST(FrameDriveTest, WithoutAMoveLoopTheWindowFollowsTheMouse)
{
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *panel = new TFrameDrive(&window);
    layout->addWidget(panel);
    window.move(100, 100);
    window.show();
    QWidget *title = panel->pnlTitulo();
    const QPointF start = title->mapToGlobal(QPointF(5, 5));
    const auto send = [](QWidget *to, QEvent::Type type, QPointF global, Qt::MouseButton button,
                         Qt::MouseButtons buttons) {
        QMouseEvent event(type, to->mapFromGlobal(global), global, button, buttons, Qt::NoModifier);
        QApplication::sendEvent(to, &event);
    };

    send(title, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    EXPECT_TRUE(WindowDrag::Pending());
    EXPECT_FALSE(WindowDrag::Following()) << "a press alone moves nothing";
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
    // Past the drag distance the move starts; the moves reach whatever widget
    // is under the pointer or had the press.
    send(title, QEvent::MouseMove, start + QPointF(30, 20), Qt::NoButton, Qt::LeftButton);
    ASSERT_TRUE(WindowDrag::Following()) << "the offscreen platform offers no move loop";
    EXPECT_EQ(window.pos(), QPoint(130, 120));
    send(panel->lblEspacio(), QEvent::MouseMove, start + QPointF(-10, 5), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(window.pos(), QPoint(90, 105));
    send(title, QEvent::MouseButtonRelease, start + QPointF(-10, 5), Qt::LeftButton, Qt::NoButton);
    EXPECT_FALSE(WindowDrag::Following());
    send(title, QEvent::MouseMove, start + QPointF(50, 50), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(window.pos(), QPoint(90, 105)) << "released: the window stays";

    // A move without the left button held (the release went elsewhere) ends
    // the follow as well; the right button starts none.
    send(title, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    send(title, QEvent::MouseMove, start + QPointF(5, 5), Qt::NoButton, Qt::NoButton);
    EXPECT_FALSE(WindowDrag::Following());
    send(title, QEvent::MouseButtonPress, start, Qt::RightButton, Qt::RightButton);
    EXPECT_FALSE(WindowDrag::Following());
}

// A tap (press and release at once, as touchpads and `xdotool click` make
// it) and a press that wobbles less than the drag distance are clicks: the
// window stays, nothing keeps watching the pointer, and a double click
// reaches the panel's handler.
TEST(FrameDriveTest, ATapIsAClickNotADrag)
{
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *panel = new TFrameDrive(&window);
    layout->addWidget(panel);
    window.move(100, 100);
    window.show();
    QWidget *title = panel->pnlTitulo();
    const QPointF start = title->mapToGlobal(QPointF(5, 5));
    const auto send = [](QWidget *to, QEvent::Type type, QPointF global, Qt::MouseButton button,
                         Qt::MouseButtons buttons) {
        QMouseEvent event(type, to->mapFromGlobal(global), global, button, buttons, Qt::NoModifier);
        QApplication::sendEvent(to, &event);
    };
    const int near = QApplication::startDragDistance() - 1;
    struct Case
    {
        const char *name;
        QPointF wobble; // where the pointer goes between press and release
    };
    for (const Case &c : {Case{"tap", {0, 0}}, Case{"wobble_x", {double(near), 0}},
                          Case{"wobble_diagonal", {double(near / 2), double(near - near / 2)}}}) {
        SCOPED_TRACE(c.name);
        send(title, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
        if (!c.wobble.isNull())
            send(title, QEvent::MouseMove, start + c.wobble, Qt::NoButton, Qt::LeftButton);
        send(title, QEvent::MouseButtonRelease, start + c.wobble, Qt::LeftButton, Qt::NoButton);
        EXPECT_FALSE(WindowDrag::Pending());
        EXPECT_FALSE(WindowDrag::Following());
        // The pointer goes on without the button: the window stays.
        send(title, QEvent::MouseMove, start + QPointF(80, 60), Qt::NoButton, Qt::NoButton);
        EXPECT_EQ(window.pos(), QPoint(100, 100));
    }

    // A double tap: the second press comes as a double click, and the
    // window's handler for it runs.
    int doubleClicks = 0;
    panel->SetOnMouseDown(TFrameDrive::TPart::Titulo, [&](QWidget *sender, QMouseEvent *event) {
        if (event->type() == QEvent::MouseButtonDblClick)
            ++doubleClicks;
        else
            panel->MouseDownToWindowMove(sender, event);
    });
    send(title, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    send(title, QEvent::MouseButtonRelease, start, Qt::LeftButton, Qt::NoButton);
    send(title, QEvent::MouseButtonDblClick, start, Qt::LeftButton, Qt::LeftButton);
    send(title, QEvent::MouseButtonRelease, start, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(doubleClicks, 1);
    EXPECT_EQ(window.pos(), QPoint(100, 100));
    EXPECT_FALSE(WindowDrag::Pending());
}

// ---- Indice and the query component -----------------------------------------------

TEST(FrameDriveTest, IndiceActivatesTheQueryAndRereadsPropiedades)
{
    TWMISQL query;
    const std::string fixture = VELMORA_SOURCE_DIR "/tests/fixtures/objects/drives-c-d-z.fake";
    query.SetLocatorFactory(
        [fixture] { return std::make_unique<platform::FakeWbemLocator>(fixture, platform::ReadFakeWbemFile); });

    TFrameDrive panel;
    panel.SetIndice(2); // without a query component: stored only
    EXPECT_EQ(panel.Indice(), 2);
    EXPECT_EQ(panel.lblEspacio()->text(), QStringLiteral("1045 GB disponibles de 1024 GB"));

    panel.SetDiskDriveInfo(&query);
    EXPECT_EQ(panel.DiskDriveInfo(), &query);
    panel.SetPropiedades(Props(kThree, N(500 * GB), N(100 * GB)));
    ASSERT_FALSE(query.Active());
    panel.SetIndice(2);
    EXPECT_TRUE(query.Active());
    EXPECT_EQ(query.ObjectIndex(), 2);
    EXPECT_EQ(panel.Indice(), 2);
    // Propiedades, not the component's current object (D:), is read again.
    EXPECT_EQ(panel.Nombre(), QStringLiteral("C:"));
    EXPECT_EQ(panel.lblEspacio()->text(), QStringLiteral("100 GB disponibles de 500 GB"));

    panel.SetIndice(3);
    EXPECT_EQ(query.ObjectIndex(), 3);
}

TEST(FrameDriveTest, ForgetsADestroyedQueryComponent)
{
    TFrameDrive panel;
    {
        TWMISQL query;
        panel.SetDiskDriveInfo(&query);
    }
    EXPECT_EQ(panel.DiskDriveInfo(), nullptr);
    panel.SetIndice(1);
    EXPECT_EQ(panel.Indice(), 1);
}

// ---- how it looks ----------------------------------------------------------------------

// Renders panels into the test's temporary folder (VELMORA_KEEP_RENDER=<dir>
// keeps them there instead) and checks the bar's colours in the pixels.
TEST(FrameDriveTest, RendersBarColoursAndPictures)
{
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    const QByteArray keep = qgetenv("VELMORA_KEEP_RENDER");
    const QString dir = keep.isEmpty() ? temp.path() : QString::fromLocal8Bit(keep);

    QWidget window;
    window.setStyleSheet(QStringLiteral("background: #2f3a45; color: #f0f0f0;"));
    auto *layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    std::vector<TFrameDrive *> panels;
    const QString lists[] = {
        Props(kThree, N(500 * GB), N(100 * GB))
            .replace(QStringLiteral("Compressed=FALSE"), QStringLiteral("Compressed=TRUE")),
        Props(QStringLiteral("2"), N(16 * GB), N(GB)),
        Props(QStringLiteral("5"), N(700 * MB), N(0)),
        Props(QStringLiteral("4"), N(2048 * GB), N(1500 * GB)),
        Props(QStringLiteral("6"), N(8 * GB), N(6 * GB)),
        Props(QStringLiteral("1"), std::nullopt, std::nullopt),
        Props(QStringLiteral("0"), std::nullopt, std::nullopt),
    };
    for (const QString &props : lists) {
        auto *panel = new TFrameDrive(&window);
        panel->SetPropiedades(props);
        layout->addWidget(panel);
        panels.push_back(panel);
    }
    window.resize(339, 58 * int(std::size(lists)));
    window.show();
    QApplication::processEvents();

    const QImage image = window.grab().toImage();
    ASSERT_FALSE(image.isNull());
    EXPECT_TRUE(image.save(QDir(dir).filePath(QStringLiteral("panels.png"))));
    QPixmap hiDpi(window.size() * 2);
    hiDpi.setDevicePixelRatio(2);
    hiDpi.fill(Qt::transparent);
    window.render(&hiDpi);
    EXPECT_TRUE(hiDpi.save(QDir(dir).filePath(QStringLiteral("panels@2x.png"))));

    // Sample the middle of the filled part of the bar of the first two panels.
    const auto barPixel = [&](TFrameDrive *panel) {
        const QRect bar = panel->pbCapacidad()->geometry().translated(panel->pnlDatos()->pos() + panel->pos());
        return image.pixelColor(bar.left() + 10, bar.center().y());
    };
    EXPECT_EQ(barPixel(panels[0]), QColor(255, 127, 80));
    EXPECT_EQ(barPixel(panels[1]), QColor(Qt::red));
}

// ---- what a screen reader reads ----------------------------------------------

// The panel's accessible name is its title and its description the free-space
// line, read through the accessibility interface a screen reader uses; both
// follow every refresh, and a drive without figures is described as empty.
TEST(FrameDriveTest, ScreenReaderReadsTitleAndFreeSpace)
{
    QWidget window;
    auto *panel = new TFrameDrive(&window);
    window.show();
    panel->SetPropiedades(Props(kThree, N(500 * GB), N(100 * GB)));
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(panel);
    ASSERT_NE(iface, nullptr);
    const auto name = [&] { return iface->text(QAccessible::Name); };
    const auto description = [&] { return iface->text(QAccessible::Description); };
    EXPECT_EQ(name(), QStringLiteral("Disco local (C:) - NTFS"));
    EXPECT_EQ(description(), QStringLiteral("100 GB disponibles de 500 GB"));

    panel->SetLibre(50 * GB);
    EXPECT_EQ(description(), QStringLiteral("100 GB disponibles de 500 GB")) << "only UpdateSize refreshes it";
    panel->UpdateSize();
    EXPECT_EQ(description(), QStringLiteral("50 GB disponibles de 500 GB"));

    panel->ClearLibre();
    panel->UpdateSize();
    EXPECT_EQ(description(), QString());
    panel->SetLibre(GB);
    panel->UpdateSize();
    EXPECT_EQ(description(), QStringLiteral("1 GB disponibles de 500 GB"));

    panel->SetNombre(QStringLiteral("/mnt/usb"));
    panel->SetSistemaFicheros(QStringLiteral("vfat"));
    EXPECT_EQ(name(), QStringLiteral("Disco local (/mnt/usb) - vfat"));
    EXPECT_EQ(name(), panel->pnlTitulo()->Caption());
}

} // namespace

// The reason a panel is greyed comes from the drive or its source: its tool
// tip shows it as plain text, markup and all.
TEST(FrameDriveTest, FailureReasonToolTipIsPlainText)
{
    for (const QString &reason :
         {QStringLiteral("<b>bold</b> <img src=\"/tmp/x.png\">"), QStringLiteral("a & b\n<i>c</i>")}) {
        TFrameDrive panel;
        PanelFailure::Show(&panel, reason);
        QTextDocument shown;
        shown.setHtml(panel.toolTip());
        EXPECT_EQ(shown.toPlainText(), reason);
    }
}

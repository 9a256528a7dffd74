// SPDX-License-Identifier: MIT
// Long and odd mount paths in the window's panels: the title is cut in the
// middle so that its start and the end of the path stay visible, the whole
// title and the free-space line are in the panel's tooltip as plain text,
// and a screen reader still reads the whole title. Real tmpfs mounts, the
// real drive query, the real window.
#include "ShellTestSupport.h"

#include "panels/DriveControls.h"
#include "panels/PanelFailure.h"
#include "panels/frDisco.h"
#include "shell/FMain.h"

#include "MountNamespace.h"

#include <QAccessible>
#include <QHelpEvent>
#include <QLabel>
#include <QTextDocument>
#include <QToolTip>

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

// The text of the tooltip that a pause of the mouse over the panel's title
// opens, as Qt's tooltip shows it: as markup when it looks like markup, else
// as it is.
QString ToolTipAsShown(TFrameDrive *panel)
{
    QWidget *title = panel->pnlTitulo();
    const QPoint at(title->width() / 2, title->height() / 2);
    QHelpEvent help(QEvent::ToolTip, at, title->mapToGlobal(at));
    QApplication::sendEvent(title, &help);
    const QString tip = QToolTip::text();
    QToolTip::hideText();
    if (!Qt::mightBeRichText(tip))
        return tip;
    QTextDocument doc;
    doc.setHtml(tip);
    return doc.toPlainText();
}

bool MakePath(const std::string &path)
{
    for (std::size_t p = 1; p != std::string::npos;) {
        p = path.find('/', p + 1);
        const std::string part = path.substr(0, p);
        if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
            return false;
    }
    return true;
}

TEST(LongTitles, TitlesCutInTheMiddleWholeInTooltipAndForScreenReaders)
{
    TestApp();
    ::unsetenv("VELMORA_FAKE_WBEM");
    const std::string reason = testsupport::IsolateMounts();
    if (!reason.empty())
        GTEST_SKIP() << "SKIPPED LOUDLY: " << reason;
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toUtf8());

    const std::string longPath = "/tmp/t/home/ana/projects/velmora-experiments/environments/2026/python";
    const std::string markupPath = "/tmp/t/<b>big<i>";
    ASSERT_EQ(::mount("tmpfs", "/tmp", "tmpfs", 0, "size=1m"), 0) << std::strerror(errno);
    for (const std::string &path : {longPath, markupPath}) {
        ASSERT_TRUE(MakePath(path)) << path << ": " << std::strerror(errno);
        ASSERT_EQ(::mount("tmpfs", path.c_str(), "tmpfs", 0, "size=4m"), 0) << path;
    }

    auto window = std::make_unique<TFormMain>();
    window->SetAskQuestion([](const QString &, const QString &) { return false; });
    window->show();
    const auto panelOf = [&](const std::string &path) -> TFrameDrive * {
        for (TFrameDrive *frame : window->Frames())
            if (frame->Nombre() == QString::fromStdString(path))
                return frame;
        return nullptr;
    };

    struct Case
    {
        std::string path;
        bool cut;
    };
    for (const Case &c : {Case{longPath, true}, Case{markupPath, false}}) {
        SCOPED_TRACE(c.path);
        TFrameDrive *panel = panelOf(c.path);
        ASSERT_NE(panel, nullptr);
        const QString title = QStringLiteral("Disco local (") + QString::fromStdString(c.path)
            + QStringLiteral(") - tmpfs");
        const TCaptionPanel *caption = panel->pnlTitulo();
        EXPECT_EQ(caption->Caption(), title) << "the title itself stays whole";

        const QString shown = caption->ShownCaption();
        EXPECT_LE(caption->fontMetrics().horizontalAdvance(shown), panel->width());
        if (c.cut) {
            EXPECT_NE(shown, title);
            EXPECT_TRUE(shown.startsWith(QStringLiteral("Disco local (/tmp/"))) << shown.toStdString();
            EXPECT_TRUE(shown.endsWith(QStringLiteral("python) - tmpfs"))) << shown.toStdString();
            EXPECT_TRUE(shown.contains(QChar(0x2026))) << shown.toStdString();
        } else {
            EXPECT_EQ(shown, title);
        }

        const QString freeLine = panel->lblEspacio()->text();
        EXPECT_FALSE(freeLine.isEmpty());
        EXPECT_EQ(ToolTipAsShown(panel), title + QLatin1Char('\n') + freeLine);

        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(panel);
        ASSERT_NE(iface, nullptr);
        EXPECT_EQ(iface->text(QAccessible::Name), title);
    }

    // A greyed panel tells why in its tooltip until it answers again; its
    // own tooltip follows the figures meanwhile and comes back after.
    TFrameDrive *panel = panelOf(longPath);
    ASSERT_NE(panel, nullptr);
    PanelFailure::Show(panel, QStringLiteral("no answer"));
    panel->SetLibre(1 << 20);
    panel->UpdateSize();
    EXPECT_EQ(ToolTipAsShown(panel), QStringLiteral("no answer"));
    PanelFailure::Clear(panel);
    EXPECT_EQ(ToolTipAsShown(panel),
              panel->pnlTitulo()->Caption() + QLatin1Char('\n') + panel->lblEspacio()->text());
    EXPECT_TRUE(panel->lblEspacio()->text().startsWith(QStringLiteral("1 MB")))
        << panel->lblEspacio()->text().toStdString();

    window.reset();
}

} // namespace

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

    // A long path, and a short one over a folder of its own that looks like
    // markup (its folder is short enough for the whole title to fit).
    testsupport::OwnMounts deep("vt-");
    testsupport::OwnMounts markup("<b>b<i>");
    const std::string longPath = deep.Path() + "/home/ana/projects/velmora-experiments/environments/2026/python";
    const std::string markupPath = markup.Path();
    const std::string start = deep.Path().substr(0, 4); // its start stays visible when cut
    ASSERT_TRUE(deep.MountTmpfs(longPath.substr(deep.Path().size() + 1), "size=4m")) << std::strerror(errno);
    ASSERT_TRUE(markup.MountTmpfs("", "size=4m")) << std::strerror(errno);

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
            EXPECT_TRUE(shown.startsWith(QStringLiteral("Disco local (") + QString::fromStdString(start)))
                << shown.toStdString();
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

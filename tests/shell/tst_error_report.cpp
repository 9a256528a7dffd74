// SPDX-License-Identifier: MIT
// The error report of the widget: what a failing handler shows, one box at a
// time, and which handlers replace the shutdown and fatal boxes.
#include "ShellTestSupport.h"

#include "shell/ErrorReport.h"
#include "vcl/Exception.h"

#include <QLabel>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

QStringList VisibleBoxes()
{
    QStringList texts;
    for (QWidget *top : QApplication::topLevelWidgets())
        if (auto *box = qobject_cast<QMessageBox *>(top); box && box->isVisible())
            texts << box->text();
    return texts;
}

// Whatever a handler raises is shown with its own message, an exception of
// no known class included; the box is reused, so the last error is what it
// shows, and it goes with the report.
TEST(ErrorReport, GuardedHandlerErrorsShareOneBox)
{
    TestApp();
    struct Case
    {
        std::function<void()> raise;
        QString shown;
    };
    const Case cases[] = {
        {[] { throw EConvertError(QStringLiteral("'x' is not a valid integer value")); },
         QStringLiteral("'x' is not a valid integer value")},
        {[] { throw std::runtime_error("Stream read error"); }, QStringLiteral("Stream read error")},
        {[] { throw 42; }, QStringLiteral("Unknown error")},
    };
    {
        TErrorReport report;
        for (const Case &c : cases) {
            report.Guarded(c.raise);
            EXPECT_EQ(VisibleBoxes(), QStringList{c.shown});
        }
        bool ran = false;
        report.Guarded([&ran] { ran = true; });
        EXPECT_TRUE(ran);
        EXPECT_EQ(VisibleBoxes().size(), 1) << "a handler that succeeds leaves the box as it is";
    }
    EXPECT_TRUE(VisibleBoxes().isEmpty()) << "the box goes with the report";
}

// A mount name or a translated text with markup in it: every box shows the
// characters as they are, neither bold text nor a local image. The label's
// width tells: as markup the tags would take no room.
TEST(ErrorReport, BoxesShowMarkupAsWritten)
{
    TestApp();
    const QString message = QStringLiteral("<b>/media/x</b><img src=\"/etc/hostname\">");
    const auto plainShown = [&message](QMessageBox *box) {
        auto *label = box ? box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label")) : nullptr;
        if (!label)
            return false;
        return label->textFormat() == Qt::PlainText && label->text().contains(message)
            && label->sizeHint().width() >= label->fontMetrics().horizontalAdvance(message);
    };
    const auto activeBox = [] { return qobject_cast<QMessageBox *>(QApplication::activeModalWidget()); };
    {
        TErrorReport report;
        report.Show(message);
        QMessageBox *shown = nullptr;
        for (QWidget *top : QApplication::topLevelWidgets())
            if (auto *box = qobject_cast<QMessageBox *>(top); box && box->isVisible())
                shown = box;
        EXPECT_TRUE(plainShown(shown)) << "the error box";
    }
    for (const bool fatal : {false, true}) {
        SCOPED_TRACE(fatal ? "fatal box" : "shutdown box");
        TErrorReport report;
        bool plain = false;
        QTimer::singleShot(0, [&] {
            QMessageBox *box = activeBox();
            plain = plainShown(box);
            if (box)
                box->done(QMessageBox::Ok);
        });
        if (fatal)
            report.Fatal(message, {});
        else
            report.AtShutdown(message);
        EXPECT_TRUE(plain);
    }
}

TEST(ErrorReport, HandlersReplaceTheShutdownAndFatalBoxes)
{
    TestApp();
    TErrorReport report;
    QStringList seen;
    report.SetShutdownHandler([&seen](const QString &m) { seen << QStringLiteral("shutdown:") + m; });
    report.SetFatalHandler([&seen](const QString &m) { seen << QStringLiteral("fatal:") + m; });
    bool ended = false;
    report.AtShutdown(QStringLiteral("Unable to write to x"));
    report.Fatal(QStringLiteral("boom"), [&ended] { ended = true; });
    EXPECT_EQ(seen, (QStringList{"shutdown:Unable to write to x", "fatal:boom"}));
    EXPECT_FALSE(ended) << "the fatal handler decides how the program ends";
    EXPECT_TRUE(VisibleBoxes().isEmpty());
}

} // namespace

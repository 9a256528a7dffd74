// SPDX-License-Identifier: MIT
#include "shell/ErrorReport.h"

#include "shell/ShellLog.h"
#include "vcl/Exception.h"

#include <QCoreApplication>
#include <QMessageBox>

#include <exception>

TErrorReport::~TErrorReport()
{
    delete FErrorBox.data();
}

QString TErrorReport::CurrentMessage()
{
    try {
        throw;
    } catch (const Exception &e) {
        return e.Message();
    } catch (const std::exception &e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("Unknown error");
    }
}

void TErrorReport::Show(const QString &message)
{
    qCWarning(lcShell) << message;
    if (!FErrorBox) {
        FErrorBox = new QMessageBox(QMessageBox::Critical, QCoreApplication::applicationName(), QString(),
                                    QMessageBox::Ok);
        FErrorBox->setAttribute(Qt::WA_DeleteOnClose);
        // Messages carry drive names and translated texts, never markup.
        FErrorBox->setTextFormat(Qt::PlainText);
    }
    FErrorBox->setText(message);
    FErrorBox->show();
}

void TErrorReport::AtShutdown(const QString &message)
{
    if (FShutdownHandler) {
        FShutdownHandler(message);
        return;
    }
    qCCritical(lcShell).noquote() << message;
    if (FUnattended)
        return;
    QMessageBox box(QMessageBox::Critical, QCoreApplication::applicationName(), message, QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void TErrorReport::Fatal(const QString &message, const std::function<void()> &end)
{
    if (FFatalHandler) {
        FFatalHandler(message);
        return;
    }
    // The message box wants line feeds; the message keeps its CR LF.
    QString shown = message;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(QMessageBox::Critical, QCoreApplication::applicationName(), shown, QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.exec();
    if (end)
        end();
}

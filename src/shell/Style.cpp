// SPDX-License-Identifier: MIT
#include "shell/Style.h"

#include "shell/ShellLog.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>

void InitShellResources()
{
    Q_INIT_RESOURCE(shell);
}

namespace Style {

bool ApplyVisualStyle(QApplication &app, const QString &path, const std::function<void(const QString &)> &onError)
{
    InitShellResources();
    QFile file(path);
    QString reason;
    QByteArray sheet;
    if (!file.open(QIODevice::ReadOnly))
        reason = file.errorString();
    else if ((sheet = file.readAll()).trimmed().isEmpty())
        reason = QStringLiteral("the style sheet is empty");
    if (reason.isEmpty()) {
        app.setStyleSheet(QString::fromUtf8(sheet));
        return true;
    }
    const QString message =
        QStringLiteral("Style 'Windows10 SlateGray' could not be applied (%1): %2").arg(path, reason);
    qCWarning(lcShell) << message;
    if (onError)
        onError(message);
    else
        QMessageBox::critical(nullptr, QApplication::applicationName(), message);
    return false;
}

} // namespace Style

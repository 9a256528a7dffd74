// SPDX-License-Identifier: MIT
#include "panels/DriveName.h"

#include "wbem/MofText.h"

#include <string>

std::optional<QByteArray> DriveNameBytes(const QString &listedName)
{
    std::string raw;
    if (!platform::UnescapeMofString(listedName.toStdString(), raw))
        return std::nullopt;
    return QByteArray(raw.data(), qsizetype(raw.size()));
}

QString DriveNameShown(const QString &listedName)
{
    const std::optional<QByteArray> bytes = DriveNameBytes(listedName);
    QString shown = bytes ? QString::fromUtf8(*bytes) : listedName;
    for (QChar &c : shown) {
        if (c.unicode() < 0x20)
            c = QChar(char16_t(0x2400 + c.unicode()));
        else if (c.unicode() == 0x7F)
            c = QChar(char16_t(0x2421));
    }
    return shown;
}

QUrl DriveFolderUrl(const QString &listedName)
{
    const std::optional<QByteArray> bytes = DriveNameBytes(listedName);
    if (bytes && bytes->startsWith('/')) {
        // Percent-encoded from the bytes: QUrl keeps a sequence that is not
        // UTF-8 as it is, where a path taken as text would have lost it.
        return QUrl::fromEncoded(QByteArrayLiteral("file://") + bytes->toPercentEncoding("/"), QUrl::StrictMode);
    }
    QString folder = bytes ? QString::fromUtf8(*bytes) : listedName;
    // A drive letter alone names the current folder of that drive.
    if (folder.size() == 2 && folder.at(1) == u':' && folder.at(0).isLetter())
        folder += QLatin1Char('/');
    return QUrl::fromLocalFile(folder);
}

// SPDX-License-Identifier: MIT
#include "settings/VersionInfo.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>

#ifdef _WIN32
#include "platform/win/WinSystemInfo.h"
#endif

namespace VersionInfo {

QString FormatFileVersion(quint32 AVersionMS, quint32 AVersionLS, bool AShort)
{
    QString text = QString::number(AVersionMS >> 16) + u'.' + QString::number(AVersionMS & 0xFFFF);
    if (!AShort)
        text += u'.' + QString::number(AVersionLS >> 16) + u'.' + QString::number(AVersionLS & 0xFFFF);
    return text;
}

#ifdef _WIN32

QString FileVersionText(const QString &AFileName, bool AShort)
{
    // An empty name reads the running program's own file.
    const auto version = platform::win::ReadFileVersion(AFileName.toStdWString());
    if (!version)
        return QString();
    return FormatFileVersion(version->VersionMS, version->VersionLS, AShort);
}

#else

QString FileVersionText(const QString &AFileName, bool AShort)
{
    if (!AFileName.isEmpty()) {
        // Only the program itself carries version information here.
        if (!QCoreApplication::instance())
            return QString();
        const QString own = QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath();
        const QString asked = QFileInfo(AFileName).canonicalFilePath();
        if (asked.isEmpty() || asked != own)
            return QString();
    }
    // Missing parts count as 0; each part is a 16-bit number.
    const QStringList parts = QStringLiteral(VELMORA_FILE_VERSION).split(u'.');
    quint32 numbers[4] = {};
    for (qsizetype i = 0; i < parts.size() && i < 4; ++i)
        numbers[i] = parts[i].toUInt() & 0xFFFF;
    return FormatFileVersion((numbers[0] << 16) | numbers[1], (numbers[2] << 16) | numbers[3], AShort);
}

#endif

quint32 TranslationLanguage()
{
    return VELMORA_VERSION_LANGID;
}

quint32 TranslationCodePage()
{
    return VELMORA_VERSION_CODEPAGE;
}

} // namespace VersionInfo

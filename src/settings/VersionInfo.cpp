// SPDX-License-Identifier: MIT
#include "settings/VersionInfo.h"

#include "platform/VersionResource.h"

#include <QStringList>

namespace VersionInfo {

QString FormatFileVersion(quint32 AVersionMS, quint32 AVersionLS, bool AShort)
{
    QString text = QString::number(AVersionMS >> 16) + u'.' + QString::number(AVersionMS & 0xFFFF);
    if (!AShort)
        text += u'.' + QString::number(AVersionLS >> 16) + u'.' + QString::number(AVersionLS & 0xFFFF);
    return text;
}

namespace {

// The version the program was built with. Missing parts count as 0; each
// part is a 16-bit number.
platform::FileVersion BuiltInVersion()
{
    const QStringList parts = QStringLiteral(VELMORA_FILE_VERSION).split(u'.');
    quint32 numbers[4] = {};
    for (qsizetype i = 0; i < parts.size() && i < 4; ++i)
        numbers[i] = parts[i].toUInt() & 0xFFFF;
    return {(numbers[0] << 16) | numbers[1], (numbers[2] << 16) | numbers[3]};
}

} // namespace

QString FileVersionText(const QString &AFileName, bool AShort)
{
    // An empty name reads the running program's own file.
    const auto version = platform::ReadFileVersion(AFileName.toStdString(), BuiltInVersion());
    if (!version)
        return QString();
    return FormatFileVersion(version->VersionMS, version->VersionLS, AShort);
}

quint32 TranslationLanguage()
{
    return VELMORA_VERSION_LANGID;
}

quint32 TranslationCodePage()
{
    return VELMORA_VERSION_CODEPAGE;
}

} // namespace VersionInfo

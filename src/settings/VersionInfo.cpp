// SPDX-License-Identifier: MIT
#include "settings/VersionInfo.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>

#ifdef _WIN32
#include <windows.h>

#include <iterator>
#include <vector>
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
    std::wstring fileName = AFileName.toStdWString();
    if (fileName.empty()) {
        wchar_t buffer[MAX_PATH * 4] = {};
        const DWORD length = GetModuleFileNameW(nullptr, buffer, DWORD(std::size(buffer)));
        if (length == 0 || length >= std::size(buffer))
            return QString();
        fileName.assign(buffer, length);
    }
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(fileName.c_str(), &handle);
    if (size == 0)
        return QString();
    std::vector<BYTE> data(size);
    if (!GetFileVersionInfoW(fileName.c_str(), 0, size, data.data()))
        return QString();
    VS_FIXEDFILEINFO *info = nullptr;
    UINT infoSize = 0;
    if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void **>(&info), &infoSize) || !info
        || infoSize < sizeof(VS_FIXEDFILEINFO))
        return QString();
    return FormatFileVersion(info->dwFileVersionMS, info->dwFileVersionLS, AShort);
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

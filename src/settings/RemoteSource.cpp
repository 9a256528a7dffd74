// SPDX-License-Identifier: MIT
#include "settings/RemoteSource.h"

#include "settings/Config.h"
#include "wbem/VisibleText.h"

namespace {

QString readKey(const QString &path, const char *name)
{
    return TConfig::RestoreOptionValue(path, TConfig::SectionName(), QString::fromLatin1(name), QString())
        .trimmed();
}

} // namespace

bool TRemoteSource::IsRemote() const
{
    return !Host.isEmpty() && Host != QStringLiteral(".");
}

QString TRemoteSource::ShownHost() const
{
    return QString::fromStdString(platform::VisibleText(platform::UrlWithoutCredentials(Host.toStdString())));
}

TRemoteSource TRemoteSource::Read(const QString &AIniFilePath)
{
    TRemoteSource source;
    source.Host = readKey(AIniFilePath, "Host");
    source.User = readKey(AIniFilePath, "User");
    source.Consulta = readKey(AIniFilePath, "Consulta");
    return source;
}

TRemoteSource TRemoteSource::Read()
{
    return Read(TConfig::ConfigFileName());
}

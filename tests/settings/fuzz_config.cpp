// SPDX-License-Identifier: MIT
// Any bytes as a settings file: reading never crashes, and whatever the file
// held, the seven options read back exactly as they were written into it.
// The bytes are read from a real file as well, through the bounded reader the
// program uses, and give the same options as the bytes themselves.
#include "settings/Config.h"

#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray contents(reinterpret_cast<const char *>(data), qsizetype(size));
    QString error;
    const TConfigValues defaults;
    const TConfigValues parsed = TConfig::ParseValues(contents, defaults, &error);

    static QTemporaryDir folder;
    static const bool quiet = (QLoggingCategory::setFilterRules(QStringLiteral("*.warning=false")), true);
    (void)quiet;
    const QString path = folder.filePath(QStringLiteral("config.ini"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(contents) != contents.size())
            std::abort();
    }
    if (!(TConfig::ReadValues(path, defaults) == parsed))
        std::abort();

    TConfigValues written;
    written.Top = -2147483647 - 1;
    written.Left = 4096;
    written.Intervalo = 60;
    written.Opacidad = 0;
    written.EjecutarInicio = false;
    written.VerDiscosRed = false;
    written.Idioma = 1;
    const bool usable = error.isEmpty();
    if (TConfig::WriteValuesTo(contents, written, &error) != usable)
        std::abort();
    if (!usable)
        return 0;
    const TConfigValues back = TConfig::ParseValues(contents, defaults, &error);
    if (!error.isEmpty() || !(back == written))
        std::abort();
    return 0;
}

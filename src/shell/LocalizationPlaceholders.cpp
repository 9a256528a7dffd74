// SPDX-License-Identifier: MIT
#include "shell/LocalizationPlaceholders.h"

namespace shell {

bool TVLanguageController::ReadBlock(const QString &blockName, const QByteArray &data)
{
    if (blockName != QLatin1String("LangData"))
        return false;
    FLangData = data;
    return true;
}

bool TVLTranslationsStorage::ReadBlock(const QString &blockName, const QByteArray &data)
{
    if (blockName != QLatin1String("StoredTranslationFiles"))
        return false;
    FStored = data;
    return true;
}

} // namespace shell

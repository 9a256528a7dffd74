// SPDX-License-Identifier: MIT
#include "shell/LocalizationPlaceholders.h"

namespace shell {

bool TVLTranslationsStorage::ReadBlock(const QString &blockName, const QByteArray &data)
{
    if (blockName != QLatin1String("StoredTranslationFiles"))
        return false;
    FStored = data;
    return true;
}

} // namespace shell

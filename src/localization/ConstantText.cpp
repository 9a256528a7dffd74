// SPDX-License-Identifier: MIT
#include "localization/ConstantText.h"

#include "localization/LangManager.h"

QString ConstantText(const QString &name)
{
    return LangManager::Instance().ConstantText(name);
}
